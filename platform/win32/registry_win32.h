// The real registry through the W functions, always in the 64-bit view (KEY_WOW64_64KEY), so a
// 32-bit build would write where the 64-bit programs do.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace lz::registry {

class Win32Registry final : public Registry {
public:
    ~Win32Registry() override { letKeptKeyGo(); }

    // While on, the key last opened for writing (openForWrite, create) stays open for the next
    // write to the same path: a run of many steps into one key opens it once. Deleting anything
    // lets it go. Off by default: a window's run, step by step at the user's pace, meets each
    // key as it is then (its rights changed meanwhile, say).
    void keepKeyOpenForWriting(bool keep);

    // RegOpenKeyExW with KEY_WRITE.
    Key openForWrite(Root root, std::u16string_view subKey) override;
    // RegCreateKeyExW with KEY_WRITE (creates the missing keys on the path).
    Key create(Root root, std::u16string_view subKey) override;
    // RegSetValueExW.
    bool setValue(const Key& key, std::u16string_view name, ValueKind type,
                  std::span<const std::uint8_t> data) override;
    // RegOpenKeyExW with KEY_QUERY_VALUE, then RegQueryValueExW. A missing key or value, or a
    // key path the registry refuses as a name, is Absent; any other error (no right to read
    // the key, for one) is Failed.
    Existence valueExists(Root root, std::u16string_view subKey, std::u16string_view name) override;
    // RegOpenKeyExW with KEY_QUERY_VALUE: a key that opens, or that the user may not open, is
    // Present; a missing key or a refused name is Absent.
    Existence keyExists(Root root, std::u16string_view subKey) override;
    // RegQueryValueExW on the key opened with KEY_QUERY_VALUE: the raw type and bytes (a string
    // stored without its terminating zero comes back without it).
    ValueState readValue(Root root, std::u16string_view subKey, std::u16string_view name) override;
    // RegOpenKeyExW with KEY_READ, then RegEnumValueW and RegEnumKeyExW.
    KeyContents readKey(Root root, std::u16string_view subKey) override;
    // RegOpenKeyExW with KEY_SET_VALUE, then RegDeleteValueW.
    Change deleteValue(Root root, std::u16string_view subKey, std::u16string_view name) override;
    // The parent opened, then RegDeleteTreeW on the key's name: everything below goes, then the
    // key itself.
    Change deleteKey(Root root, std::u16string_view subKey) override;
    // FormatMessageW of the last failed change's error, and its number.
    std::string lastFailureText() override;

private:
    void closeToken(std::uintptr_t token) noexcept override;
    // Notes the status of a change; an error stays the last failure until the next one.
    std::int32_t noted(std::int32_t status);
    // The kept key when it is the one asked for; else the key just opened, kept when keeping.
    Key keptKey(Root root, const std::wstring& path) noexcept;
    Key keep(Root root, const std::wstring& path, std::uintptr_t token);
    void letKeptKeyGo() noexcept;

    std::int32_t lastFailure_ = 0;
    bool keepOpen_ = false;
    std::uintptr_t keptToken_ = 0;  // 0: none kept
    Root keptRoot_ = Root::CurrentUser;
    std::wstring keptPath_;
};

}  // namespace lz::registry
