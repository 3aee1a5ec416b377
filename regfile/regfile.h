// The .reg format: what a registry file says (operations on keys and values) and how it is
// written. Files in this format are what the system's registry editor exports and imports: the
// optimizer's undo files, the editor's association undo, imports and exports of schemes.
//
// Pure C++: key paths, names and string data are UTF-16 here; the file's bytes are made by
// fileBytes (UTF-16LE with a byte-order mark, the form of "Windows Registry Editor Version 5.00").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lz::regfile {

// The registry's own type numbers, as a file writes them in hex(N).
namespace type {
inline constexpr std::uint32_t kNone = 0;
inline constexpr std::uint32_t kString = 1;
inline constexpr std::uint32_t kExpandString = 2;
inline constexpr std::uint32_t kBinary = 3;
inline constexpr std::uint32_t kDword = 4;
inline constexpr std::uint32_t kMultiString = 7;
inline constexpr std::uint32_t kQword = 11;
}  // namespace type

// A value's data as the registry stores it: its type number and its bytes (a string's bytes are
// UTF-16LE, its terminating zero included when it has one).
struct Data {
    std::uint32_t type = type::kString;
    std::vector<std::uint8_t> bytes;
    bool operator==(const Data&) const = default;
};

// What one line of a file does.
enum class OperationKind {
    AddKey,       // [key]: the key is created (with its parents) when it is missing
    DeleteKey,    // [-key]: the key goes, with everything below it
    SetValue,     // "name"=data in the section of `key`
    DeleteValue,  // "name"=- in the section of `key`
};

struct Operation {
    OperationKind kind = OperationKind::SetValue;
    std::u16string key;   // the whole path as the file writes it, root first: "HKEY_CURRENT_USER\Software"
    std::u16string name;  // SetValue, DeleteValue: the value's name; empty: the default value (@)
    Data data;            // SetValue only
    int line = 0;         // the file's line it was read from, counted from 1; 0 when made in code
    bool operator==(const Operation&) const = default;
};

inline constexpr std::u16string_view kHeader = u"Windows Registry Editor Version 5.00";

// A line of a file ends at a line break, which no key path or name in it can hold.
inline bool fitsOnALine(std::u16string_view text) {
    return text.find_first_of(u"\r\n") == text.npos;
}

}  // namespace lz::regfile
