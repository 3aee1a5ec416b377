#include "platform/win32/registry_win32.h"

#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>

#include "platform/text.h"
#include "platform/win32/handle.h"
#include "platform/win32/trace.h"

namespace lz::registry {
namespace {

using win32::succeeded;
using win32::traceError;
using win32::traceLastError;
using win32::UniqueKey;

HKEY rootHandle(Root root) {
    switch (root) {
        case Root::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Root::CurrentUser:
            return HKEY_CURRENT_USER;
        case Root::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case Root::Users:
            return HKEY_USERS;
        case Root::CurrentConfig:
            return HKEY_CURRENT_CONFIG;
    }
    return HKEY_CURRENT_CONFIG;
}

// A zero-terminated copy for the W calls, or nothing when the text holds a NUL (the call would
// silently stop there and address another key or value).
std::optional<std::wstring> terminated(std::u16string_view text) {
    if (text.find(u'\0') != text.npos) return std::nullopt;
    return std::wstring(text.begin(), text.end());
}

// What a trace names: the key's whole path, and the value's name after a colon.
std::wstring subject(Root root, std::u16string_view subKey, std::optional<std::u16string_view> name = {}) {
    const std::string_view rootText = rootName(root);
    std::wstring text(rootText.begin(), rootText.end());  // ASCII
    text.append(L"\\").append(subKey.begin(), subKey.end());
    if (name) text.append(L" : ").append(name->begin(), name->end());
    return text;
}

HKEY handleOf(const Key& key) {
    return reinterpret_cast<HKEY>(key.token());
}

constexpr int kReadAttempts = 8;

// A key opened for reading its values; no handle, and the error, when it could not be opened.
struct OpenedForQuery {
    UniqueKey key;
    LSTATUS status = ERROR_INVALID_NAME;

    OpenedForQuery(Root root, std::u16string_view subKey) {
        const auto path = terminated(subKey);
        if (!path) return;
        HKEY opened = nullptr;
        status = RegOpenKeyExW(rootHandle(root), path->c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
        if (status == ERROR_SUCCESS) key.reset(opened);
    }
    HKEY handle() const { return key.get(); }
};

// What an error of opening or querying says about the key or value asked for.
Existence existenceAfter(LSTATUS status) {
    switch (status) {
        case ERROR_SUCCESS:
        case ERROR_MORE_DATA:
            return Existence::Present;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        // A name the registry refuses (too long, say) names no key.
        case ERROR_INVALID_PARAMETER:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
            return Existence::Absent;
        default:
            return Existence::Failed;
    }
}

// existenceAfter, with a trace when the answer is that the registry failed to say.
Existence existenceAfter(LSTATUS status, std::string_view call, const std::wstring& what) {
    const Existence existence = existenceAfter(status);
    if (existence == Existence::Failed) traceError(call, static_cast<DWORD>(status), what);
    return existence;
}

// What an error of a change says: nothing there, no right, or another failure (traced).
Change changeAfter(LSTATUS status, std::string_view call, const std::wstring& what) {
    if (status == ERROR_SUCCESS) return Change::Done;
    switch (existenceAfter(status)) {
        case Existence::Absent:
            return Change::Absent;
        case Existence::Present:
            return Change::Done;
        case Existence::Failed:
            break;
    }
    traceError(call, static_cast<DWORD>(status), what);
    return status == ERROR_ACCESS_DENIED ? Change::Denied : Change::Failed;
}

// An empty Key for a failed open, telling a refusal for lack of rights apart.
Key failedKey(LSTATUS status) {
    return status == ERROR_ACCESS_DENIED ? Key::denied() : Key();
}

// Reads every value and subkey name of an open key into `contents`, with buffers as large as
// the key says its names and data are. False when the key cannot be read whole (or keeps
// growing while it is read).
bool readContents(HKEY key, KeyContents& contents) {
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
        if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values, &maxName, &maxData,
                             nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        std::vector<wchar_t> name(std::max(maxName, maxSubKey) + 1);
        std::vector<BYTE> data(maxData + 1);
        contents.values.clear();
        contents.subKeys.clear();
        LSTATUS status = ERROR_SUCCESS;
        for (DWORD index = 0; status == ERROR_SUCCESS && index < values; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            DWORD size = static_cast<DWORD>(data.size());
            DWORD type = REG_NONE;
            status = RegEnumValueW(key, index, name.data(), &length, nullptr, &type, data.data(), &size);
            if (status == ERROR_SUCCESS)
                contents.values.push_back({std::u16string(name.begin(), name.begin() + length),
                                           {static_cast<ValueKind>(type), {data.begin(), data.begin() + size}}});
        }
        for (DWORD index = 0; status == ERROR_SUCCESS && index < subKeys; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            status = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_SUCCESS) contents.subKeys.emplace_back(name.begin(), name.begin() + length);
        }
        if (status == ERROR_SUCCESS) return true;
        // ERROR_MORE_DATA or ERROR_NO_MORE_ITEMS: the key changed meanwhile; read it again.
        if (status != ERROR_MORE_DATA && status != ERROR_NO_MORE_ITEMS) return false;
    }
    return false;
}

}  // namespace

void Win32Registry::keepKeyOpenForWriting(bool keep) {
    keepOpen_ = keep;
    if (!keep) letKeptKeyGo();
}

Key Win32Registry::keptKey(Root root, const std::wstring& path) noexcept {
    if (keptToken_ != 0 && root == keptRoot_ && path == keptPath_) return makeKey(keptToken_);
    return {};
}

Key Win32Registry::keep(Root root, const std::wstring& path, std::uintptr_t token) {
    if (keepOpen_) {
        letKeptKeyGo();
        keptToken_ = token;
        keptRoot_ = root;
        keptPath_ = path;
    }
    return makeKey(token);
}

void Win32Registry::letKeptKeyGo() noexcept {
    if (keptToken_ != 0) RegCloseKey(reinterpret_cast<HKEY>(keptToken_));
    keptToken_ = 0;
}

Key Win32Registry::openForWrite(Root root, std::u16string_view subKey) {
    const auto path = terminated(subKey);
    if (!path) return {};
    if (Key kept = keptKey(root, *path)) return kept;
    HKEY opened = nullptr;
    const LSTATUS status =
        noted(RegOpenKeyExW(rootHandle(root), path->c_str(), 0, KEY_WRITE | KEY_WOW64_64KEY, &opened));
    if (!succeeded("RegOpenKeyExW", status, subject(root, subKey))) return failedKey(status);
    return keep(root, *path, reinterpret_cast<std::uintptr_t>(opened));
}

Key Win32Registry::create(Root root, std::u16string_view subKey) {
    const auto path = terminated(subKey);
    if (!path) return {};
    if (Key kept = keptKey(root, *path)) return kept;
    HKEY created = nullptr;
    const LSTATUS status = noted(RegCreateKeyExW(rootHandle(root), path->c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                                 KEY_WRITE | KEY_WOW64_64KEY, nullptr, &created, nullptr));
    if (!succeeded("RegCreateKeyExW", status, subject(root, subKey))) return failedKey(status);
    return keep(root, *path, reinterpret_cast<std::uintptr_t>(created));
}

bool Win32Registry::setValue(const Key& key, std::u16string_view name, ValueKind type,
                             std::span<const std::uint8_t> data) {
    const auto valueName = terminated(name);
    if (!key || !valueName || data.size() > MAXDWORD) return false;
    static const BYTE kNoData = 0;  // some implementations reject a null pointer even for 0 bytes
    const BYTE* bytes = data.empty() ? &kNoData : data.data();
    const LSTATUS status = noted(RegSetValueExW(handleOf(key), valueName->c_str(), 0, static_cast<DWORD>(type), bytes,
                                                static_cast<DWORD>(data.size())));
    return succeeded("RegSetValueExW", status, L"value " + *valueName);
}

Existence Win32Registry::valueExists(Root root, std::u16string_view subKey, std::u16string_view name) {
    const auto valueName = terminated(name);
    if (!valueName) return Existence::Absent;  // no such name can exist
    const OpenedForQuery key(root, subKey);
    if (!key.handle()) return existenceAfter(key.status, "RegOpenKeyExW", subject(root, subKey));
    return existenceAfter(RegQueryValueExW(key.handle(), valueName->c_str(), nullptr, nullptr, nullptr, nullptr),
                          "RegQueryValueExW", subject(root, subKey, name));
}

Existence Win32Registry::keyExists(Root root, std::u16string_view subKey) {
    const OpenedForQuery key(root, subKey);
    if (key.status == ERROR_ACCESS_DENIED) return Existence::Present;  // there, but not for this user
    return existenceAfter(key.status, "RegOpenKeyExW", subject(root, subKey));
}

ValueState Win32Registry::readValue(Root root, std::u16string_view subKey, std::u16string_view name) {
    const auto valueName = terminated(name);
    if (!valueName) return {Existence::Absent, {}};
    const OpenedForQuery key(root, subKey);
    if (!key.handle()) return {existenceAfter(key.status, "RegOpenKeyExW", subject(root, subKey)), {}};
    // The value may grow between asking its size and reading it: ask again then.
    std::vector<std::uint8_t> data;
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = 0;
        LSTATUS status = RegQueryValueExW(key.handle(), valueName->c_str(), nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return {existenceAfter(status, "RegQueryValueExW", subject(root, subKey, name)), {}};
        data.resize(size);
        status = RegQueryValueExW(key.handle(), valueName->c_str(), nullptr, &type,
                                  data.empty() ? nullptr : data.data(), &size);
        if (status == ERROR_MORE_DATA) continue;
        if (status != ERROR_SUCCESS)
            return {existenceAfter(status, "RegQueryValueExW", subject(root, subKey, name)), {}};
        data.resize(size);
        return {Existence::Present, {static_cast<ValueKind>(type), std::move(data)}};
    }
    traceError("RegQueryValueExW", ERROR_MORE_DATA, subject(root, subKey, name));  // it kept growing
    return {Existence::Failed, {}};
}

KeyContents Win32Registry::readKey(Root root, std::u16string_view subKey) {
    const auto path = terminated(subKey);
    if (!path) return {};
    UniqueKey key;
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyExW(rootHandle(root), path->c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened);
    if (status != ERROR_SUCCESS) return {existenceAfter(status, "RegOpenKeyExW", subject(root, subKey)), {}, {}};
    key.reset(opened);
    KeyContents contents{Existence::Present, {}, {}};
    if (!readContents(key.get(), contents)) {
        traceError("RegEnumValueW", ERROR_INVALID_DATA, subject(root, subKey));
        return {Existence::Failed, {}, {}};
    }
    return contents;
}

Change Win32Registry::deleteValue(Root root, std::u16string_view subKey, std::u16string_view name) {
    letKeptKeyGo();
    const auto path = terminated(subKey);
    const auto valueName = terminated(name);
    if (!path || !valueName) return Change::Absent;
    HKEY opened = nullptr;
    const LSTATUS status =
        noted(RegOpenKeyExW(rootHandle(root), path->c_str(), 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &opened));
    if (status != ERROR_SUCCESS) return changeAfter(status, "RegOpenKeyExW", subject(root, subKey));
    const UniqueKey key(opened);
    return changeAfter(noted(RegDeleteValueW(key.get(), valueName->c_str())), "RegDeleteValueW",
                       subject(root, subKey, name));
}

Change Win32Registry::deleteKey(Root root, std::u16string_view subKey) {
    letKeptKeyGo();
    const auto path = terminated(subKey);
    if (!path) return Change::Absent;
    if (path->empty()) return Change::Failed;  // a root is never deleted
    const std::size_t last = path->rfind(L'\\');
    const std::wstring parentPath = last == std::wstring::npos ? std::wstring() : path->substr(0, last);
    const std::wstring name = last == std::wstring::npos ? *path : path->substr(last + 1);
    HKEY opened = nullptr;
    const LSTATUS status = noted(RegOpenKeyExW(rootHandle(root), parentPath.c_str(), 0,
                                               KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened));
    if (status != ERROR_SUCCESS) return changeAfter(status, "RegOpenKeyExW", subject(root, subKey));
    const UniqueKey parent(opened);
    return changeAfter(noted(RegDeleteTreeW(parent.get(), name.c_str())), "RegDeleteTreeW", subject(root, subKey));
}

std::int32_t Win32Registry::noted(std::int32_t status) {
    if (status != ERROR_SUCCESS) lastFailure_ = status;
    return status;
}

std::string Win32Registry::lastFailureText() {
    if (lastFailure_ == ERROR_SUCCESS) return {};
    const DWORD code = static_cast<DWORD>(lastFailure_);
    wchar_t words[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, words,
                                  static_cast<DWORD>(std::size(words) - 16), nullptr);  // room for the number
    // The system ends its words with a line break, which a line of a log cannot hold.
    while (length > 0 && (words[length - 1] == L'\r' || words[length - 1] == L'\n' || words[length - 1] == L' '))
        --length;
    // " (5)": the number after the words.
    wchar_t number[16];
    std::size_t digits = 0;
    for (DWORD rest = code; digits == 0 || rest != 0; rest /= 10)
        number[digits++] = static_cast<wchar_t>(L'0' + rest % 10);
    if (length > 0) words[length++] = L' ';
    words[length++] = L'(';
    while (digits > 0) words[length++] = number[--digits];
    words[length++] = L')';
    return text::utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(words), length));
}

void Win32Registry::closeToken(std::uintptr_t token) noexcept {
    if (token != keptToken_) RegCloseKey(reinterpret_cast<HKEY>(token));
}

}  // namespace lz::registry
