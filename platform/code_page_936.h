// The system's own reading of code page 936, from which the text codec (text.h) builds its
// lookup tables once: MultiByteToWideChar on Windows (win32/code_page_936_win32.cpp, built
// into the portable library there), iconv's "CP936" elsewhere (code_page_936.cpp).
#pragma once

#include <string_view>

namespace lz::text {

// The one UTF-16 unit that the system reads one character of one or two bytes as; U+FFFD when
// the code page assigns it nothing or it is not exactly one unit.
char16_t decodeCodePage936(std::string_view character);

}  // namespace lz::text
