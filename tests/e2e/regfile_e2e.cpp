// Registry files in and out of the editor, on the real Win32 stack: a .reg file imported
// through the open dialog and saved as a scheme runs in the optimizer to the changes the
// system's own importer makes of the same file; a scheme saved as a .reg file through the
// save dialog, imported by the system, makes the changes of running the scheme.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/optimizer_fixture.h"

namespace lz::e2e {
namespace {

const std::wstring kKey = L"Software\\LzE2E\\RegFile";
const std::wstring kPath = L"HKEY_CURRENT_USER\\" + kKey;
const std::wstring kConfigKey = L"LzE2E\\RegFile";  // under HKEY_CURRENT_CONFIG

namespace editor_window {
inline const int kOpen = ::lz::editor::mainWindowLayout().idOf(::lz::editor::main_window::kOpen);
inline const int kSaveAs = ::lz::editor::mainWindowLayout().idOf(::lz::editor::main_window::kSaveAs);
}  // namespace editor_window
constexpr const wchar_t* kOpenDialogTitle = L"选择方案文件LZVT";
constexpr const wchar_t* kSaveAsDialogTitle = L"另存为路径";

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

DWORD ImportWithRegedit(const fs::path& file) {
    return RunToEnd(L"regedit.exe /s \"" + file.wstring() + L"\"", Millis{30000});
}

// The state every case starts from: values and keys the files and schemes change or delete.
void Seed() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
    RegDeleteTreeW(HKEY_CURRENT_CONFIG, kConfigKey.c_str());
    RegistrySetString(HKEY_CURRENT_USER, kKey, L"Old", L"旧值");
    RegistrySetDword(HKEY_CURRENT_USER, kKey, L"Gone", 1);
    RegistrySetDword(HKEY_CURRENT_USER, kKey + L"\\Doomed\\Below", L"v", 2);
    RegistrySetDword(HKEY_CURRENT_USER, kKey + L"\\Named", L"v", 3);
}

std::map<std::wstring, RegistryValues> Snapshot() {
    auto tree = RegistryTree(HKEY_CURRENT_USER, kKey);
    for (auto& [key, values] : RegistryTree(HKEY_CURRENT_CONFIG, kConfigKey)) tree[L"HKCC:" + key] = values;
    return tree;
}

class RegFileE2E : public OptimizerE2E {
protected:
    void TearDown() override {
        OptimizerE2E::TearDown();
        RegDeleteTreeW(HKEY_CURRENT_USER, kKey.c_str());
        RegDeleteTreeW(HKEY_CURRENT_CONFIG, kConfigKey.c_str());
    }

    // Starts the editor in the program folder, with `arguments`; returns its main window.
    HWND StartEditor(const std::wstring& arguments = {}) {
        editor_ = Process::Launch(folder_->Editor(), arguments, folder_->Dir());
        return editor_.WaitForWindow(kEditorCaption);
    }
    void CloseEditor(HWND window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(editor_.WaitForExit(Millis{10000}), 0u);
    }
    // Picks `file` in one of the editor's file dialogs and takes the message that follows. A file
    // saved to is made empty first, so that the dialog does not ask whether to create it.
    std::wstring ChooseAndTakeMessage(HWND button, const wchar_t* title, const fs::path& file) {
        if (title == std::wstring_view(kSaveAsDialogTitle)) WriteFileBytes(file, "");
        Click(button);
        WaitForDestroyed(ChooseInFileDialog(editor_, title, file));
        return AnswerMessageBox(editor_);
    }
    // Runs the scheme in the optimizer, passing its first hints with 下一步 and pressing 执行 on
    // every step after them.
    void RunEveryStep(const std::wstring& scheme, int hints, int steps) {
        StartInFolder();
        HWND runner = OpenRunner(scheme);
        for (int hint = 1; hint <= hints; ++hint) Click(Part(runner, runner::kNext));
        for (int step = 1; step <= steps; ++step) {
            SCOPED_TRACE("step " + std::to_string(step));
            Click(Part(runner, runner::kExecute));
            const std::wstring message = NextMessage();
            EXPECT_TRUE(message == kWriteSucceeded || message == kValueDeleted || message == kNothingToDelete ||
                        message.starts_with(L"注册表项已删除"))
                << Narrow(message);
        }
        EXPECT_EQ(NextMessage(), kFinished);
        WaitForDestroyed(runner);
    }

    Process editor_;
};

TEST_F(RegFileE2E, AnImportedRegFileRunsToWhatTheSystemsImporterMakesOfIt) {
    const std::wstring reg =
        L"Windows Registry Editor Version 5.00\r\n\r\n"
        L"[" +
        kPath +
        L"]\r\n"
        L"\"Text\"=\"中文 \\\"引号\\\" \\\\ 反斜杠\"\r\n"
        L"\"Number\"=dword:fffffffe\r\n"
        L"\"Blob\"=hex:4c,5a,00,ff,\\\r\n  80,7f\r\n"
        L"\"Str1\"=hex(1):61,00,62,00,00,00\r\n"
        L"\"Dw4\"=hex(4):10,00,00,00\r\n"
        L"@=\"默认\"\r\n"
        L"\"Old\"=\"新值\"\r\n"
        L"\"Gone\"=-\r\n"
        L"; left out: types a scheme has no code for, a key created alone\r\n"
        L"\"Expand\"=hex(2):25,00,00,00\r\n"
        L"\"Multi\"=hex(7):61,00,00,00,00,00\r\n"
        L"\"Big\"=hex(b):01,02,03,04,05,06,07,08\r\n"
        L"[" +
        kPath +
        L"\\Alone]\r\n"
        L"[-" +
        kPath +
        L"\\Doomed]\r\n"
        L"[HKCU\\" +
        kKey +
        L"\\Abbreviated]\r\n"
        L"\"v\"=dword:00000001\r\n"
        L"[HKEY_CURRENT_CONFIG\\" +
        kConfigKey +
        L"]\r\n"
        L"\"c\"=\"配置\"\r\n";
    folder_ = std::make_unique<ProgramFolder>(std::vector<SchemeFile>{});
    const fs::path reg_file = folder_->Dir() / L"调整 注册表.reg";
    WriteFileBytes(reg_file, Utf16File(reg));

    // What the system's importer makes of the file, without what a scheme cannot carry.
    Seed();
    ASSERT_EQ(ImportWithRegedit(reg_file), 0u);
    auto expected = Snapshot();
    for (const wchar_t* name : {L"Expand", L"Multi", L"Big"}) ASSERT_EQ(expected.at(L"").erase(name), 1u);
    ASSERT_EQ(expected.erase(L"Alone"), 1u);
    ASSERT_FALSE(expected.contains(L"Abbreviated")) << "the system's importer takes no HKCU\\...";

    // The same file imported in the editor and saved as a scheme, run in the optimizer.
    Seed();
    HWND editor = StartEditor();
    const std::wstring imported =
        ChooseAndTakeMessage(ControlById(editor, editor_window::kOpen), kOpenDialogTitle, reg_file);
    EXPECT_TRUE(imported.starts_with(L"已导入 10 个步骤。")) << Narrow(imported);
    EXPECT_NE(imported.find(L"有 5 项方案无法表示"), std::wstring::npos) << Narrow(imported);
    EXPECT_NE(imported.find(L"第 14 行"), std::wstring::npos) << "a line of what was left out";
    EXPECT_TRUE(fs::exists(folder_->Dir() / L"调整 注册表.reg.txt"));
    EXPECT_EQ(Text(ControlById(editor, ::lz::editor::mainWindowLayout().idOf(::lz::editor::main_window::kSchemeName))),
              L"调整 注册表");
    EXPECT_EQ(ChooseAndTakeMessage(ControlById(editor, editor_window::kSaveAs), kSaveAsDialogTitle,
                                   folder_->Dir() / L"Optimal" / L"导入.lzvt"),
              L"成功！");
    CloseEditor(editor);

    RunEveryStep(L"导入.lzvt", 0, 10);
    const auto ran = Snapshot();
    EXPECT_EQ(ran, expected);
    for (const auto& [key, values] : expected) {
        SCOPED_TRACE(Narrow(key));
        ASSERT_TRUE(ran.contains(key));
        for (const auto& [name, value] : values)
            EXPECT_TRUE(ran.at(key).contains(name) && ran.at(key).at(name) == value) << Narrow(name);
    }
}

TEST_F(RegFileE2E, ASchemeSavedAsARegFileMakesTheChangesOfRunningIt) {
    const std::vector<std::wstring> rows = {
        L"TSWB|导出测试：先备份",
        L"ZCBTJ|" + kPath + L"\\Text|中文 \"引号\" \\|ZCZ",
        L"ZCBTJ|" + kPath + L"\\Number|0x10|SZJZ",
        L"ZCBTJ|" + kPath + L"\\Negative|-2|SZJZ",
        L"ZCBTJ|" + kPath + L"\\Blob|01 02 中|EJZSZ",
        L"ZCBTJ|" + kPath + L"\\Deep\\New\\|默认|ZCZ",
        L"ZCBTJ|HKCU\\" + kConfigKey + L"\\c|1|SZJZ",  // an unknown root: HKEY_CURRENT_CONFIG
        L"ZCBSC|" + kPath + L"\\Gone|SC",
        L"ZCBSC|" + kPath + L"\\Doomed|SC",
        L"ZCBSC|" + kPath + L"\\Named\\|SC",
        L"ZCBSC|" + kPath + L"\\Absent\\|SC",
    };
    std::vector<std::string> lines;
    for (const std::wstring& row : rows) lines.push_back(Gbk(row));
    folder_ =
        std::make_unique<ProgramFolder>(std::vector<SchemeFile>{{L"导出.lzvt", SchemeBytes(lines, Gbk(L"导出测试"))}});

    Seed();
    RunEveryStep(L"导出.lzvt", 1, 10);
    const auto ran = Snapshot();
    ASSERT_FALSE(ran.contains(L"Doomed"));

    Seed();
    HWND editor = StartEditor(L"\"" + (folder_->Dir() / L"Optimal" / L"导出.lzvt").wstring() + L"\"");
    const fs::path reg_file = folder_->Dir() / L"导出.reg";
    EXPECT_EQ(ChooseAndTakeMessage(ControlById(editor, editor_window::kSaveAs), kSaveAsDialogTitle, reg_file),
              L"成功！");
    CloseEditor(editor);
    const std::string bytes = ReadFileBytes(reg_file);
    ASSERT_GT(bytes.size(), 2u);
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * sizeof(wchar_t));
    std::cerr << "exported:\n" << Narrow(text) << "\n";
    EXPECT_TRUE(
        text.starts_with(L"Windows Registry Editor Version 5.00\r\n; 方案：导出测试\r\n; 导出测试：先备份\r\n"));
    ASSERT_EQ(ImportWithRegedit(reg_file), 0u);
    EXPECT_EQ(Snapshot(), ran);
}

}  // namespace
}  // namespace lz::e2e
