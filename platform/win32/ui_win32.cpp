#include "platform/win32/ui_win32.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "platform/win32/message_loop.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"
#include "platform/win32/window_win32.h"

namespace lz::win32 {

namespace {

HINSTANCE g_instance = nullptr;

// The common controls and the windows' own class, once per process.
bool initialise(HINSTANCE instance) {
    static bool done = false;
    if (done) return true;
    g_instance = instance;
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_USEREX_CLASSES};
    if (!InitCommonControlsEx(&icc)) traceLastError("InitCommonControlsEx");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Win32Window::windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    done = RegisterClassExW(&wc) != 0;
    if (!done) traceLastError("RegisterClassExW");
    return done;
}

}  // namespace

int runApplication(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers) {
    if (!initialise(instance)) return 1;
    int exitCode = 0;
    {
        const std::unique_ptr<ui::Window> start = openWindow(layout, std::move(handlers), WindowRole::EndsProgram);
        if (!start) return 1;
        if (start->isOpen())
            while (pumpOne(exitCode)) {
            }
    }
    releaseModeless();
    releaseOle();
    return exitCode;
}

std::unique_ptr<ui::Window> openWindow(const ui::WindowLayout& layout, ui::Handlers handlers, WindowRole role) {
    if (!initialise(GetModuleHandleW(nullptr))) return nullptr;
    return Win32Window::open(g_instance, layout, std::move(handlers), {.endsProgram = role == WindowRole::EndsProgram});
}

HWND handleOf(const ui::Window& window) {
    return static_cast<const Win32Window&>(window).hwnd();
}

HWND controlHandle(const ui::Window& window, std::string_view control) {
    return static_cast<const Win32Window&>(window).controlHandle(control);
}

}  // namespace lz::win32
