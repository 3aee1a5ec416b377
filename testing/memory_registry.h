// An in-memory registry for the unit tests of everything that writes the registry.
//
// Like the real one: key paths are "\"-separated below one of the five roots, key and value
// names compare case-insensitively (ASCII letters only here), a key name is 1 to 255 units
// without "\" or NUL, creating a key creates the missing keys above it, and a value has a type
// and bytes. A test can read every value back, see the order in which keys were created and
// values set, count the keys still open, and make opening, creating, setting, reading or the
// existence tests fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace lz::registry {

// One change the registry made, in the order it made them.
struct Write {
    enum class Kind { KeyCreated, ValueSet, ValueDeleted, KeyDeleted };
    Kind kind = Kind::ValueSet;
    Root root = Root::CurrentUser;
    std::u16string key;   // the key's path as first created (root: empty)
    std::u16string name;  // ValueSet, ValueDeleted: the value name as given (default value: empty)
    Value value;          // ValueSet: what was stored
    bool operator==(const Write&) const = default;
};

class MemoryRegistry final : public Registry {
public:
    MemoryRegistry() = default;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    Key openForWrite(Root root, std::u16string_view subKey) override;
    Key create(Root root, std::u16string_view subKey) override;
    bool setValue(const Key& key, std::u16string_view name, ValueKind type,
                  std::span<const std::uint8_t> data) override;
    Existence valueExists(Root root, std::u16string_view subKey, std::u16string_view name) override;
    Existence keyExists(Root root, std::u16string_view subKey) override;
    ValueState readValue(Root root, std::u16string_view subKey, std::u16string_view name) override;
    KeyContents readKey(Root root, std::u16string_view subKey) override;
    Change deleteValue(Root root, std::u16string_view subKey, std::u16string_view name) override;
    Change deleteKey(Root root, std::u16string_view subKey) override;
    // kDeniedText after a refusal for lack of rights, kFailedText after a refused value write.
    std::string lastFailureText() override { return lastFailure_; }
    static constexpr const char* kDeniedText = "拒绝访问。 (5)";
    static constexpr const char* kFailedText = "无法写入该值。 (1018)";

    // ---- for tests ----
    // The value, or nothing when the key or the value is missing.
    std::optional<Value> value(Root root, std::u16string_view subKey, std::u16string_view name) const;
    bool hasKey(Root root, std::u16string_view subKey) const;
    // Creates the key (and its parents) and sets the value, bypassing every refusal; not recorded
    // in writes(). False only for an invalid key path.
    bool putValue(Root root, std::u16string_view subKey, std::u16string_view name, Value value);
    const std::vector<Write>& writes() const noexcept { return writes_; }
    void clearWrites() noexcept { writes_.clear(); }
    std::size_t openKeyCount() const noexcept { return open_.size(); }

    // Creates the key (and its parents) without a value, bypassing every refusal.
    bool putKey(Root root, std::u16string_view subKey);
    // Every key and value below `subKey` (itself included) as "path" and "path : name = type/bytes"
    // lines, sorted: two registries hold the same subtree when these are equal.
    std::vector<std::u16string> dump(Root root, std::u16string_view subKey) const;

    // Opening or creating this key, or any key below it, for writing fails from now on (like a
    // key whose access rights allow only reading); so does deleting it or a value in it. The
    // refusal is for lack of rights (Key::denied(), Change::Denied).
    void refuseKeyWrites(Root root, std::u16string_view subKey);
    // Setting a value in this key, or any key below it, fails from now on; opening still works.
    void refuseValueWrites(Root root, std::u16string_view subKey);
    // Every value existence test answers Failed while this is on.
    void failExistenceTests(bool fail = true) noexcept { failExistence_ = fail; }
    // Every key existence test answers Failed while this is on.
    void failKeyTests(bool fail = true) noexcept { failKeyTests_ = fail; }
    // Reading a value of this key, or of any key below it, fails from now on (like a key the user
    // has no right to read); the keys still exist.
    void refuseReads(Root root, std::u16string_view subKey);
    // Every refusal above ends (as when the owner of a locked key unlocks it).
    void stopRefusing() noexcept {
        refusedKeys_.clear();
        refusedValues_.clear();
        refusedReads_.clear();
    }

private:
    using Path = std::pair<Root, std::u16string>;  // root and case-folded key path

    struct NamedValue {
        std::u16string name;  // as first set
        Value value;
    };
    struct KeyData {
        std::u16string path;                          // as first created
        std::map<std::u16string, NamedValue> values;  // by case-folded name
    };

    void closeToken(std::uintptr_t token) noexcept override;
    Key openExisting(const Path& path);
    bool refused(const std::vector<Path>& list, const Path& path) const;
    KeyData* createPath(Root root, std::u16string_view subKey, bool record);
    // The keys strictly below `path`, deepest first.
    std::vector<Path> keysBelow(const Path& path) const;

    std::map<Path, KeyData> keys_;
    std::map<std::uintptr_t, Path> open_;
    std::uintptr_t nextToken_ = 1;
    std::vector<Path> refusedKeys_;
    std::vector<Path> refusedValues_;
    std::vector<Path> refusedReads_;
    bool failExistence_ = false;
    bool failKeyTests_ = false;
    std::vector<Write> writes_;
    std::string lastFailure_;
};

}  // namespace lz::registry
