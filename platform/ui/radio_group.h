// Radio buttons form groups: a run of consecutive radio buttons in a window's table is one
// group, and checking one of them unchecks the others. Both window backends group them so.
#pragma once

#include "platform/ui/layout.h"

namespace lz::ui {

// Table indices of the first and the last radio button of a group.
struct RadioGroup {
    int first = 0;
    int last = 0;
};

// The group of the radio button at `index`.
inline RadioGroup radioGroupOf(const WindowLayout& layout, int index) {
    const auto isRadio = [&](int i) {
        return i >= 0 && i < static_cast<int>(layout.controls.size()) &&
               layout.controls[static_cast<size_t>(i)].kind == ControlKind::Radio;
    };
    RadioGroup group{index, index};
    while (isRadio(group.first - 1)) --group.first;
    while (isRadio(group.last + 1)) ++group.last;
    return group;
}

}  // namespace lz::ui
