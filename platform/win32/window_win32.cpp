#include "platform/win32/window_win32.h"

#include <set>

#include "platform/text.h"
#include "platform/win32/controls/list_view.h"
#include "platform/win32/dpi.h"
#include "platform/win32/message_loop.h"
#include "platform/win32/trace.h"

namespace lz::win32 {

namespace {

// The program's own top-level windows, alive now.
std::set<HWND> g_ownWindows;

// Counts a running handler (or a dialog a handler shows) of a window while it lasts.
class Running {
public:
    explicit Running(int& depth) : depth_(++depth) {}
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    ~Running() { --depth_; }

private:
    int& depth_;
};

}  // namespace

Win32Window::Win32Window(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers, Opening opening)
    : instance_(instance), layout_(layout), handlers_(std::move(handlers)), opening_(opening), dpi_(dpi::kDesign) {}

Win32Window::~Win32Window() {
    // A modal window gives its owner back, however it ends.
    if (opening_.modal && opening_.owner) EnableWindow(opening_.owner, TRUE);
    if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
}

std::unique_ptr<Win32Window> Win32Window::open(HINSTANCE instance, const ui::WindowLayout& layout,
                                               ui::Handlers handlers, Opening opening) {
    handlers.checkAgainst(layout);  // before the owner is disabled: a refused window leaves it as it was
    auto window = std::make_unique<Win32Window>(instance, layout, std::move(handlers), opening);
    if (opening.modal && opening.owner) EnableWindow(opening.owner, FALSE);
    if (!window->create()) return nullptr;
    return window;
}

Win32Window* Win32Window::fromHandle(HWND hwnd) {
    if (!g_ownWindows.contains(hwnd)) return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK Win32Window::windowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    // Nothing thrown below may cross into the system's code that called this.
    try {
        if (message == WM_NCCREATE) {
            auto* window = static_cast<Win32Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
            window->attach(hwnd);
            dpi::scaleFrame(hwnd);
        }
        if (Win32Window* window = fromHandle(hwnd)) return window->handle(message, wp, lp);
    } catch (...) {
        traceException("window procedure");
    }
    return DefWindowProcW(hwnd, message, wp, lp);
}

void Win32Window::attach(HWND hwnd) {
    hwnd_ = hwnd;
    g_ownWindows.insert(hwnd);
}

void Win32Window::detach() {
    g_ownWindows.erase(hwnd_);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
}

bool Win32Window::create() {
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    if (layout_.closeButton) style |= WS_SYSMENU;
    DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
    if (!layout_.icon) exStyle |= WS_EX_DLGMODALFRAME;  // no icon in the title bar

    // Sized for the system DPI first; once the window knows its monitor, for that one's.
    dpi_ = dpi::system();
    const RECT place = centredPlace();
    hwnd_ =
        CreateWindowExW(exStyle, kWindowClass, text::toWide(layout_.caption).c_str(), style, place.left, place.top,
                        place.right - place.left, place.bottom - place.top, opening_.owner, nullptr, instance_, this);
    if (!hwnd_) {
        traceLastError("CreateWindowExW", text::toWide(layout_.caption));
        return false;
    }
    if (const UINT actual = dpi::ofWindow(hwnd_); actual != dpi_) {
        dpi_ = actual;
        const RECT again = centredPlace();
        SetWindowPos(hwnd_, nullptr, again.left, again.top, again.right - again.left, again.bottom - again.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (layout_.icon) setProgramIcon();
    createControls();
    raise({}, ui::Event::Created);
    if (!isOpen()) return true;
    ShowWindow(hwnd_, SW_SHOW);
    UpdateWindow(hwnd_);
    focusFirstControl();
    return true;
}

void Win32Window::createControls() {
    controls_.clear();
    for (size_t i = 0; i < layout_.controls.size(); ++i)
        controls_.push_back(controls::make(*this, layout_.controls[i], static_cast<int>(i)));
    for (const auto& control : controls_) control->create();
    for (const auto& control : controls_)
        if (control->liesBeneath() && control->handle())
            SetWindowPos(control->handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    for (const auto& control : controls_) control->applyVisibility();
}

LRESULT Win32Window::handle(UINT message, WPARAM wp, LPARAM lp) {
    const HWND self = hwnd_;
    switch (message) {
        case WM_COMMAND:
            if (controls::Control* control = byId(LOWORD(wp))) control->onCommand(HIWORD(wp));
            return 0;
        case WM_NOTIFY: {
            auto* hdr = reinterpret_cast<NMHDR*>(lp);
            controls::Control* control = byId(static_cast<int>(hdr->idFrom));
            return control ? control->onNotify(*hdr) : 0;
        }
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
            if (LRESULT brush = onControlColour(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp))) return brush;
            break;
        case WM_NEXTDLGCTL:
            // Sent by a multi-line edit box on Tab: the focus moves on, as in a dialog.
            moveFocus(wp, lp);
            return 0;
        case WM_DPICHANGED:
            onDpiChanged(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
            return 0;
        case WM_CLOSE:
            close();
            return 0;
        case WM_DESTROY:
            open_ = false;
            if (opening_.endsProgram) PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            detach();
            break;
    }
    return DefWindowProcW(self, message, wp, lp);
}

void Win32Window::raise(std::string_view control, ui::Event event) {
    const ui::Handler* handler = handlers_.find(control, event);
    if (!handler) return;
    const Running running(handlerDepth_);
    try {
        (*handler)(*this);
    } catch (...) {
        // A handler must never take the message loop down with it.
        traceException(ui::describeHandler(layout_, control, event));
    }
}

controls::Control& Win32Window::at(std::string_view name) const {
    const int id = layout_.idOf(name);  // throws for a name the table does not have
    return *controls_[static_cast<size_t>(id - ui::kFirstControlId)];
}

controls::Control* Win32Window::byId(int id) const {
    const std::string_view name = layout_.nameOfId(id);
    return name.empty() ? nullptr : &at(name);
}

void Win32Window::showPageControls(std::string_view tab) {
    for (const auto& control : controls_)
        if (control->layout().tab == tab) control->applyVisibility();
}

void Win32Window::focusFirstControl() {
    for (const auto& control : controls_) {
        const HWND h = control->handle();
        if (h && IsWindowVisible(h) && IsWindowEnabled(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)) {
            SetFocus(h);
            return;
        }
    }
}

// WM_NEXTDLGCTL: to the control named, or to the next (or previous) tab stop.
void Win32Window::moveFocus(WPARAM wp, LPARAM lp) {
    HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd_, GetFocus(), wp != 0);
    if (target) SetFocus(target);
}

LRESULT Win32Window::onControlColour(HWND child, HDC dc) {
    controls::Control* control = byId(GetDlgCtrlID(child));
    return control ? control->onColour(dc) : 0;
}

// The window's outer rectangle at its DPI, centred in the work area.
RECT Win32Window::centredPlace() const {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int w = dpi::scale(layout_.width, dpi_), h = dpi::scale(layout_.height, dpi_);
    const int x = work.left + (work.right - work.left - w) / 2;
    const int y = work.top + (work.bottom - work.top - h) / 2;
    return {x, y, x + w, y + h};
}

// The window moved to a monitor of another DPI (or that monitor's DPI changed): take the size
// the system suggests and lay every control out again, fonts included.
void Win32Window::onDpiChanged(UINT newDpi, const RECT* suggested) {
    if (newDpi == 0 || newDpi == dpi_) return;
    dpi_ = newDpi;
    if (suggested)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    for (const auto& control : controls_) control->onDpiChanged();
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32Window::setProgramIcon() {
    const auto load = [this](UniqueIcon& icon, int size, WPARAM which) {
        icon.reset(
            static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
        if (!icon) {
            traceLastError("LoadImageW");
            return;
        }
        SendMessageW(hwnd_, WM_SETICON, which, reinterpret_cast<LPARAM>(icon.get()));
    };
    load(bigIcon_, GetSystemMetrics(SM_CXICON), ICON_BIG);
    load(smallIcon_, GetSystemMetrics(SM_CXSMICON), ICON_SMALL);
}

// ---- list views ----

controls::ListView& Win32Window::list(std::string_view name) const {
    if (controls::ListView* l = at(name).list()) return *l;
    throw ui::WrongKind("\"" + std::string(name) + "\" in \"" + layout_.caption + "\" is not a list");
}

int Win32Window::rowCount(std::string_view name) const {
    return list(name).rowCount();
}

void Win32Window::appendRow(std::string_view name, std::vector<std::string> cells) {
    list(name).appendRow(std::move(cells));
}

void Win32Window::appendRows(std::string_view name, std::vector<std::string> firstCells) {
    list(name).appendRows(std::move(firstCells));
}

void Win32Window::appendLines(std::string_view name, std::shared_ptr<const std::string> text,
                              std::vector<std::string_view> lines) {
    list(name).appendLines(std::move(text), std::move(lines));
}

void Win32Window::appendAllLines(std::string_view name, std::shared_ptr<const void> owner, std::string_view text) {
    list(name).appendAllLines(std::move(owner), text);
}

std::string Win32Window::cell(std::string_view name, int row, int column) const {
    return list(name).cell(row, column);
}

void Win32Window::removeRow(std::string_view name, int row) {
    list(name).removeRow(row);
}

int Win32Window::selectedRow(std::string_view name) const {
    return list(name).selectedRow();
}

// ---- dialogs and other windows ----

std::optional<std::string> Win32Window::showFileDialog(std::string_view name) {
    controls::Control& dialog = at(name);
    // The dialog runs a message loop of its own: the window must stay while it is up.
    const Running running(handlerDepth_);
    return dialog.showDialog();
}

int Win32Window::showBox(std::string_view text, UINT type) {
    // ui::kMessageCaption, in the form the call takes.
    static constexpr wchar_t kCaption[] = L"信息：";
    return MessageBoxW(isOpen() ? hwnd_ : nullptr, text::toWide(text).c_str(), kCaption, type);
}

void Win32Window::messageBox(std::string_view message) {
    showBox(message, MB_OK);
}

bool Win32Window::ask(std::string_view question) {
    return showBox(question, MB_YESNO) == IDYES;
}

void Win32Window::openModal(const ui::WindowLayout& layout, ui::Handlers handlers) {
    const std::unique_ptr<Win32Window> modal =
        open(instance_, layout, std::move(handlers), {.owner = hwnd_, .modal = true});
    if (modal) runUntilClosed(*modal);
}

ui::Window* Win32Window::openModeless(const ui::WindowLayout& layout, ui::Handlers handlers) {
    std::unique_ptr<Win32Window> window = open(instance_, layout, std::move(handlers), {});
    return window ? keepModeless(std::move(window)) : nullptr;
}

void Win32Window::close() {
    if (!hwnd_ || !open_) return;
    // Give activation back to the owner before this window goes, as a dialog does.
    if (opening_.modal && opening_.owner) EnableWindow(opening_.owner, TRUE);
    DestroyWindow(hwnd_);
}

}  // namespace lz::win32
