#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace lz::text;

// GBK byte spellings of a few texts; the UTF-8 literals are the same texts.
struct Sample {
    const char* name;
    std::string gbk;
    std::string utf8;
    std::u16string utf16;
};

const std::vector<Sample>& samples() {
    static const std::vector<Sample> list = {
        {"ascii", "HKEY_CURRENT_USER\\abc", "HKEY_CURRENT_USER\\abc", u"HKEY_CURRENT_USER\\abc"},
        {"none", "\xCE\xDE", "无", u"无"},
        {"scheme name", "MY \xB7\xBD\xB0\xB8", "MY 方案", u"MY 方案"},
        {"message", "\xB3\xC9\xB9\xA6\xA3\xA1", "成功！", u"成功！"},
        {"trail byte 5C", "\x81\x5C", "乗", u"乗"},
        {"euro sign", "\x80", "€", u"€"},
        {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        {"line break", "\xCC\xE1\r\n\xCA\xBE", "提\r\n示", u"提\r\n示"},
    };
    return list;
}

TEST(TextConversion, ValidTextConvertsAllWays) {
    for (const auto& s : samples()) {
        SCOPED_TRACE(s.name);
        EXPECT_EQ(gbkToUtf8(s.gbk), s.utf8);
        EXPECT_EQ(utf8ToGbk(s.utf8), s.gbk);
        EXPECT_EQ(gbkToUtf16(s.gbk), s.utf16);
        EXPECT_EQ(utf16ToGbk(s.utf16), s.gbk);
        EXPECT_EQ(utf8ToUtf16(s.utf8), s.utf16);
        EXPECT_EQ(utf16ToUtf8(s.utf16), s.utf8);
    }
}

TEST(TextConversion, EmptyInEmptyOut) {
    EXPECT_EQ(gbkToUtf8(""), "");
    EXPECT_EQ(utf8ToGbk(""), "");
    EXPECT_EQ(gbkToUtf16(""), u"");
    EXPECT_EQ(utf16ToGbk(u""), "");
    EXPECT_EQ(utf8ToUtf16(""), u"");
    EXPECT_EQ(utf16ToUtf8(u""), "");
}

TEST(TextConversion, InvalidGbkBecomesReplacementCharacters) {
    const struct {
        const char* name;
        std::string gbk;
        std::u16string expected;
    } cases[] = {
        {"single byte FF", "\xFF", u"\uFFFD"},
        {"lead byte at the end", "ab\x81", u"ab\uFFFD"},
        {"lead byte before a quote", "\x81\"x", u"\uFFFD\"x"},
        {"lead byte before 7F", "\xB0\x7F", u"\uFFFD\x7F"},
        {"user-defined area", "\xAA\xA1", u"\uFFFD"},
        {"unassigned pair", "\xA2\xE3z", u"\uFFFDz"},
        {"user-defined area, high", "\xFE\xFE!", u"\uFFFD!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(gbkToUtf16(c.gbk), c.expected);
        EXPECT_EQ(gbkToUtf8(c.gbk), utf16ToUtf8(c.expected));
    }
}

TEST(TextConversion, CharactersOutsideGbkBecomeQuestionMarks) {
    const struct {
        const char* name;
        std::u16string utf16;
        std::string expected;
    } cases[] = {
        {"outside the BMP is one character", u"a\U0001F600b", "a?b"},
        {"unpaired high surrogate", std::u16string{u'a', char16_t(0xD83D), u'b'}, "a?b"},
        {"unpaired low surrogate", std::u16string{char16_t(0xDE00)}, "?"},
        {"private use", u"\uE000", "?"},
        {"replacement character", u"\uFFFD", "?"},
        {"hangul", u"한", "?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf16ToGbk(c.utf16), c.expected);
        EXPECT_EQ(utf8ToGbk(utf16ToUtf8(c.utf16)), c.expected);
    }
}

TEST(TextConversion, InvalidUtf8BecomesOneReplacementPerMaximalSubpart) {
    const struct {
        const char* name;
        std::string utf8;
        std::u16string expected;
    } cases[] = {
        {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
        {"truncated three-byte form", "\xE6\x96z", u"\uFFFDz"},
        {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {"stray continuation", "a\x80", u"a\uFFFD"},
        {"four-byte form", "\xF0\x9F\x98\x80", u"\U0001F600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(utf8ToUtf16(c.utf8), c.expected);
    }
    EXPECT_EQ(utf8ToGbk("\xC0\xAF"), "??");
    EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xDC00)}), "\xEF\xBF\xBD");
}

TEST(TextConversion, EveryDoubleByteCharacterRoundTrips) {
    // Every pair that decodes to a character encodes back to the same pair, and a long text
    // converts as a whole.
    std::string all;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F) continue;
            all.push_back(static_cast<char>(lead));
            all.push_back(static_cast<char>(trail));
        }
    }
    const std::u16string decoded = gbkToUtf16(all);
    ASSERT_EQ(decoded.size(), all.size() / 2);
    std::size_t assigned = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == u'\uFFFD') continue;
        ++assigned;
        ASSERT_EQ(utf16ToGbk(decoded.substr(i, 1)), all.substr(2 * i, 2)) << "pair " << i;
    }
    EXPECT_GT(assigned, 21000u);  // GBK holds some 21,800 characters besides ASCII
    EXPECT_EQ(utf8ToGbk(gbkToUtf8(all)), utf16ToGbk(decoded));
}

TEST(TextGbk, CharacterSize) {
    const std::string text = "a\xB7\xBD\x81";  // a, 方, a lead byte without its trail
    EXPECT_EQ(gbkCharSize(text, 0), 1u);
    EXPECT_EQ(gbkCharSize(text, 1), 2u);
    EXPECT_EQ(gbkCharSize(text, 3), 1u);
    EXPECT_EQ(gbkCharSize(text, 4), 0u);
}

TEST(TextGbk, FindLastBackslashSkipsTrailBytes) {
    constexpr auto npos = std::string_view::npos;
    const struct {
        const char* name;
        std::string gbk;
        std::size_t expected;
    } cases[] = {
        {"empty", "", npos},
        {"none", "abc", npos},
        {"last of several", "HKEY_CURRENT_USER\\a\\b", 19},
        {"final backslash", "a\\", 1},
        {"only a trail byte", "\x81\x5C", npos},
        {"before a trail byte", "a\\\x81\x5C", 1},
        {"after a trail byte", "\x81\x5C\\x", 2},
        {"after a lead byte without trail", "\x81\\", npos},  // 81 5C is one character
        {"after a single 80", "\x80\\", 1},
        {"after a single FF", "\xFF\\", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findLastBackslash(c.gbk), c.expected);
    }
}

TEST(TextUtf8, ReadsOneCharacterAndItsLengthOrTheIllFormedSubpart) {
    const struct {
        const char* name;
        std::string utf8;
        std::size_t pos;
        char32_t codePoint;
        std::size_t size;
        bool wellFormed;
    } cases[] = {
        {"ASCII", "a", 0, U'a', 1, true},
        {"NUL", std::string(1, '\0'), 0, 0, 1, true},
        {"two bytes", "\xC2\x80", 0, 0x80, 2, true},
        {"three bytes, not at the start", "x中", 1, U'中', 3, true},
        {"the first three-byte form", "\xE0\xA0\x80", 0, 0x800, 3, true},
        {"just below the surrogates", "\xED\x9F\xBF", 0, 0xD7FF, 3, true},
        {"the replacement character itself", "\xEF\xBF\xBD", 0, 0xFFFD, 3, true},
        {"four bytes", "\xF0\x9F\x98\x80", 0, 0x1F600, 4, true},
        {"the last code point", "\xF4\x8F\xBF\xBF", 0, 0x10FFFF, 4, true},
        {"at the end", "a", 1, 0xFFFD, 0, false},
        {"stray continuation", "\x80", 0, 0xFFFD, 1, false},
        {"overlong two-byte lead", "\xC1\xBF", 0, 0xFFFD, 1, false},
        {"overlong three-byte form", "\xE0\x9F\xBF", 0, 0xFFFD, 1, false},
        {"encoded surrogate", "\xED\xA0\x80", 0, 0xFFFD, 1, false},
        {"overlong four-byte form", "\xF0\x8F\xBF\xBF", 0, 0xFFFD, 1, false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", 0, 0xFFFD, 1, false},
        {"lead byte F5", "\xF5\x80\x80\x80", 0, 0xFFFD, 1, false},
        {"cut short by the end", "\xE4\xB8", 0, 0xFFFD, 2, false},
        {"cut short by ASCII", "\xF0\x9F\x98z", 0, 0xFFFD, 3, false},
        {"cut short by a lead byte", "\xE4\xE4\xB8\xAD", 0, 0xFFFD, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Utf8Character read = readUtf8(c.utf8, c.pos);
        EXPECT_EQ(read.codePoint, c.codePoint);
        EXPECT_EQ(read.size, c.size);
        EXPECT_EQ(read.wellFormed, c.wellFormed);
    }
}

#ifdef _WIN32
TEST(TextWide, MatchesTheUtf16Conversions) {
    for (const auto& s : samples()) {
        SCOPED_TRACE(s.name);
        const std::wstring wide(s.utf16.begin(), s.utf16.end());
        EXPECT_EQ(toWide(s.utf8), wide);
        EXPECT_EQ(fromWide(wide), s.utf8);
        EXPECT_EQ(gbkToWide(s.gbk), wide);
        EXPECT_EQ(wideToGbk(wide), s.gbk);
    }
    EXPECT_EQ(gbkToWide("\xFF"), L"\uFFFD");
    EXPECT_EQ(wideToGbk(L"\U0001F600"), "?");
}
#endif

}  // namespace
