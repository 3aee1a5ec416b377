// Both programs on a 144-DPI screen (150 %), driven from outside: every window opens at the
// design's size times 1.5, and a picture of each is kept (artifacts named *-144dpi, the README's
// high-DPI screenshots). The sizes of every control are checked in process (dpi_win32.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/e2e/optimizer_fixture.h"

namespace lz::e2e {
namespace {

constexpr int kTolerance = 2;

// The screen of this run has the DPI the run was started for.
void ExpectScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const char* expected = std::getenv("LZ_E2E_EXPECT_DPI");
    ASSERT_NE(expected, nullptr) << "run by ctest with LZ_WINE_DPI";
    ASSERT_EQ(dpi, std::atoi(expected)) << "the screen's DPI did not take";
}

void ExpectScaled(HWND window, int design_width, int design_height) {
    const SIZE size = OuterSize(window);
    EXPECT_NEAR(size.cx, design_width * 3 / 2, kTolerance) << Narrow(Text(window));
    EXPECT_NEAR(size.cy, design_height * 3 / 2, kTolerance) << Narrow(Text(window));
}

using OptimizerAtHighDpi = OptimizerE2E;

TEST_F(OptimizerAtHighDpi, EveryWindowOpensAtOneAndAHalfTimesItsSize) {
    ExpectScreenDpi();
    const std::wstring key = L"HKEY_CURRENT_USER\\Software\\LzE2E\\Run\\Blob";
    std::vector<SchemeFile> schemes = SampleSchemes();
    schemes.push_back({L"高分屏.lzvt", SchemeBytes({Gbk(L"TSWB|欢迎使用本方案。"), Gbk(L"第二行：请先备份注册表"),
                                                    Gbk(L"ZCBTJ|" + key + L"|01 02 中|EJZSZ")},
                                                   Gbk(L"高分屏"))});
    Start(schemes);
    ExpectScaled(main_, 453, 241);
    SaveShot("optimizer-main-144dpi", main_);

    HWND runner = OpenRunner(L"高分屏.lzvt");
    ExpectScaled(runner, 399, 153);
    ExpectHintStep(runner, L"欢迎使用本方案。\r\n第二行：请先备份注册表");
    SaveShot("runner-hint-step-144dpi", runner);
    Click(Part(runner, runner::kNext));
    ExpectRegistryStep(runner, key, L"01 02 中");
    SaveShot("runner-registry-step-144dpi", runner);
    Click(Part(runner, runner::kLeaveRegistry));
    WaitForDestroyed(runner);

    LeftMouseDown(Part(main_, main_window::kManageLabel));
    HWND manager = optimizer_.WaitForWindow(kManagementCaption);
    ExpectScaled(manager, 305, 140);
    SaveShot("management-144dpi", manager);
    Click(Part(manager, management::kExit));
    WaitForDestroyed(manager);

    Click(Part(main_, main_window::kAboutSoftware));
    HWND about = optimizer_.WaitForWindow(kAboutCaption);
    ExpectScaled(about, 757, 303);
    SaveShot("about-144dpi", about);
    PressEscape(about);
    WaitForDestroyed(about);

    Click(Part(main_, main_window::kMoreProducts));
    HWND more = optimizer_.WaitForWindow(kMoreProductsCaption);
    ExpectScaled(more, 275, 250);
    PressEscape(more);
    WaitForDestroyed(more);
    EXPECT_TRUE(NoMessageBox(main_));
}

TEST(EditorAtHighDpi, BothWindowsOpenAtOneAndAHalfTimesTheirSize) {
    ExpectScreenDpi();
    ProgramFolder folder(
        {{L"显示隐藏文件.lzvt", SchemeBytes({Gbk(L"TSWB|本方案让资源管理器显示隐藏的文件和文件夹。"),
                                             Gbk(L"ZCBTJ|HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\"
                                                 L"CurrentVersion\\Explorer\\Advanced\\Hidden|1|SZJZ")},
                                            Gbk(L"显示隐藏文件"))}});
    Process editor = folder.StartEditor(L"\"" + (folder.Optimal() / L"显示隐藏文件.lzvt").wstring() + L"\"");
    HWND main = editor.WaitForWindow(kEditorCaption);
    ExpectScaled(main, 366, 284);
    HWND steps = ControlById(main, editor::kSteps);
    ASSERT_NE(steps, nullptr);
    EXPECT_TRUE(PollUntil([&] { return ListRowCount(steps) == 2; }));
    SaveShot("editor-main-144dpi", main);

    Click(ControlById(main, ::lz::editor::mainWindowLayout().idOf(::lz::editor::main_window::kAddStep)));
    HWND add = editor.WaitForWindow(L"添加步骤");
    ExpectScaled(add, 247, 182);
    SaveShot("add-step-144dpi", add);
    PressEscape(add);
    WaitForDestroyed(add);
    PressEscape(main);
    EXPECT_EQ(editor.WaitForExit(), 0u);
}

}  // namespace
}  // namespace lz::e2e
