// The optimizer as administrators and scripts run it: "/run SCHEME [/log FILE]" applies a whole
// scheme without any window, keeps the way back in an undo file saved before the first change,
// logs a line a step, and says by its exit code how it went.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/optimizer_fixture.h"

namespace lz::e2e {
namespace {

const std::wstring kKey = L"Software\\LzE2E\\Headless";
const std::wstring kPath = L"HKEY_CURRENT_USER\\" + kKey;

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

std::vector<fs::path> FilesIn(const fs::path& folder, std::wstring_view extension) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file() && _wcsicmp(it->path().extension().c_str(), std::wstring(extension).c_str()) == 0)
            found.push_back(it->path());
    return found;
}

class OptimizerHeadless : public ::testing::Test {
protected:
    RunResult RunOptimizer(std::wstring_view arguments) const {
        RunResult result =
            RunToEndWith(Quoted(folder_.Optimizer()) + L" " + std::wstring(arguments), StandardHandles::Pipe);
        EXPECT_EQ(result.windows, std::vector<std::string>{}) << "no window, hidden or not";
        return result;
    }

    ProgramFolder folder_;
};

TEST_F(OptimizerHeadless, RunsEveryStepLogsTheFailedOneAndItsUndoFileGivesTheKeyBack) {
    RegistrySetDword(HKEY_CURRENT_USER, kKey, L"Keep", 1);
    RegistrySetString(HKEY_CURRENT_USER, kKey, L"Old", L"旧");
    RegistrySetString(HKEY_CURRENT_USER, kKey + L"\\Gone\\Below", L"v", L"x");
    RegistrySetDword(HKEY_CURRENT_USER, kKey + L"\\Locked", L"v", 5);
    const auto before = RegistryTree(HKEY_CURRENT_USER, kKey);
    auto lock = std::make_unique<RegistryWriteLock>(HKEY_CURRENT_USER, kKey + L"\\Locked");

    const std::vector<std::wstring> steps = {
        L"ZCBTJ|" + kPath + L"\\文本|你好|ZCZ",    L"ZCBTJ|" + kPath + L"\\数值|42|SZJZ",
        L"ZCBTJ|" + kPath + L"\\Keep|2|SZJZ",      L"TSWB|提示：稍后重启",
        L"ZCBSC|" + kPath + L"\\Old|SC",           L"ZCBSC|" + kPath + L"\\Gone|SC",
        L"ZCBTJ|" + kPath + L"\\Locked\\w|1|SZJZ", L"ZCBTJ|" + kPath + L"\\New\\Deep\\v|ab|EJZSZ",
        L"ZCBSC|" + kPath + L"\\数值|SC",  // a value an earlier step of the run wrote
    };
    std::vector<std::string> lines;
    for (const std::wstring& step : steps) lines.push_back(Gbk(step));
    const fs::path scheme = folder_.Dir() / L"批量 方案.lzvt";
    WriteFileBytes(scheme, SchemeBytes(lines, Gbk(L"批量方案")));

    const RunResult result = RunOptimizer(L"/RUN " + Quoted(scheme));
    EXPECT_EQ(result.exit_code, 1u) << result.output;

    // As 执行 on every step leaves it, but for the locked key.
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, kKey, L"文本"), L"你好");
    EXPECT_EQ(RegistryRawValue(HKEY_CURRENT_USER, kKey, L"数值"), std::nullopt);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kKey, L"Keep"), 2u);
    EXPECT_EQ(RegistryRawValue(HKEY_CURRENT_USER, kKey, L"Old"), std::nullopt);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kKey + L"\\Gone"));
    EXPECT_EQ(RegistryRawValue(HKEY_CURRENT_USER, kKey + L"\\Locked", L"w"), std::nullopt);
    EXPECT_EQ(RegistryBinary(HKEY_CURRENT_USER, kKey + L"\\New\\Deep", L"v"), "ab");

    const std::vector<fs::path> undo = FilesIn(folder_.Dir() / L"Undo", L".reg");
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_TRUE(undo[0].filename().wstring().starts_with(L"批量 方案 ")) << Narrow(undo[0].filename().wstring());
    fs::path logFile = undo[0];
    logFile.replace_extension(L".log");
    const std::string log = ReadFileBytes(logFile);
    std::cerr << log << "\n";
    ASSERT_TRUE(log.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(result.output, log.substr(3)) << "the same lines on the standard error";
    const std::string failed = Narrow(L"第 7 行\t写入 " + kPath + L"\\Locked\\w = 1\t失败：注册表项不存在\t");
    const std::size_t at = log.find(failed);
    ASSERT_NE(at, std::string::npos);
    const std::string reason = log.substr(at + failed.size(), log.find("\r\n", at) - at - failed.size());
    EXPECT_TRUE(reason.ends_with("(5)")) << reason;
    for (const std::wstring& line : std::vector<std::wstring>{
             L"第 1 行\t写入 " + kPath + L"\\文本 = 你好\t已写入",
             L"第 4 行\t提示 提示：稍后重启\t已列出",
             L"第 6 行\t删除 " + kPath + L"\\Gone\t项已删除（共 2 个项、1 个值）",
             L"第 9 行\t删除 " + kPath + L"\\数值\t值已删除",
             L"共 9 步：完成 7 步，失败 1 步，提示 1 步",
         })
        EXPECT_NE(log.find(Narrow(line) + "\r\n"), std::string::npos) << Narrow(line);

    const std::size_t named = log.find(Narrow(L"撤销文件："));
    ASSERT_NE(named, std::string::npos);
    EXPECT_TRUE(log.substr(named).ends_with(Narrow(undo[0].filename().wstring()) + "\r\n")) << "the last line";

    lock.reset();
    ASSERT_EQ(RunToEnd(L"regedit.exe /s " + Quoted(undo[0]), Millis{30000}), 0u);
    EXPECT_EQ(RegistryTree(HKEY_CURRENT_USER, kKey), before) << "byte for byte";
}

TEST_F(OptimizerHeadless, ABadCommandLineChangesNothingAndSaysHow) {
    RegistrySetDword(HKEY_CURRENT_USER, kKey, L"Keep", 1);
    const auto before = RegistryTree(HKEY_CURRENT_USER, kKey);
    const fs::path scheme = folder_.Dir() / L"a.lzvt";
    WriteFileBytes(scheme, SchemeBytes({Gbk(L"ZCBTJ|" + kPath + L"\\Keep|2|SZJZ")}, "a"));
    const fs::path log = folder_.Dir() / L"用法.log";

    const RunResult result = RunOptimizer(L"/run " + Quoted(scheme) + L" /fast /log " + Quoted(log));
    EXPECT_EQ(result.exit_code, 3u);
    EXPECT_NE(result.output.find(Narrow(L"未知的开关：/fast")), std::string::npos) << result.output;
    EXPECT_NE(result.output.find("optimizer.exe /run"), std::string::npos) << "with the usage";
    EXPECT_EQ(ReadFileBytes(log), "\xEF\xBB\xBF" + result.output);
    EXPECT_EQ(RegistryTree(HKEY_CURRENT_USER, kKey), before);
    EXPECT_FALSE(fs::exists(folder_.Dir() / L"Undo"));
}

// Started from a command prompt, the optimizer has no standard handles of its own: the log's
// lines go to the prompt's console as well.
TEST_F(OptimizerHeadless, TheLogGoesToTheConsoleOfWhoeverStartedTheRun) {
    const fs::path scheme = folder_.Dir() / L"控制台.lzvt";
    WriteFileBytes(scheme, SchemeBytes({Gbk(L"ZCBTJ|" + kPath + L"\\控制台|1|SZJZ")}, "a"));
    const TestConsole console;
    const std::size_t before = console.Text().size() - 1;  // from the cursor's line on
    const RunResult result =
        RunToEndWith(Quoted(folder_.Optimizer()) + L" /run " + Quoted(scheme), StandardHandles::Console);
    EXPECT_EQ(result.exit_code, 0u);
    const std::wstring text = console.Text().substr(before);
    // The console shows a tab as blanks.
    EXPECT_NE(text.find(L"写入 " + kPath + L"\\控制台 = 1"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(L"共 1 步：完成 1 步"), std::wstring::npos) << Narrow(text);
}

}  // namespace
}  // namespace lz::e2e
