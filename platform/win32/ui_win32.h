// The Win32 backend of the window layer: real windows built from layout tables.
#pragma once

#include <windows.h>

#include "platform/ui/window.h"

namespace lz::win32 {

// Readies this process for the program's windows, once: the common controls and the class
// every window is made of, registered for `instance`. False when the class cannot be
// registered. runApplication starts with it.
bool initialiseWindows(HINSTANCE instance);

// Creates the start window from its layout (raising its created event before it is first
// shown), runs the message loop until it is closed, and returns the program's exit code.
int runApplication(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers);

}  // namespace lz::win32
