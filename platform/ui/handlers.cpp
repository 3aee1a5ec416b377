#include "platform/ui/handlers.h"

namespace lz::ui {

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

Handlers& Handlers::on(std::string_view control, Event event, Handler handler) {
    entries_.push_back({std::string(control), event, std::move(handler)});
    return *this;
}

const Handler* Handlers::find(std::string_view control, Event event) const {
    for (const Entry& e : entries_)
        if (e.event == event && e.control == control) return &e.handler;
    return nullptr;
}

void Handlers::checkAgainst(const WindowLayout& window) const {
    for (const Entry& e : entries_) {
        const bool fits = e.control.empty()
                              ? e.event == Event::Created
                              : raises(window.controls[window.idOf(e.control) - kFirstControlId], e.event);
        if (!fits) throw WrongKind(describeHandler(window, e.control, e.event) + " can never run");
    }
}

bool raises(const ControlLayout& control, Event event) {
    switch (event) {
        case Event::Created:
            return false;
        case Event::Clicked:
            return control.kind == ControlKind::Button || control.kind == ControlKind::Radio;
        case Event::MouseDown:
            return control.kind == ControlKind::Label && control.link;
        case Event::Selected:
            return control.kind == ControlKind::ComboBox;
        case Event::PageChanged:
            return control.kind == ControlKind::Tab;
    }
    return false;
}

std::string describeHandler(const WindowLayout& window, std::string_view control, Event event) {
    std::string where = "the " + std::string(eventName(event)) + " handler of ";
    if (!control.empty()) where.append(control).append(" in ");
    return where + "\"" + window.caption + "\"";
}

}  // namespace lz::ui
