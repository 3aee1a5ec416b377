// Text conversion between GBK (code page 936), UTF-8 and UTF-16.
//
// Scheme texts are GBK bytes; UI literals are UTF-8; Win32 calls take UTF-16. Code page 936
// is always named explicitly (iconv "CP936" on Linux, MultiByteToWideChar(936) on Windows),
// never the system's ANSI code page, so the result does not depend on the display language.
//
// The code page is read once into lookup tables; every conversion is then a plain loop over
// the input, so converting a text of many megabytes costs a few milliseconds.
//
// Invalid input is handled identically on every platform:
//  - GBK -> Unicode: bytes 00..7F stand for themselves. A lead byte 81..FE followed by a
//    trail byte (40..7E or 80..FE) is one double-byte character; if code page 936 assigns
//    nothing to the pair, the pair becomes one U+FFFD; so do the user-defined areas
//    (AAA1..AFFE, F8A1..FEFE, A140..A7A0, ...), which only Windows maps to private-use
//    characters. A lead byte without a trail byte
//    (at the end, or before a byte outside the trail range) becomes U+FFFD and the next byte
//    is read on its own. The single byte 80 is the euro sign; FF becomes U+FFFD.
//  - Unicode -> GBK: a character that GBK cannot hold (including every character outside the
//    Basic Multilingual Plane, private-use characters, U+FFFD and an unpaired surrogate)
//    becomes one '?'. The euro sign is written as the byte 80.
//  - Invalid UTF-8 becomes U+FFFD per maximal ill-formed subsequence (so '?' in GBK output);
//    an unpaired surrogate in UTF-16 becomes U+FFFD in UTF-8.
// Empty in, empty out. A NUL byte or unit is an ordinary character and is kept.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lz::text {

std::string gbkToUtf8(std::string_view gbk);
std::string utf8ToGbk(std::string_view utf8);
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view utf16);
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// Number of bytes of the GBK character that starts at `pos`: 2 for a lead byte followed by a
// trail byte, else 1 (0 when `pos` is at or past the end). Walking a GBK text with this never
// stops on the second byte of a double-byte character.
constexpr std::size_t gbkCharSize(std::string_view gbk, std::size_t pos) noexcept {
    if (pos >= gbk.size()) return 0;
    const auto lead = static_cast<unsigned char>(gbk[pos]);
    if (lead < 0x81 || lead == 0xFF || pos + 1 >= gbk.size()) return 1;
    const auto trail = static_cast<unsigned char>(gbk[pos + 1]);
    return (trail >= 0x40 && trail != 0x7F && trail != 0xFF) ? 2 : 1;
}

// Position of the last backslash of a GBK text, std::string_view::npos when there is none.
// A 0x5C byte that is the second byte of a double-byte character (乗 is 81 5C) is not one.
std::size_t findLastBackslash(std::string_view gbk);

#ifdef _WIN32
// wchar_t is a UTF-16 unit on Windows.
std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view wide);  // to UTF-8
std::wstring gbkToWide(std::string_view gbk);
std::string wideToGbk(std::wstring_view wide);
#endif

}  // namespace lz::text
