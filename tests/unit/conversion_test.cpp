// The editor run without its window: /import and /export over in-memory files and a process
// whose standard error is recorded (or missing, as for a program started from the desktop).
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "editor/conversion.h"
#include "editor/reg_export.h"
#include "editor/reg_import.h"
#include "platform/text.h"
#include "regfile/writer.h"
#include "scheme/scheme.h"
#include "testing/memory_files.h"
#include "testing/memory_process.h"

namespace lz::editor {
namespace {

using Args = std::vector<std::string>;

std::string gbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// A 5.00 file in UTF-16LE with its mark, from lines given in UTF-8.
std::string regFile(std::initializer_list<std::string_view> lines) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n";
    for (std::string_view line : lines) text.append(text::utf8ToUtf16(line)).append(u"\r\n");
    return regfile::fileBytes(text);
}

const std::string kInReg = "C:\\输入\\加快 关机.reg";
const std::string kOutScheme = "D:\\输出\\new.lzvt";
const std::string kInScheme = "C:\\输入\\方案.lzvt";
const std::string kOutReg = "D:\\输出\\new.reg";

// Two entries a scheme carries; line 4 is a type it does not (an expandable string).
const std::string kRegAllConverted = regFile({
    "",
    "[HKEY_CURRENT_USER\\Software\\Lz]",  // line 3
    "\"文本\"=\"你好\"",                  // 4
    "\"数\"=dword:0000002a",              // 5
});
const std::string kRegOneLeftOut = regFile({
    "[HKEY_CURRENT_USER\\Software\\Lz]",  // line 2
    "\"a\"=\"1\"",                        // 3
    "\"path\"=hex(2):25,00,54,00,00,00",  // 4
});

const std::string kSchemeAllConverted =
    gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\文本|你好|ZCZ\r\nTSWB|提示\r\n方案名");
// Line 2 is a DWORD step whose text is no number: the optimizer would not run it.
const std::string kSchemeOneLeftOut = gbk(
    "ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\a|1|ZCZ\r\nZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\b|abc|SZJZ\r\n方案名");

class Conversion : public ::testing::Test {
protected:
    Conversion() {
        files.folders = {"C:\\输入", "D:\\输出"};
        files.files[kInReg] = kRegAllConverted;
        files.files[kInScheme] = kSchemeAllConverted;
    }

    std::optional<int> run(const Args& arguments) { return runConversion(arguments, files, process); }

    // The file at `path`, or nothing when there is none.
    std::optional<std::string> file(const std::string& path) const {
        const auto it = files.files.find(path);
        if (it == files.files.end()) return std::nullopt;
        return it->second;
    }

    test_support::MemoryFiles files;
    process::MemoryProcess process;
};

TEST_F(Conversion, WithoutEitherSwitchFirstTheWindowStarts) {
    const Args cases[] = {
        {},
        {"C:\\方案\\a.lzvt"},
        {"C:\\a.reg", "/import", "C:\\a.reg", "D:\\b.lzvt"},
        {"-import", kInReg, kOutScheme},
        {"/importx", kInReg, kOutScheme},
        {"/imp", kInReg, kOutScheme},
        {"/", kInReg, kOutScheme},
    };
    const auto before = files.files;
    for (const Args& arguments : cases) {
        SCOPED_TRACE(arguments.empty() ? "(none)" : arguments[0]);
        EXPECT_EQ(run(arguments), std::nullopt);
    }
    EXPECT_EQ(files.files, before);
    EXPECT_EQ(process.errorOutput, "");
}

TEST_F(Conversion, ImportWritesTheSchemeNamedAfterTheFileInAnyCaseOfTheSwitch) {
    const std::string expected =
        gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\文本|你好|ZCZ\r\n"
            "ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\数|42|SZJZ\r\n"
            "加快 关机");
    for (const char* spelling : {"/import", "/IMPORT", "/Import"}) {
        SCOPED_TRACE(spelling);
        files.files.erase(kOutScheme);
        EXPECT_EQ(run({spelling, kInReg, kOutScheme}), kConvertedAll);
        EXPECT_EQ(file(kOutScheme), expected);
    }
    EXPECT_EQ(file(kOutScheme + ".txt"), std::nullopt);
    EXPECT_EQ(process.errorOutput, "");
}

TEST_F(Conversion, TheSchemeNameIsTheFileNameWithoutItsExtension) {
    const struct {
        std::string in;
        std::string name;  // UTF-8
    } cases[] = {
        {"C:\\输入\\a.b.reg", "a.b"},       {"C:\\输入\\no extension", "no extension"}, {"C:\\输入\\.reg", ".reg"},
        {"C:\\输入\\한글.reg", "??"},  // no GBK form: as a name typed into the editor would be
        {"C:/输入/slashes.reg", "slashes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        files.files[c.in] = kRegAllConverted;
        ASSERT_EQ(run({"/import", c.in, kOutScheme}), kConvertedAll);
        const std::string written = file(kOutScheme).value_or("");
        EXPECT_EQ(scheme::readForEditor(written).name, gbk(c.name));
    }
}

TEST_F(Conversion, ExportWritesWhatTheExporterMakesOfTheSchemeAsTheEditorReadsIt) {
    EXPECT_EQ(run({"/EXPORT", kInScheme, kOutReg}), kConvertedAll);
    const std::vector<std::string> rows = {gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\文本|你好|ZCZ"),
                                           gbk("TSWB|提示")};
    const RegExport expected = exportScheme(rows, gbk("方案名"));
    ASSERT_TRUE(expected.leftOut.empty());
    EXPECT_EQ(file(kOutReg), expected.fileBytes);
    EXPECT_EQ(file(kOutReg + ".txt"), std::nullopt);
    EXPECT_EQ(process.errorOutput, "");
}

// Entries left out are listed after a line naming the file read, the count and the file
// written: on the standard error when there is one, else in OUT + ".txt", with a UTF-8 mark.
TEST_F(Conversion, WhatWasLeftOutGoesToTheStandardErrorOrBesideTheFileWritten) {
    files.files[kInReg] = kRegOneLeftOut;
    files.files[kInScheme] = kSchemeOneLeftOut;
    const struct {
        const char* what;
        Args arguments;
        std::string out;
        int line;  // the line of IN left out
    } cases[] = {
        {"import", {"/import", kInReg, kOutScheme}, kOutScheme, 4},
        {"export", {"/export", kInScheme, kOutReg}, kOutReg, 2},
    };
    for (const auto& c : cases) {
        for (const bool console : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (console ? ", with a console" : ", without a console"));
            process.hasErrorOutput = console;
            process.errorOutput.clear();
            files.files.erase(c.out);
            files.files.erase(c.out + ".txt");

            EXPECT_EQ(run(c.arguments), kConvertedSome);
            ASSERT_TRUE(file(c.out).has_value()) << "what could be converted is written";
            const std::string heading = c.arguments[1] + " 中有 1 项未能转换，其余已写入 " + c.out + "：\r\n";
            const std::string listed = console ? process.errorOutput : file(c.out + ".txt").value_or("");
            const std::string expected = (console ? "" : "\xEF\xBB\xBF") + heading;
            EXPECT_EQ(listed.substr(0, expected.size()), expected);
            const std::string rest = listed.substr(std::min(expected.size(), listed.size()));
            EXPECT_TRUE(rest.starts_with("第 " + std::to_string(c.line) + " 行：")) << rest;
            EXPECT_TRUE(rest.ends_with("\r\n")) << rest;
            EXPECT_EQ(std::count(rest.begin(), rest.end(), '\n'), 1) << rest;
            if (console) {
                EXPECT_EQ(file(c.out + ".txt"), std::nullopt);
            } else {
                EXPECT_EQ(process.errorOutput, "");
            }
        }
    }
    // The import keeps the entry it could convert.
    EXPECT_EQ(file(kOutScheme), gbk("ZCBTJ|HKEY_CURRENT_USER\\Software\\Lz\\a|1|ZCZ\r\n加快 关机"));
}

// Nothing could be written: the reason on the standard error (nowhere without one), OUT as it
// was, and no list beside it.
TEST_F(Conversion, WhenNothingCanBeWrittenOutStaysAsItWas) {
    files.files["C:\\输入\\notes.reg"] = "just some text\r\nnot a registry file";
    files.files["C:\\输入\\empty.reg"] = "";
    files.refuseWritesBelow("D:\\只读");
    files.folders.insert("D:\\只读");
    files.files["D:\\只读\\old.lzvt"] = "old bytes";
    const struct {
        const char* what;
        Args arguments;
        std::string out;
        std::string message;
    } cases[] = {
        {"IN missing",
         {"/import", "C:\\输入\\missing.reg", kOutScheme},
         kOutScheme,
         std::string(kUnreadableMessage) + "C:\\输入\\missing.reg"},
        {"scheme missing",
         {"/export", "C:\\输入\\missing.lzvt", kOutReg},
         kOutReg,
         std::string(kUnreadableMessage) + "C:\\输入\\missing.lzvt"},
        {"no header",
         {"/import", "C:\\输入\\notes.reg", kOutScheme},
         kOutScheme,
         std::string(kNotARegistryFileMessage) + "C:\\输入\\notes.reg"},
        {"empty file",
         {"/import", "C:\\输入\\empty.reg", kOutScheme},
         kOutScheme,
         std::string(kNotARegistryFileMessage) + "C:\\输入\\empty.reg"},
        {"OUT refused",
         {"/import", kInReg, "D:\\只读\\old.lzvt"},
         "D:\\只读\\old.lzvt",
         std::string(kUnwritableMessage) + "D:\\只读\\old.lzvt"},
        {"OUT's folder missing",
         {"/export", kInScheme, "E:\\nowhere\\x.reg"},
         "E:\\nowhere\\x.reg",
         std::string(kUnwritableMessage) + "E:\\nowhere\\x.reg"},
    };
    files.files[kOutScheme] = "earlier scheme";
    for (const auto& c : cases) {
        for (const bool console : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (console ? ", with a console" : ", without a console"));
            process.hasErrorOutput = console;
            process.errorOutput.clear();
            const auto before = files.files;

            EXPECT_EQ(run(c.arguments), kNothingConverted);
            EXPECT_EQ(files.files, before);
            EXPECT_EQ(process.errorOutput, console ? c.message + "\r\n" : "");
        }
    }
}

TEST_F(Conversion, ABadCommandLineGetsTheUsageAndWritesNothing) {
    const struct {
        Args arguments;
        std::string reason;
    } cases[] = {
        {{"/import"}, kMissingArgumentsMessage},
        {{"/export", kInScheme}, kMissingArgumentsMessage},
        {{"/import", "", kOutScheme}, kMissingArgumentsMessage},
        {{"/import", kInReg, ""}, kMissingArgumentsMessage},
        {{"/import", kInReg, kOutScheme, "D:\\third"}, kTooManyArgumentsMessage},
        {{"/import", "/s", kInReg, kOutScheme}, std::string(kUnknownSwitchMessage) + "/s"},
        {{"/export", kInScheme, kOutReg, "/Quiet"}, std::string(kUnknownSwitchMessage) + "/Quiet"},
        {{"/import", "/export", kOutScheme}, std::string(kUnknownSwitchMessage) + "/export"},
    };
    const auto before = files.files;
    for (const auto& c : cases) {
        for (const bool console : {true, false}) {
            SCOPED_TRACE(c.reason + (console ? ", with a console" : ", without a console"));
            process.hasErrorOutput = console;
            process.errorOutput.clear();
            EXPECT_EQ(run(c.arguments), kNothingConverted);
            EXPECT_EQ(process.errorOutput, console ? c.reason + "\r\n" + kUsage : "");
            EXPECT_EQ(files.files, before);
        }
    }
}

}  // namespace
}  // namespace lz::editor
