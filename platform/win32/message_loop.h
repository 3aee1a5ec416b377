// The message loop every window of the program shares: the keyboard handling of the program's
// windows (Tab, the arrows, Esc, a browser's page first), and the modeless windows it keeps
// until they have closed.
#pragma once

#include <windows.h>

#include <memory>

#include "platform/ui/window.h"

namespace lz::win32 {

class Win32Window;

// One turn of the loop; false once WM_QUIT has been taken from the queue (its exit code then
// in `exitCode`).
bool pumpOne(int& exitCode);
// Handles one message taken from the queue as every loop of the program does: the keyboard
// handling of the program's windows first, then the window procedure.
void dispatch(MSG& msg);
// Frees the modeless windows kept that have closed and have no handler running.
void freeClosedModeless();
// Runs the loop until `window` has closed; a WM_QUIT taken meanwhile is posted again, so that
// the outer loop ends the program.
void runUntilClosed(const ui::Window& window);

// Keeps a modeless window until it has closed and no handler of it is running.
ui::Window* keepModeless(std::unique_ptr<Win32Window> window);
// Frees every modeless window still kept (the program is ending).
void releaseModeless();

}  // namespace lz::win32
