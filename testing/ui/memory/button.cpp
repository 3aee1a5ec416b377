// Radio buttons: clicking one checks it, and checking one unchecks the rest of its group.
#include "platform/ui/radio_group.h"
#include "testing/ui/memory/control.h"

namespace lz::ui::memory {
namespace {

class Radio final : public Control {
public:
    using Control::Control;

    void setChecked(bool on) override {
        if (on) {
            const RadioGroup group = radioGroupOf(window_, index());
            for (int k = group.first; k <= group.last; ++k) all_[static_cast<size_t>(k)]->Control::setChecked(false);
        }
        Control::setChecked(on);
    }
    void onClick() override { setChecked(true); }
};

}  // namespace

std::unique_ptr<Control> makeRadio(const WindowLayout& window, Controls& all, int index) {
    return std::make_unique<Radio>(window, all, index);
}

}  // namespace lz::ui::memory
