// What a window's events run. A window's table says what its controls are; its handlers say
// what they do: binding a handler to a control's event is all it takes for the window to raise
// that event, and a binding that could never run is refused when the window opens.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/layout.h"

namespace lz::ui {

class Window;
using Handler = std::function<void(Window&)>;

// The handlers bound to a window's events, keyed by control name and event. The window's own
// created event has the empty control name.
class Handlers {
public:
    Handlers& on(std::string_view control, Event event, Handler handler);
    Handlers& onCreated(Handler handler) { return on({}, Event::Created, std::move(handler)); }
    const Handler* find(std::string_view control, Event event) const;

    // Throws UnknownControl for a handler bound to a control the table lacks, and WrongKind for
    // one bound to an event its control never raises (a click on a label, a page change on a
    // button) or a created handler bound to a control. Both window backends call it as a window
    // opens, so that a mistyped binding fails the first test that opens the window.
    void checkAgainst(const WindowLayout& window) const;

private:
    struct Entry {
        std::string control;
        Event event;
        Handler handler;
    };
    std::vector<Entry> entries_;
};

// Whether a control of this kind raises the event: buttons and radio buttons are clicked, link
// labels take a mouse press, combo boxes have an entry picked, tab controls change page.
bool raises(const ControlLayout& control, Event event);

// How traces and tests name a handler: `the Clicked handler of 按钮1 in "方案管理"` (the
// window's own created event: `the Created handler of "方案管理"`).
std::string describeHandler(const WindowLayout& window, std::string_view control, Event event);

}  // namespace lz::ui
