#include "testing/ui/memory/control.h"

#include "platform/text.h"

namespace lz::ui::memory {

Control::Control(const WindowLayout& window, Controls& all, int index)
    : window_(window),
      all_(all),
      index_(index),
      text_(layout().text),
      enabled_(layout().enabled),
      visible_(layout().visible),
      checked_(layout().checked) {}

bool Control::type(std::string_view utf8) {
    const ControlLayout& c = layout();
    if (c.readOnly) return false;
    std::string typed(utf8);
    if (c.limit > 0) {
        // The limit counts characters, as the real edit box does (UTF-16 units).
        std::u16string units = text::utf8ToUtf16(typed);
        if (static_cast<int>(units.size()) > c.limit)
            typed = text::utf16ToUtf8(units.substr(0, static_cast<size_t>(c.limit)));
    }
    text_ = typed;
    return true;
}

}  // namespace lz::ui::memory
