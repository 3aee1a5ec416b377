// Push buttons and radio buttons: both raise Clicked; radio buttons keep a check mark, one
// per group (a run of consecutive radio buttons in the table).
#include "platform/ui/radio_group.h"
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {
namespace {

void setCheck(HWND button, bool on) {
    SendMessageW(button, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

class Button : public Control {
public:
    using Control::Control;

    bool checked() const override { return handle_ && send(BM_GETCHECK) == BST_CHECKED; }
    void onCommand(int code) override {
        if (code == BN_CLICKED) host_.raise(name(), ui::Event::Clicked);
    }

protected:
    WindowClass windowClass() const override { return {L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP}; }
};

class Radio final : public Button {
public:
    using Button::Button;

protected:
    WindowClass windowClass() const override {
        DWORD style = BS_AUTORADIOBUTTON | WS_TABSTOP;
        if (ui::radioGroupOf(host_.layout(), index()).first == index()) style |= WS_GROUP;
        return {L"BUTTON", style};
    }
    void configure() override { setCheck(handle_, layout().checked); }
    LRESULT kindColour(HDC dc) override { return layout().tab.empty() ? Control::kindColour(dc) : pageColour(dc); }
};

}  // namespace

std::unique_ptr<Control> makeButton(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Button>(host, layout, index);
}

std::unique_ptr<Control> makeRadio(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Radio>(host, layout, index);
}

}  // namespace lz::win32::controls
