// Tab controls: the page in front, the first one at the start.
#include "testing/ui/memory/control.h"

namespace lz::ui::memory {
namespace {

class Tab final : public Control {
public:
    using Control::Control;

    int currentPage() const override { return page_; }
    bool setCurrentPage(int page) override {
        if (page < 0 || page >= static_cast<int>(layout().pages.size())) return false;
        page_ = page;
        return true;
    }

private:
    int page_ = 0;
};

}  // namespace

std::unique_ptr<Control> makeTab(const WindowLayout& window, Controls& all, int index) {
    return std::make_unique<Tab>(window, all, index);
}

}  // namespace lz::ui::memory
