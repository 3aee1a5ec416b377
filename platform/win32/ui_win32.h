// The Win32 backend of the window layer: real windows built from layout tables.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/ui/window.h"

namespace lz::win32 {

// Creates the start window from its layout (raising its created event before it is first
// shown), runs the message loop until it is closed, and returns the program's exit code.
int runApplication(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers);

// How a top-level window stands to the rest of the program.
enum class WindowRole {
    Alone,        // closing it closes only it
    EndsProgram,  // the start window: closing it ends the message loop
};

// Opens a top-level window of the program from its layout: it is created, its created event
// raised and, unless a handler closed it, shown. The caller owns it: the window is destroyed
// with the returned object. Nullptr when the window cannot be created.
std::unique_ptr<ui::Window> openWindow(const ui::WindowLayout& layout, ui::Handlers handlers,
                                       WindowRole role = WindowRole::Alone);

// The window of a window opened here, and of one of its controls (nullptr for a control
// without a window of its own, a file dialog).
HWND handleOf(const ui::Window& window);
HWND controlHandle(const ui::Window& window, std::string_view control);

// Takes every message waiting for this thread's windows and handles it as the message loop
// does, then returns (for a caller that runs no loop of its own).
void pumpMessages();

}  // namespace lz::win32
