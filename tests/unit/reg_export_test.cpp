// A scheme as a .reg file: imported by the system, it makes the changes the optimizer makes
// when every step is executed in order; what the optimizer would not run is left out and said.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/reg_export.h"
#include "editor/reg_import.h"
#include "optimizer/registry_deletes.h"
#include "platform/text.h"
#include "regfile/reader.h"
#include "regfile/writer.h"
#include "scheme/scheme.h"
#include "testing/memory_regedit.h"
#include "testing/memory_registry.h"
#include "testing/registry_step.h"

namespace lz::editor {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::ValueKind;

std::string gbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// The lines of a UTF-16LE file with its mark, in UTF-8.
std::vector<std::string> linesOf(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find(u"\r\n", start)) != text.npos; start = end + 2)
        lines.push_back(text::utf16ToUtf8(text.substr(start, end - start)));
    return lines;
}

// Runs the steps as the optimizer does when every one is executed.
void runAsTheOptimizer(MemoryRegistry& registry, const std::vector<std::string>& rows) {
    std::vector<std::string_view> views(rows.begin(), rows.end());
    const scheme::StepTable table = scheme::StepTable::fromRows(views);
    for (const scheme::Step& step : table.steps()) {
        if (step.kind == scheme::StepKind::Write)
            test_support::applyRegistryStep(registry, step.text, step.value, step.typeCode());
        if (step.kind == scheme::StepKind::Delete)
            optimizer::deleteTarget(registry, optimizer::findDeleteTarget(registry, step.text));
    }
}

void seed(MemoryRegistry& registry) {
    registry.putValue(Root::CurrentUser, u"T", u"old", {ValueKind::Dword, {1, 0, 0, 0}});
    registry.putValue(Root::CurrentUser, u"T\\Doomed\\Below", u"v", {ValueKind::Binary, {1}});
    registry.putValue(Root::CurrentUser, u"T\\Named", u"", {ValueKind::String, {'n', 0, 0, 0}});
    registry.putValue(Root::CurrentUser, u"T", u"value", {ValueKind::Dword, {1, 0, 0, 0}});
}

const std::vector<std::string> kEveryKind = {
    gbk("TSWB|提示：先备份"),
    gbk("第二行"),
    gbk("ZCBTJ|HKEY_CURRENT_USER\\T\\字符串|中文 \"引号\" \\|ZCZ"),
    "ZCBTJ|HKEY_CURRENT_USER\\T\\number|0x10|SZJZ",
    "ZCBTJ|HKEY_CURRENT_USER\\T\\negative|-1|SZJZ",
    gbk("ZCBTJ|HKEY_CURRENT_USER\\T\\bin|01 02 中|EJZSZ"),
    "ZCBTJ|HKEY_CURRENT_USER\\T\\New\\|default|ZCZ",
    "ZCBTJ|HKCU\\T\\config|1|ZCZ",                     // the optimizer writes an unknown root under HKEY_CURRENT_CONFIG
    "ZCBTJ|HKEY_CURRENT_USER\\T\\\x81\x5C\\v|1|SZJZ",  // a key name ending in the byte of "\"
    "ZCBSC|HKEY_CURRENT_USER\\T\\old|SC",              // a value
    "ZCBSC|HKEY_CURRENT_USER\\T\\Doomed|SC",           // a key, named without a final "\"
    "ZCBSC|HKEY_CURRENT_USER\\T\\Named\\|SC",          // a key, named with one
    "ZCBSC|HKEY_CURRENT_USER\\T\\absent\\|SC",         // nothing there
};

TEST(RegExport, ImportedByTheSystemItMakesTheChangesOfRunningTheScheme) {
    MemoryRegistry ran, imported;
    seed(ran);
    seed(imported);
    runAsTheOptimizer(ran, kEveryKind);
    const RegExport exported = exportScheme(kEveryKind, gbk("测试方案"));
    EXPECT_TRUE(exported.leftOut.empty());
    ASSERT_TRUE(registry::importRegFile(imported, exported.fileBytes));
    for (Root root : {Root::CurrentUser, Root::CurrentConfig})
        EXPECT_EQ(imported.dump(root, u""), ran.dump(root, u"")) << "root " << static_cast<int>(root);
    EXPECT_FALSE(ran.hasKey(Root::CurrentUser, u"T\\Doomed"));
    EXPECT_TRUE(ran.value(Root::CurrentConfig, u"T", u"config"));

    const std::vector<std::string> lines = linesOf(exported.fileBytes);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Windows Registry Editor Version 5.00");
    EXPECT_EQ(lines[1], "; 方案：测试方案");
    EXPECT_EQ(lines[2], "; 提示：先备份");
    EXPECT_EQ(lines[3], "; 第二行");
    const auto has = [&](std::string_view line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has("\"number\"=dword:00000010"));
    EXPECT_TRUE(has("\"negative\"=dword:ffffffff"));
    EXPECT_TRUE(has("\"字符串\"=\"中文 \\\"引号\\\" \\\\\""));
    EXPECT_TRUE(has("[-HKEY_CURRENT_USER\\T\\Named]"));
    EXPECT_TRUE(has("[-HKEY_CURRENT_USER\\T\\Doomed]")) << "a value, or else the key: the file says both";
    EXPECT_TRUE(has("\"Doomed\"=-"));
}

TEST(RegExport, StepsTheOptimizerWouldNotRunAreLeftOutAndSaidInTheFile) {
    const std::vector<std::string> rows = {
        "ZCBTJ|HKEY_CURRENT_USER\\T\\n|twelve|SZJZ",
        "ZCBTJ|nobackslash|1|ZCZ",
        "ZCBSC|HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\|SC",
        "ZCBTJ|HKEY_CURRENT_USER\\T\\ok|1|SZJZ",
    };
    const RegExport exported = exportScheme(rows, "name");
    ASSERT_EQ(exported.leftOut.size(), 3u);
    EXPECT_EQ(exported.leftOut[0].line, 1);
    EXPECT_NE(exported.leftOut[0].reason.find("4294967295"), std::string::npos);
    EXPECT_EQ(exported.leftOut[1].line, 2);
    EXPECT_EQ(exported.leftOut[2].line, 3);
    EXPECT_NE(exported.leftOut[2].reason.find("关键项"), std::string::npos);
    const regfile::Parsed parsed = regfile::read(exported.fileBytes);
    EXPECT_TRUE(parsed.problems.empty());
    ASSERT_EQ(parsed.operations.size(), 2u) << "only the step that runs";
    EXPECT_EQ(parsed.operations[1].name, u"ok");
    const std::vector<std::string> lines = linesOf(exported.fileBytes);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "; 第 3 行的步骤未导出：" + exported.leftOut[2].reason),
              lines.end());
}

TEST(RegExport, AnImportedFileExportedAndImportedAgainGivesTheSameSteps) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\T]\r\n";
    text += u"\"s\"=\"中文\"\r\n\"d\"=dword:00000007\r\n\"b\"=hex:00,01,ff\r\n@=\"x\"\r\n\"gone\"=-\r\n";
    text +=
        u"[-HKEY_CURRENT_USER\\Software\\T\\Old]\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"z\"=hex(4):01,00,00,00\r\n";
    const RegImport first = importRegistryFile(regfile::fileBytes(text));
    ASSERT_TRUE(first.leftOut.empty());
    ASSERT_EQ(first.rows.size(), 7u);
    const RegExport exported = exportScheme(first.rows, "T");
    EXPECT_TRUE(exported.leftOut.empty());
    const RegImport second = importRegistryFile(exported.fileBytes);
    EXPECT_TRUE(second.leftOut.empty());
    EXPECT_EQ(second.rows, first.rows);
}

}  // namespace
}  // namespace lz::editor
