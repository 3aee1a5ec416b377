// Windows on screens of any DPI, in process: every window of both programs, built from its
// table, has the design's sizes scaled to the screen's DPI, fonts included, and captions that
// fit their controls. These cases also run on a 144-DPI screen (ctest's ".AtHighDpi" copies,
// where LZ_E2E_EXPECT_DPI says which DPI the run must have).
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <cstdlib>
#include <memory>
#include <string>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/text.h"
#include "platform/win32/dpi.h"
#include "testing/win32/real_windows.h"

namespace lz::win32 {
namespace {

using ui::ControlKind;
using ui::Window;

constexpr int kTolerance = 2;  // pixels a scaled number may be off by rounding

using LayoutOf = const ui::WindowLayout& (*)();
const LayoutOf kEveryWindow[] = {
    optimizer::mainWindowLayout,  optimizer::runnerWindowLayout,       optimizer::managementWindowLayout,
    optimizer::aboutWindowLayout, optimizer::moreProductsWindowLayout, editor::mainWindowLayout,
    editor::addStepWindowLayout,
};

RECT rectInParent(HWND h) {
    RECT r{};
    GetWindowRect(h, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(h), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// A window of the layout, shown and with its first messages handled; the test owns it.
std::unique_ptr<Window> open(const ui::WindowLayout& layout) {
    std::unique_ptr<Window> w = openWindow(layout, {});
    if (!w) throw std::runtime_error("window not created");
    pumpMessages();
    return w;
}

// The DPI of this run's screen; the run fails when it is not the one it was started for.
UINT screenDpi() {
    const UINT dpi = dpi::system();
    if (const char* expected = std::getenv("LZ_E2E_EXPECT_DPI")) {
        EXPECT_EQ(dpi, static_cast<UINT>(std::atoi(expected))) << "the screen's DPI did not take";
    }
    return dpi;
}

LOGFONTW fontOf(HWND h) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), sizeof(font), &font);
    return font;
}

// The width a caption takes in `font`.
int captionWidth(HWND h, HFONT font, const std::wstring& caption) {
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    return extent.cx;
}

// A caption that fits its control at 96 DPI fits it at this DPI too (one that is cut at 96
// DPI already, by the design's own sizes, may stay cut).
void expectCaptionFitsAsAtTheDesignDpi(HWND h, const ui::ControlLayout& c, UINT dpi) {
    const std::wstring caption = text::toWide(c.text);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0));
    RECT client{};
    GetClientRect(h, &client);
    const bool fits = captionWidth(h, font, caption) <= client.right;

    LOGFONTW atDesign = fontOf(h);
    atDesign.lfHeight = MulDiv(atDesign.lfHeight, static_cast<int>(dpi::kDesign), static_cast<int>(dpi));
    const HFONT designFont = CreateFontIndirectW(&atDesign);
    const bool fitsAtDesign = captionWidth(h, designFont, caption) <= c.rect.w;
    DeleteObject(designFont);
    EXPECT_TRUE(fits || !fitsAtDesign) << "the caption is cut only at " << dpi << " DPI: " << c.text;
}

void expectNear(int got, int designed, UINT dpi, const char* what) {
    EXPECT_NEAR(got, dpi::scale(designed, dpi), kTolerance) << what << " (design " << designed << " at " << dpi << ")";
}

// Every control where its table puts it, scaled; fonts scaled; captions that fit.
void expectLaidOutAt(const ui::WindowLayout& layout, Window& w, UINT dpi) {
    RECT outer{};
    GetWindowRect(handleOf(w), &outer);
    expectNear(outer.right - outer.left, layout.width, dpi, "outer width");
    expectNear(outer.bottom - outer.top, layout.height, dpi, "outer height");
    for (const ui::ControlLayout& c : layout.controls) {
        if (c.kind == ControlKind::FileDialog) continue;
        SCOPED_TRACE(c.name);
        HWND h = controlHandle(w, c.name);
        ASSERT_NE(h, nullptr);
        const RECT r = rectInParent(h);
        const ui::Rect want = layout.clientRect(c);
        expectNear(r.left, want.x, dpi, "left");
        expectNear(r.top, want.y, dpi, "top");
        expectNear(r.right - r.left, want.w, dpi, "width");
        if (c.kind != ControlKind::ComboBox) expectNear(r.bottom - r.top, want.h, dpi, "height");
        // A rich text box does not tell its font; it shows nothing either (a holder).
        if (c.kind == ControlKind::Browser || c.kind == ControlKind::RichEdit) continue;
        const LOGFONTW font = fontOf(h);
        if (c.font) {
            expectNear(-font.lfHeight, c.font->height, dpi, "font height");
        } else {
            EXPECT_EQ(font.lfHeight, dpi::messageFont(dpi).lfHeight) << "the message font at this DPI";
        }
        if (c.kind == ControlKind::Button || c.kind == ControlKind::Label || c.kind == ControlKind::Radio)
            expectCaptionFitsAsAtTheDesignDpi(h, c, dpi);
        if (c.kind == ControlKind::ListView) {
            for (size_t k = 0; k < c.columns.size(); ++k)
                expectNear(static_cast<int>(SendMessageW(h, LVM_GETCOLUMNWIDTH, k, 0)), c.columns[k].width, dpi,
                           "column width");
        }
    }
}

TEST(Win32Dpi, EveryWindowAndControlIsTheDesignScaledToTheScreen) {
    const UINT dpi = screenDpi();
    for (LayoutOf layoutOf : kEveryWindow) {
        const ui::WindowLayout& layout = layoutOf();
        SCOPED_TRACE(layout.caption);
        const std::unique_ptr<Window> window = open(layout);
        Window& w = *window;
        expectLaidOutAt(layout, w, dpi);
        w.close();
    }
}

TEST(Win32Dpi, TheRunnersTabStripStaysAboveTheClientArea) {
    screenDpi();
    const std::unique_ptr<Window> runnerWindow = open(optimizer::runnerWindowLayout());
    Window& runner = *runnerWindow;
    HWND tabs = controlHandle(runner, optimizer::runner_window::kPages);
    RECT header{};
    ASSERT_TRUE(SendMessageW(tabs, TCM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&header)));
    // The header row, in the window's client coordinates, ends above the client area.
    EXPECT_LE(rectInParent(tabs).top + header.bottom, 0);
    runner.close();
}

TEST(Win32Dpi, AWindowMovedToAScreenOfAnotherDpiLaysItselfOutAgain) {
    const UINT from = screenDpi();
    for (LayoutOf layoutOf : {optimizer::mainWindowLayout, optimizer::runnerWindowLayout, editor::mainWindowLayout}) {
        const ui::WindowLayout& layout = layoutOf();
        SCOPED_TRACE(layout.caption);
        const std::unique_ptr<Window> window = open(layout);
        Window& w = *window;
        HWND top = handleOf(w);
        for (UINT to : {from * 2, from}) {  // there and back again
            SCOPED_TRACE("to " + std::to_string(to) + " DPI");
            RECT outer{};
            GetWindowRect(top, &outer);
            // What the system sends when the window crosses to the other screen.
            RECT suggested{outer.left, outer.top, outer.left + dpi::scale(layout.width, to),
                           outer.top + dpi::scale(layout.height, to)};
            SendMessageW(top, WM_DPICHANGED, MAKEWPARAM(to, to), reinterpret_cast<LPARAM>(&suggested));
            pumpMessages();
            expectLaidOutAt(layout, w, to);
        }
        w.close();
    }
}

}  // namespace
}  // namespace lz::win32
