// The one place that knows which class stands for which kind of in-memory control.
#include "testing/ui/memory/control.h"

namespace lz::ui::memory {

std::unique_ptr<Control> make(const WindowLayout& window, Controls& all, int index) {
    switch (window.controls[static_cast<size_t>(index)].kind) {
        case ControlKind::Radio:
            return makeRadio(window, all, index);
        case ControlKind::ComboBox:
            return makeComboBox(window, all, index);
        case ControlKind::Tab:
            return makeTab(window, all, index);
        case ControlKind::ListView:
            return makeListView(window, all, index);
        // Their text and states are all they have.
        case ControlKind::Button:
        case ControlKind::Label:
        case ControlKind::Edit:
        case ControlKind::RichEdit:
        case ControlKind::FileDialog:
        case ControlKind::Browser:
            break;
    }
    return std::make_unique<Control>(window, all, index);
}

}  // namespace lz::ui::memory
