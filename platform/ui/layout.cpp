#include "platform/ui/layout.h"

#include <string>

namespace lz::ui {

ControlLayout::ControlLayout() = default;
ControlLayout::ControlLayout(const ControlLayout&) = default;
ControlLayout::ControlLayout(ControlLayout&&) noexcept = default;
ControlLayout& ControlLayout::operator=(const ControlLayout&) = default;
ControlLayout& ControlLayout::operator=(ControlLayout&&) noexcept = default;
ControlLayout::~ControlLayout() = default;

const ControlLayout* WindowLayout::find(std::string_view name) const {
    int i = indexOf(name);
    return i < 0 ? nullptr : &controls[static_cast<size_t>(i)];
}

int WindowLayout::indexOf(std::string_view name) const {
    for (size_t i = 0; i < controls.size(); ++i)
        if (controls[i].name == name) return static_cast<int>(i);
    return -1;
}

int WindowLayout::idOf(std::string_view name) const {
    const int index = indexOf(name);
    if (index < 0) throw UnknownControl("the window \"" + caption + "\" has no control \"" + std::string(name) + "\"");
    return kFirstControlId + index;
}

std::string_view WindowLayout::nameOfId(int id) const {
    const int index = id - kFirstControlId;
    if (index < 0 || static_cast<std::size_t>(index) >= controls.size()) return {};
    return controls[static_cast<std::size_t>(index)].name;
}

Rect WindowLayout::clientRect(const ControlLayout& c) const {
    Rect r = c.rect;
    if (!c.tab.empty()) {
        if (const ControlLayout* tab = find(c.tab)) {
            r.x += tab->rect.x;
            r.y += tab->rect.y;
        }
    }
    return r;
}

}  // namespace lz::ui
