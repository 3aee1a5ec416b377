// Short constructors for layout tables, so that a window's table reads like its design:
// one line per control. They are defined out of line: a table is built once, and each call in
// it then costs the program a call, not the making of its strings over again.
#pragma once

#include <initializer_list>
#include <string_view>

#include "platform/ui/layout.h"

namespace lz::ui::build {

ControlLayout control(ControlKind kind, std::string_view name, std::string_view text, Rect r);
ControlLayout button(std::string_view name, std::string_view caption, Rect r);
ControlLayout label(std::string_view name, std::string_view caption, Rect r);
ControlLayout edit(std::string_view name, std::string_view text, Rect r);
ControlLayout list(std::string_view name, std::initializer_list<Column> columns, Rect r);
ControlLayout radio(std::string_view name, std::string_view caption, Rect r, bool checked);
// Places a control on a page of a tab control.
ControlLayout onPage(ControlLayout c, std::string_view tab, int page);
ControlLayout disabled(ControlLayout c);

}  // namespace lz::ui::build
