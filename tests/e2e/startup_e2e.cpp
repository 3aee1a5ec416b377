// Both programs start from a fresh program folder with their main window exactly as laid out,
// and Esc ends them cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "tests/e2e/driver.h"

namespace lz::e2e {
namespace {

struct ExpectedControl {
    const char* name;  // the control's name in its window, for failure messages
    const wchar_t* class_name;
    const wchar_t* caption;
    int left, top, width, height;
    bool enabled = true;
};

enum class Program { Optimizer, Editor };

struct ExpectedWindow {
    Program program;
    const wchar_t* caption;
    int width, height;
    std::vector<ExpectedControl> controls;  // in layout order
    const wchar_t* list_column;
    int list_column_width;
    std::vector<const char*> off_screen;  // text holders that lie below the client area
};

const ExpectedWindow kOptimizerMain{
    Program::Optimizer,
    L"LZ Vantor（岚舟智能优化）",
    453,
    241,
    {
        {"标签1", L"Static", L"软件为便携式产品做到了最大的资源节省", 8, 8, 344, 21},
        {"标签5", L"Static", L"LZ VT采用解决方案的方式优化 可根据用户的需求智能优化", 8, 33, 344, 23},
        {"标签6", L"Static", L"方案管理", 264, 61, 88, 22},
        {"标签4", L"Static", L"已有解决方案---------------------------", 8, 64, 256, 24},
        {"超级列表框1", L"SysListView32", L"", 8, 88, 344, 72},
        {"按钮5", L"Button", L"更多智能软件", 360, 8, 80, 32},
        {"按钮6", L"Button", L"即将更新", 360, 48, 80, 32},
        {"按钮7", L"Button", L"关于软件", 360, 88, 80, 32},
        {"按钮8", L"Button", L"关于岚舟", 360, 128, 80, 32},
        {"按钮1", L"Button", L"启动方案", 360, 168, 80, 32},
        {"按钮4", L"Button", L"下载方案", 8, 168, 80, 32},
        {"按钮9", L"Button", L"购买方案", 96, 168, 80, 32, false},
        {"按钮3", L"Button", L"制作方案", 184, 168, 80, 32},
        {"按钮10", L"Button", L"修改方案", 272, 168, 80, 32},
        // A holder that shows nothing is a plain edit box: no rich-text library at start.
        {"超级编辑框1", L"Edit", L"", 24, 232, 352, 100},
    },
    L"方案名称",
    343,
    {"超级编辑框1"},
};

const ExpectedWindow kEditorMain{
    Program::Editor,
    L"LZ 优化方案编辑器",
    366,
    284,
    {
        {"按钮4", L"Button", L"打开文件", 16, 8, 80, 32},
        {"按钮5", L"Button", L"保存文件", 136, 8, 80, 32},
        {"按钮6", L"Button", L"另存为", 264, 8, 80, 32},
        {"超级列表框1", L"SysListView32", L"", 16, 48, 328, 100},
        {"按钮1", L"Button", L"添加步骤", 16, 152, 80, 32},
        {"按钮2", L"Button", L"删除步骤", 136, 152, 80, 32},
        {"按钮3", L"Button", L"复制步骤", 264, 152, 80, 32},
        {"按钮8", L"Button", L"关联方案文件", 16, 192, 80, 24},
        {"按钮9", L"Button", L"中文化步骤", 136, 192, 80, 24, false},
        {"按钮7", L"Button", L"更多设置", 264, 192, 80, 24, false},
        {"标签1", L"Static", L"方案名称：", 16, 224, 80, 24},
        {"编辑框2", L"Edit", L"MY 方案", 96, 224, 248, 20},
        {"编辑框1", L"Edit", L"", 56, 288, 80, 20},
        {"超级编辑框1", L"Edit", L"", 136, 288, 32, 24},
    },
    L"步骤",
    327,
    {"编辑框1", "超级编辑框1"},
};

// The window's own table, where the control ids come from.
const ui::WindowLayout& LayoutOf(const ExpectedWindow& expected) {
    return expected.program == Program::Optimizer ? optimizer::mainWindowLayout() : editor::mainWindowLayout();
}

Process Start(const ProgramFolder& folder, const ExpectedWindow& expected) {
    return expected.program == Program::Optimizer ? folder.StartOptimizer() : folder.StartEditor();
}

void ExpectFrame(HWND window, const ExpectedWindow& expected) {
    const SIZE outer = OuterSize(window);
    EXPECT_EQ(outer.cx, expected.width) << "outer width";
    EXPECT_EQ(outer.cy, expected.height) << "outer height";

    const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    EXPECT_EQ(style & WS_CAPTION, static_cast<DWORD>(WS_CAPTION)) << "title bar";
    EXPECT_TRUE(style & WS_SYSMENU) << "close button";
    EXPECT_FALSE(style & WS_THICKFRAME) << "the user must not resize it";
    EXPECT_FALSE(style & WS_MINIMIZEBOX) << "no minimize button";
    EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "no maximize button";

    // Centred on the screen (or on its work area, where a task bar takes part of it).
    RECT r{};
    GetWindowRect(window, &r);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    auto centred_in = [&](const RECT& area) {
        return std::abs((r.left + r.right) - (area.left + area.right)) <= 2 &&
               std::abs((r.top + r.bottom) - (area.top + area.bottom)) <= 2;
    };
    EXPECT_TRUE(centred_in(screen) || centred_in(work))
        << "window at " << r.left << "," << r.top << " is not centred on the " << screen.right << "x" << screen.bottom
        << " screen";
}

void ExpectControls(HWND window, const ExpectedWindow& expected) {
    const std::vector<Control> controls = Controls(window);
    EXPECT_EQ(controls.size(), expected.controls.size()) << "number of controls";

    for (size_t i = 0; i < expected.controls.size(); ++i) {
        const ExpectedControl& want = expected.controls[i];
        SCOPED_TRACE(want.name);
        // The table order is the order the controls are expected in.
        ASSERT_EQ(LayoutOf(expected).indexOf(want.name), static_cast<int>(i));
        HWND control = ControlById(window, LayoutOf(expected).idOf(want.name));
        ASSERT_NE(control, nullptr) << "no control with id " << LayoutOf(expected).idOf(want.name);
        // Class names compare without regard to case, as the system looks them up.
        EXPECT_EQ(_wcsicmp(ClassName(control).c_str(), want.class_name), 0)
            << "class " << Narrow(ClassName(control)) << ", expected " << Narrow(want.class_name);
        EXPECT_EQ(Text(control), want.caption);
        const RECT r = RectInParent(control);
        EXPECT_EQ(r.left, want.left) << "left";
        EXPECT_EQ(r.top, want.top) << "top";
        EXPECT_EQ(r.right - r.left, want.width) << "width";
        EXPECT_EQ(r.bottom - r.top, want.height) << "height";
        EXPECT_EQ(IsEnabled(control), want.enabled) << "enabled";
        EXPECT_TRUE(IsVisible(control)) << "shown (style 0x" << std::hex << GetWindowLongPtrW(control, GWL_STYLE)
                                        << ")";
    }
}

void ExpectListHeader(HWND window, const ExpectedWindow& expected) {
    HWND list = ControlByClass(window, L"SysListView32");
    ASSERT_NE(list, nullptr);
    const std::vector<ListColumn> columns = ListColumns(list);
    ASSERT_EQ(columns.size(), 1u);
    EXPECT_EQ(columns[0].text, expected.list_column);
    EXPECT_EQ(columns[0].width, expected.list_column_width);
    EXPECT_EQ(ListRowCount(list), 0) << "the Optimal folder is empty, so is the list";
}

void ExpectHoldersOutOfSight(HWND window, const ExpectedWindow& expected) {
    const SIZE client = ClientSize(window);
    for (const char* name : expected.off_screen) {
        SCOPED_TRACE(name);
        HWND holder = ControlById(window, LayoutOf(expected).idOf(name));
        ASSERT_NE(holder, nullptr);
        EXPECT_GE(RectInParent(holder).top, client.cy) << "must lie below the " << client.cy << " px high client area";
    }
}

void CheckLayout(const ExpectedWindow& expected) {
    ProgramFolder folder;
    Process program = Start(folder, expected);
    HWND window = program.WaitForWindow(expected.caption);
    {
        SCOPED_TRACE("frame");
        ExpectFrame(window, expected);
    }
    ExpectControls(window, expected);
    ExpectListHeader(window, expected);
    ExpectHoldersOutOfSight(window, expected);
    if (::testing::Test::HasFailure()) {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto shot = SaveArtifactScreenshot(std::string(test->test_suite_name()) + "." + test->name());
        if (!shot.empty()) std::cerr << "screen at the failure: " << Narrow(shot.wstring()) << "\n";
    }
}

void CheckEscapeEndsProgram(const ExpectedWindow& expected) {
    ProgramFolder folder;
    Process program = Start(folder, expected);
    HWND window = program.WaitForWindow(expected.caption);

    PressEscape(window);
    WaitForDestroyed(window);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_TRUE(program.Windows().empty()) << "a window of the ended program is left";
}

TEST(OptimizerStartup, MainWindowIsLaidOut) {
    CheckLayout(kOptimizerMain);
}
TEST(OptimizerStartup, EscEndsProgramWithExitCodeZero) {
    CheckEscapeEndsProgram(kOptimizerMain);
}
TEST(EditorStartup, MainWindowIsLaidOut) {
    CheckLayout(kEditorMain);
}
TEST(EditorStartup, EscEndsProgramWithExitCodeZero) {
    CheckEscapeEndsProgram(kEditorMain);
}

}  // namespace
}  // namespace lz::e2e
