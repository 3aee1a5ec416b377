#include "platform/win32/dpi.h"

#include "platform/win32/system_library.h"

namespace lz::win32::dpi {
namespace {

// The functions of newer Windows, looked up once.
using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetDpiForSystemFn = UINT(WINAPI*)();
using EnableNonClientDpiScalingFn = BOOL(WINAPI*)(HWND);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);  // shcore.dll, Windows 8.1

constexpr int kEffectiveDpi = 0;  // MDT_EFFECTIVE_DPI

struct Functions {
    GetDpiForWindowFn forWindow = nullptr;
    GetDpiForSystemFn forSystem = nullptr;
    EnableNonClientDpiScalingFn scaleFrame = nullptr;
    SystemParametersInfoForDpiFn parametersForDpi = nullptr;
    GetDpiForMonitorFn forMonitor = nullptr;
};

const Functions& functions() {
    static const Functions found = [] {
        Functions f;
        const HMODULE user = GetModuleHandleW(L"user32.dll");
        f.forWindow = lookUp<GetDpiForWindowFn>(user, "GetDpiForWindow");
        f.forSystem = lookUp<GetDpiForSystemFn>(user, "GetDpiForSystem");
        f.scaleFrame = lookUp<EnableNonClientDpiScalingFn>(user, "EnableNonClientDpiScaling");
        f.parametersForDpi = lookUp<SystemParametersInfoForDpiFn>(user, "SystemParametersInfoForDpi");
        // Windows 8.1 has per-monitor DPI but not GetDpiForWindow: ask the monitor there.
        if (!f.forWindow) f.forMonitor = systemFunction<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
        return f;
    }();
    return found;
}

UINT screenDpi() {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesign;
}

}  // namespace

int scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), static_cast<int>(kDesign));
}

UINT system() {
    if (const auto forSystem = functions().forSystem) return forSystem();
    return screenDpi();
}

UINT ofWindow(HWND window) {
    const Functions& f = functions();
    if (f.forWindow) {
        if (const UINT dpi = f.forWindow(window)) return dpi;
    } else if (f.forMonitor) {
        UINT x = 0, y = 0;
        if (SUCCEEDED(f.forMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y)) && y)
            return y;
    }
    return system();
}

void scaleFrame(HWND window) {
    if (const auto enable = functions().scaleFrame) enable(window);
}

LOGFONTW messageFont(UINT dpi) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (const auto forDpi = functions().parametersForDpi) {
        if (forDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) return metrics.lfMessageFont;
    }
    // The system's metrics are for the system DPI.
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        LOGFONTW font = metrics.lfMessageFont;
        font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system()));
        return font;
    }
    LOGFONTW fallback{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
    fallback.lfHeight = MulDiv(fallback.lfHeight, static_cast<int>(dpi), static_cast<int>(system()));
    return fallback;
}

}  // namespace lz::win32::dpi
