// Code page 936 as Windows reads it (platform/code_page_936.h). Built into the portable library
// on Windows: whatever converts text needs it, the unit tests too, not only the programs.
#include <windows.h>

#include "platform/code_page_936.h"

namespace lz::text {

char16_t decodeCodePage936(std::string_view character) {
    wchar_t out[2] = {};
    const int n =
        MultiByteToWideChar(936, MB_ERR_INVALID_CHARS, character.data(), static_cast<int>(character.size()), out, 2);
    return n == 1 ? static_cast<char16_t>(out[0]) : u'\uFFFD';
}

}  // namespace lz::text
