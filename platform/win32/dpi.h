// Screens of any pixel density. Window layouts are drawn at 96 DPI; every size, position and
// font height is scaled from there to the DPI of the monitor a window is on.
//
// The programs are per-monitor aware where Windows knows that (declared in the manifest) and
// system aware on Windows 7. Every function newer than Windows 7 is looked up at run time, so
// the programs import nothing Windows 7 lacks; without them the system DPI stands.
#pragma once

#include <windows.h>

namespace lz::win32::dpi {

// The DPI the layouts are drawn at.
inline constexpr UINT kDesign = 96;

// A layout number (pixels at 96 DPI) at `dpi`, rounded to the nearest pixel (also below zero).
int scale(int value, UINT dpi);

// The DPI of the system (the primary monitor when the user signed in).
UINT system();

// The DPI of the monitor the window is on; the system DPI where Windows cannot tell.
UINT ofWindow(HWND window);

// Lets the system scale the window's frame and title bar with its DPI where the per-monitor
// awareness of the first version needs asking (Windows 10 1607); call it on WM_NCCREATE.
void scaleFrame(HWND window);

// The font the system uses for message boxes, sized for `dpi`.
LOGFONTW messageFont(UINT dpi);

}  // namespace lz::win32::dpi
