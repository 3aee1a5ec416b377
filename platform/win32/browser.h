#pragma once

// The embedded web browser: the system's web-browser control hosted in a child window,
// with an address that navigates when it is set. Used by the more-products window.
//
// The program never waits for a page: navigation runs in the background and what the
// browser shows (a page, an error page, a white area) is the browser's own business.

#include <windows.h>

#include <string>

namespace lz::win32 {

// Prepares the calling (window) thread to host browsers: initialises OLE and registers
// the host window class. Call it once, on the thread that owns the windows; repeated
// calls return the first result. createBrowser calls it itself. False when the system
// offers no browser host (or COM was already set up multithreaded on this thread).
bool initBrowserSupport();

// Creates a browser child of `parent` with the given client rectangle and control id,
// pointed at `address` (an empty address shows a blank page). Returns nullptr when
// `parent` is not a window or the browser cannot be created; nothing is left behind then.
// The browser is destroyed with its parent (or by DestroyWindow), releasing the control.
HWND createBrowser(HWND parent, int x, int y, int w, int h, int id, const std::wstring& address);

// Sets the browser's address; the browser goes there (an empty address: a blank page).
// False when `browser` is not a window made by createBrowser or the browser refuses the
// address; the address stays as it was then.
bool navigateBrowser(HWND browser, const std::wstring& address);

// The address last set on the browser by createBrowser or navigateBrowser, exactly as
// given. Empty for a window that is not a browser (or no longer exists).
std::wstring browserAddress(HWND browser);

// The browser made by createBrowser that `window` is, or lies inside of; nullptr for none.
HWND browserHolding(HWND window);

// Offers a key message to the page the way a hosted browser expects: through its in-place
// object's TranslateAccelerator, before any key handling of the window. True when the page
// took the key (the message must then go no further).
bool browserTakesKey(HWND browser, MSG& message);

}  // namespace lz::win32
