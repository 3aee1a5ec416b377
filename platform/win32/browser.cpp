#include "platform/win32/browser.h"

#include <commctrl.h>
#include <exdisp.h>
#include <ole2.h>

#include <memory>

#include "platform/win32/handle.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::win32 {
namespace {

// The host window comes from the system's atl.dll: its "AtlAxWin" class creates the control
// named by the window text on WM_CREATE, keeps it in-place active, and closes and releases
// it when the window is destroyed. atl.dll, OLE and its automation library are loaded from
// the system folder when the first browser is made, so a program that never opens one never
// loads them, and one on a system without them fails honestly.
using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

constexpr wchar_t kHostClass[] = L"AtlAxWin";
// CLSID of the web-browser control; a class id needs no ProgID lookup in the registry.
constexpr wchar_t kWebBrowserClassId[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
constexpr wchar_t kBlankPage[] = L"about:blank";
// A browser's state hangs on its host window as this property; the subclass below frees
// it when the window goes.
constexpr wchar_t kStateProperty[] = L"LzBrowserState";
constexpr UINT_PTR kSubclassId = 0x4C5A4252;

AtlAxGetControlFn gGetControl = nullptr;

struct BrowserState {
    std::wstring address;
};

// The automation library's string functions, found by loadHost.
decltype(&::SysAllocStringLen) gAllocString = nullptr;
decltype(&::SysFreeString) gFreeString = nullptr;

// A BSTR of the automation library, freed by it (the library is loaded at run time).
struct BstrTraits {
    using Handle = BSTR;
    static Handle none() noexcept { return nullptr; }
    static bool close(Handle h) noexcept {
        gFreeString(h);
        return true;
    }
};
using Bstr = Unique<BstrTraits>;

// An empty string rather than a null BSTR for an empty text.
Bstr makeBstr(const std::wstring& text) {
    return Bstr(gAllocString(text.data(), static_cast<UINT>(text.size())));
}

bool loadHost() {
    if (!useOle()) return false;
    const HMODULE automation = systemLibrary(L"oleaut32.dll");
    gAllocString = lookUp<decltype(&::SysAllocStringLen)>(automation, "SysAllocStringLen");
    gFreeString = lookUp<decltype(&::SysFreeString)>(automation, "SysFreeString");
    if (!gAllocString || !gFreeString) return false;

    // Stays loaded for the life of the process: host windows use its window procedure.
    const HMODULE atl = systemLibrary(L"atl.dll");
    const auto winInit = lookUp<AtlAxWinInitFn>(atl, "AtlAxWinInit");
    const auto getControl = lookUp<AtlAxGetControlFn>(atl, "AtlAxGetControl");
    if (!winInit || !getControl) return false;
    if (!winInit()) {
        traceLastError("AtlAxWinInit");
        return false;
    }
    gGetControl = getControl;
    return true;
}

LRESULT CALLBACK browserSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                     DWORD_PTR data) {
    if (message == WM_DESTROY) {
        // Leave on WM_DESTROY, not WM_NCDESTROY: the host restores its own window
        // procedure while handling WM_DESTROY, so later messages would not reach us.
        RemoveWindowSubclass(window, browserSubclassProc, id);
        RemovePropW(window, kStateProperty);
        delete reinterpret_cast<BrowserState*>(data);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

BrowserState* stateOf(HWND browser) {
    if (!browser || !IsWindow(browser)) return nullptr;
    return static_cast<BrowserState*>(GetPropW(browser, kStateProperty));
}

bool queryWebBrowser(HWND host, ComPtr<IWebBrowser2>& browser) {
    ComPtr<IUnknown> control;
    if (!gGetControl) return false;
    if (const HRESULT result = gGetControl(host, control.put()); FAILED(result) || !control) {
        traceResult("AtlAxGetControl", result);
        return false;
    }
    if (const HRESULT result = control->QueryInterface(IID_IWebBrowser2, browser.putVoid()); FAILED(result)) {
        traceResult("QueryInterface(IWebBrowser2)", result);
        return false;
    }
    return static_cast<bool>(browser);
}

bool navigate(IWebBrowser2* browser, const std::wstring& address) {
    const Bstr url = makeBstr(address.empty() ? std::wstring(kBlankPage) : address);
    if (!url) return false;
    VARIANT none{};
    none.vt = VT_EMPTY;  // what VariantInit sets
    const HRESULT result = browser->Navigate(url.get(), &none, &none, &none, &none);
    if (FAILED(result)) traceResult("IWebBrowser2::Navigate", result, address);
    return SUCCEEDED(result);
}

}  // namespace

bool initBrowserSupport() {
    static const bool ready = loadHost();
    return ready;
}

HWND createBrowser(HWND parent, int x, int y, int w, int h, int id, const std::wstring& address) {
    if (!parent || !IsWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (!initBrowserSupport()) return nullptr;

    HWND host = CreateWindowExW(0, kHostClass, kWebBrowserClassId,
                                WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!host) {
        traceLastError("CreateWindowExW", kHostClass);
        return nullptr;
    }
    UniqueWindow owner(host);  // destroyed again unless it becomes a browser

    ComPtr<IWebBrowser2> browser;
    auto state = std::make_unique<BrowserState>();
    if (!queryWebBrowser(host, browser)) return nullptr;
    if (!SetPropW(host, kStateProperty, state.get())) {
        traceLastError("SetPropW");
        return nullptr;
    }
    if (!SetWindowSubclass(host, browserSubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(state.get()))) {
        traceLastError("SetWindowSubclass");
        RemovePropW(host, kStateProperty);
        return nullptr;
    }
    BrowserState* owned = state.release();  // freed by the subclass on WM_DESTROY
    (void)owner.release();                  // the parent's now, destroyed with it

    // Script errors and similar prompts of a page must not pop up over the program.
    browser->put_Silent(VARIANT_TRUE);
    if (navigate(browser.get(), address)) owned->address = address;
    return host;
}

bool navigateBrowser(HWND browser, const std::wstring& address) {
    BrowserState* state = stateOf(browser);
    ComPtr<IWebBrowser2> control;
    if (!state || !queryWebBrowser(browser, control) || !navigate(control.get(), address)) {
        return false;
    }
    state->address = address;
    return true;
}

std::wstring browserAddress(HWND browser) {
    const BrowserState* state = stateOf(browser);
    return state ? state->address : std::wstring();
}

HWND browserHolding(HWND window) {
    for (HWND w = window; w != nullptr; w = GetParent(w))
        if (stateOf(w)) return w;
    return nullptr;
}

bool browserTakesKey(HWND browser, MSG& message) {
    ComPtr<IUnknown> control;
    if (!stateOf(browser) || !gGetControl || FAILED(gGetControl(browser, control.put())) || !control) return false;
    ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(control->QueryInterface(IID_IOleInPlaceActiveObject, active.putVoid())) || !active) return false;
    return active->TranslateAccelerator(&message) == S_OK;
}

}  // namespace lz::win32
