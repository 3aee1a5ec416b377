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

// One character read from UTF-8 text: its code point and its length in bytes (0 when `pos` is
// at or past the end). Bytes that do not start a well-formed character (an overlong form, an
// encoded surrogate, a number past U+10FFFF, a missing or stray continuation byte) give U+FFFD,
// `wellFormed` false and the length of the maximal ill-formed subpart: the lead byte and the
// continuation bytes that were still valid after it. The converters below read UTF-8 by it.
struct Utf8Character {
    char32_t codePoint = 0xFFFD;
    std::size_t size = 0;
    bool wellFormed = false;
};

constexpr Utf8Character readUtf8(std::string_view utf8, std::size_t pos) noexcept {
    if (pos >= utf8.size()) return {};
    const auto lead = static_cast<unsigned char>(utf8[pos]);
    if (lead < 0x80) return {lead, 1, true};
    std::size_t continuations = 0;
    char32_t codePoint = 0;
    unsigned low = 0x80, high = 0xBF;  // the range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        codePoint = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        codePoint = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong forms
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return {0xFFFD, 1, false};
    }
    std::size_t size = 1;
    for (; size <= continuations; ++size) {
        if (pos + size >= utf8.size()) return {0xFFFD, size, false};
        const auto next = static_cast<unsigned char>(utf8[pos + size]);
        if (next < low || next > high) return {0xFFFD, size, false};
        codePoint = codePoint << 6 | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {codePoint, size, true};
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
