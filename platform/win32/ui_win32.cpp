#include "platform/win32/ui_win32.h"

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <memory>

#include "platform/win32/message_loop.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"
#include "platform/win32/window_win32.h"

namespace lz::win32 {

bool initialiseWindows(HINSTANCE instance) {
    static bool done = false;
    if (done) return true;
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

int runApplication(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers) {
    if (!initialiseWindows(instance)) return 1;
    int exitCode = 0;
    {
        const std::unique_ptr<ui::Window> start =
            Win32Window::open(instance, layout, std::move(handlers), {.endsProgram = true});
        if (!start) return 1;
        if (start->isOpen())
            while (pumpOne(exitCode)) {
            }
    }
    releaseModeless();
    releaseOle();
    return exitCode;
}

}  // namespace lz::win32
