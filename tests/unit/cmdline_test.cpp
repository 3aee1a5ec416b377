#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using lz::cmdline::arguments;
using lz::cmdline::firstArgument;
using Args = std::vector<std::string>;

// Lines in UTF-16 as the system gives them, arguments in UTF-8; each case lists every argument
// the line holds: the programs take those after the program name, all of them or the first. 乗 is 81 5C in
// GBK, whose second byte is the backslash's; 한글 and 😀 (a surrogate pair, D83D DE00) have no GBK form at all.
TEST(CommandLine, SplitsAtBlanksAndQuotes) {
    const struct {
        const char* name;
        std::u16string line;
        Args expected;
    } cases[] = {
        {"empty", u"", {}},
        {"blanks only", u"  \t ", {}},
        {"program only", u"lzvtEditor.exe", {"lzvtEditor.exe"}},
        {"chinese path", u"C:\\lz\\lzvtEditor.exe C:\\方案\\a.lzvt", {"C:\\lz\\lzvtEditor.exe", "C:\\方案\\a.lzvt"}},
        {"quoted, with blanks",
         u"\"C:\\Program Files\\lzvtEditor.exe\" \"D:\\我的 方案\\b.lzvt\"",
         {"C:\\Program Files\\lzvtEditor.exe", "D:\\我的 方案\\b.lzvt"}},
        {"unquoted path cut at the blank", u"editor D:\\我的 方案\\b.lzvt", {"editor", "D:\\我的", "方案\\b.lzvt"}},
        {"character whose GBK form holds 5C", u"editor C:\\乗\\x.lzvt", {"editor", "C:\\乗\\x.lzvt"}},
        {"characters outside GBK", u"editor C:\\Users\\한글\\a.lzvt", {"editor", "C:\\Users\\한글\\a.lzvt"}},
        {"surrogate pair", u"editor D:\\😀.lzvt", {"editor", "D:\\😀.lzvt"}},
        {"quoted, with blanks, outside GBK",
         u"\"C:\\한글 폴더\\lzvtEditor.exe\" \"D:\\내 방안\\😀 b.lzvt\"",
         {"C:\\한글 폴더\\lzvtEditor.exe", "D:\\내 방안\\😀 b.lzvt"}},
        {"wide blanks are no separators", u"editor a\u3000b\u00A0c", {"editor", "a\u3000b\u00A0c"}},
        {"control characters separate", u"a\tb\r\nc\177d", {"a", "b", "c", "d"}},
        {"runs of blanks", u"  a   b  ", {"a", "b"}},
        {"unclosed quote runs to the end", u"editor \"C:\\a b", {"editor", "C:\\a b"}},
        {"quote ends an unquoted argument", u"editor ab\"cd ef\"gh", {"editor", "ab", "cd ef", "gh"}},
        {"empty quoted argument", u"editor \"\" x", {"editor", "", "x"}},
        {"switch and two paths",
         u"lzvtEditor.exe /import \"C:\\我的 文件\\a.reg\" D:\\b.lzvt",
         {"lzvtEditor.exe", "/import", "C:\\我的 文件\\a.reg", "D:\\b.lzvt"}},
        {"empty quoted last argument", u"editor a \"\"", {"editor", "a", ""}},
        {"unpaired surrogate before a blank",
         std::u16string(u"editor a") + char16_t(0xD83D) + u" b",
         {"editor", "a\uFFFD", "b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> first =
            c.expected.size() > 1 ? std::optional<std::string>(c.expected[1]) : std::nullopt;
        EXPECT_EQ(firstArgument(c.line), first);
        const Args afterProgram = c.expected.empty() ? Args{} : Args(c.expected.begin() + 1, c.expected.end());
        EXPECT_EQ(arguments(c.line), afterProgram);
    }
}

TEST(CommandLine, FirstArgument) {
    EXPECT_EQ(firstArgument(u""), std::nullopt);
    EXPECT_EQ(firstArgument(u"\"C:\\lz dir\\lzvtEditor.exe\"  "), std::nullopt);
    EXPECT_EQ(firstArgument(u"editor C:\\方案.lzvt second third"), "C:\\方案.lzvt");
    EXPECT_EQ(firstArgument(u"editor \"D:\\my schemes\\a.lzvt\" ignored"), "D:\\my schemes\\a.lzvt");
    EXPECT_EQ(firstArgument(u"editor D:\\my schemes\\a.lzvt"), "D:\\my");
    EXPECT_EQ(firstArgument(u"editor \"\""), "");
    EXPECT_EQ(firstArgument(u"\"C:\\사용자\\lzvtEditor.exe\" \"C:\\사용자\\😀 방안.lzvt\" x"),
              "C:\\사용자\\😀 방안.lzvt");
}

}  // namespace
