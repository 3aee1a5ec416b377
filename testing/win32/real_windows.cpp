#include "testing/win32/real_windows.h"

#include "platform/win32/message_loop.h"
#include "platform/win32/ui_win32.h"
#include "platform/win32/window_win32.h"

namespace lz::win32 {

std::unique_ptr<ui::Window> openWindow(const ui::WindowLayout& layout, ui::Handlers handlers) {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!initialiseWindows(instance)) return nullptr;
    return Win32Window::open(instance, layout, std::move(handlers), {});
}

HWND handleOf(const ui::Window& window) {
    return static_cast<const Win32Window&>(window).hwnd();
}

HWND controlHandle(const ui::Window& window, std::string_view control) {
    return static_cast<const Win32Window&>(window).controlHandle(control);
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        dispatch(msg);
    }
    freeClosedModeless();
}

}  // namespace lz::win32
