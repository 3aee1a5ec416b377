// The embedded web browser in a real window: creation, address, responsiveness, teardown.
// There is no HTML engine here, so nothing waits for a page to load.

#include "platform/win32/browser.h"

#include <gtest/gtest.h>

#include <ole2.h>

#include <string>
#include <vector>

namespace {

using lz::win32::browserAddress;
using lz::win32::createBrowser;
using lz::win32::initBrowserSupport;
using lz::win32::navigateBrowser;

constexpr wchar_t kWindowClass[] = L"LzBrowserTestWindow";
constexpr UINT kPing = WM_APP + 7;
constexpr int kBrowserId = 1001;
const std::wstring kStartPage = L"http://www.example.com/products.html";

int gPings = 0;

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPing) {
        ++gPings;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Dispatches messages until `done` holds or the time is up; returns `done()`.
template <typename Done>
bool pumpUntil(Done done, DWORD milliseconds) {
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (!done() && GetTickCount64() < deadline) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!done()) MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return done();
}

void pumpFor(DWORD milliseconds) {
    pumpUntil([] { return false; }, milliseconds);
}

// The control inside a browser window, with a reference of its own, taken the way the
// host itself hands it out; lets a test see whether anything else still holds it.
IUnknown* controlOf(HWND browser) {
    using GetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
    const HMODULE atl = GetModuleHandleW(L"atl.dll");
    if (!atl) return nullptr;
    const auto getControl =
        reinterpret_cast<GetControlFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
    IUnknown* control = nullptr;
    if (!getControl || FAILED(getControl(browser, &control))) return nullptr;
    return control;
}

class BrowserWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = testWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);
    }

    void SetUp() override {
        ASSERT_TRUE(initBrowserSupport());
        window_ = openWindow();
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        if (window_ && IsWindow(window_)) DestroyWindow(window_);
        pumpFor(20);
    }

    static HWND openWindow() {
        HWND window =
            CreateWindowExW(0, kWindowClass, L"更多产品", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 100,
                            100, 275, 250, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (window) UpdateWindow(window);
        return window;
    }

    HWND window_ = nullptr;
};

TEST_F(BrowserWindow, IsAChildWithTheGivenPlaceIdAndStartAddress) {
    HWND browser = createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage);
    ASSERT_NE(browser, nullptr);

    EXPECT_EQ(GetParent(browser), window_);
    EXPECT_EQ(GetDlgCtrlID(browser), kBrowserId);
    EXPECT_EQ(GetDlgItem(window_, kBrowserId), browser);
    EXPECT_TRUE(IsWindowVisible(browser));
    RECT rect{};
    ASSERT_TRUE(GetWindowRect(browser, &rect));
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, 288);  // reaches past the client area, which clips it
    EXPECT_EQ(rect.bottom, 216);

    EXPECT_EQ(browserAddress(browser), kStartPage);
}

TEST_F(BrowserWindow, AddressRoundTripsThroughNavigation) {
    HWND browser = createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage);
    ASSERT_NE(browser, nullptr);

    const std::vector<std::wstring> addresses = {
        L"http://www.example.com/upcoming.html",
        L"about:blank",
        L"http://example.invalid/产品列表?页=2&排序=新#顶部",
        L"file:///C:/no/such/folder/page.html",
        L"",  // a blank page; the address reads back empty
        kStartPage,
    };
    for (const auto& address : addresses) {
        SCOPED_TRACE(testing::Message() << "address #" << (&address - addresses.data()));
        EXPECT_TRUE(navigateBrowser(browser, address));
        EXPECT_EQ(browserAddress(browser), address);
        pumpFor(10);
    }

    // A second browser in the same window keeps an address of its own.
    HWND other = createBrowser(window_, 0, 0, 100, 100, kBrowserId + 1, L"http://b.example/");
    ASSERT_NE(other, nullptr);
    ASSERT_TRUE(navigateBrowser(other, L"http://c.example/"));
    EXPECT_EQ(browserAddress(browser), kStartPage);
    EXPECT_EQ(browserAddress(other), L"http://c.example/");
}

TEST_F(BrowserWindow, WindowKeepsAnsweringWhileTheBrowserNavigates) {
    HWND browser = createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(navigateBrowser(browser, L"http://www.example.com/upcoming.html"));

    gPings = 0;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(PostMessageW(window_, kPing, 0, 0));
    EXPECT_TRUE(pumpUntil([] { return gPings == 3; }, 5000)) << "pings seen: " << gPings;

    // The browser window itself answers too, and takes a resize and a repaint.
    DWORD_PTR result = 0;
    EXPECT_NE(SendMessageTimeoutW(browser, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result), 0);
    EXPECT_TRUE(MoveWindow(browser, 0, 0, 200, 150, TRUE));
    EXPECT_TRUE(UpdateWindow(window_));
    RECT rect{};
    ASSERT_TRUE(GetClientRect(browser, &rect));
    EXPECT_EQ(rect.right, 200);
    EXPECT_EQ(rect.bottom, 150);
}

TEST_F(BrowserWindow, ClosingTheWindowDestroysTheBrowserAndReleasesItsControl) {
    // Several rounds: a leak or a crash at teardown tends to show on the second one.
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        if (round > 0) {
            window_ = openWindow();
            ASSERT_NE(window_, nullptr);
        }
        HWND browser = createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage);
        ASSERT_NE(browser, nullptr);
        ASSERT_TRUE(navigateBrowser(browser, L"http://www.example.com/upcoming.html"));
        pumpFor(20);

        IUnknown* control = controlOf(browser);
        ASSERT_NE(control, nullptr);

        ASSERT_TRUE(DestroyWindow(window_));
        EXPECT_FALSE(IsWindow(browser));
        pumpFor(20);

        // Ours is the last reference: the host and the browser bookkeeping let go.
        EXPECT_EQ(control->Release(), 0u);
        EXPECT_EQ(browserAddress(browser), L"");
        EXPECT_FALSE(navigateBrowser(browser, L"http://www.example.com/"));
    }
}

TEST_F(BrowserWindow, DestroyingTheBrowserAloneLeavesTheWindowWorking) {
    HWND browser = createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage);
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(DestroyWindow(browser));
    EXPECT_EQ(GetDlgItem(window_, kBrowserId), nullptr);

    gPings = 0;
    ASSERT_TRUE(PostMessageW(window_, kPing, 0, 0));
    EXPECT_TRUE(pumpUntil([] { return gPings == 1; }, 2000));
    // A new browser can take its place.
    EXPECT_NE(createBrowser(window_, 0, 0, 288, 216, kBrowserId, kStartPage), nullptr);
}

TEST_F(BrowserWindow, RefusesWindowsThatAreNoBrowsersOrNoWindows) {
    EXPECT_EQ(createBrowser(nullptr, 0, 0, 100, 100, kBrowserId, kStartPage), nullptr);

    HWND gone = openWindow();
    ASSERT_NE(gone, nullptr);
    ASSERT_TRUE(DestroyWindow(gone));
    EXPECT_EQ(createBrowser(gone, 0, 0, 100, 100, kBrowserId, kStartPage), nullptr);

    HWND button = CreateWindowExW(0, L"BUTTON", L"确定", WS_CHILD | WS_VISIBLE, 0, 0, 80, 24, window_, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(button, nullptr);
    for (HWND notBrowser : {HWND{nullptr}, gone, window_, button}) {
        EXPECT_FALSE(navigateBrowser(notBrowser, kStartPage));
        EXPECT_EQ(browserAddress(notBrowser), L"");
    }
}

}  // namespace
