// Bringing a .reg file into a scheme: each of the file's operations that a scheme can carry
// becomes the step the optimizer runs to the same effect; what it cannot carry is left out and
// named, with its line and the reason, never dropped silently.
//
//  - "name"="text" -> "ZCZ"; dword: (and hex(4) of 4 bytes) -> "SZJZ" with the number in
//    decimal; hex: -> "EJZSZ" whose value text is the very bytes; hex(1) holding a string with
//    its terminating zero -> "ZCZ"; @= -> the key's path with a final "\".
//  - "name"=- -> a delete step of the value's path; [-key] -> a delete step of the key's path
//    with a final "\"; "name"=- directly followed by [-key\name] (how an export writes a delete
//    step that names a value or else a key) -> one delete step of that path.
//  - Roots are taken by their full names only, in any case, as the system's importer takes
//    them: a file's HKCU\... is no key to it, and is left out as an unknown root.
// Left out: text or names with "|", a line break or a character GBK has no code for; binary
// data with a line feed or "|"; other types (hex(2), hex(7), hex(b), hex(0), ...); @=-; a
// value name holding "\"; a section with no value (a key created alone); an unknown root; and
// every line the reader could not read.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lz::editor {

// An entry of a file that did not become a step, or a step that did not become an entry.
struct LeftOut {
    int line = 0;        // the file's line (counted from 1)
    std::string reason;  // UTF-8, for the user
    bool operator==(const LeftOut&) const = default;
};

struct RegImport {
    bool isRegistryFile = false;    // the file has a registry file's header
    std::vector<std::string> rows;  // scheme step lines (GBK), in the file's order
    std::vector<LeftOut> leftOut;   // in line order
};

// Maps a whole .reg file (its bytes, in any of the forms the reader takes).
RegImport importRegistryFile(std::string_view fileBytes);

// "第 12 行：reason", one line each, ended by CR LF.
std::string describeLeftOut(std::span<const LeftOut> leftOut);

}  // namespace lz::editor
