// The registry step of a scheme: turning a path text, a value text and a type code (GBK bytes,
// as the runner shows them) into one registry write, and telling afterwards whether the entry
// the path names exists.
//
// A path is a root name, "\", the key path and "\" with a value name; a final "\" names the
// key's default value. Only the exact, case-sensitive names HKEY_CLASSES_ROOT,
// HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_USERS choose their root; any other first
// component (HKCU, hkey_current_user, HKEY_CURRENT_CONFIG, nothing) means HKEY_CURRENT_CONFIG.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace lz::steps {

struct ConvertedPath {
    registry::Root root = registry::Root::CurrentConfig;
    std::string rest;  // GBK: everything after the first "\", unchanged (a final "\" kept)
    bool operator==(const ConvertedPath&) const = default;
};

// Root and rest of a path. Nothing for a path without any "\" (the empty path included): it
// names nothing below a root, and nothing is ever written for it.
std::optional<ConvertedPath> convertPath(std::string_view gbkPath);

// The key and value a path names, ready for the registry.
struct RegistryEntry {
    registry::Root root = registry::Root::CurrentConfig;
    std::u16string subKey;     // empty: the root itself
    std::u16string valueName;  // empty: the key's default value
    bool operator==(const RegistryEntry&) const = default;
};

// Converts the path and splits its rest at the last "\" that is a real backslash (the second
// byte of a double-byte character such as 乗, 81 5C, is not one). The key part keeps only its
// non-empty names: a leading "\", a doubled "\" or a final "\" before the value name add no
// empty key name (the registry has none), so "a\\b\" is key a\b. Nothing for a path
// without "\".
std::optional<RegistryEntry> resolveRegistryEntry(std::string_view gbkPath);

// The number a "SZJZ" value text stands for, as the 32-bit value to store, or nothing when the
// text is not a whole number that fits; then nothing is written, rather than a made-up value.
//  - Blanks (space, tab, CR, LF) before and after the number are ignored.
//  - Decimal, with an optional + or -: 0 to 4294967295 as they are, and -2147483648 to -1 as
//    their two's complement (-1 is 0xFFFFFFFF), the two ways a DWORD is commonly given.
//  - Hexadecimal with a 0x or 0X prefix, unsigned, up to 0xFFFFFFFF: tweaks are often quoted
//    that way, and 0x10 read as a decimal would silently be 0.
//  - A fraction only when it is zero ("1.0", "1."); 1.5 names no DWORD and is refused rather
//    than rounded or cut.
//  - Refused: anything else — empty text, other characters (a vertical tab or form feed
//    around the number too), exponents, digit separators, numbers outside the range (never
//    clamped or wrapped).
std::optional<std::uint32_t> parseDwordText(std::string_view gbkText);

// One value write, ready for the registry: where, what type, which bytes.
struct RegistryWrite {
    RegistryEntry entry;
    registry::ValueKind type = registry::ValueKind::String;
    std::vector<std::uint8_t> data;
};

// The write a step stands for: the path names key and value (see resolveRegistryEntry); the
// type code chooses the data: "EJZSZ" the value's GBK bytes as REG_BINARY (no terminator,
// nothing for an empty text), "SZJZ" a REG_DWORD by parseDwordText (little-endian), any other
// code the value as a REG_SZ in UTF-16 with its terminating zero. Nothing when the step writes
// nothing: a path without "\" or a "SZJZ" text that is not a number.
std::optional<RegistryWrite> prepareRegistryWrite(std::string_view gbkPath, std::string_view gbkValue,
                                                  std::string_view typeCode);

// Makes the write: opens the key for writing, or creates it with its missing parents; a key
// created stays created even when setting the value then fails. Done exactly when the value
// was set; Denied when the key could not be opened or made for lack of rights.
registry::Change applyRegistryWrite(registry::Registry& registry, const RegistryWrite& write);

// Whether the entry a path names exists, three ways: a missing key or value is Absent; a path
// without "\" names none, so it is Absent as well.
registry::Existence lookUpRegistryEntry(registry::Registry& registry, std::string_view gbkPath);

// Whether the value a path names is there: yes only when the registry showed it; a test that
// could not tell answers no, since "it exists" is a claim that needs the registry's word.
bool registryEntryExists(registry::Registry& registry, std::string_view gbkPath);

}  // namespace lz::steps
