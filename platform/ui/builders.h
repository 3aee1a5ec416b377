// Short constructors for layout tables, so that a window's table reads like its design:
// one line per control.
#pragma once

#include <initializer_list>

#include "platform/ui/layout.h"

namespace lz::ui::build {

inline ControlLayout control(ControlKind kind, std::string name, std::string text, Rect r) {
    ControlLayout c;
    c.kind = kind;
    c.name = std::move(name);
    c.text = std::move(text);
    c.rect = r;
    return c;
}

inline ControlLayout button(std::string name, std::string caption, Rect r, bool clickable = true) {
    ControlLayout c = control(ControlKind::Button, std::move(name), std::move(caption), r);
    if (clickable) c.events = {Event::Clicked};
    return c;
}

inline ControlLayout label(std::string name, std::string caption, Rect r) {
    return control(ControlKind::Label, std::move(name), std::move(caption), r);
}

inline ControlLayout edit(std::string name, std::string text, Rect r) {
    return control(ControlKind::Edit, std::move(name), std::move(text), r);
}

inline ControlLayout list(std::string name, std::initializer_list<Column> columns, Rect r) {
    ControlLayout c = control(ControlKind::ListView, std::move(name), {}, r);
    c.columns = columns;
    return c;
}

inline ControlLayout radio(std::string name, std::string caption, Rect r, bool checked) {
    ControlLayout c = control(ControlKind::Radio, std::move(name), std::move(caption), r);
    c.checked = checked;
    c.events = {Event::Clicked};
    return c;
}

// Places a control on a page of a tab control.
inline ControlLayout onPage(ControlLayout c, std::string tab, int page) {
    c.tab = std::move(tab);
    c.page = page;
    return c;
}

inline ControlLayout disabled(ControlLayout c) {
    c.enabled = false;
    return c;
}

}  // namespace lz::ui::build
