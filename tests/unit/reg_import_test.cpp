// A .reg file brought into a scheme: each entry as the step the optimizer runs to its effect,
// each entry a scheme cannot carry left out with its line and reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/reg_import.h"
#include "platform/text.h"
#include "regfile/writer.h"

namespace lz::editor {
namespace {

std::string gbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// A 5.00 file in UTF-16LE with its mark, from lines given in UTF-8.
std::string regFile(std::initializer_list<std::string_view> lines) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n";
    for (std::string_view line : lines) text.append(text::utf8ToUtf16(line)).append(u"\r\n");
    return regfile::fileBytes(text);
}

TEST(RegImport, EveryFormBecomesTheStepTheOptimizerRunsToItsEffect) {
    const RegImport imported = importRegistryFile(regFile({
        "",
        "[HKEY_CURRENT_USER\\Software\\T]",            // line 3
        "\"Text\"=\"中文 \\\"quoted\\\" \\\\ back\"",  // 4
        "\"Number\"=dword:ffffffff",                   // 5
        "\"Blob\"=hex:4c,5a,00,ff",                    // 6
        "\"Str1\"=hex(1):61,00,62,00,00,00",           // 7
        "\"Dw4\"=hex(4):10,00,00,00",                  // 8
        "@=\"默认\"",                                  // 9
        "\"Gone\"=-",                                  // 10
        "",
        "[-HKEY_CURRENT_USER\\Software\\T\\Old]",  // 12
        "[hkey_local_machine\\SOFTWARE\\T]",       // 13
        "\"x\"=dword:00000001",                    // 14
        "[HKEY_CURRENT_CONFIG\\T]",                // 15
        "\"c\"=\"1\"",
        "[HKEY_CURRENT_USER\\T]",  // an export's delete step of a value, or else a key
        "\"v\"=-",
        "[-HKEY_CURRENT_USER\\T\\v]",
    }));
    EXPECT_EQ(imported.leftOut, std::vector<LeftOut>{});
    EXPECT_EQ(imported.rows, (std::vector<std::string>{
                                 gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\Text|中文 \"quoted\" \\ back|ZCZ"),
                                 "ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\Number|4294967295|SZJZ",
                                 "ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\Blob|LZ" + std::string("\0\xFF", 2) + "|EJZSZ",
                                 "ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\Str1|ab|ZCZ",
                                 "ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\Dw4|16|SZJZ",
                                 gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\T\\|默认|ZCZ"),
                                 "ZCBSC|HKEY_CURRENT_USER\\Software\\T\\Gone|SC",
                                 "ZCBSC|HKEY_CURRENT_USER\\Software\\T\\Old\\|SC",
                                 "ZCBTJ|HKEY_LOCAL_MACHINE\\SOFTWARE\\T\\x|1|SZJZ",
                                 "ZCBTJ|HKEY_CURRENT_CONFIG\\T\\c|1|ZCZ",
                                 "ZCBSC|HKEY_CURRENT_USER\\T\\v|SC",
                             }));
}

TEST(RegImport, WhatASchemeCannotCarryIsLeftOutWithItsLineAndReason) {
    struct Case {
        const char* name;
        std::string_view line;
        std::string_view reason;  // a part of the reason
    };
    const Case cases[] = {
        {"a bar in a string", "\"v\"=\"a|b\"", "“|”"},
        {"a line break in a string", "\"v\"=hex(1):61,00,0a,00,00,00", "换行"},
        {"a character GBK lacks", "\"v\"=\"\xF0\x9F\x98\x80\"", "GBK"},
        {"a bar in a name", "\"a|b\"=\"x\"", "“|”"},
        {"a backslash in a name", "\"a\\\\b\"=\"x\"", "值名"},
        {"binary with a line feed", "\"v\"=hex:41,0a,42", "二进制"},
        {"binary with a bar", "\"v\"=hex:7c", "二进制"},
        {"an expandable string", "\"v\"=hex(2):25,00,00,00", "hex(2)"},
        {"a multi-string", "\"v\"=hex(7):61,00,00,00,00,00", "hex(7)"},
        {"a qword", "\"v\"=hex(b):01,00,00,00,00,00,00,00", "hex(b)"},
        {"no type", "\"v\"=hex(0):", "hex(0)"},
        {"a string without its terminator", "\"v\"=hex(1):61,00", "零结尾"},
        {"a dword of 3 bytes", "\"v\"=hex(4):01,02,03", "4 个字节"},
        {"the default value deleted", "@=-", "@=-"},
        {"a line the reader cannot read", "\"v\"=dword:123456789", "DWORD"},
    };
    // (A value line cannot name a root: sections do, below.)
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RegImport imported = importRegistryFile(regFile({"[HKEY_CURRENT_USER\\T]", c.line, "\"ok\"=\"1\""}));
        EXPECT_EQ(imported.rows, std::vector<std::string>{"ZCBTJ|HKEY_CURRENT_USER\\T\\ok|1|ZCZ"})
            << "the rest is imported";
        ASSERT_EQ(imported.leftOut.size(), 1u);
        EXPECT_EQ(imported.leftOut[0].line, 3);
        EXPECT_NE(imported.leftOut[0].reason.find(c.reason), std::string::npos) << imported.leftOut[0].reason;
    }

    // Sections: a key created alone, a root nobody knows, a key path with a bar.
    const RegImport sections =
        importRegistryFile(regFile({"[HKEY_CURRENT_USER\\Alone]", "[HKEY_NOWHERE\\T]", "\"v\"=\"1\"",
                                    "[HKEY_CURRENT_USER\\a|b]", "\"v\"=\"1\"", "[-HKEY_NOWHERE\\T]"}));
    EXPECT_TRUE(sections.rows.empty());
    ASSERT_EQ(sections.leftOut.size(), 4u);
    EXPECT_EQ(sections.leftOut[0].line, 2);
    EXPECT_NE(sections.leftOut[0].reason.find("只创建项"), std::string::npos);
    EXPECT_EQ(sections.leftOut[1].line, 4);
    EXPECT_NE(sections.leftOut[1].reason.find("根键"), std::string::npos);
    EXPECT_EQ(sections.leftOut[2].line, 6);
    EXPECT_EQ(sections.leftOut[3].line, 7);
    EXPECT_EQ(describeLeftOut(std::span(sections.leftOut).first(1)), "第 2 行：" + sections.leftOut[0].reason + "\r\n");
}

TEST(RegImport, ARegedit4FileIsReadInGbk) {
    const std::string file =
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\T]\r\n\"" + gbk("名") + "\"=\"" + gbk("值") + "\"\r\n";
    const RegImport imported = importRegistryFile(file);
    EXPECT_TRUE(imported.leftOut.empty());
    EXPECT_EQ(imported.rows, std::vector<std::string>{gbk("ZCBTJ|HKEY_CURRENT_USER\\T\\名|值|ZCZ")});
}

}  // namespace
}  // namespace lz::editor
