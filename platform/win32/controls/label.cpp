// Labels, and labels styled as links: the hand pointer, and a reaction (MouseDown) as soon as
// the mouse button goes down on one.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "platform/win32/controls/control.h"
#include "platform/win32/trace.h"

namespace lz::win32::controls {
namespace {

class Label final : public Control {
public:
    using Control::Control;

protected:
    WindowClass windowClass() const override {
        // A caption wider than its label is cut at the edge rather than wrapped onto a second
        // line that the label has no room for.
        DWORD style = SS_LEFTNOWORDWRAP;
        if (layout().link) style |= SS_NOTIFY;
        return {L"STATIC", style};
    }
    void configure() override {
        if (layout().link) SetWindowSubclass(handle_, linkProc, 1, reinterpret_cast<DWORD_PTR>(this));
    }
    LRESULT kindColour(HDC dc) override { return layout().tab.empty() ? Control::kindColour(dc) : pageColour(dc); }

private:
    static LRESULT CALLBACK linkProc(HWND h, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
        try {
            if (react(*reinterpret_cast<Label*>(data), message)) return message == WM_SETCURSOR ? TRUE : 0;
        } catch (...) {
            traceException("link label");
        }
        if (message == WM_NCDESTROY) RemoveWindowSubclass(h, linkProc, 1);
        return DefSubclassProc(h, message, wp, lp);
    }

    // True when the message was the link's own.
    static bool react(Label& label, UINT message) {
        switch (message) {
            case WM_SETCURSOR:
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return true;
            case WM_LBUTTONDOWN:
                label.host_.raise(label.name(), ui::Event::MouseDown);
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

std::unique_ptr<Control> makeLabel(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Label>(host, layout, index);
}

}  // namespace lz::win32::controls
