// What the optimizer shows (captions, messages, control ids) and a fixture that starts it in a
// fresh program folder and drives it from outside: shared by the end-to-end tests of the
// optimizer.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "tests/e2e/driver.h"

namespace lz::e2e {

namespace fs = std::filesystem;

// ---- What the optimizer shows ------------------------------------------------------------

inline const std::wstring kMainCaption = L"LZ Vantor（岚舟智能优化）";
inline const std::wstring kRunnerCaption = std::wstring(21, L' ') + L"方案优化";
inline const std::wstring kManagementCaption = L"方案管理";
inline const std::wstring kAboutCaption = L"关于";
inline const std::wstring kMoreProductsCaption = L"更多产品";
inline const std::wstring kEditorCaption = L"LZ 优化方案编辑器";

inline const std::wstring kMessageCaption = L"信息：";
inline const std::wstring kNoSchemeSelected = L"未选中方案";
inline const std::wstring kEmptyScheme = L"您获取的是空方案！";
inline const std::wstring kFinished = L"恭喜您完成此方案的优化！";
inline const std::wstring kWriteSucceeded = L"注册表写入成功，即将进行下一步";
inline const std::wstring kWriteFailed = L"某种原因写入失败，正在识别错误中...";
inline const std::wstring kEntryExists = L"欲写入注册表项存在，请手动检查数值！";
inline const std::wstring kEntryMissing = L"欲写入注册表项并不存在，请重试";
inline const std::wstring kUndoNotSaved = L"撤销记录无法保存，此项未写入注册表";
inline const std::wstring kDeleteInstruction = L"删除以上注册表项";
inline const std::wstring kDeleteUndoNotSaved = L"撤销记录无法保存，此项未删除";
inline const std::wstring kValueDeleted = L"注册表值已删除，即将进行下一步";
inline const std::wstring kNothingToDelete = L"欲删除的注册表项并不存在，无需删除，即将进行下一步";
inline const std::wstring kAmbiguousDelete = L"此路径下既有同名的值，又有同名的项，无法确定删除哪一个，未删除任何内容";
inline const std::wstring kProtectedKey = L"此注册表项是系统的关键项，删除后系统可能无法启动，已拒绝删除";
inline const std::wstring kNoRights =
    L"没有修改此注册表项的权限。请右键点击 optimizer.exe，选择“以管理员身份运行”后再试";
inline std::wstring KeyDeleted(int keys, int values) {
    return L"注册表项已删除（共 " + std::to_wstring(keys) + L" 个项、" + std::to_wstring(values) +
           L" 个值），即将进行下一步";
}
inline const std::wstring kHowToInstall = L"把方案文件移动到程序目录下的Optimal文件夹里，即可";
inline const std::wstring kDeleted = L"删除成功";
inline const std::wstring kRetry = L"请重试";

// Control ids, found in the programs' own window tables by the names their handlers use.
namespace main_window {
namespace names = ::lz::optimizer::main_window;
inline int Id(std::string_view name) {
    return ::lz::optimizer::mainWindowLayout().idOf(name);
}
inline const int kManageLabel = Id(names::kManageLink);
inline const int kSchemes = Id(names::kSchemeList);
inline const int kMoreProducts = Id(names::kMoreProducts);
inline const int kUpcoming = Id(names::kUpcoming);
inline const int kAboutSoftware = Id(names::kAboutSoftware);
inline const int kAboutStudio = Id(names::kAboutStudio);
inline const int kStart = Id(names::kStart);
inline const int kDownload = Id(names::kDownload);
inline const int kMake = Id(names::kMake);
inline const int kChange = Id(names::kChange);
}  // namespace main_window

namespace runner {
namespace names = ::lz::optimizer::runner_window;
inline int Id(std::string_view name) {
    return ::lz::optimizer::runnerWindowLayout().idOf(name);
}
inline const int kTabs = Id(names::kPages);
inline const int kPath = Id(names::kPathBox);
inline const int kValue = Id(names::kValueBox);
inline const int kSkip = Id(names::kSkip);
inline const int kLeaveRegistry = Id(names::kLeaveRegistryStep);
inline const int kExecute = Id(names::kExecute);
inline const int kHint = Id(names::kHintBox);
inline const int kLeaveHint = Id(names::kLeaveHint);
inline const int kNext = Id(names::kNext);
using names::kHintPage;
using names::kRegistryPage;
}  // namespace runner

namespace management {
namespace names = ::lz::optimizer::management_window;
inline int Id(std::string_view name) {
    return ::lz::optimizer::managementWindowLayout().idOf(name);
}
inline const int kSchemes = Id(names::kSchemeList);
inline const int kHowTo = Id(names::kHowToInstall);
inline const int kDelete = Id(names::kDelete);
inline const int kExit = Id(names::kExit);
}  // namespace management

namespace editor {
namespace names = ::lz::editor::main_window;
inline int Id(std::string_view name) {
    return ::lz::editor::mainWindowLayout().idOf(name);
}
inline const int kSave = Id(names::kSave);
inline const int kSteps = Id(names::kSteps);
inline const int kName = Id(names::kSchemeName);
}  // namespace editor

inline constexpr Millis kLongTimeout{60000};

// ---- Schemes -------------------------------------------------------------------------------

// A scheme file as the editor saves it: GBK, each step line followed by CR LF, then the name.
inline std::string SchemeBytes(const std::vector<std::string>& gbk_lines, const std::string& gbk_name) {
    std::string bytes;
    for (const std::string& line : gbk_lines) bytes += line + "\r\n";
    return bytes + gbk_name;
}

inline std::string Gbk(std::wstring_view text) {
    return WideToGbk(text);
}

inline std::string Utf16Bytes(std::wstring_view text, bool with_terminator) {
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    if (with_terminator) bytes.append(sizeof(wchar_t), '\0');
    return bytes;
}

inline std::string DwordBytes(std::uint32_t number) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<char>((number >> (8 * i)) & 0xFF);
    return bytes;
}

inline bool SameFile(const fs::path& a, const fs::path& b) {
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// ---- Fixture -------------------------------------------------------------------------------

class OptimizerE2E : public ::testing::Test {
protected:
    void TearDown() override {
        if (!HasFailure()) return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const fs::path shot =
            SaveArtifactScreenshot(std::string(test->test_suite_name()) + "." + test->name() + ".failure");
        if (!shot.empty()) std::cerr << "screen at the failure: " << Narrow(shot.wstring()) << "\n";
    }

    // A fresh program folder with these schemes in its Optimal folder; the optimizer started
    // there, its main window shown.
    void Start(const std::vector<SchemeFile>& schemes, const fs::path& parent = {}, Millis timeout = kDefaultTimeout) {
        folder_ = parent.empty() ? std::make_unique<ProgramFolder>(schemes)
                                 : std::make_unique<ProgramFolder>(schemes, parent);
        StartInFolder(timeout);
    }

    void StartInFolder(Millis timeout = kDefaultTimeout) {
        optimizer_ = Process::Launch(folder_->Optimizer(), {}, folder_->Dir(), timeout);
        main_ = optimizer_.WaitForWindow(kMainCaption, timeout);
        RequireExpectedLocale(optimizer_);
    }

    static HWND Part(HWND window, int id) {
        HWND control = ControlById(window, id);
        if (control == nullptr)
            throw DriverError("no control with id " + std::to_string(id) + " in " + Narrow(Text(window)));
        return control;
    }

    HWND MainList() const { return Part(main_, main_window::kSchemes); }

    void SelectScheme(std::wstring_view name) {
        const std::vector<std::wstring> rows = ListRows(MainList());
        const auto row = std::find(rows.begin(), rows.end(), name);
        if (row == rows.end()) throw DriverError("the main list does not list " + Narrow(name));
        ListSelectRow(MainList(), static_cast<int>(row - rows.begin()));
    }

    // Selects the scheme, clicks 启动方案 and waits for the runner window.
    HWND OpenRunner(std::wstring_view scheme, Millis timeout = kDefaultTimeout) {
        SelectScheme(scheme);
        Click(Part(main_, main_window::kStart));
        return optimizer_.WaitForWindow(kRunnerCaption, timeout);
    }

    // Waits for the program's next message box, dismisses it and returns its text.
    std::wstring NextMessage() { return AnswerMessageBox(optimizer_); }

    // True when the program shows no message box after everything sent to `window` so far has
    // been handled.
    bool NoMessageBox(HWND window, Millis linger = Millis{500}) {
        Responds(window);
        return !PollUntil([&] { return optimizer_.FindDialog() != nullptr; }, linger);
    }

    std::unique_ptr<ProgramFolder> folder_;
    Process optimizer_;
    HWND main_ = nullptr;
};

// The runner shows a registry step: page 0 in front with its path and value. Handlers run in
// the program's own time, so the texts are awaited before they are checked.
inline void ExpectRegistryStep(HWND runner, std::wstring_view path, std::wstring_view value) {
    HWND tabs = ControlById(runner, runner::kTabs);
    HWND path_box = ControlById(runner, runner::kPath);
    HWND value_box = ControlById(runner, runner::kValue);
    ASSERT_TRUE(tabs && path_box && value_box);
    PollUntil([&] {
        return TabCurrentPage(tabs) == runner::kRegistryPage && Text(path_box) == path && Text(value_box) == value;
    });
    EXPECT_EQ(TabCurrentPage(tabs), runner::kRegistryPage);
    EXPECT_EQ(Text(path_box), path);
    EXPECT_EQ(Text(value_box), value);
    // Only the buttons of the page in front can be pressed.
    for (int id : {runner::kSkip, runner::kExecute, runner::kLeaveRegistry})
        EXPECT_TRUE(IsVisible(ControlById(runner, id))) << id;
    for (int id : {runner::kNext, runner::kLeaveHint, runner::kHint})
        EXPECT_FALSE(IsVisible(ControlById(runner, id))) << id;
}

inline void ExpectHintStep(HWND runner, std::wstring_view hint) {
    HWND tabs = ControlById(runner, runner::kTabs);
    HWND hint_box = ControlById(runner, runner::kHint);
    ASSERT_TRUE(tabs && hint_box);
    PollUntil([&] { return TabCurrentPage(tabs) == runner::kHintPage && Text(hint_box) == hint; });
    EXPECT_EQ(TabCurrentPage(tabs), runner::kHintPage);
    EXPECT_EQ(Text(hint_box), hint);
    for (int id : {runner::kNext, runner::kLeaveHint}) EXPECT_TRUE(IsVisible(ControlById(runner, id))) << id;
    for (int id : {runner::kSkip, runner::kExecute, runner::kPath})
        EXPECT_FALSE(IsVisible(ControlById(runner, id))) << id;
}

// Lets a window paint itself before a shot of it is taken.
inline void SaveShot(std::string_view name, HWND window) {
    Responds(window);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    std::this_thread::sleep_for(Millis{400});
    const fs::path shot = SaveArtifactScreenshot(name, window);
    if (!shot.empty()) std::cerr << "shot: " << Narrow(shot.wstring()) << "\n";
}

}  // namespace lz::e2e
