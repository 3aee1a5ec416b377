// The one place that knows which class stands for which kind of control.
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {

std::unique_ptr<Control> make(Host& host, const ui::ControlLayout& layout, int index) {
    switch (layout.kind) {
        case ui::ControlKind::Button:
            return makeButton(host, layout, index);
        case ui::ControlKind::Label:
            return makeLabel(host, layout, index);
        case ui::ControlKind::Edit:
            return makeEdit(host, layout, index);
        case ui::ControlKind::RichEdit:
            return makeRichEdit(host, layout, index);
        case ui::ControlKind::ListView:
            return makeListView(host, layout, index);
        case ui::ControlKind::ComboBox:
            return makeComboBox(host, layout, index);
        case ui::ControlKind::Radio:
            return makeRadio(host, layout, index);
        case ui::ControlKind::Tab:
            return makeTab(host, layout, index);
        case ui::ControlKind::FileDialog:
            return makeFileDialog(host, layout, index);
        case ui::ControlKind::Browser:
            return makeBrowser(host, layout, index);
    }
    return makeLabel(host, layout, index);  // not reached: every kind is listed above
}

}  // namespace lz::win32::controls
