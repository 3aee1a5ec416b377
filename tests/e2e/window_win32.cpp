// The Win32 window layer in process: real windows built from the programs' tables, checked
// through the same calls a user's actions and the handlers go through. What every window keeps
// is in tests/unit/window_contract.h, run here against the real one.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <memory>
#include <string>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/text.h"
#include "testing/win32/real_windows.h"
#include "tests/e2e/debug_output.h"
#include "tests/unit/window_contract.h"

namespace lz::win32 {
namespace {

using e2e::DebugOutput;
using ui::Event;
using ui::Handlers;
using ui::Window;

RECT clientRectInParent(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A window of the layout, shown and with its first messages handled; the test owns it.
std::unique_ptr<Window> open(const ui::WindowLayout& layout, Handlers handlers = {}) {
    std::unique_ptr<Window> w = openWindow(layout, std::move(handlers));
    if (!w) throw std::runtime_error("window not created");
    pumpMessages();
    return w;
}

TEST(Win32Window, EveryControlHasItsClassPlaceAndCaption) {
    struct Case {
        const ui::WindowLayout& (*layout)();
    };
    const Case cases[] = {{optimizer::mainWindowLayout},       {optimizer::runnerWindowLayout},
                          {optimizer::managementWindowLayout}, {optimizer::aboutWindowLayout},
                          {editor::mainWindowLayout},          {editor::addStepWindowLayout}};
    for (const Case& c : cases) {
        const ui::WindowLayout& layout = c.layout();
        const std::unique_ptr<Window> window = open(layout);
        Window& w = *window;
        HWND top = handleOf(w);
        SCOPED_TRACE(layout.caption);
        RECT outer{};
        GetWindowRect(top, &outer);
        EXPECT_EQ(outer.right - outer.left, layout.width);
        EXPECT_EQ(outer.bottom - outer.top, layout.height);
        wchar_t caption[128] = {};
        GetWindowTextW(top, caption, 128);
        EXPECT_EQ(text::fromWide(caption), layout.caption);
        LONG style = GetWindowLongW(top, GWL_STYLE);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
        EXPECT_EQ((style & WS_SYSMENU) != 0, layout.closeButton);

        for (size_t i = 0; i < layout.controls.size(); ++i) {
            const ui::ControlLayout& entry = layout.controls[i];
            if (entry.kind == ui::ControlKind::FileDialog || entry.kind == ui::ControlKind::Browser) continue;
            HWND h = controlHandle(w, entry.name);
            ASSERT_NE(h, nullptr) << entry.name;
            EXPECT_EQ(GetDlgCtrlID(h), ui::kFirstControlId + static_cast<int>(i)) << entry.name;
            RECT r = clientRectInParent(h);
            ui::Rect want = layout.clientRect(entry);
            EXPECT_EQ(r.left, want.x) << entry.name;
            EXPECT_EQ(r.top, want.y) << entry.name;
            EXPECT_EQ(r.right - r.left, want.w) << entry.name;
            if (entry.kind != ui::ControlKind::ComboBox) {
                EXPECT_EQ(r.bottom - r.top, want.h) << entry.name;
            }
            if (entry.kind == ui::ControlKind::Button || entry.kind == ui::ControlKind::Label ||
                entry.kind == ui::ControlKind::Radio) {
                EXPECT_EQ(w.text(entry.name), entry.text) << entry.name;
            }
            EXPECT_EQ(IsWindowEnabled(h) != FALSE, entry.enabled) << entry.name;
        }
        w.close();
    }
}

TEST(Win32Window, CreatedEventRunsBeforeTheWindowIsShown) {
    bool visibleDuringCreated = true;
    std::string listed;
    Handlers h;
    h.onCreated([&](Window& w) {
        visibleDuringCreated = IsWindowVisible(handleOf(w)) != FALSE;
        w.appendRows(optimizer::main_window::kSchemeList, {"甲.lzvt", "b.lzvt"});
    });
    const std::unique_ptr<Window> window = open(optimizer::mainWindowLayout(), std::move(h));
    Window& w = *window;
    EXPECT_FALSE(visibleDuringCreated);
    EXPECT_TRUE(IsWindowVisible(handleOf(w)));

    // The list view answers with the rows the window keeps, as any other program would see them.
    HWND list = controlHandle(w, optimizer::main_window::kSchemeList);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 2);
    wchar_t buffer[64] = {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(text::fromWide(buffer), "甲.lzvt");
    DWORD ex = static_cast<DWORD>(SendMessageW(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_TRUE(ex & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(ex & LVS_EX_GRIDLINES);
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_EDITLABELS);
    EXPECT_TRUE(GetWindowLongW(list, GWL_STYLE) & LVS_SINGLESEL);

    w.removeRow(optimizer::main_window::kSchemeList, 0);
    EXPECT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), 1);
    EXPECT_EQ(w.cell(optimizer::main_window::kSchemeList, 0, 0), "b.lzvt");
    w.close();
}

TEST(Win32Window, AnItemEditedInPlaceKeepsItsText) {
    const std::unique_ptr<Window> window = open(optimizer::mainWindowLayout());
    Window& w = *window;
    w.appendRows(optimizer::main_window::kSchemeList, {"a.lzvt"});
    HWND list = controlHandle(w, optimizer::main_window::kSchemeList);
    SetFocus(list);
    HWND editor = reinterpret_cast<HWND>(SendMessageW(list, LVM_EDITLABELW, 0, 0));
    ASSERT_NE(editor, nullptr) << "in-place editing is switched on";
    SetWindowTextW(editor, L"other.lzvt");
    SendMessageW(editor, WM_KEYDOWN, VK_RETURN, 0);  // the user confirms the new text
    pumpMessages();
    EXPECT_FALSE(IsWindow(editor));
    EXPECT_EQ(w.cell(optimizer::main_window::kSchemeList, 0, 0), "a.lzvt")
        << "the row still names the file it stands for";
    wchar_t buffer[64] = {};
    LVITEMW item{};
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_STREQ(buffer, L"a.lzvt");
    w.close();
}

TEST(Win32Window, SchemeLinesAreShownDecodedFromGbk) {
    const std::unique_ptr<Window> window = open(optimizer::runnerWindowLayout());
    Window& w = *window;
    // "TSWB|提示" in GBK bytes: the list keeps the bytes and shows the characters.
    const std::string gbk = "TSWB|\xCC\xE1\xCA\xBE";
    w.appendRows(optimizer::runner_window::kSchemeLines, {gbk});
    EXPECT_EQ(w.cell(optimizer::runner_window::kSchemeLines, 0, 0), gbk);
    wchar_t buffer[64] = {};
    LVITEMW item{};
    item.pszText = buffer;
    item.cchTextMax = 64;
    SendMessageW(controlHandle(w, optimizer::runner_window::kSchemeLines), LVM_GETITEMTEXTW, 0,
                 reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(text::fromWide(buffer), "TSWB|提示");
    w.close();
}

TEST(Win32Window, TabPagesShowOnlyTheirOwnControls) {
    const std::unique_ptr<Window> window = open(optimizer::runnerWindowLayout());
    Window& w = *window;
    HWND path = controlHandle(w, optimizer::runner_window::kPathBox);
    HWND next = controlHandle(w, optimizer::runner_window::kNext);
    EXPECT_TRUE(IsWindowVisible(path));
    EXPECT_FALSE(IsWindowVisible(next));
    w.setCurrentPage(optimizer::runner_window::kPages, optimizer::runner_window::kHintPage);
    EXPECT_EQ(w.currentPage(optimizer::runner_window::kPages), optimizer::runner_window::kHintPage);
    EXPECT_FALSE(IsWindowVisible(path));
    EXPECT_TRUE(IsWindowVisible(next));
    EXPECT_TRUE(w.visible(optimizer::runner_window::kPathBox))
        << "a control behind another page keeps its own visibility";
    // The tab strip is above the client area: its top edge lies 22 pixels above it.
    EXPECT_EQ(clientRectInParent(controlHandle(w, optimizer::runner_window::kPages)).top, -22);
    w.close();
}

TEST(Win32Window, ComboEntriesAndLengthLimit) {
    std::string picked;
    Handlers h;
    h.on(editor::add_step_window::kTypeList, Event::Selected,
         [&](Window& w) { picked = w.text(editor::add_step_window::kTypeList); });
    const std::unique_ptr<Window> addWindow = open(editor::addStepWindowLayout(), std::move(h));
    Window& add = *addWindow;
    HWND combo = controlHandle(add, editor::add_step_window::kTypeList);
    EXPECT_EQ(SendMessageW(combo, CB_GETCOUNT, 0, 0), 3);
    // A pick by the user (the list's own notification) reaches the handler.
    SendMessageW(combo, CB_SETCURSEL, 2, 0);
    SendMessageW(handleOf(add), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    EXPECT_EQ(picked, "字串值");
    add.close();

    const std::unique_ptr<Window> mainWindow = open(editor::mainWindowLayout());

    Window& main = *mainWindow;
    EXPECT_EQ(SendMessageW(controlHandle(main, editor::main_window::kSchemeName), EM_GETLIMITTEXT, 0, 0), 20);
    EXPECT_EQ(main.text(editor::main_window::kSchemeName), "MY 方案");
    main.close();
}

TEST(Win32Window, LinkLabelReactsWhenTheButtonGoesDown) {
    int pressed = 0;
    Handlers h;
    h.on(optimizer::main_window::kManageLink, Event::MouseDown, [&](Window&) { ++pressed; });
    const std::unique_ptr<Window> window = open(optimizer::mainWindowLayout(), std::move(h));
    Window& w = *window;
    HWND link = controlHandle(w, optimizer::main_window::kManageLink);
    SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(pressed, 1);
    SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(pressed, 1) << "releasing the button does not react again";

    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(link, WM_GETFONT, 0, 0)), sizeof(font), &font);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_EQ(font.lfHeight, -14);
    EXPECT_EQ(font.lfCharSet, GB2312_CHARSET);
    w.close();
}

TEST(Win32Window, EscClosesTheWindowUnlessTheFocusTakesIt) {
    int clicks = 0;
    Handlers h;
    using namespace optimizer::runner_window;
    for (std::string_view b : {kSkip, kExecute, kNext, kLeaveHint, kLeaveRegistryStep})
        h.on(b, Event::Clicked, [&](Window&) { ++clicks; });
    const std::unique_ptr<Window> runnerWindow = open(optimizer::runnerWindowLayout(), std::move(h));
    Window& runner = *runnerWindow;
    HWND skip = controlHandle(runner, kSkip);
    SetFocus(skip);
    PostMessageW(skip, WM_KEYDOWN, VK_ESCAPE, 0);
    pumpMessages();
    EXPECT_FALSE(runner.isOpen());
    EXPECT_EQ(clicks, 0) << "Esc runs no button's handler";

    const std::unique_ptr<Window> addWindow = open(editor::addStepWindowLayout());

    Window& add = *addWindow;
    add.setEnabled(editor::add_step_window::kTypeList, true);
    HWND combo = controlHandle(add, editor::add_step_window::kTypeList);
    SetFocus(combo);
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    if (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) {
        PostMessageW(combo, WM_KEYDOWN, VK_ESCAPE, 0);
        pumpMessages();
        EXPECT_TRUE(add.isOpen()) << "Esc first closes the open drop-down list";
    }
    PostMessageW(handleOf(add), WM_KEYDOWN, VK_ESCAPE, 0);
    pumpMessages();
    EXPECT_FALSE(add.isOpen());
}

TEST(Win32Window, MessageBoxesOfTheSuiteHaveOneCaption) {
    EXPECT_EQ(ui::kMessageCaption, "信息：");
    // A message box is modal: close it from a timer on this thread while it waits.
    const std::unique_ptr<Window> window = open(editor::mainWindowLayout());
    Window& w = *window;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HWND box = FindWindowW(L"#32770", L"信息：");
        wchar_t message[64] = {};
        if (box) GetDlgItemTextW(box, 0xFFFF, message, 64);
        if (box && std::wstring(message) == L"成功！") PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    w.messageBox("成功！");  // returns only because the timer found and dismissed the right box
    w.close();
}

// A question is the same box with Yes and No instead of OK, owned by the window; the answer is
// the button the user presses.
TEST(Win32Window, AQuestionOffersYesAndNoAndAnswersWithTheButtonPressed) {
    const std::unique_ptr<Window> window = open(optimizer::managementWindowLayout());
    Window& w = *window;
    // What the timer sees of the box, and the button it presses.
    static HWND owner;
    static bool yesAndNoOnly;
    static WPARAM press;
    owner = handleOf(w);
    for (const WPARAM button : {WPARAM{IDYES}, WPARAM{IDNO}}) {
        press = button;
        yesAndNoOnly = false;
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
            HWND box = FindWindowW(L"#32770", L"信息：");
            wchar_t question[64] = {};
            if (box) GetDlgItemTextW(box, 0xFFFF, question, 64);
            if (std::wstring(question) != L"确定删除吗？") return;  // not up yet: the timer comes again
            KillTimer(nullptr, id);
            const auto shown = [box](int id) {
                HWND b = GetDlgItem(box, id);
                return b != nullptr && IsWindowVisible(b);
            };
            yesAndNoOnly =
                shown(IDYES) && shown(IDNO) && !shown(IDOK) && !shown(IDCANCEL) && GetWindow(box, GW_OWNER) == owner;
            PostMessageW(box, WM_COMMAND, press, 0);
        });
        EXPECT_EQ(w.ask("确定删除吗？"), button == IDYES);
        EXPECT_TRUE(yesAndNoOnly) << "buttons Yes and No only, in a box owned by the window";
    }
    w.close();
}

// The opener owns the window it opens; a modal window keeps its owner disabled while it is
// open, and gives it back however it ends (here: closed by its own created handler).
TEST(Win32Window, TheOpenerOwnsItsWindowAndAModalOneHoldsItsOwnerWhileOpen) {
    bool ownerEnabledUnderModal = true;
    HWND modalHandle = nullptr;
    Handlers h;
    h.on(optimizer::management_window::kHowToInstall, Event::Clicked, [&](Window& owner) {
        Handlers modal;
        modal.onCreated([&](Window& m) {
            ownerEnabledUnderModal = IsWindowEnabled(handleOf(owner)) != FALSE;
            modalHandle = handleOf(m);
            m.close();
        });
        owner.openModal(optimizer::managementWindowLayout(), std::move(modal));
    });
    std::unique_ptr<Window> window = open(optimizer::managementWindowLayout(), std::move(h));
    const HWND top = handleOf(*window);
    HWND button = controlHandle(*window, optimizer::management_window::kHowToInstall);
    SendMessageW(top, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED), reinterpret_cast<LPARAM>(button));
    ASSERT_NE(modalHandle, nullptr) << "the modal window was opened";
    EXPECT_FALSE(ownerEnabledUnderModal);
    EXPECT_FALSE(IsWindow(modalHandle));
    EXPECT_TRUE(IsWindowEnabled(top));
    EXPECT_TRUE(window->isOpen());

    window.reset();
    EXPECT_FALSE(IsWindow(top)) << "the window goes with its owner's object";
}

// A handler's exception stops where its event is raised: it is traced with what it said, the
// window stays, and the next event runs its handler as before.
TEST(Win32Window, AnExceptionOfAHandlerStopsAtItsEventAndIsTraced) {
    DebugOutput output;
    int later = 0;
    Handlers h;
    h.on("按钮1", Event::Clicked, [](Window&) { throw std::runtime_error("the list has no row 7"); });
    h.on("按钮2", Event::Clicked, [](Window& w) { w.text("按钮99"); });
    h.on("按钮3", Event::Clicked, [&](Window&) { ++later; });
    const std::unique_ptr<Window> window = open(optimizer::managementWindowLayout(), std::move(h));
    Window& w = *window;
    for (const char* button : {"按钮1", "按钮2", "按钮3"}) {
        HWND b = controlHandle(w, button);
        SendMessageW(handleOf(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(b), BN_CLICKED), reinterpret_cast<LPARAM>(b));
    }
    EXPECT_TRUE(w.isOpen());
    EXPECT_EQ(later, 1);
    EXPECT_TRUE(
        output.anyLineHas("LzVantor: the Clicked handler of 按钮1 in \"方案管理\": exception: the list has no row 7"));
    EXPECT_TRUE(output.anyLineHas("LzVantor: the Clicked handler of 按钮2 in \"方案管理\": exception: "));
    EXPECT_TRUE(output.anyLineHas("按钮99"));
    EXPECT_FALSE(output.anyLineHas("handler of 按钮3")) << "a handler that ends well leaves no trace";
}

// The real window as the user drives it, for the contract every window keeps: each action
// is the message the control's own window sends when a user does it.
struct Win32Backend {
    std::vector<std::unique_ptr<Window>> windows;

    Window& open(const ui::WindowLayout& layout, Handlers handlers) {
        windows.push_back(win32::open(layout, std::move(handlers)));
        return *windows.back();
    }
    void click(Window& w, std::string_view button) {
        SendMessageW(controlHandle(w, button), BM_CLICK, 0, 0);
        pumpMessages();
    }
    void pick(Window& w, std::string_view combo, int item) {
        HWND h = controlHandle(w, combo);
        SendMessageW(h, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        SendMessageW(handleOf(w), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(h), CBN_SELCHANGE), reinterpret_cast<LPARAM>(h));
    }
    void switchPage(Window& w, std::string_view tab, int page) {
        HWND h = controlHandle(w, tab);
        if (SendMessageW(h, TCM_GETCURSEL, 0, 0) == page) return;  // a click on the page in front changes nothing
        SendMessageW(h, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
        NMHDR hdr{h, static_cast<UINT_PTR>(GetDlgCtrlID(h)), static_cast<UINT>(TCN_SELCHANGE)};
        SendMessageW(handleOf(w), WM_NOTIFY, hdr.idFrom, reinterpret_cast<LPARAM>(&hdr));
    }
    void selectRow(Window& w, std::string_view list, int row) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(controlHandle(w, list), LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
    }
};

using namespace ui::contract;
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, WindowContract, Win32Backend);

}  // namespace
}  // namespace lz::win32
