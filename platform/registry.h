// The registry service: open a key for writing, create a key with its missing parents, set a
// value, close a key, tell whether a key or a value exists, read a value as it is stored, read a
// key's values and subkeys, delete a value, and delete a key with everything below it.
//
// Key paths and names are UTF-16 at this interface; value data is raw bytes with a registry
// type. Two implementations: Win32Registry (platform/win32/registry_win32.h), the real one, which
// always works in the 64-bit view, and MemoryRegistry (testing/memory_registry.h), an in-memory
// twin for the unit tests that can be told to refuse.
//
// Results, not surprises: open and create return an empty Key on failure (which tells a refusal
// for lack of rights from other failures), setValue returns false, the existence tests tell a
// key or value that is absent from one that could not be checked, and the deletions tell done,
// absent, refused and failed apart.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lz::registry {

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
inline constexpr Root kRoots[] = {Root::ClassesRoot, Root::CurrentUser, Root::LocalMachine, Root::Users,
                                  Root::CurrentConfig};

// The root's name as the registry writes it: "HKEY_CURRENT_USER", ...
constexpr std::string_view rootName(Root root) {
    switch (root) {
        case Root::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case Root::CurrentUser:
            return "HKEY_CURRENT_USER";
        case Root::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Root::Users:
            return "HKEY_USERS";
        case Root::CurrentConfig:
            return "HKEY_CURRENT_CONFIG";
    }
    return "HKEY_CURRENT_CONFIG";
}

// A key's whole path as the registry editor writes it: "HKEY_CURRENT_USER\\key" (the root alone for
// an empty key).
inline std::u16string keyPath(Root root, std::u16string_view subKey) {
    const std::string_view name = rootName(root);
    std::u16string path(name.begin(), name.end());  // ASCII
    if (!subKey.empty()) path.append(u"\\").append(subKey);
    return path;
}

// The kind of data a registry value holds. The numbers are the registry's own type codes; a
// value read back may have any code, named here or not (a ValueKind holds every 32-bit number).
enum class ValueKind : std::uint32_t {
    None = 0,
    String = 1,
    ExpandString = 2,
    Binary = 3,
    Dword = 4,
    MultiString = 7,
    Qword = 11,
};

enum class Existence {
    Present,
    Absent,  // the key or the value is not there
    Failed,  // could not tell, for example no right to read the key
};

// A value as the registry stores it: its type and its bytes, nothing added or taken away.
struct Value {
    ValueKind type = ValueKind::String;
    std::vector<std::uint8_t> data;
    bool operator==(const Value&) const = default;
};

// What a read of one value found: Present with the value, Absent, or Failed.
struct ValueState {
    Existence existence = Existence::Absent;
    Value value;  // only when Present
};

// What a change to the registry came to.
enum class Change {
    Done,
    Absent,  // there was nothing to change: the key or value is not there
    Denied,  // the user has no right to make it (access denied)
    Failed,  // any other failure
};

struct NamedValue {
    std::u16string name;  // as stored; empty: the key's default value
    Value value;
    bool operator==(const NamedValue&) const = default;
};

// What a read of one key found: its values and the names of the keys directly below it, in the
// order the registry lists them. Failed when the key cannot be read whole (no right to read it).
struct KeyContents {
    Existence existence = Existence::Absent;
    std::vector<std::u16string> subKeys;
    std::vector<NamedValue> values;
};

// Whether `name` can be the name of one key: 1 to 255 units, no "\" and no NUL.
inline bool isValidKeyName(std::u16string_view name) {
    constexpr std::size_t kMaxKeyNameLength = 255;  // units, as in the real registry
    return !name.empty() && name.size() <= kMaxKeyNameLength && name.find(u'\\') == name.npos &&
           name.find(u'\0') == name.npos;
}

// A key path or value name in the one spelling the registry compares by: ASCII letters in upper
// case (the registry ignores their case).
inline std::u16string foldedName(std::u16string_view name) {
    std::u16string folded(name);
    for (char16_t& c : folded) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return folded;
}

// Whether every name of a key path ("a\\b\\c") is a valid key name; the empty path (a root
// itself) has none and is valid.
inline bool isValidKeyPath(std::u16string_view path) {
    if (path.empty()) return true;
    for (std::size_t start = 0;;) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        if (!isValidKeyName(path.substr(start, end - start))) return false;
        if (end == path.size()) return true;
        start = end + 1;
    }
}

class Registry;

// An open key. Move-only; closes itself when destroyed. An empty Key stands for a failed open.
// It must not outlive the Registry that opened it.
class Key {
public:
    Key() = default;
    ~Key() { reset(); }
    Key(Key&& other) noexcept
        : owner_(std::exchange(other.owner_, nullptr)),
          token_(std::exchange(other.token_, 0)),
          denied_(std::exchange(other.denied_, false)) {}
    Key& operator=(Key&& other) noexcept {
        if (this != &other) {
            reset();
            owner_ = std::exchange(other.owner_, nullptr);
            token_ = std::exchange(other.token_, 0);
            denied_ = std::exchange(other.denied_, false);
        }
        return *this;
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    explicit operator bool() const noexcept { return owner_ != nullptr; }
    bool isOpen() const noexcept { return owner_ != nullptr; }
    // An empty Key that stands for an open refused for lack of rights.
    static Key denied() noexcept {
        Key key;
        key.denied_ = true;
        return key;
    }
    bool wasDenied() const noexcept { return denied_; }
    // The implementation's handle of the open key (0 when empty).
    std::uintptr_t token() const noexcept { return token_; }
    // Closes the key now; nothing when it is empty.
    inline void reset() noexcept;

private:
    friend class Registry;
    Key(Registry* owner, std::uintptr_t token) noexcept : owner_(owner), token_(token) {}

    Registry* owner_ = nullptr;
    std::uintptr_t token_ = 0;
    bool denied_ = false;
};

class Registry {
public:
    virtual ~Registry() = default;

    // Opens `subKey` below `root` for writing (values may be set). An empty sub-key opens the
    // root itself. Empty Key when the key is missing or may not be written (Key::denied() when
    // the user lacks the right).
    virtual Key openForWrite(Root root, std::u16string_view subKey) = 0;
    // Opens `subKey` for writing, creating it and every missing key above it first.
    // Empty Key when that fails (keys created before the failure may stay).
    virtual Key create(Root root, std::u16string_view subKey) = 0;
    // Sets value `name` (empty: the key's default value) of an open key to `type` and `data`,
    // stored exactly as given (a string's terminating zero is the caller's to include).
    virtual bool setValue(const Key& key, std::u16string_view name, ValueKind type,
                          std::span<const std::uint8_t> data) = 0;
    // Whether value `name` (empty: the default value) of `subKey` below `root` exists. A key
    // without that value counts as Absent.
    virtual Existence valueExists(Root root, std::u16string_view subKey, std::u16string_view name) = 0;
    // Whether `subKey` below `root` exists (the root itself always does). A key the user may not
    // read is there all the same; a path that is no valid key name names no key (Absent).
    virtual Existence keyExists(Root root, std::u16string_view subKey) = 0;
    // Value `name` of `subKey` as it is stored now. Absent when the key or the value is missing
    // or the path is no valid name; Failed when it cannot be read (no right to read the key).
    virtual ValueState readValue(Root root, std::u16string_view subKey, std::u16string_view name) = 0;
    // Every value of `subKey` (type and exact bytes) and the names of its subkeys. Absent for a
    // missing key or a path that is no valid key name; Failed when it cannot be read whole.
    virtual KeyContents readKey(Root root, std::u16string_view subKey) = 0;
    // Deletes value `name` (empty: the default value) of `subKey`.
    virtual Change deleteValue(Root root, std::u16string_view subKey, std::u16string_view name) = 0;
    // Deletes `subKey` with every key and value below it. A root itself is never deleted (Failed).
    // When a key below cannot be deleted, what could be deleted is gone and the answer is Denied
    // or Failed.
    virtual Change deleteKey(Root root, std::u16string_view subKey) = 0;

    // The system's words for the last change it could not make (opening or creating a key for
    // writing, setting a value, deleting), UTF-8, with the error's number; empty when it gave none.
    virtual std::string lastFailureText() { return {}; }

    // Closes an open key (the same as letting it go out of scope).
    static void close(Key& key) noexcept { key.reset(); }

protected:
    Key makeKey(std::uintptr_t token) noexcept { return Key(this, token); }
    // Releases the implementation's handle of a key; called exactly once per non-empty Key.
    virtual void closeToken(std::uintptr_t token) noexcept = 0;

    friend class Key;
};

inline void Key::reset() noexcept {
    if (owner_ != nullptr) std::exchange(owner_, nullptr)->closeToken(std::exchange(token_, 0));
}

// Opens `subKey` for writing, or creates it when it cannot be opened.
inline Key openOrCreate(Registry& registry, Root root, std::u16string_view subKey) {
    Key key = registry.openForWrite(root, subKey);
    if (!key) key = registry.create(root, subKey);
    return key;
}

// How far the path to `subKey` exists: Present when every key on it is there; Absent with the
// topmost missing key ("a\b" of "a\b\c" when a is there and a\b is not); Failed when the
// registry cannot tell.
struct PathState {
    Existence existence = Existence::Present;
    std::u16string firstMissing;  // only when Absent
};
inline PathState firstMissingKey(Registry& registry, Root root, std::u16string_view subKey) {
    const Existence whole = registry.keyExists(root, subKey);
    if (whole != Existence::Absent) return {whole, {}};
    for (std::size_t end = subKey.find(u'\\');; end = subKey.find(u'\\', end + 1)) {
        const std::u16string_view prefix = subKey.substr(0, end);
        const Existence existence = registry.keyExists(root, prefix);
        if (existence != Existence::Present) return {existence, std::u16string(prefix)};
        if (end == std::u16string_view::npos) return {};  // every key is there now, after all
    }
}

// The data of a REG_SZ value: the text as UTF-16 little-endian, with its terminating zero.
inline std::vector<std::uint8_t> stringValueData(std::u16string_view text) {
    std::vector<std::uint8_t> data;
    data.reserve((text.size() + 1) * 2);
    for (char16_t unit : text) {
        data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        data.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    return data;
}

// Sets the default value of `key` below `root` to the string `value` (REG_SZ, terminating zero
// counted), opening the key for writing or creating it. True exactly when the value was set.
inline bool writeDefaultString(Registry& registry, Root root, std::u16string_view key, std::u16string_view value) {
    Key opened = openOrCreate(registry, root, key);
    if (!opened) return false;
    return registry.setValue(opened, u"", ValueKind::String, stringValueData(value));
}

}  // namespace lz::registry
