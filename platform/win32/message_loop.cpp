#include "platform/win32/message_loop.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <vector>

#include "platform/win32/browser.h"
#include "platform/win32/window_win32.h"

namespace lz::win32 {

namespace {

std::vector<std::unique_ptr<Win32Window>> g_modeless;

// Esc closes the window it was pressed in, unless the focused control uses the key itself:
// an open drop-down list closes, an in-place edit of a list item is cancelled.
bool focusTakesEscape(HWND focus) {
    if (!focus) return false;
    wchar_t cls[64] = {};
    GetClassNameW(focus, cls, 64);
    if (lstrcmpiW(cls, WC_COMBOBOXW) == 0) return SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0) != 0;
    HWND parent = GetParent(focus);
    wchar_t parentCls[64] = {};
    if (parent) GetClassNameW(parent, parentCls, 64);
    return lstrcmpiW(parentCls, WC_LISTVIEWW) == 0;
}

// Keyboard handling shared by every message loop of the program; true when the message was used.
bool preTranslate(MSG& msg) {
    if (!msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Win32Window* window = root ? Win32Window::fromHandle(root) : nullptr;
    if (!window) return false;
    // A page in a browser gets its keys first: Tab, Enter and the arrows move through it, and
    // Esc closes the window only when the page has no use for it.
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        HWND browser = browserHolding(msg.hwnd);
        if (browser && browserTakesKey(browser, msg)) return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && !focusTakesEscape(GetFocus())) {
        window->close();
        return true;
    }
    return IsDialogMessageW(root, &msg) != FALSE;
}

}  // namespace

void dispatch(MSG& msg) {
    if (!preTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void freeClosedModeless() {
    std::erase_if(g_modeless, [](const std::unique_ptr<Win32Window>& w) { return !w->isOpen() && !w->busy(); });
}

bool pumpOne(int& exitCode) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
        return false;
    }
    dispatch(msg);
    freeClosedModeless();
    return true;
}

void runUntilClosed(const ui::Window& window) {
    int exitCode = 0;
    while (window.isOpen()) {
        if (!pumpOne(exitCode)) {
            PostQuitMessage(exitCode);  // let the outer loop end the program
            break;
        }
    }
}

ui::Window* keepModeless(std::unique_ptr<Win32Window> window) {
    g_modeless.push_back(std::move(window));
    return g_modeless.back().get();
}

void releaseModeless() {
    g_modeless.clear();
}

}  // namespace lz::win32
