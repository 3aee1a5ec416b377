// The text codec: any bytes decode from GBK to well-formed UTF-8 and UTF-16, one character for
// each GBK character; any bytes encode to GBK that decodes without a replacement character;
// UTF-8 and UTF-16 convert into each other well-formed, the characters kept;
// GBK text that holds only characters decodes and encodes back to the same bytes.
//
// Input: a byte choosing what the rest is read as (GBK, UTF-8, UTF-16 units, or the makings of
// valid GBK), then the bytes.
#include "fuzz/fuzz_support.h"
#include "platform/text.h"

namespace {

namespace tx = lz::text;
using lz::fuzz::Input;

constexpr char16_t kReplacement = 0xFFFD;

// GBK characters read the way the codec's header describes: a lead byte 81..FE with a trail
// byte 40..7E or 80..FE is one character of two bytes, any other byte one of its own.
std::vector<std::string_view> gbkCharacters(std::string_view gbk) {
    std::vector<std::string_view> characters;
    for (std::size_t i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        const auto trail = i + 1 < gbk.size() ? static_cast<unsigned char>(gbk[i + 1]) : 0u;
        const bool pair =
            lead >= 0x81 && lead <= 0xFE && ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFE));
        characters.push_back(gbk.substr(i, pair ? 2 : 1));
        i += pair ? 2 : 1;
    }
    return characters;
}

void checkDecoding(std::string_view gbk) {
    const std::vector<std::string_view> characters = gbkCharacters(gbk);
    const std::u16string utf16 = tx::gbkToUtf16(gbk);
    const std::string utf8 = tx::gbkToUtf8(gbk);
    LZ_FUZZ_CHECK(lz::fuzz::isValidUtf16(utf16));
    LZ_FUZZ_CHECK(lz::fuzz::isValidUtf8(utf8));
    LZ_FUZZ_CHECK(tx::utf16ToUtf8(utf16) == utf8);
    LZ_FUZZ_CHECK(tx::utf8ToUtf16(utf8) == utf16);

    // One unit per character, never a surrogate: GBK holds only the Basic Multilingual Plane.
    LZ_FUZZ_CHECK(utf16.size() == characters.size());
    std::size_t pos = 0;
    std::size_t lastBackslash = std::string_view::npos;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        const std::string_view c = characters[i];
        const char16_t unit = utf16[i];
        LZ_FUZZ_CHECK(tx::gbkCharSize(gbk, pos) == c.size());
        LZ_FUZZ_CHECK(unit < 0xD800 || unit > 0xDFFF);
        const auto first = static_cast<unsigned char>(c[0]);
        if (c.size() == 2) {
            LZ_FUZZ_CHECK(unit >= 0x80);                    // a pair never stands for ASCII
            LZ_FUZZ_CHECK(unit < 0xE000 || unit > 0xF8FF);  // nor for a private-use character
        } else if (first < 0x80) {
            LZ_FUZZ_CHECK(unit == first);
        } else if (first == 0x80) {
            LZ_FUZZ_CHECK(unit == 0x20AC);
        } else {
            LZ_FUZZ_CHECK(unit == kReplacement);
        }
        if (c == "\\") lastBackslash = pos;
        pos += c.size();
    }
    LZ_FUZZ_CHECK(tx::gbkCharSize(gbk, pos) == 0);
    LZ_FUZZ_CHECK(tx::findLastBackslash(gbk) == lastBackslash);
}

// Whatever the bytes, the GBK written decodes with no replacement character: what GBK cannot
// hold is written as '?', everything else as a character that reads back as itself.
void checkEncoding(std::string_view bytes) {
    const std::string gbk = tx::utf8ToGbk(bytes);
    LZ_FUZZ_CHECK(tx::utf16ToGbk(tx::utf8ToUtf16(bytes)) == gbk);
    const std::u16string back = tx::gbkToUtf16(gbk);
    LZ_FUZZ_CHECK(back.find(kReplacement) == back.npos);

    // UTF-16 from any bytes is well-formed, and so is the UTF-8 made of it again.
    const std::u16string utf16 = tx::utf8ToUtf16(bytes);
    LZ_FUZZ_CHECK(lz::fuzz::isValidUtf16(utf16));
    const std::string utf8 = tx::utf16ToUtf8(utf16);
    LZ_FUZZ_CHECK(lz::fuzz::isValidUtf8(utf8));

    // Ill-formed UTF-8 is never read as some character: what is wrong becomes U+FFFD.
    const auto points = lz::fuzz::decodeUtf8(bytes);
    if (!points) LZ_FUZZ_CHECK(utf16.find(kReplacement) != utf16.npos);

    // Well-formed UTF-8 keeps its characters: through UTF-16 all of them, through GBK one for
    // one, some of them made '?'.
    if (points) {
        LZ_FUZZ_CHECK(utf8 == bytes);
        LZ_FUZZ_CHECK(lz::fuzz::decodeUtf16(utf16) == *points);
        LZ_FUZZ_CHECK(back.size() == points->size());
        for (std::size_t i = 0; i < points->size(); ++i) {
            const char32_t cp = (*points)[i];
            const bool outside = cp > 0xFFFF || cp == kReplacement || (cp >= 0xE000 && cp <= 0xF8FF);
            if (cp < 0x80) {
                LZ_FUZZ_CHECK(back[i] == cp);
            } else if (outside) {
                LZ_FUZZ_CHECK(back[i] == u'?');
            } else {
                LZ_FUZZ_CHECK(back[i] == cp || back[i] == u'?');
            }
        }
    }
}

// Any UTF-16 units, pairs of bytes of the input: to UTF-8 each character as itself and each
// unpaired surrogate as U+FFFD; to GBK one character or '?' for each.
void checkUnits(std::string_view bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units +=
            static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]));
    }
    const std::vector<char32_t> points = lz::fuzz::decodeUtf16(units);
    const std::string utf8 = tx::utf16ToUtf8(units);
    LZ_FUZZ_CHECK(lz::fuzz::decodeUtf8(utf8) == points);
    const std::string gbk = tx::utf16ToGbk(units);
    LZ_FUZZ_CHECK(gbk == tx::utf8ToGbk(utf8));
    LZ_FUZZ_CHECK(tx::gbkToUtf16(gbk).size() == points.size());
}

// GBK made of characters only: the bytes steer a choice of ASCII, the euro sign and any pair
// of lead and trail bytes; pairs that code page 936 leaves unassigned are left out.
std::string validGbk(Input& input) {
    std::string gbk;
    while (!input.empty()) {
        const std::uint8_t b = input.byte();
        if (b <= 0x80) {
            gbk += static_cast<char>(b);
            continue;
        }
        const auto lead = static_cast<char>(0x81 + (b - 0x81) % 126);
        unsigned trail = 0x40 + input.byte() % 190;
        if (trail >= 0x7F) ++trail;
        const char pair[2] = {lead, static_cast<char>(trail)};
        if (tx::gbkToUtf16(std::string_view(pair, 2)) != std::u16string(1, kReplacement)) gbk.append(pair, 2);
    }
    return gbk;
}

void checkRoundTrip(const std::string& gbk) {
    const std::u16string utf16 = tx::gbkToUtf16(gbk);
    LZ_FUZZ_CHECK(utf16.find(kReplacement) == utf16.npos);
    LZ_FUZZ_CHECK(tx::utf16ToGbk(utf16) == gbk);
    LZ_FUZZ_CHECK(tx::utf8ToGbk(tx::gbkToUtf8(gbk)) == gbk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    switch (input.byte() % 4) {
        case 0:
            checkDecoding(input.rest());
            break;
        case 1:
            checkEncoding(input.rest());
            break;
        case 2:
            checkUnits(input.rest());
            break;
        default: {
            const std::string gbk = validGbk(input);
            checkDecoding(gbk);
            checkRoundTrip(gbk);
            break;
        }
    }
    return 0;
}
