// The editor as administrators and scripts run it: "/import IN.reg OUT.lzvt" and
// "/export IN.lzvt OUT.reg" convert without a window and say by the exit code how it went; what
// was left out goes to the standard error, the console of whoever started the editor, or a text
// file beside OUT.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/e2e/driver.h"

namespace lz::e2e {
namespace {

namespace fs = std::filesystem;

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

// A .reg file as the system's registry editor writes it: UTF-16LE with a byte-order mark.
std::string Utf16File(std::wstring_view text) {
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Each line, CR LF, then the name: a scheme file's bytes (GBK).
std::string SchemeBytes(const std::vector<std::wstring>& rows, std::wstring_view name) {
    std::string bytes;
    for (const std::wstring& row : rows) bytes += WideToGbk(row) + "\r\n";
    return bytes + WideToGbk(name);
}

constexpr const wchar_t* kKey = L"Software\\LzConvert";

// A write of each type, a deleted value and a deleted key: as a .reg file and as the scheme
// that makes the same changes.
const std::wstring kRegText =
    L"Windows Registry Editor Version 5.00\r\n"
    L"\r\n"
    L"[HKEY_CURRENT_USER\\Software\\LzConvert]\r\n"
    L"\"文本\"=\"你好\"\r\n"
    L"\"数值\"=dword:0000002a\r\n"
    L"\"字节\"=hex:61,62\r\n"
    L"\"Stale\"=-\r\n"
    L"\r\n"
    L"[-HKEY_CURRENT_USER\\Software\\LzConvert\\Old]\r\n";
const std::vector<std::wstring> kRows = {
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzConvert\\文本|你好|ZCZ",
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzConvert\\数值|42|SZJZ",
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzConvert\\字节|ab|EJZSZ",
    L"ZCBSC|HKEY_CURRENT_USER\\Software\\LzConvert\\Stale|SC",
    L"ZCBSC|HKEY_CURRENT_USER\\Software\\LzConvert\\Old\\|SC",
};

// Line 5 holds a type a scheme cannot carry (an expandable string).
const std::wstring kRegTextWithLeftOut =
    L"Windows Registry Editor Version 5.00\r\n"
    L"\r\n"
    L"[HKEY_CURRENT_USER\\Software\\LzConvert]\r\n"
    L"\"文本\"=\"你好\"\r\n"
    L"\"路径\"=hex(2):25,00,54,00,00,00\r\n";
// Line 2 is a DWORD step whose text is no number, a step the optimizer would not run.
const std::vector<std::wstring> kRowsWithLeftOut = {
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzConvert\\文本|你好|ZCZ",
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzConvert\\坏|abc|SZJZ",
};

class ConversionE2E : public ::testing::Test {
protected:
    fs::path File(std::wstring_view name) const { return folder_.Dir() / name; }
    fs::path Write(std::wstring_view name, const std::string& bytes) const {
        const fs::path file = File(name);
        WriteFileBytes(file, bytes);
        return file;
    }

    // Runs the editor of the program folder with these arguments; no window may appear.
    RunResult Convert(std::wstring_view arguments, StandardHandles handles = StandardHandles::None) const {
        RunResult result = RunToEndWith(Quoted(folder_.Editor()) + L" " + std::wstring(arguments), handles);
        EXPECT_EQ(result.windows, std::vector<std::string>{}) << "the conversion shows no window, hidden or not";
        return result;
    }

    // The import of the .reg file with line 5 left out, and the two lines it lists.
    struct LeftOutRun {
        fs::path in, out;
        std::wstring heading;
    };
    LeftOutRun PrepareLeftOut() const {
        LeftOutRun run{Write(L"有遗漏.reg", Utf16File(kRegTextWithLeftOut)), File(L"有遗漏.lzvt"), {}};
        run.heading = run.in.wstring() + L" 中有 1 项未能转换，其余已写入 " + run.out.wstring() + L"：";
        return run;
    }

    ProgramFolder folder_;
};

TEST_F(ConversionE2E, ImportWritesTheSchemeNamedAfterTheFileAndExitsZero) {
    const fs::path in = Write(L"转换 测试.reg", Utf16File(kRegText));
    const fs::path out = File(L"转换 测试.lzvt");
    const RunResult result = Convert(L"/IMPORT " + Quoted(in) + L" " + Quoted(out));
    EXPECT_EQ(result.exit_code, 0u);
    EXPECT_EQ(ReadFileBytes(out), SchemeBytes(kRows, L"转换 测试"));
    EXPECT_FALSE(fs::exists(out.wstring() + L".txt"));
}

TEST_F(ConversionE2E, ExportedFileImportedByRegeditMakesTheSchemesChanges) {
    RegistrySetDword(HKEY_CURRENT_USER, kKey, L"Stale", 7);
    RegistrySetString(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Old\\Below", L"v", L"gone");
    const fs::path in = Write(L"导出.lzvt", SchemeBytes(kRows, L"导出测试"));
    const fs::path out = File(L"导出 结果.reg");

    const RunResult result = Convert(L"/export " + Quoted(in) + L" " + Quoted(out));
    ASSERT_EQ(result.exit_code, 0u);
    EXPECT_FALSE(fs::exists(out.wstring() + L".txt"));
    EXPECT_EQ(ReadFileBytes(out).substr(0, 2), "\xFF\xFE") << "UTF-16LE with its mark";
    ASSERT_EQ(RunToEnd(L"regedit.exe /s " + Quoted(out)), 0u);

    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, kKey, L"文本"), L"你好");
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kKey, L"数值"), 42u);
    EXPECT_EQ(RegistryBinary(HKEY_CURRENT_USER, kKey, L"字节"), "ab");
    EXPECT_EQ(RegistryRawValue(HKEY_CURRENT_USER, kKey, L"Stale"), std::nullopt);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, std::wstring(kKey) + L"\\Old"));
}

// Started from the desktop there is no standard error and no console: the list goes beside
// OUT, in UTF-8 with its mark, and the exit code says some entries were left out.
TEST_F(ConversionE2E, LeftOutIsListedBesideOutWithoutAConsole) {
    const LeftOutRun import = PrepareLeftOut();
    const fs::path scheme = Write(L"坏方案.lzvt", SchemeBytes(kRowsWithLeftOut, L"坏方案"));
    const fs::path exported = File(L"坏方案.reg");
    const struct {
        const char* what;
        std::wstring arguments;
        fs::path out;
        std::wstring heading;
        std::wstring line;
    } cases[] = {
        {"import", L"/import " + Quoted(import.in) + L" " + Quoted(import.out), import.out, import.heading,
         L"第 5 行："},
        {"export", L"/export " + Quoted(scheme) + L" " + Quoted(exported), exported,
         scheme.wstring() + L" 中有 1 项未能转换，其余已写入 " + exported.wstring() + L"：", L"第 2 行："},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult result = Convert(c.arguments);
        EXPECT_EQ(result.exit_code, 1u);
        EXPECT_TRUE(fs::exists(c.out)) << "what could be converted is written";
        const std::string listed = ReadFileBytes(c.out.wstring() + L".txt");
        const std::string expected = "\xEF\xBB\xBF" + Narrow(c.heading) + "\r\n" + Narrow(c.line);
        EXPECT_EQ(listed.substr(0, expected.size()), expected);
        EXPECT_TRUE(listed.ends_with("\r\n")) << listed;
    }
    EXPECT_EQ(ReadFileBytes(import.out), SchemeBytes({kRows[0]}, L"有遗漏"));
}

// A script that redirects the standard error (2>err.txt) or reads it through a pipe gets the
// list there, as UTF-8 bytes, and nothing is put beside OUT.
TEST_F(ConversionE2E, LeftOutGoesToARedirectedStandardError) {
    const LeftOutRun run = PrepareLeftOut();
    for (const StandardHandles handles : {StandardHandles::Pipe, StandardHandles::File}) {
        SCOPED_TRACE(handles == StandardHandles::Pipe ? "pipe" : "file");
        const RunResult result = Convert(L"/import " + Quoted(run.in) + L" " + Quoted(run.out), handles);
        EXPECT_EQ(result.exit_code, 1u);
        const std::string expected = Narrow(run.heading) + "\r\n" + Narrow(L"第 5 行：");
        EXPECT_EQ(result.output.substr(0, expected.size()), expected);
        EXPECT_TRUE(result.output.ends_with("\r\n")) << result.output;
        EXPECT_FALSE(fs::exists(run.out.wstring() + L".txt"));
    }
}

// A standard error that takes nothing (its reader has gone) is as good as none.
TEST_F(ConversionE2E, LeftOutGoesBesideOutWhenTheStandardErrorFails) {
    const LeftOutRun run = PrepareLeftOut();
    const RunResult result =
        Convert(L"/import " + Quoted(run.in) + L" " + Quoted(run.out), StandardHandles::BrokenPipe);
    EXPECT_EQ(result.exit_code, 1u);
    const std::string expected = "\xEF\xBB\xBF" + Narrow(run.heading) + "\r\n" + Narrow(L"第 5 行：");
    EXPECT_EQ(ReadFileBytes(run.out.wstring() + L".txt").substr(0, expected.size()), expected);
}

// From a command prompt: the editor has no standard handles of its own and writes to the
// prompt's console, which shows the Chinese as it is; or it was handed the console's handles.
TEST_F(ConversionE2E, LeftOutGoesToTheConsoleOfWhoeverStartedTheEditor) {
    const LeftOutRun run = PrepareLeftOut();
    const TestConsole console;
    for (const StandardHandles handles : {StandardHandles::Console, StandardHandles::ConsoleHandles}) {
        SCOPED_TRACE(handles == StandardHandles::Console ? "attached to the console" : "given the console");
        // What this run writes starts on the cursor's line, the last one Text() gives.
        const std::size_t before = console.Text().size() - 1;
        const RunResult result = Convert(L"/import " + Quoted(run.in) + L" " + Quoted(run.out), handles);
        EXPECT_EQ(result.exit_code, 1u);
        EXPECT_EQ(result.output, "");
        const std::wstring text = console.Text().substr(before);
        EXPECT_TRUE(text.starts_with(run.heading + L"\n第 5 行：")) << Narrow(text);
        EXPECT_FALSE(fs::exists(run.out.wstring() + L".txt"));
    }
}

// Nothing could be written: exit code 2, the reason on the standard error, OUT as it was.
TEST_F(ConversionE2E, NothingWrittenExitsTwoAndLeavesOutAsItWas) {
    const fs::path scheme = Write(L"方案.lzvt", SchemeBytes(kRows, L"方案"));
    const fs::path notReg = Write(L"笔记.reg", "just some notes\r\n");
    const fs::path reg = Write(L"好.reg", Utf16File(kRegText));
    const fs::path out = Write(L"旧.lzvt", "earlier bytes");
    const fs::path missing = File(L"没有.reg");
    const fs::path held = Write(L"占用.reg", "held bytes");
    const HANDLE holder =
        CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const struct {
        const char* what;
        std::wstring arguments;
        fs::path out;
        std::string before;
        std::wstring said;
    } cases[] = {
        {"IN missing", L"/import " + Quoted(missing) + L" " + Quoted(out), out, "earlier bytes",
         L"无法读取文件：" + missing.wstring()},
        {"IN no registry file", L"/import " + Quoted(notReg) + L" " + Quoted(out), out, "earlier bytes",
         L"不是注册表文件：" + notReg.wstring()},
        {"OUT held open", L"/export " + Quoted(scheme) + L" " + Quoted(held), held, "held bytes",
         L"无法写入文件：" + held.wstring()},
        {"OUT's folder missing", L"/import " + Quoted(reg) + L" " + Quoted(File(L"无\\x.lzvt")), File(L"无\\x.lzvt"),
         "", L"无法写入文件：" + File(L"无\\x.lzvt").wstring()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult result = Convert(c.arguments, StandardHandles::Pipe);
        EXPECT_EQ(result.exit_code, 2u);
        EXPECT_EQ(result.output, Narrow(c.said) + "\r\n");
        if (c.before.empty()) {
            EXPECT_FALSE(fs::exists(c.out));
        } else {
            EXPECT_EQ(ReadFileBytes(c.out), c.before);
        }
        EXPECT_FALSE(fs::exists(c.out.wstring() + L".txt"));
    }
    CloseHandle(holder);
}

// A bad command line: the usage on the standard error when there is one, and otherwise only the
// exit code; nothing is written either way.
TEST_F(ConversionE2E, ABadCommandLineExitsTwoWithTheUsage) {
    const fs::path reg = Write(L"好.reg", Utf16File(kRegText));
    const fs::path out = File(L"新.lzvt");
    const struct {
        const char* what;
        std::wstring arguments;
        std::wstring reason;
    } cases[] = {
        {"missing OUT", L"/import " + Quoted(reg), L"缺少文件路径。"},
        {"too many", L"/Export " + Quoted(reg) + L" " + Quoted(out) + L" more", L"参数过多。"},
        {"unknown switch", L"/import " + Quoted(reg) + L" " + Quoted(out) + L" /quiet", L"未知的开关：/quiet"},
    };
    const std::string usage = Narrow(
        L"用法：\r\n"
        L"  lzvtEditor.exe /import 注册表文件.reg 方案文件.lzvt\r\n"
        L"  lzvtEditor.exe /export 方案文件.lzvt 注册表文件.reg\r\n");
    for (const auto& c : cases) {
        for (const StandardHandles handles : {StandardHandles::Pipe, StandardHandles::None}) {
            const bool piped = handles == StandardHandles::Pipe;
            SCOPED_TRACE(std::string(c.what) + (piped ? ", through a pipe" : ", without a console"));
            const RunResult result = Convert(c.arguments, handles);
            EXPECT_EQ(result.exit_code, 2u);
            EXPECT_EQ(result.output, piped ? Narrow(c.reason) + "\r\n" + usage : "");
            EXPECT_FALSE(fs::exists(out));
            EXPECT_FALSE(fs::exists(out.wstring() + L".txt"));
        }
    }
}

}  // namespace
}  // namespace lz::e2e
