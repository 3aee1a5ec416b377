// The keyboard in process: Tab walks a window's controls in the order of its table, through the
// page in front only, out of a multi-line box too, and never into a text holder out of sight;
// the message loop takes only its own windows for its windows.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/win32/browser.h"
#include "testing/win32/real_windows.h"

namespace lz::win32 {
namespace {

using ui::Window;

// A window of the layout, shown and with its first messages handled; the test owns it.
std::unique_ptr<Window> open(const ui::WindowLayout& layout) {
    std::unique_ptr<Window> w = openWindow(layout, {});
    if (!w) throw std::runtime_error("window not created");
    pumpMessages();
    return w;
}

// The control that has the focus, by its name in the table ("" for none of them).
std::string focusedName(const ui::WindowLayout& layout, Window& w) {
    HWND focus = GetFocus();
    for (const ui::ControlLayout& c : layout.controls) {
        HWND h = controlHandle(w, c.name);
        if (h && (h == focus || IsChild(h, focus))) return c.name;
    }
    return focus == handleOf(w) ? "(the window)" : "";
}

void pressTab(Window& w) {
    HWND target = GetFocus() ? GetFocus() : handleOf(w);
    PostMessageW(target, WM_KEYDOWN, VK_TAB, 1);
    PostMessageW(target, WM_KEYUP, VK_TAB, 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
    pumpMessages();
}

// The controls Tab visits from `first` until it comes back there (at most twice the table).
std::vector<std::string> tabRound(const ui::WindowLayout& layout, Window& w, std::string_view first) {
    SetFocus(controlHandle(w, first));
    pumpMessages();
    std::vector<std::string> visited{focusedName(layout, w)};
    for (size_t i = 0; i < 2 * layout.controls.size(); ++i) {
        pressTab(w);
        const std::string name = focusedName(layout, w);
        if (name == first) break;
        visited.push_back(name);
    }
    return visited;
}

using Names = std::vector<std::string>;

Names names(std::initializer_list<std::string_view> list) {
    return Names(list.begin(), list.end());
}

TEST(Win32Keyboard, TabFollowsTheTableAndNeverEntersAHolderOutOfSight) {
    struct Case {
        const ui::WindowLayout& (*layout)();
        std::string_view first;
        Names round;
    };
    namespace om = optimizer::main_window;
    namespace omg = optimizer::management_window;
    namespace em = editor::main_window;
    const Case cases[] = {
        {optimizer::mainWindowLayout, om::kSchemeList,
         names({om::kSchemeList, om::kMoreProducts, om::kUpcoming, om::kAboutSoftware, om::kAboutStudio, om::kStart,
                om::kDownload, om::kMake, om::kChange})},
        {editor::mainWindowLayout, em::kOpen,
         names({em::kOpen, em::kSave, em::kSaveAs, em::kSteps, em::kAddStep, em::kDeleteStep, em::kCopyStep,
                em::kAssociate, em::kSchemeName})},
        {optimizer::managementWindowLayout, omg::kSchemeList,
         names({omg::kSchemeList, omg::kHowToInstall, omg::kDelete, omg::kExit})},
    };
    for (const Case& c : cases) {
        const ui::WindowLayout& layout = c.layout();
        SCOPED_TRACE(layout.caption);
        const std::unique_ptr<Window> window = open(layout);
        Window& w = *window;
        EXPECT_EQ(tabRound(layout, w, c.first), c.round);
        w.close();
    }
}

TEST(Win32Keyboard, OnTabPagesTabStaysOnThePageInFrontAndLeavesAMultiLineBox) {
    const std::unique_ptr<Window> runnerWindow = open(optimizer::runnerWindowLayout());
    Window& runner = *runnerWindow;
    const ui::WindowLayout& layout = optimizer::runnerWindowLayout();
    using namespace optimizer::runner_window;
    EXPECT_EQ(tabRound(layout, runner, kPathBox), names({kPathBox, kValueBox, kSkip, kLeaveRegistryStep, kExecute}));
    runner.setCurrentPage(kPages, kHintPage);
    // From the hint box (multi-line, read-only) Tab goes on to the page's buttons.
    EXPECT_EQ(tabRound(layout, runner, kHintBox), names({kHintBox, kLeaveHint, kNext}));
    runner.close();

    const std::unique_ptr<Window> addWindow = open(editor::addStepWindowLayout());

    Window& add = *addWindow;
    const ui::WindowLayout& addLayout = editor::addStepWindowLayout();
    namespace ea = editor::add_step_window;
    add.setEnabled(ea::kTypeList, true);
    const Names registryPage = tabRound(addLayout, add, ea::kPathBox);
    EXPECT_EQ(registryPage,
              names({ea::kPathBox, ea::kValueBox, ea::kTypeList, ea::kAddRegistryStep, ea::kDeleteChoice}));
    add.setCurrentPage(ea::kPages, ea::kHintStepPage);
    EXPECT_EQ(tabRound(addLayout, add, ea::kHintBox), names({ea::kHintBox, ea::kAddHint}));
    add.close();
}

TEST(Win32Keyboard, AWindowOfTheThreadThatIsNotTheProgramsIsLeftToItself) {
    // A window of another class whose user data is not one of the program's windows, as a
    // browser's or a message box's may be: keys for it must not be taken for the program's.
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    SetWindowLongPtrW(other, GWLP_USERDATA, 0x5A5A5A5A);
    const std::unique_ptr<Window> window = open(optimizer::mainWindowLayout());
    Window& w = *window;
    PostMessageW(other, WM_KEYDOWN, VK_ESCAPE, 1);
    PostMessageW(other, WM_KEYDOWN, VK_TAB, 1);
    pumpMessages();
    EXPECT_TRUE(IsWindow(other));
    EXPECT_TRUE(w.isOpen()) << "a key for another window closed the program's";
    DestroyWindow(other);
    w.close();
}

TEST(Win32Keyboard, InTheBrowserThePageHasTheKeysFirstAndEscClosesOnlyWhatThePageLeaves) {
    const std::unique_ptr<Window> moreWindow = open(optimizer::moreProductsWindowLayout());
    Window& more = *moreWindow;
    HWND browser = controlHandle(more, optimizer::more_products_window::kBrowser);
    ASSERT_NE(browser, nullptr);
    SetFocus(browser);
    pumpMessages();
    HWND focus = GetFocus();
    ASSERT_EQ(browserHolding(focus), browser) << "the focus is inside the browser";
    EXPECT_EQ(browserHolding(handleOf(more)), nullptr);

    // Whether this page takes Esc decides whether the window closes (with no page engine here,
    // it does not; a page with a field open would).
    MSG escape{focus, WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
    const bool pageTakesEscape = browserTakesKey(browser, escape);
    PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 1);
    pumpMessages();
    EXPECT_EQ(more.isOpen(), pageTakesEscape);
    if (more.isOpen()) more.close();
}

}  // namespace
}  // namespace lz::win32
