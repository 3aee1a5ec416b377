// Names that GBK cannot hold, for the end-to-end tests of program folders and scheme files
// named so. The programs must carry such paths in Unicode: narrowed to GBK, these characters
// turn into "?" and the path names a file that is not there.
#pragma once

#include <string>
#include <string_view>

#include "platform/text.h"
#include "tests/e2e/driver.h"

namespace lz::e2e {

// Hangul and an emoji beyond the Basic Multilingual Plane (a surrogate pair in UTF-16), with a
// blank between them, so that only a quoted path reaches a program whole.
inline const std::wstring kOutsideGbk = L"한글 😀";
// kOutsideGbk narrowed to GBK: one "?" for each of its characters but the blank.
inline constexpr std::string_view kOutsideGbkNarrowed = "?? ?";

// The GBK form of a text by the programs' own conversion.
inline std::string ProgramsGbk(std::wstring_view text) {
    return text::utf8ToGbk(Narrow(text));
}

}  // namespace lz::e2e
