// Edit boxes (single- or multi-line) and rich text boxes.
// clang-format off
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
// clang-format on

#include "platform/win32/controls/control.h"
#include "platform/win32/system_library.h"

namespace lz::win32::controls {
namespace {

class Edit final : public Control {
public:
    using Control::Control;

protected:
    WindowClass windowClass() const override {
        const ui::ControlLayout& c = layout();
        DWORD style = WS_TABSTOP | WS_GROUP;
        if (c.border) style |= WS_BORDER;
        if (c.readOnly) style |= ES_READONLY;
        if (!c.hideSelection) style |= ES_NOHIDESEL;
        if (c.multiline) {
            style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
            // Without a scroll bar the text is a drawing: keep its lines, do not wrap them.
            style |= c.vscroll ? WS_VSCROLL : ES_AUTOHSCROLL;
        } else {
            style |= ES_AUTOHSCROLL;
        }
        return {L"EDIT", style};
    }
    void configure() override {
        if (layout().limit > 0) send(EM_SETLIMITTEXT, static_cast<WPARAM>(layout().limit));
    }
    // Edit boxes are black on white, read-only ones too.
    LRESULT kindColour(HDC dc) override {
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
};

class RichEdit final : public Control {
public:
    using Control::Control;

protected:
    WindowClass windowClass() const override {
        // A holder shows nothing, so it needs no rich text: a plain edit box holds its text,
        // and the rich-text library is loaded only for a box that shows some.
        if (!layout().holder) {
            static const HMODULE richEdit = systemLibrary(L"msftedit.dll");  // registers the class
            (void)richEdit;
        }
        return {layout().holder ? WC_EDITW : MSFTEDIT_CLASS,
                ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    }
    void configure() override {
        if (layout().holder)
            send(EM_SETLIMITTEXT, 0, 0);  // no limit but the system's
        else
            send(EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    }
};

}  // namespace

std::unique_ptr<Control> makeEdit(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Edit>(host, layout, index);
}

std::unique_ptr<Control> makeRichEdit(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<RichEdit>(host, layout, index);
}

}  // namespace lz::win32::controls
