// The embedded web browser (win32/browser.h hosts it): its text is its address, and setting
// the text makes it go there.
#include "platform/text.h"
#include "platform/win32/browser.h"
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {
namespace {

class Browser final : public Control {
public:
    using Control::Control;

    bool create() override {
        initBrowserSupport();
        const RECT r = place();
        handle_ = createBrowser(host_.hwnd(), r.left, r.top, r.right - r.left, r.bottom - r.top, id(),
                                text::toWide(layout().text));
        return handle_ != nullptr;
    }
    std::string text() const override { return text::fromWide(browserAddress(handle_)); }
    void setText(std::string_view utf8) override {
        if (handle_) navigateBrowser(handle_, text::toWide(utf8));
    }
    // Placed again, but with no font: the page has its own.
    void onDpiChanged() override {
        if (!handle_) return;
        const RECT r = place();
        SetWindowPos(handle_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }

protected:
    WindowClass windowClass() const override { return {}; }
};

}  // namespace

std::unique_ptr<Control> makeBrowser(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Browser>(host, layout, index);
}

}  // namespace lz::win32::controls
