#include "platform/ui/layout.h"

#include <algorithm>
#include <string>

#include "platform/ui/window.h"

namespace lz::ui {

ControlLayout::ControlLayout() = default;
ControlLayout::ControlLayout(const ControlLayout&) = default;
ControlLayout::ControlLayout(ControlLayout&&) noexcept = default;
ControlLayout& ControlLayout::operator=(const ControlLayout&) = default;
ControlLayout& ControlLayout::operator=(ControlLayout&&) noexcept = default;
ControlLayout::~ControlLayout() = default;

bool ControlLayout::binds(Event e) const {
    return std::find(events.begin(), events.end(), e) != events.end();
}

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

namespace {

std::string_view eventName(Event event) {
    switch (event) {
        case Event::Created:
            return "Created";
        case Event::Clicked:
            return "Clicked";
        case Event::MouseDown:
            return "MouseDown";
        case Event::Selected:
            return "Selected";
        case Event::PageChanged:
            return "PageChanged";
    }
    return "unknown";
}

}  // namespace

std::string describeHandler(const WindowLayout& window, std::string_view control, Event event) {
    std::string where = "the " + std::string(eventName(event)) + " handler of ";
    if (!control.empty()) where.append(control).append(" in ");
    return where + "\"" + window.caption + "\"";
}

Handlers& Handlers::on(std::string_view control, Event event, Handler handler) {
    entries_.push_back({std::string(control), event, std::move(handler)});
    return *this;
}

const Handler* Handlers::find(std::string_view control, Event event) const {
    for (const Entry& e : entries_)
        if (e.event == event && e.control == control) return &e.handler;
    return nullptr;
}

}  // namespace lz::ui
