#include "platform/ui/builders.h"

#include <string>
#include <utility>

namespace lz::ui::build {

ControlLayout control(ControlKind kind, std::string_view name, std::string_view text, Rect r) {
    ControlLayout c;
    c.kind = kind;
    c.name = std::string(name);
    c.text = std::string(text);
    c.rect = r;
    return c;
}

ControlLayout button(std::string_view name, std::string_view caption, Rect r) {
    return control(ControlKind::Button, name, caption, r);
}

ControlLayout label(std::string_view name, std::string_view caption, Rect r) {
    return control(ControlKind::Label, name, caption, r);
}

ControlLayout edit(std::string_view name, std::string_view text, Rect r) {
    return control(ControlKind::Edit, name, text, r);
}

ControlLayout list(std::string_view name, std::initializer_list<Column> columns, Rect r) {
    ControlLayout c = control(ControlKind::ListView, name, {}, r);
    c.columns = columns;
    return c;
}

ControlLayout radio(std::string_view name, std::string_view caption, Rect r, bool checked) {
    ControlLayout c = control(ControlKind::Radio, name, caption, r);
    c.checked = checked;
    return c;
}

ControlLayout onPage(ControlLayout c, std::string_view tab, int page) {
    c.tab = std::string(tab);
    c.page = page;
    return c;
}

ControlLayout disabled(ControlLayout c) {
    c.enabled = false;
    return c;
}

}  // namespace lz::ui::build
