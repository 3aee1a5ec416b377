// A scheme as a .reg file that, imported by the system, makes the changes the optimizer makes
// when the user presses 执行 on every step in order: the steps are read by the optimizer's
// rules, and each registry step becomes its write or delete by the same rules the optimizer
// runs it by (root choice, key and value name, data). Hints and the scheme's name become
// comments; the file is UTF-16LE with a byte-order mark and the 5.00 header.
//
// A delete step whose path has no final "\" names a value, or else a key of that path; a .reg
// file can only say both ("name"=- and [-key\name]), and a comment says so. A step the
// optimizer would not run (no "\" in its path, a "SZJZ" text that is no number, a key it never
// deletes) is left out, with a comment in its place and a LeftOut for the caller.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/reg_import.h"

namespace lz::editor {

struct RegExport {
    std::string fileBytes;         // the whole file
    std::vector<LeftOut> leftOut;  // by the scheme's line numbers (counted from 1)
};

// The scheme of `rows` (its step lines, GBK, as the editor lists them) named `nameGbk`.
RegExport exportScheme(std::span<const std::string> rows, std::string_view nameGbk);

}  // namespace lz::editor
