#include "platform/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using lz::cmdline::firstArgument;
using lz::cmdline::splitCommandLine;
using Args = std::vector<std::string>;

// GBK bytes: 方案 = B7 BD B0 B8, 我的 = CE D2 B5 C4, 乗 = 81 5C.
TEST(CommandLine, Splits) {
  const struct {
    const char* name;
    std::string line;
    Args expected;
  } cases[] = {
      {"empty", "", {}},
      {"blanks only", "  \t ", {}},
      {"program only", "lzvtEditor.exe", {"lzvtEditor.exe"}},
      {"chinese path", "C:\\lz\\lzvtEditor.exe C:\\\xB7\xBD\xB0\xB8\\a.lzvt",
       {"C:\\lz\\lzvtEditor.exe", "C:\\\xB7\xBD\xB0\xB8\\a.lzvt"}},
      {"quoted, with blanks", "\"C:\\Program Files\\lzvtEditor.exe\" \"D:\\\xCE\xD2\xB5\xC4 \xB7\xBD\xB0\xB8\\b.lzvt\"",
       {"C:\\Program Files\\lzvtEditor.exe", "D:\\\xCE\xD2\xB5\xC4 \xB7\xBD\xB0\xB8\\b.lzvt"}},
      {"unquoted path cut at the blank", "editor D:\\\xCE\xD2\xB5\xC4 \xB7\xBD\xB0\xB8\\b.lzvt",
       {"editor", "D:\\\xCE\xD2\xB5\xC4", "\xB7\xBD\xB0\xB8\\b.lzvt"}},
      {"trail byte 5C stays", "editor C:\\\x81\x5C\\x.lzvt", {"editor", "C:\\\x81\x5C\\x.lzvt"}},
      {"control characters separate", "a\tb\r\nc\x7F" "d", {"a", "b", "c", "d"}},
      {"runs of blanks", "  a   b  ", {"a", "b"}},
      {"unclosed quote runs to the end", "editor \"C:\\a b", {"editor", "C:\\a b"}},
      {"quote ends an unquoted argument", "editor ab\"cd ef\"gh", {"editor", "ab", "cd ef", "gh"}},
      {"empty quoted argument", "editor \"\" x", {"editor", "", "x"}},
      {"lead byte before a blank", "editor a\x81 b", {"editor", "a\x81", "b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(splitCommandLine(c.line), c.expected);
  }
}

TEST(CommandLine, FirstArgument) {
  EXPECT_EQ(firstArgument(""), std::nullopt);
  EXPECT_EQ(firstArgument("\"C:\\lz dir\\lzvtEditor.exe\"  "), std::nullopt);
  EXPECT_EQ(firstArgument("editor C:\\\xB7\xBD\xB0\xB8.lzvt second third"), "C:\\\xB7\xBD\xB0\xB8.lzvt");
  EXPECT_EQ(firstArgument("editor \"D:\\my schemes\\a.lzvt\" ignored"), "D:\\my schemes\\a.lzvt");
  EXPECT_EQ(firstArgument("editor D:\\my schemes\\a.lzvt"), "D:\\my");
  EXPECT_EQ(firstArgument("editor \"\""), "");
}

}  // namespace
