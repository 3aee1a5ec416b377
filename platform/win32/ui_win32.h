// The Win32 backend of the window layer: real windows built from layout tables.
#pragma once

#include <windows.h>

#include "platform/ui/window.h"

namespace lz::win32 {

// Creates the start window from its layout (raising its created event before it is first
// shown), runs the message loop until it is closed, and returns the program's exit code.
int runApplication(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers);

// Opens a top-level window for tests of the layer itself: it is created, its created event
// raised and shown, and the caller drives it. Returns nullptr if the window cannot be created.
ui::Window* openForTest(const ui::WindowLayout& layout, ui::Handlers handlers);
HWND handleOf(const ui::Window& window);
HWND controlHandle(const ui::Window& window, std::string_view control);
// Pumps pending messages of this thread (tests of the layer).
void pumpMessages();

}  // namespace lz::win32
