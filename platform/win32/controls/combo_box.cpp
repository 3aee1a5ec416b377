// Drop-down lists: the user picks an entry (raising Selected), never types one.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "platform/text.h"
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {
namespace {

// The height a combo box's list drops down to, below its edit field.
constexpr int kDropHeight = 160;

class ComboBox final : public Control {
public:
    using Control::Control;

    // The picked entry's text; empty while none is picked.
    std::string text() const override {
        const int i = handle_ ? static_cast<int>(send(CB_GETCURSEL)) : -1;
        return i < 0 ? std::string() : layout().items[static_cast<size_t>(i)];
    }
    void onCommand(int code) override {
        if (code == CBN_SELCHANGE) host_.raise(name(), ui::Event::Selected);
    }

protected:
    WindowClass windowClass() const override {
        return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP, 0, false};
    }
    void configure() override {
        for (const std::string& item : layout().items)
            send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text::toWide(item).c_str()));
        if (!layout().prompt.empty())
            send(CB_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(text::toWide(layout().prompt).c_str()));
    }
    // The control's rectangle includes its dropped-down list.
    RECT place() const override {
        RECT r = Control::place();
        r.bottom = r.top + px(host_.layout().clientRect(layout()).h + kDropHeight);
        return r;
    }
};

}  // namespace

std::unique_ptr<Control> makeComboBox(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<ComboBox>(host, layout, index);
}

}  // namespace lz::win32::controls
