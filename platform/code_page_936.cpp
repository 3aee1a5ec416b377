// Code page 936 as iconv reads it (platform/code_page_936.h), for the builds other than
// Windows': the unit tests, the fuzz targets and the benchmarks on Linux. Windows reads it itself
// (win32/code_page_936_win32.cpp).
#ifndef _WIN32
#include "platform/code_page_936.h"

#include <iconv.h>

namespace lz::text {

char16_t decodeCodePage936(std::string_view character) {
    // One converter for the whole table, reset before each character.
    static const iconv_t cd = iconv_open("UTF-16LE", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1)) return u'\uFFFD';
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char buffer[2] = {character[0], character.size() > 1 ? character[1] : '\0'};
    unsigned char out[4] = {};
    char* inPtr = buffer;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = character.size();
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return u'\uFFFD';
    if (inLeft != 0 || outLeft != sizeof out - 2) return u'\uFFFD';  // not exactly one BMP unit
    return static_cast<char16_t>(out[0] | (out[1] << 8));
}

}  // namespace lz::text
#endif
