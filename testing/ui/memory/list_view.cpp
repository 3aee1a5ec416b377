#include "testing/ui/memory/list_view.h"

namespace lz::ui::memory {

std::unique_ptr<Control> makeListView(const WindowLayout& window, Controls& all, int index) {
    return std::make_unique<ListView>(window, all, index);
}

}  // namespace lz::ui::memory
