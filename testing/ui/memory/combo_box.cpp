// Drop-down lists: the text is the picked entry's, empty while none is picked.
#include "testing/ui/memory/control.h"

namespace lz::ui::memory {
namespace {

class ComboBox final : public Control {
public:
    using Control::Control;

    std::string text() const override {
        return selected_ < 0 ? std::string() : layout().items[static_cast<size_t>(selected_)];
    }
    bool pick(int item) override {
        if (item < 0 || item >= static_cast<int>(layout().items.size())) return false;
        selected_ = item;
        return true;
    }

private:
    int selected_ = -1;
};

}  // namespace

std::unique_ptr<Control> makeComboBox(const WindowLayout& window, Controls& all, int index) {
    return std::make_unique<ComboBox>(window, all, index);
}

}  // namespace lz::ui::memory
