#include "platform/win32/controls/control.h"

#include <uxtheme.h>

#include <algorithm>
#include <map>

#include "platform/text.h"
#include "platform/win32/dpi.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::win32::controls {

namespace {

COLORREF rgb(const ui::Color& c) {
    return RGB(c.r, c.g, c.b);
}

LOGFONTW logFont(const ui::Font& f, int height) {
    LOGFONTW lf{};
    lf.lfHeight = -height;
    lf.lfWeight = f.bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = f.underline;
    lf.lfCharSet = f.gb2312Charset ? GB2312_CHARSET : DEFAULT_CHARSET;
    if (f.fixedPitch) lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    std::wstring face = text::toWide(f.face);
    face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
    std::copy(face.begin(), face.end(), lf.lfFaceName);
    return lf;
}

}  // namespace

HFONT defaultFont(UINT dpi) {
    static std::map<UINT, UniqueFont> fonts;
    UniqueFont& font = fonts[dpi];
    if (!font) {
        const LOGFONTW lf = dpi::messageFont(dpi);
        font.reset(CreateFontIndirectW(&lf));
    }
    return font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

LRESULT pageColour(HDC dc) {
    static const auto themed = systemFunction<decltype(&::IsAppThemed)>(L"uxtheme.dll", "IsAppThemed");
    const int face = themed && themed() ? COLOR_WINDOW : COLOR_BTNFACE;
    SetBkColor(dc, GetSysColor(face));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
}

Control::Control(Host& host, const ui::ControlLayout& layout, int index)
    : host_(host), layout_(layout), index_(index), id_(host.layout().idOf(layout.name)), visible_(layout.visible) {}

DWORD Control::style(const WindowClass& cls) const {
    // Where two controls overlap, the one earlier in the table is drawn on top.
    DWORD style = WS_CHILD | WS_CLIPSIBLINGS | cls.style;
    if (!layout_.enabled) style |= WS_DISABLED;
    // A holder is out of sight: no tab stop, and a group of its own, so that neither Tab nor
    // the arrow keys move the focus into it (nor out of it into the next control's group).
    if (layout_.holder) style = (style & ~WS_TABSTOP) | WS_GROUP;
    if (index_ > 0 && host_.layout().controls[static_cast<size_t>(index_ - 1)].holder) style |= WS_GROUP;
    return style;
}

bool Control::create() {
    const WindowClass cls = windowClass();
    const RECT r = place();
    const std::wstring caption = cls.caption ? text::toWide(layout_.text) : std::wstring();
    handle_ = CreateWindowExW(cls.exStyle, cls.name, caption.c_str(), style(cls), r.left, r.top, r.right - r.left,
                              r.bottom - r.top, host_.hwnd(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                              host_.instance(), nullptr);
    if (!handle_) {
        traceLastError("CreateWindowExW", text::toWide(layout_.name));
        return false;
    }
    send(WM_SETFONT, reinterpret_cast<WPARAM>(font()), FALSE);
    configure();
    return true;
}

int Control::px(int value) const {
    return dpi::scale(value, host_.dpi());
}

RECT Control::place() const {
    const ui::Rect r = host_.layout().clientRect(layout_);
    return {px(r.x), px(r.y), px(r.x) + px(r.w), px(r.y) + px(r.h)};
}

HFONT Control::font() {
    if (!layout_.font) return defaultFont(host_.dpi());
    const LOGFONTW lf = logFont(*layout_.font, px(layout_.font->height));
    font_.reset(CreateFontIndirectW(&lf));
    return font_.get();
}

std::string Control::text() const {
    if (!handle_) return {};
    const int length = GetWindowTextLengthW(handle_);
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(handle_, buffer.data(), length + 1);
    buffer.resize(static_cast<size_t>(std::max(got, 0)));
    return text::fromWide(buffer);
}

void Control::setText(std::string_view utf8) {
    if (handle_) SetWindowTextW(handle_, text::toWide(utf8).c_str());
}

bool Control::enabled() const {
    return handle_ && IsWindowEnabled(handle_);
}

void Control::setEnabled(bool on) {
    if (handle_) EnableWindow(handle_, on);
}

void Control::applyVisibility() {
    if (!handle_) return;
    bool show = visible_;
    if (!layout_.tab.empty()) {
        const int tab = host_.layout().indexOf(layout_.tab);
        show = show && tab >= 0 && host_.controlAt(tab).currentPage() == layout_.page;
    }
    ShowWindow(handle_, show ? SW_SHOWNA : SW_HIDE);
}

LRESULT Control::onColour(HDC dc) {
    if (layout_.textColor) SetTextColor(dc, rgb(*layout_.textColor));
    if (!layout_.backColor) return kindColour(dc);
    if (!background_) background_.reset(CreateSolidBrush(rgb(*layout_.backColor)));
    SetBkColor(dc, rgb(*layout_.backColor));
    return reinterpret_cast<LRESULT>(background_.get());
}

LRESULT Control::kindColour(HDC dc) {
    if (!layout_.textColor) return 0;
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void Control::onDpiChanged() {
    if (!handle_) return;
    const RECT r = place();
    SetWindowPos(handle_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The old font goes only once the control has the new one.
    UniqueFont old = std::move(font_);
    send(WM_SETFONT, reinterpret_cast<WPARAM>(font()), TRUE);
}

}  // namespace lz::win32::controls
