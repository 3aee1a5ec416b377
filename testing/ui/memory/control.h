// The controls of an in-memory window, one class per kind that behaves differently from the
// plain control, as the Win32 window has them (win32/controls/). Each holds the state its real
// twin would hold and says what a user's action does to it.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/layout.h"

namespace lz::ui::memory {

class Control;
class ListView;
// The controls of one window, in table order.
using Controls = std::vector<std::unique_ptr<Control>>;

class Control {
public:
    Control(const WindowLayout& window, Controls& all, int index);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const ControlLayout& layout() const { return window_.controls[static_cast<size_t>(index_)]; }
    int index() const { return index_; }

    // The window's operations. A kind without a property answers with nothing (false, -1,
    // empty) and ignores a change, as the Win32 window does.
    virtual std::string text() const { return text_; }
    void setText(std::string_view utf8) { text_ = utf8; }
    bool enabled() const { return enabled_; }
    void setEnabled(bool on) { enabled_ = on; }
    bool visible() const { return visible_; }
    bool checked() const { return checked_; }
    virtual void setChecked(bool on) { checked_ = on; }
    virtual int currentPage() const { return -1; }
    // False (and nothing changes) when the control has no such page.
    virtual bool setCurrentPage(int) { return false; }
    virtual ListView* list() { return nullptr; }

    // What the user does to the control once it is reached.
    virtual void onClick() {}
    // Picks an entry; false when the control has no such entry.
    virtual bool pick(int) { return false; }
    // Replaces the text as typing does: up to the length limit, never into a read-only box.
    bool type(std::string_view utf8);

protected:
    const WindowLayout& window_;
    Controls& all_;

private:
    int index_;
    std::string text_;
    bool enabled_;
    bool visible_;
    bool checked_;
};

// One maker per kind with behaviour of its own (each in the kind's own file).
std::unique_ptr<Control> makeRadio(const WindowLayout& window, Controls& all, int index);
std::unique_ptr<Control> makeComboBox(const WindowLayout& window, Controls& all, int index);
std::unique_ptr<Control> makeTab(const WindowLayout& window, Controls& all, int index);
std::unique_ptr<Control> makeListView(const WindowLayout& window, Controls& all, int index);

// The control of the layout's kind for the entry at `index` of the window's table.
std::unique_ptr<Control> make(const WindowLayout& window, Controls& all, int index);

}  // namespace lz::ui::memory
