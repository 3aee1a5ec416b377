// Tab controls: the controls that name one as their owner sit on one of its pages, and only
// the page in front shows its controls. The user bringing a page to the front raises
// PageChanged; code doing it raises nothing.
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include "platform/text.h"
#include "platform/win32/controls/control.h"

namespace lz::win32::controls {
namespace {

class Tab final : public Control {
public:
    using Control::Control;

    int currentPage() const override { return handle_ ? static_cast<int>(send(TCM_GETCURSEL)) : -1; }
    void setCurrentPage(int page) override {
        if (!handle_) return;
        send(TCM_SETCURSEL, static_cast<WPARAM>(page));
        host_.showPageControls(name());
    }
    LRESULT onNotify(NMHDR& hdr) override {
        if (hdr.code == TCN_SELCHANGE) {
            host_.showPageControls(name());
            host_.raise(name(), ui::Event::PageChanged);
        }
        return 0;
    }
    bool liesBeneath() const override { return true; }

protected:
    WindowClass windowClass() const override { return {WC_TABCONTROLW, WS_CLIPSIBLINGS, 0, false}; }
    void configure() override {
        const std::vector<std::string>& pages = layout().pages;
        for (size_t k = 0; k < pages.size(); ++k) {
            std::wstring page = text::toWide(pages[k]);
            TCITEMW item{};
            item.mask = TCIF_TEXT;
            item.pszText = page.data();
            send(TCM_INSERTITEMW, k, reinterpret_cast<LPARAM>(&item));
        }
    }
};

}  // namespace

std::unique_ptr<Control> makeTab(Host& host, const ui::ControlLayout& layout, int index) {
    return std::make_unique<Tab>(host, layout, index);
}

}  // namespace lz::win32::controls
