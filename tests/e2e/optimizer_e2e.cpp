// The optimizer driven from outside on the real Win32 stack: a scheme run against the real
// registry, its failure messages, the scheme catalogue and its management window, the editor
// and the browser it starts, its side windows, the Chinese its fonts draw, and the Esc key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/optimizer_fixture.h"
#include "tests/e2e/outside_gbk.h"
#include "tests/e2e/wine_drive.h"

namespace lz::e2e {
namespace {

class OptimizerRun : public OptimizerE2E {
protected:
    // Starts a one-step scheme that writes into a key that refuses writes, the value there or
    // not, and executes the step twice.
    void RunAgainstLockedKey(bool value_present, const std::wstring& second_message);
};
using OptimizerCatalogue = OptimizerE2E;
using OptimizerManagement = OptimizerE2E;
class OptimizerEditorStart : public OptimizerE2E {
protected:
    // Selects the scheme and clicks 修改方案: takes hold of the editor it starts from the program
    // folder and waits until that lists `rows` under `name`. Returns the editor's main window.
    HWND ChangeScheme(std::wstring_view scheme, const std::vector<std::wstring>& rows, std::wstring_view name) {
        SelectScheme(scheme);
        Click(Part(main_, main_window::kChange));
        editor_ = Process::WaitForProcessWithWindow(kEditorCaption, kDefaultTimeout, {optimizer_.Id()});
        EXPECT_TRUE(SameFile(editor_.ImagePath(), folder_->Editor())) << Narrow(editor_.ImagePath().wstring());
        HWND editor_window = editor_.WaitForWindow(kEditorCaption);

        HWND steps = Part(editor_window, editor::kSteps);
        HWND name_box = Part(editor_window, editor::kName);
        EXPECT_TRUE(
            PollUntil([&] { return ListRowCount(steps) == static_cast<int>(rows.size()) && Text(name_box) == name; }));
        EXPECT_EQ(ListRows(steps), rows);
        EXPECT_EQ(Text(name_box), name);
        EXPECT_EQ(editor_.FindDialog(), nullptr) << "the editor reported a problem";
        return editor_window;
    }

    Process editor_;
};
using OptimizerSideWindows = OptimizerE2E;
using OptimizerScale = OptimizerE2E;
using OptimizerText = OptimizerE2E;

// ---- A whole run ---------------------------------------------------------------------------

const std::wstring kRunKey = L"Software\\LzE2E\\Run";
const std::wstring kRunPath = L"HKEY_CURRENT_USER\\" + kRunKey;

TEST_F(OptimizerRun, FullSchemeWritesEveryValueTypeAndEndsWithCongratulations) {
    // Key and value names that end in a double-byte GBK character whose second byte is 0x5C,
    // the byte of "\": that byte separates nothing.
    const std::string trail_5c = "\x81\x5C";
    const std::wstring odd_key = kRunKey + L"\\键" + GbkToWide(trail_5c);
    const std::wstring odd_value = L"名" + GbkToWide(trail_5c);
    const std::string odd_path = Gbk(kRunPath + L"\\键") + trail_5c + "\\" + Gbk(L"名") + trail_5c;
    const std::wstring doomed_key = L"Software\\LzE2E\\Doomed";
    RegistryCreateKey(HKEY_CURRENT_USER, doomed_key);

    const std::wstring scheme = L"完整方案.lzvt";
    Start({{scheme, SchemeBytes({Gbk(L"TSWB|欢迎使用本方案。"), Gbk(L"第二行：请先备份注册表"),
                                 Gbk(L"ZCBTJ|" + kRunPath + L"\\Blob|01 02 中|EJZSZ"),
                                 Gbk(L"ZCBTJ|" + kRunPath + L"\\Number|4660|SZJZ"),
                                 Gbk(L"ZCBTJ|" + kRunPath + L"\\中文名|中文值|ZCZ"),
                                 "ZCBTJ|" + odd_path + "|" + Gbk(L"双字节") + "|ZCZ",
                                 Gbk(L"ZCBTJ|" + kRunPath + L"\\默认\\|默认值|ZCZ"),
                                 Gbk(L"ZCBSC|HKEY_CURRENT_USER\\" + doomed_key + L"|SC")},
                                Gbk(L"完整测试方案"))}});

    HWND runner = OpenRunner(scheme);
    EXPECT_FALSE(IsEnabled(main_)) << "the runner is modal";

    // Step 1: the hint and its continuation line, one text.
    ExpectHintStep(runner, L"欢迎使用本方案。\r\n第二行：请先备份注册表");
    SaveShot("optimizer-runner-hint", runner);
    Click(Part(runner, runner::kNext));

    // Steps 2 to 6: each value type, executed.
    struct WriteStep {
        std::wstring path, value;
    };
    const WriteStep writes[] =
        {
            {kRunPath + L"\\Blob", L"01 02 中"}, {kRunPath + L"\\Number", L"4660"},
            {kRunPath + L"\\中文名", L"中文值"}, {GbkToWide(odd_path), L"双字节"},
            {kRunPath + L"\\默认\\", L"默认值"},  // a final "\" names the key's default value
        };
    bool first = true;
    for (const WriteStep& step : writes) {
        SCOPED_TRACE(Narrow(step.path));
        ExpectRegistryStep(runner, step.path, step.value);
        if (first) SaveShot("optimizer-runner-registry", runner);
        first = false;
        Click(Part(runner, runner::kExecute));
        EXPECT_EQ(NextMessage(), kWriteSucceeded);
    }

    // Step 7: a delete step shows the instruction, and 执行 deletes the key.
    ExpectRegistryStep(runner, L"HKEY_CURRENT_USER\\" + doomed_key, kDeleteInstruction);
    Click(Part(runner, runner::kExecute));
    EXPECT_EQ(NextMessage(), KeyDeleted(1, 0));
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);

    // Every value exactly as the registry holds it.
    struct Stored {
        std::wstring key, value;
        DWORD type;
        std::string bytes;
    };
    const Stored stored[] = {
        {kRunKey, L"Blob", REG_BINARY, Gbk(L"01 02 中")},
        {kRunKey, L"Number", REG_DWORD, DwordBytes(4660)},
        {kRunKey, L"中文名", REG_SZ, Utf16Bytes(L"中文值", true)},
        {odd_key, odd_value, REG_SZ, Utf16Bytes(L"双字节", true)},
        {kRunKey + L"\\默认", L"", REG_SZ, Utf16Bytes(L"默认值", true)},
    };
    for (const Stored& want : stored) {
        SCOPED_TRACE(Narrow(want.key + L" : " + want.value));
        const auto got = RegistryRawValue(HKEY_CURRENT_USER, want.key, want.value);
        ASSERT_TRUE(got.has_value()) << "not written";
        EXPECT_EQ(got->type, want.type);
        EXPECT_EQ(got->bytes, want.bytes);
    }
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kRunKey, L"Number"), 4660u);
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, kRunKey, L"中文名"), L"中文值");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, doomed_key));

    // Back in the main window, which answers; a new start begins at step 1 again.
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));
    EXPECT_TRUE(Responds(main_));
    runner = OpenRunner(scheme);
    ExpectHintStep(runner, L"欢迎使用本方案。\r\n第二行：请先备份注册表");
    Click(Part(runner, runner::kLeaveHint));
    WaitForDestroyed(runner);
    EXPECT_TRUE(NoMessageBox(main_));
}

// A key that refuses writes (a protected access list granting only reading), with the value
// there or not: two messages, then the step stays on display and nothing changes.
const std::wstring kLockedKey = L"Software\\LzE2E\\Locked";
const std::wstring kLockedPath = L"HKEY_CURRENT_USER\\" + kLockedKey + L"\\设置";

void OptimizerRun::RunAgainstLockedKey(bool value_present, const std::wstring& second_message) {
    if (value_present) RegistrySetString(HKEY_CURRENT_USER, kLockedKey, L"设置", L"旧值");
    RegistryWriteLock lock(HKEY_CURRENT_USER, kLockedKey);
    Start({{L"锁定.lzvt", SchemeBytes({Gbk(L"ZCBTJ|" + kLockedPath + L"|新值|ZCZ")}, Gbk(L"锁定"))}});

    HWND runner = OpenRunner(L"锁定.lzvt");
    ExpectRegistryStep(runner, kLockedPath, L"新值");
    for (int attempt = 1; attempt <= 2; ++attempt) {  // executing again repeats the same write
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        Click(Part(runner, runner::kExecute));
        EXPECT_EQ(NextMessage(), kWriteFailed);
        EXPECT_EQ(NextMessage(), second_message);
        EXPECT_EQ(NextMessage(), kNoRights) << "refused for lack of rights";
        EXPECT_TRUE(NoMessageBox(runner)) << "a fourth message";
        ASSERT_TRUE(IsWindow(runner)) << "the runner closed after a failed write";
        ExpectRegistryStep(runner, kLockedPath, L"新值");
    }
    const auto value = RegistryString(HKEY_CURRENT_USER, kLockedKey, L"设置");
    if (value_present) {
        EXPECT_EQ(value, L"旧值");
    } else {
        EXPECT_FALSE(value.has_value());
    }
    Click(Part(runner, runner::kLeaveRegistry));
    WaitForDestroyed(runner);
    EXPECT_TRUE(NoMessageBox(main_));
}

TEST_F(OptimizerRun, FailedWriteOfExistingEntryAsksForACheckByHand) {
    RunAgainstLockedKey(true, kEntryExists);
}

TEST_F(OptimizerRun, FailedWriteOfMissingEntryAsksToRetry) {
    RunAgainstLockedKey(false, kEntryMissing);
}

TEST_F(OptimizerRun, SchemeWithoutLineFeedIsEmptyAndEndsTheProgram) {
    Start({{L"空.lzvt", Gbk(L"只有名称的方案")}});
    SelectScheme(L"空.lzvt");
    Click(Part(main_, main_window::kStart));
    EXPECT_EQ(NextMessage(), kEmptyScheme);
    EXPECT_EQ(optimizer_.WaitForExit(), 0u);
}

TEST_F(OptimizerRun, SchemeThatCannotBeOpenedForWritingStillRuns) {
    // Another program keeps the scheme open and lets others only read it, as a read-only file
    // would: the runner reads it all the same instead of finding it empty.
    Start({{L"locked.lzvt", SchemeBytes({"TSWB|still runs"}, "locked")}});
    const fs::path scheme = folder_->Dir() / L"Optimal" / L"locked.lzvt";
    HANDLE lock = CreateFileW(scheme.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    HANDLE writer = CreateFileW(scheme.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "the lock must refuse writers for this test to mean anything";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);

    HWND runner = OpenRunner(L"locked.lzvt");
    ExpectHintStep(runner, L"still runs");
    Click(Part(runner, runner::kNext));
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);
    EXPECT_TRUE(optimizer_.Running());
    CloseHandle(lock);
}

TEST_F(OptimizerRun, StartWithoutSelectionSaysSoAndOpensNoRunner) {
    Start({{L"a.lzvt", SchemeBytes({"TSWB|a"}, "a")}});
    ASSERT_EQ(ListRowCount(MainList()), 1);
    ASSERT_EQ(ListSelectedRow(MainList()), -1);
    Click(Part(main_, main_window::kStart));
    HWND box = optimizer_.WaitForMessageBox();
    EXPECT_EQ(Text(box), kMessageCaption);
    EXPECT_EQ(MessageBoxText(box), kNoSchemeSelected);
    DismissMessageBox(box);
    EXPECT_TRUE(NoMessageBox(main_));
    EXPECT_EQ(optimizer_.FindTopWindow(kRunnerCaption), nullptr);
    EXPECT_TRUE(IsEnabled(main_));
}

TEST_F(OptimizerRun, EscClosesRunnerWithoutRunningAButton) {
    const std::wstring key = L"Software\\LzE2E\\Esc";
    Start({{L"esc.lzvt",
            SchemeBytes({"TSWB|hint", Gbk(L"ZCBTJ|HKEY_CURRENT_USER\\" + key + L"\\Value|1|SZJZ")}, "esc")}});

    // On the hint page, then on the registry page.
    HWND runner = OpenRunner(L"esc.lzvt");
    ExpectHintStep(runner, L"hint");
    PressEscape(runner);
    WaitForDestroyed(runner);
    EXPECT_TRUE(NoMessageBox(main_));

    runner = OpenRunner(L"esc.lzvt");
    ExpectHintStep(runner, L"hint");
    Click(Part(runner, runner::kNext));
    ExpectRegistryStep(runner, L"HKEY_CURRENT_USER\\" + key + L"\\Value", L"1");
    PressEscape(runner);
    WaitForDestroyed(runner);
    EXPECT_TRUE(NoMessageBox(main_));

    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key)) << "Esc ran 执行";
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));
    EXPECT_TRUE(Responds(main_));
    EXPECT_TRUE(optimizer_.Running());
}

// ---- Catalogue and management ------------------------------------------------------------------

TEST_F(OptimizerCatalogue, ListsTheSampleSchemes) {
    const std::vector<SchemeFile> samples = SampleSchemes();
    ASSERT_FALSE(samples.empty());
    Start(samples);
    std::vector<std::wstring> listed = ListRows(MainList());
    std::sort(listed.begin(), listed.end());
    std::vector<std::wstring> expected;
    for (const SchemeFile& s : samples) expected.push_back(s.name);
    EXPECT_EQ(listed, expected);
    SaveShot("optimizer-main-samples", main_);
}

// Asked where a scheme's drive has no recycle bin.
const std::wstring kNoRecycleBin = L"此位置没有回收站，方案文件将被永久删除，确定删除吗？";

// A fresh folder in the temporary folder, removed with what it holds afterwards.
class TemporaryFolder {
public:
    explicit TemporaryFolder(std::wstring_view name)
        : path_(fs::temp_directory_path() / (std::wstring(name) + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                             std::to_wstring(GetTickCount64()))) {
        fs::create_directories(path_);
    }
    ~TemporaryFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

TEST_F(OptimizerManagement, ListsSizesDeletesAndLeavesTheMainListAlone) {
    // What the optimizer recycles goes to a bin of this case's own (under Wine).
    const TemporaryFolder bin(L"回收站");
    const bool ownBin = useTrashIn(bin.Path().wstring());
    Start({{L"zero.lzvt", ""},
           {L"small.lzvt", std::string(400, 'a')},
           {L"half.lzvt", std::string(1536, 'b')},
           {L"big.lzvt", std::string(2000000, 'c')},
           {L"notes.txt", "not a scheme"}});
    ASSERT_EQ(ListRowCount(MainList()), 4) << "only .lzvt files are schemes";

    LeftMouseDown(Part(main_, main_window::kManageLabel));
    HWND manager = optimizer_.WaitForWindow(kManagementCaption);
    EXPECT_FALSE(IsEnabled(main_)) << "the management window is modal";
    HWND list = Part(manager, management::kSchemes);

    const std::vector<ListColumn> columns = ListColumns(list);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].text, L"方案名称");
    EXPECT_EQ(columns[1].text, L"方案路径");
    EXPECT_EQ(columns[2].text, L"方案大小[KB]");

    // Name -> (folder, size) of every row of the window's list.
    auto rows = [](HWND list) {
        std::map<std::wstring, std::pair<std::wstring, std::wstring>> found;
        for (int r = 0; r < ListRowCount(list); ++r)
            found[ListItemText(list, r, 0)] = {ListItemText(list, r, 1), ListItemText(list, r, 2)};
        return found;
    };
    const std::map<std::wstring, std::pair<std::wstring, std::wstring>> expected{
        {L"zero.lzvt", {L"Optimal", L"1"}},
        {L"small.lzvt", {L"Optimal", L"1"}},
        {L"half.lzvt", {L"Optimal", L"1.5"}},
        {L"big.lzvt", {L"Optimal", L"1953.1"}},
    };
    EXPECT_EQ(rows(list), expected);
    SaveShot("optimizer-management", manager);

    Click(Part(manager, management::kHowTo));
    EXPECT_EQ(NextMessage(), kHowToInstall);

    // No selection: nothing to delete.
    ASSERT_EQ(ListSelectedRow(list), -1);
    Click(Part(manager, management::kDelete));
    EXPECT_EQ(NextMessage(), kRetry);
    EXPECT_EQ(ListRowCount(list), 4);
    for (const auto& [name, cells] : expected) EXPECT_TRUE(fs::exists(folder_->Optimal() / name)) << Narrow(name);

    // The selected scheme goes from the folder to the recycle bin, and from this list, at once,
    // without a question.
    const std::vector<std::wstring> names = ListRows(list);
    const int half = static_cast<int>(std::find(names.begin(), names.end(), L"half.lzvt") - names.begin());
    ASSERT_LT(half, static_cast<int>(names.size()));
    ListSelectRow(list, half);
    Click(Part(manager, management::kDelete));
    EXPECT_EQ(NextMessage(), kDeleted);
    EXPECT_TRUE(PollUntil([&] { return ListRowCount(list) == 3; }));
    auto left = expected;
    left.erase(L"half.lzvt");
    EXPECT_EQ(rows(list), left);
    EXPECT_FALSE(fs::exists(folder_->Optimal() / L"half.lzvt"));
    if (ownBin) {
        EXPECT_EQ(ReadFileBytes(bin.Path() / L"Trash" / L"files" / L"half.lzvt"), std::string(1536, 'b'));
        EXPECT_TRUE(fs::exists(bin.Path() / L"Trash" / L"info" / L"half.lzvt.trashinfo"))
            << "the bin knows where the scheme came from";
    }

    Click(Part(manager, management::kExit));
    WaitForDestroyed(manager);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));
    std::vector<std::wstring> main_rows = ListRows(MainList());
    EXPECT_EQ(main_rows.size(), 4u);
    EXPECT_NE(std::find(main_rows.begin(), main_rows.end(), L"half.lzvt"), main_rows.end())
        << "the main list keeps a deleted scheme until the next start";

    // Opened again, the window lists the folder afresh, once; Esc closes it.
    LeftMouseDown(Part(main_, main_window::kManageLabel));
    manager = optimizer_.WaitForWindow(kManagementCaption);
    EXPECT_EQ(rows(Part(manager, management::kSchemes)), left);
    PressEscape(manager);
    WaitForDestroyed(manager);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));
}

// On a drive without a recycle bin (a USB stick) a scheme is deleted for good only on the user's
// word: No keeps it and its row, Yes deletes it.
TEST_F(OptimizerManagement, OnADriveWithoutBinDeletingAsksFirst) {
    const TemporaryFolder bin(L"回收站");
    const bool ownBin = useTrashIn(bin.Path().wstring());
    const TemporaryFolder stick(L"U盘");
    const std::optional<std::string> stickFolder = unixPathOf(stick.Path().wstring());
    if (!ownBin || !stickFolder) GTEST_SKIP() << "the USB stick is made with Wine's mount manager";
    const WineDrive drive(*stickFolder, DRIVE_REMOVABLE);
    ASSERT_FALSE(drive.root().empty()) << "the mount manager made no drive";
    Start({{L"留下.lzvt", "a"}, {L"删掉.lzvt", "b"}}, drive.root());

    LeftMouseDown(Part(main_, main_window::kManageLabel));
    HWND manager = optimizer_.WaitForWindow(kManagementCaption);
    HWND list = Part(manager, management::kSchemes);
    const std::vector<std::wstring> names = ListRows(list);
    const auto doomed = std::find(names.begin(), names.end(), L"删掉.lzvt");
    ASSERT_NE(doomed, names.end());
    ListSelectRow(list, static_cast<int>(doomed - names.begin()));

    // Asks what to press, presses it and waits until the question is gone.
    auto answer = [&](int button) {
        Click(Part(manager, management::kDelete));
        HWND question = optimizer_.WaitForDialog(kMessageCaption);
        EXPECT_EQ(MessageBoxText(question), kNoRecycleBin);
        EXPECT_NE(GetDlgItem(question, IDYES), nullptr);
        HWND pressed = GetDlgItem(question, button);
        ASSERT_NE(pressed, nullptr) << "the question has Yes and No";
        EXPECT_TRUE(fs::exists(folder_->Optimal() / L"删掉.lzvt")) << "nothing is deleted before the answer";
        Click(pressed);
        WaitForDestroyed(question);
    };
    answer(IDNO);
    EXPECT_TRUE(NoMessageBox(manager)) << "No says nothing more";
    EXPECT_TRUE(fs::exists(folder_->Optimal() / L"删掉.lzvt"));
    EXPECT_EQ(ListRowCount(list), 2);

    answer(IDYES);
    EXPECT_EQ(NextMessage(), kDeleted);
    EXPECT_TRUE(PollUntil([&] { return ListRowCount(list) == 1; }));
    EXPECT_EQ(ListRows(list), std::vector<std::wstring>{L"留下.lzvt"});
    EXPECT_FALSE(fs::exists(folder_->Optimal() / L"删掉.lzvt"));
    EXPECT_TRUE(fs::exists(folder_->Optimal() / L"留下.lzvt"));
    EXPECT_FALSE(fs::exists(bin.Path() / L"Trash" / L"files" / L"删掉.lzvt")) << "deleted for good, not recycled";

    // The program and its folder go before the drive does.
    optimizer_.Kill();
    folder_.reset();
}

// ---- The editor, started by the optimizer ---------------------------------------------------

TEST_F(OptimizerEditorStart, ChangeSchemeOpensTheSelectedSchemeFromAFolderWithABlank) {
    const std::wstring scheme = L"我的 方案.lzvt";
    const std::vector<std::wstring> lines{L"TSWB|你好", L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzE2E\\Edit\\值|1|SZJZ"};
    Start({{scheme, SchemeBytes({Gbk(lines[0]), Gbk(lines[1])}, Gbk(L"编辑测试"))}}, L"C:\\lz test");
    ASSERT_NE(folder_->Dir().wstring().find(L' '), std::wstring::npos);

    ChangeScheme(scheme, lines, L"编辑测试");
    EXPECT_TRUE(IsEnabled(main_)) << "the optimizer does not wait for the editor";
    EXPECT_TRUE(Responds(main_));
}

TEST_F(OptimizerEditorStart, ChangeSchemeOpensAndSavesBackASchemeNamedOutsideGbk) {
    // Both the program folder and the scheme's file name lose their characters in GBK.
    const std::wstring scheme = kOutsideGbk + L" 方案.lzvt";
    const std::string lost(kOutsideGbkNarrowed);
    ASSERT_EQ(ProgramsGbk(scheme), lost + " " + Gbk(L"方案") + ".lzvt");
    const std::vector<std::wstring> lines{L"TSWB|你好", L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzE2E\\Edit\\值|1|SZJZ"};
    const std::string bytes = SchemeBytes({Gbk(lines[0]), Gbk(lines[1])}, Gbk(L"编辑测试"));
    Start({{scheme, bytes}}, L"C:\\" + kOutsideGbk);
    ASSERT_EQ(ProgramsGbk(folder_->Dir().parent_path().filename().wstring()), lost);
    ASSERT_EQ(ListRows(MainList()), std::vector<std::wstring>{scheme});

    HWND editor_window = ChangeScheme(scheme, lines, L"编辑测试");
    Click(Part(editor_window, editor::kSave));
    EXPECT_EQ(AnswerMessageBox(editor_), L"成功！");
    EXPECT_EQ(ReadFileBytes(folder_->Optimal() / scheme), bytes) << "saved back byte for byte";
}

TEST_F(OptimizerEditorStart, MakeSchemeOpensAnEmptyEditor) {
    Start({{L"a.lzvt", SchemeBytes({"TSWB|a"}, "a")}});
    SelectScheme(L"a.lzvt");  // a selection does not matter to 制作方案
    Click(Part(main_, main_window::kMake));
    Process editor_process = Process::WaitForProcessWithWindow(kEditorCaption, kDefaultTimeout, {optimizer_.Id()});
    EXPECT_TRUE(SameFile(editor_process.ImagePath(), folder_->Editor()))
        << Narrow(editor_process.ImagePath().wstring());
    HWND editor_window = editor_process.WaitForWindow(kEditorCaption);
    Responds(editor_window);
    EXPECT_EQ(ListRowCount(Part(editor_window, editor::kSteps)), 0);
    EXPECT_EQ(Text(Part(editor_window, editor::kName)), L"MY 方案");
    EXPECT_EQ(editor_process.FindDialog(), nullptr);
}

// ---- Web pages and side windows --------------------------------------------------------------

TEST_F(OptimizerSideWindows, DownloadOpensTheForumBoardInTheDefaultBrowser) {
    folder_ = std::make_unique<ProgramFolder>();
    const fs::path recorder = folder_->InstallRecorder();
    // The browser of this system is the recorder, for both schemes of web addresses.
    for (const wchar_t* scheme : {L"http", L"https"})
        RegistrySetString(HKEY_CLASSES_ROOT, std::wstring(scheme) + L"\\shell\\open\\command", L"",
                          L"\"" + recorder.wstring() + L"\" %1");
    StartInFolder();

    Click(Part(main_, main_window::kDownload));
    ASSERT_TRUE(PollUntil([&] { return !RecordedCommandLines(recorder).empty(); })) << "no browser was started";
    const std::vector<std::wstring> recorded = RecordedCommandLines(recorder);
    ASSERT_EQ(recorded.size(), 1u);
    const std::wstring& line = recorded.front();
    const std::wstring tail = L"/bbs/forum/5";
    EXPECT_TRUE(line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0)
        << Narrow(line);
    EXPECT_NE(line.find(L"http"), std::wstring::npos) << Narrow(line);
    EXPECT_TRUE(IsEnabled(main_));
    EXPECT_TRUE(Responds(main_));
}

std::vector<std::wstring> BoxTexts(HWND window) {
    std::vector<std::wstring> texts;
    for (const Control& c : Controls(window)) texts.push_back(c.text);
    return texts;
}

TEST_F(OptimizerSideWindows, AboutAndMoreProductsOpenModalOrModelessAndCloseCleanly) {
    Start({});

    // Both about buttons open the same modal window; Esc and the close box close it.
    Click(Part(main_, main_window::kAboutStudio));
    HWND about = optimizer_.WaitForWindow(kAboutCaption);
    EXPECT_FALSE(IsEnabled(main_));
    const std::vector<std::wstring> studio_texts = BoxTexts(about);
    ASSERT_EQ(studio_texts.size(), 3u);
    // In table order: the studio text (on top where it overlaps), the banner, the software text.
    EXPECT_NE(studio_texts[0].find(L"关于岚舟工作室"), std::wstring::npos);
    EXPECT_NE(studio_texts[1].find(L"........"), std::wstring::npos);
    EXPECT_NE(studio_texts[2].find(L"关于软件"), std::wstring::npos);
    PressEscape(about);
    WaitForDestroyed(about);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));

    Click(Part(main_, main_window::kAboutSoftware));
    about = optimizer_.WaitForWindow(kAboutCaption);
    EXPECT_FALSE(IsEnabled(main_));
    EXPECT_EQ(BoxTexts(about), studio_texts);
    PressCloseBox(about);
    WaitForDestroyed(about);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));

    // 更多智能软件: modal, with the browser in it.
    Click(Part(main_, main_window::kMoreProducts));
    HWND more = optimizer_.WaitForWindow(kMoreProductsCaption);
    EXPECT_FALSE(IsEnabled(main_));
    HWND browser =
        ControlById(more, optimizer::moreProductsWindowLayout().idOf(optimizer::more_products_window::kBrowser));
    ASSERT_NE(browser, nullptr) << "no browser area";
    EXPECT_TRUE(IsVisible(browser));
    const SIZE area = OuterSize(browser);
    EXPECT_GT(area.cx, 0);
    EXPECT_GT(area.cy, 0);
    PressEscape(more);
    WaitForDestroyed(more);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));

    // 即将更新: modeless; the main window keeps working beside it.
    Click(Part(main_, main_window::kUpcoming));
    HWND upcoming = optimizer_.WaitForWindow(kMoreProductsCaption);
    EXPECT_NE(
        ControlById(upcoming, optimizer::moreProductsWindowLayout().idOf(optimizer::more_products_window::kBrowser)),
        nullptr);
    EXPECT_TRUE(Responds(main_));
    EXPECT_TRUE(IsEnabled(main_)) << "a modeless window must not block the main window";
    Click(Part(main_, main_window::kAboutSoftware));
    about = optimizer_.WaitForWindow(kAboutCaption);
    PressEscape(about);
    WaitForDestroyed(about);
    EXPECT_TRUE(IsWindow(upcoming) && IsVisible(upcoming)) << "closing the about window closed the modeless one";
    PressCloseBox(upcoming);
    WaitForDestroyed(upcoming);
    EXPECT_TRUE(PollUntil([&] { return IsEnabled(main_); }));
    EXPECT_TRUE(NoMessageBox(main_));

    PressEscape(main_);
    EXPECT_EQ(optimizer_.WaitForExit(), 0u);
}

// ---- Chinese on the screen ---------------------------------------------------------------------

// What the control shows once its drawing has settled: two looks in a row that agree.
std::string SettledPicture(HWND control) {
    Responds(control);
    std::string last = ScreenPixels(control);
    PollUntil(
        [&] {
            std::this_thread::sleep_for(Millis{100});
            std::string now = ScreenPixels(control);
            const bool same = now == last;
            last = std::move(now);
            return same;
        },
        Millis{3000});
    return last;
}

// Shows two texts of as many different Chinese characters in `control`, one after the other,
// and compares the pictures. A font without Chinese draws every such character as the same box,
// so the two texts then look alike. The control gets its own text back.
void ExpectChineseDrawn(HWND control, std::wstring_view first, std::wstring_view second) {
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    ASSERT_TRUE(GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &gui));
    ASSERT_NE(gui.hwndCaret, control) << "a blinking caret would tell the pictures apart";
    const std::wstring own = Text(control);
    std::string pictures[2];
    for (int i = 0; i < 2; ++i) {
        SetText(control, i == 0 ? first : second);
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        pictures[i] = SettledPicture(control);
    }
    SetText(control, own);
    ASSERT_FALSE(pictures[0].empty()) << "the screen cannot be read";
    EXPECT_TRUE(pictures[0] != pictures[1])
        << "\"" << Narrow(first) << "\" and \"" << Narrow(second) << "\" look the same: the font draws no Chinese";
}

TEST_F(OptimizerText, ChineseIsDrawnInEachFontOfTheMainAndAboutWindows) {
    const int kAboutSoftwareText = optimizer::aboutWindowLayout().idOf(optimizer::about_window::kAboutSoftware);
    const std::wstring first = L"方案名称";
    const std::wstring second = L"启动优化";
    Start({});
    {
        SCOPED_TRACE("the system's message font, which every button and most labels use");
        ExpectChineseDrawn(Part(main_, main_window::kUpcoming), first, second);
    }
    {
        SCOPED_TRACE("宋体 asked for with the GB2312 character set (方案管理)");
        ExpectChineseDrawn(Part(main_, main_window::kManageLabel), first, second);
    }
    Click(Part(main_, main_window::kAboutSoftware));
    HWND about = optimizer_.WaitForWindow(kAboutCaption);
    {
        SCOPED_TRACE("宋体 asked for by name alone (the about window's software text)");
        ExpectChineseDrawn(Part(about, kAboutSoftwareText), first, second);
    }
    PressEscape(about);
    WaitForDestroyed(about);
}

// ---- Size --------------------------------------------------------------------------------------

TEST_F(OptimizerScale, TenThousandSchemesAreAllListed) {
    constexpr int kSchemes = 10000;
    std::vector<SchemeFile> schemes;
    schemes.reserve(kSchemes);
    std::set<std::wstring> names;
    for (int i = 0; i < kSchemes; ++i) {
        std::wstring name = L"方案" + std::to_wstring(100000 + i) + L".lzvt";
        names.insert(name);
        schemes.push_back({std::move(name), "TSWB|x\r\nx"});
    }
    Start(schemes, {}, kLongTimeout);
    HWND list = MainList();
    EXPECT_EQ(ListRowCount(list), kSchemes);
    for (int row : {0, kSchemes / 2, kSchemes - 1}) {
        EXPECT_EQ(names.count(ListItemText(list, row)), 1u) << "row " << row << ": " << Narrow(ListItemText(list, row));
    }
    EXPECT_TRUE(Responds(main_));
}

TEST_F(OptimizerScale, HundredThousandStepSchemeShowsStepOne) {
    constexpr int kSteps = 100000;
    auto path = [](int i) { return L"HKEY_CURRENT_USER\\Software\\LzE2E\\Big\\v" + std::to_wstring(i); };
    std::string bytes;
    bytes.reserve(static_cast<size_t>(kSteps) * 64);
    for (int i = 0; i < kSteps; ++i) bytes += "ZCBTJ|" + Narrow(path(i)) + "|" + std::to_string(i) + "|SZJZ\r\n";
    bytes += "big";
    Start({{L"big.lzvt", bytes}});

    HWND runner = OpenRunner(L"big.lzvt", kLongTimeout);
    ExpectRegistryStep(runner, path(0), L"0");
    Click(Part(runner, runner::kSkip));
    ExpectRegistryStep(runner, path(1), L"1");
    PressEscape(runner);
    WaitForDestroyed(runner, kLongTimeout);
    EXPECT_TRUE(NoMessageBox(main_));
}

}  // namespace
}  // namespace lz::e2e
