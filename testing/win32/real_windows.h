// The programs' real windows in a test's own process: a window opened from its layout table
// without a message loop of its own, the window handles of it and of its controls, and the
// messages waiting, handled as the program's loop handles them.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

#include "platform/ui/window.h"

namespace lz::win32 {

// Opens a top-level window from its layout as the program opens one: it is created, its
// created event raised and, unless a handler closed it, shown. Closing it closes only it. The
// caller owns it: the window is destroyed with the returned object. Nullptr when the window
// cannot be created.
std::unique_ptr<ui::Window> openWindow(const ui::WindowLayout& layout, ui::Handlers handlers);

// The window of a window opened here, and of one of its controls (nullptr for a control
// without a window of its own, a file dialog).
HWND handleOf(const ui::Window& window);
HWND controlHandle(const ui::Window& window, std::string_view control);

// Takes every message waiting for this thread's windows and handles it as the message loop
// does, then returns.
void pumpMessages();

}  // namespace lz::win32
