#include "platform/win32/ui_win32.h"

#include <commctrl.h>
#include <commdlg.h>
#include <ole2.h>
#include <richedit.h>
#include <uxtheme.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/text.h"
#include "platform/ui/list_model.h"
#include "platform/win32/browser.h"
#include "platform/win32/dpi.h"
#include "platform/win32/system_library.h"

namespace lz::win32 {

using ui::ControlKind;
using ui::ControlLayout;
using ui::Event;
using ui::WindowLayout;

namespace {

constexpr wchar_t kWindowClass[] = L"LzVantorWindow";
constexpr int kComboDropHeight = 160;

HINSTANCE g_instance = nullptr;

std::wstring wide(std::string_view utf8) {
    return text::toWide(utf8);
}

struct GdiDeleter {
    void operator()(HGDIOBJ object) const {
        if (object) DeleteObject(object);
    }
};
using UniqueGdi = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, GdiDeleter>;

// The windows' default font, the system's message font, at a DPI; made once per DPI.
HFONT defaultFont(UINT dpi) {
    static std::map<UINT, UniqueGdi> fonts;
    UniqueGdi& font = fonts[dpi];
    if (!font) {
        const LOGFONTW lf = dpi::messageFont(dpi);
        font.reset(CreateFontIndirectW(&lf));
    }
    return font ? static_cast<HFONT>(font.get()) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

COLORREF rgb(const ui::Color& c) {
    return RGB(c.r, c.g, c.b);
}

// A double-NUL separated filter from the "description|pattern|..." form of the layout.
std::wstring dialogFilter(std::string_view filter) {
    std::wstring f = wide(filter);
    std::replace(f.begin(), f.end(), L'|', L'\0');
    f.push_back(L'\0');
    f.push_back(L'\0');
    return f;
}

class Win32Window;
// The program's own top-level windows, alive now. Only these are taken for one: another
// window of the thread (a message box, the browser's) may keep anything in its user data.
std::set<HWND> g_ownWindows;

Win32Window* windowFromHandle(HWND hwnd) {
    if (!g_ownWindows.contains(hwnd)) return nullptr;
    return reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
LRESULT CALLBACK linkLabelProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

// Modeless windows are owned here and freed by the message loop once they have closed and
// no handler of theirs is running.
std::vector<std::unique_ptr<Win32Window>> g_modeless;

class Win32Window final : public ui::Window {
public:
    Win32Window(const WindowLayout& layout, ui::Handlers handlers, HWND owner, bool startWindow)
        : layout_(layout), handlers_(std::move(handlers)), owner_(owner), startWindow_(startWindow) {}

    ~Win32Window() override {
        if (hwnd_ && IsWindow(hwnd_)) DestroyWindow(hwnd_);
    }

    // Creates the window and its controls, raises the created event, then shows it.
    bool create() {
        DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
        if (layout_.closeButton) style |= WS_SYSMENU;
        DWORD exStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
        if (!layout_.icon) exStyle |= WS_EX_DLGMODALFRAME;  // no icon in the title bar

        // Sized for the system DPI first; once the window knows its monitor, for that one's.
        dpi_ = dpi::system();
        const RECT place = centredPlace();
        hwnd_ = CreateWindowExW(exStyle, kWindowClass, wide(layout_.caption).c_str(), style, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, owner_, nullptr, g_instance, this);
        if (!hwnd_) return false;
        if (const UINT actual = dpi::ofWindow(hwnd_); actual != dpi_) {
            dpi_ = actual;
            const RECT again = centredPlace();
            SetWindowPos(hwnd_, nullptr, again.left, again.top, again.right - again.left, again.bottom - again.top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        if (layout_.icon) setProgramIcon();
        createControls();
        if (layout_.onCreated) raise({}, Event::Created);
        if (!isOpen()) return true;
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
        focusFirstControl();
        return true;
    }

    HWND hwnd() const { return hwnd_; }
    bool busy() const { return handlerDepth_ > 0; }
    UINT dpi() const { return dpi_; }

    HWND control(std::string_view name) const {
        int i = layout_.indexOf(name);
        return i < 0 ? nullptr : controls_[static_cast<size_t>(i)];
    }

    LRESULT handle(UINT message, WPARAM wp, LPARAM lp) {
        switch (message) {
            case WM_COMMAND:
                onCommand(LOWORD(wp), HIWORD(wp));
                return 0;
            case WM_NOTIFY:
                return onNotify(reinterpret_cast<NMHDR*>(lp));
            case WM_CTLCOLORSTATIC:
            case WM_CTLCOLOREDIT:
                if (LRESULT brush = onControlColour(reinterpret_cast<HWND>(lp), reinterpret_cast<HDC>(wp)))
                    return brush;
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
                if (startWindow_) PostQuitMessage(0);
                return 0;
            case WM_NCDESTROY:
                g_ownWindows.erase(hwnd_);
                SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
                hwnd_ = nullptr;
                break;
        }
        return DefWindowProcW(hwnd_, message, wp, lp);
    }

    void raise(std::string_view control, Event event) {
        if (!control.empty()) {
            const ControlLayout* c = layout_.find(control);
            if (!c || !c->binds(event)) return;
        }
        const ui::Handler* h = handlers_.find(control, event);
        if (!h) return;
        ++handlerDepth_;
        try {
            (*h)(*this);
        } catch (...) {
            // A handler must never take the message loop down with it.
            OutputDebugStringW(L"lz: a handler failed with an exception\n");
        }
        --handlerDepth_;
    }

    // Runs a nested message loop until this (modal) window has closed.
    void runModal();

    // ---- ui::Window ----

    const WindowLayout& layout() const override { return layout_; }

    std::string text(std::string_view name) const override {
        const ControlLayout* c = layout_.find(name);
        HWND h = control(name);
        if (!c) return {};
        switch (c->kind) {
            case ControlKind::ComboBox: {
                int i = selectedItem(name);
                return i < 0 ? std::string() : c->items[static_cast<size_t>(i)];
            }
            case ControlKind::Browser:
                return text::fromWide(browserAddress(h));
            case ControlKind::FileDialog:
                return c->text;
            default:
                break;
        }
        if (!h) return {};
        int length = GetWindowTextLengthW(h);
        std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
        int got = GetWindowTextW(h, buffer.data(), length + 1);
        buffer.resize(static_cast<size_t>(std::max(got, 0)));
        return text::fromWide(buffer);
    }

    void setText(std::string_view name, std::string_view utf8) override {
        const ControlLayout* c = layout_.find(name);
        HWND h = control(name);
        if (!c || !h) return;
        if (c->kind == ControlKind::Browser) {
            navigateBrowser(h, wide(utf8));
            return;
        }
        SetWindowTextW(h, wide(utf8).c_str());
    }

    bool enabled(std::string_view name) const override {
        HWND h = control(name);
        return h && IsWindowEnabled(h);
    }
    void setEnabled(std::string_view name, bool on) override {
        if (HWND h = control(name)) EnableWindow(h, on);
    }

    bool visible(std::string_view name) const override {
        int i = layout_.indexOf(name);
        return i >= 0 && visibleFlags_[static_cast<size_t>(i)];
    }
    void setVisible(std::string_view name, bool on) override {
        int i = layout_.indexOf(name);
        if (i < 0) return;
        visibleFlags_[static_cast<size_t>(i)] = on;
        applyVisibility(static_cast<size_t>(i));
    }

    bool checked(std::string_view name) const override {
        HWND h = control(name);
        return h && SendMessageW(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void setChecked(std::string_view name, bool on) override {
        int i = layout_.indexOf(name);
        if (i < 0 || !controls_[static_cast<size_t>(i)]) return;
        if (on && layout_.controls[static_cast<size_t>(i)].kind == ControlKind::Radio) {
            // Uncheck the rest of the group: the run of radio buttons around this one.
            int first = i, last = i;
            while (first > 0 && layout_.controls[static_cast<size_t>(first - 1)].kind == ControlKind::Radio) --first;
            while (last + 1 < static_cast<int>(layout_.controls.size()) &&
                   layout_.controls[static_cast<size_t>(last + 1)].kind == ControlKind::Radio)
                ++last;
            for (int k = first; k <= last; ++k)
                SendMessageW(controls_[static_cast<size_t>(k)], BM_SETCHECK, BST_UNCHECKED, 0);
        }
        SendMessageW(controls_[static_cast<size_t>(i)], BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    int selectedItem(std::string_view name) const override {
        HWND h = control(name);
        return h ? static_cast<int>(SendMessageW(h, CB_GETCURSEL, 0, 0)) : -1;
    }

    int currentPage(std::string_view name) const override {
        HWND h = control(name);
        return h ? static_cast<int>(SendMessageW(h, TCM_GETCURSEL, 0, 0)) : -1;
    }
    void setCurrentPage(std::string_view name, int page) override {
        HWND h = control(name);
        if (!h) return;
        SendMessageW(h, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
        showPageControls(name);
    }

    int rowCount(std::string_view name) const override {
        const ui::ListModel* m = model(name);
        return m ? m->rows() : 0;
    }
    void appendRow(std::string_view name, std::vector<std::string> cells) override {
        if (ui::ListModel* m = model(name)) {
            m->append(std::move(cells));
            syncCount(name);
        }
    }
    void appendRows(std::string_view name, std::vector<std::string> firstCells) override {
        if (ui::ListModel* m = model(name)) {
            m->appendFirstCells(std::move(firstCells));
            syncCount(name);
        }
    }
    void appendLines(std::string_view name, std::shared_ptr<const std::string> text,
                     std::vector<std::string_view> lines) override {
        if (ui::ListModel* m = model(name)) {
            m->appendLines(std::move(text), std::move(lines));
            syncCount(name);
        }
    }
    void appendAllLines(std::string_view name, std::shared_ptr<const void> owner, std::string_view text) override {
        if (ui::ListModel* m = model(name)) {
            m->appendAllLines(std::move(owner), text);
            syncCount(name);
        }
    }
    std::string cell(std::string_view name, int row, int column) const override {
        const ui::ListModel* m = model(name);
        return m ? std::string(m->cell(row, column)) : std::string();
    }
    void setCell(std::string_view name, int row, int column, std::string_view value) override {
        ui::ListModel* m = model(name);
        if (m && m->set(row, column, value))
            SendMessageW(control(name), LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
    }
    void removeRow(std::string_view name, int row) override {
        ui::ListModel* m = model(name);
        if (m && m->remove(row)) SendMessageW(control(name), LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    }
    void clearRows(std::string_view name) override {
        if (ui::ListModel* m = model(name)) {
            m->clear();
            SendMessageW(control(name), LVM_DELETEALLITEMS, 0, 0);
        }
    }
    int selectedRow(std::string_view name) const override {
        HWND h = control(name);
        return h ? static_cast<int>(SendMessageW(h, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)) : -1;
    }
    void selectRow(std::string_view name, int row) override {
        HWND h = control(name);
        if (!h) return;
        LVITEMW clear{};
        clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(h, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&clear));
        if (row < 0 || row >= rowCount(name)) return;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(h, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        SendMessageW(h, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    }

    std::optional<std::string> showFileDialog(std::string_view name) override {
        const ControlLayout* c = layout_.find(name);
        if (!c || c->kind != ControlKind::FileDialog) return std::nullopt;
        std::wstring filter = dialogFilter(c->filter);
        std::wstring title = wide(c->text);
        // The dialog appends the extension itself, with its own dot.
        std::wstring extension = wide(c->defaultExtension);
        if (!extension.empty() && extension.front() == L'.') extension.erase(0, 1);
        std::vector<wchar_t> path(32768, L'\0');

        OPENFILENAMEW ofn{};
        ofn.lStructSize = sizeof(ofn);
        ofn.hwndOwner = hwnd_;
        ofn.lpstrFilter = filter.c_str();
        ofn.nFilterIndex = 1;
        ofn.lpstrFile = path.data();
        ofn.nMaxFile = static_cast<DWORD>(path.size());
        ofn.lpstrTitle = title.c_str();
        ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
        ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
        if (c->fileMustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
        if (c->pathMustExist) ofn.Flags |= OFN_PATHMUSTEXIST;
        if (c->promptCreate) ofn.Flags |= OFN_CREATEPROMPT;
        // The dialog and what it needs are loaded when it is first shown.
        static const auto open = systemFunction<decltype(&::GetOpenFileNameW)>(L"comdlg32.dll", "GetOpenFileNameW");
        if (!open) return std::nullopt;
        useOle();  // the dialog's shell view wants it; without it the dialog still opens
        ++handlerDepth_;
        BOOL chosen = open(&ofn);
        --handlerDepth_;
        if (!chosen) return std::nullopt;
        return text::fromWide(path.data());
    }

    void messageBox(std::string_view message) override {
        MessageBoxW(isOpen() ? hwnd_ : nullptr, wide(message).c_str(), wide(ui::kMessageCaption).c_str(), MB_OK);
    }

    void openModal(const WindowLayout& layout, ui::Handlers handlers) override {
        Win32Window modal(layout, std::move(handlers), hwnd_, false);
        modal.runModal();
    }

    ui::Window* openModeless(const WindowLayout& layout, ui::Handlers handlers) override {
        auto window = std::make_unique<Win32Window>(layout, std::move(handlers), nullptr, false);
        if (!window->create()) return nullptr;
        g_modeless.push_back(std::move(window));
        return g_modeless.back().get();
    }

    void close() override {
        if (!hwnd_ || !open_) return;
        // Give activation back to the owner before this window goes, as a dialog does.
        if (modal_ && owner_) EnableWindow(owner_, TRUE);
        DestroyWindow(hwnd_);
    }

    bool isOpen() const override { return open_ && hwnd_ != nullptr; }

    void exitProgram(int code) override { ExitProcess(static_cast<UINT>(code)); }

    void attach(HWND hwnd) {
        hwnd_ = hwnd;
        g_ownWindows.insert(hwnd);
    }

private:
    // A layout number at this window's DPI.
    int px(int value) const { return dpi::scale(value, dpi_); }

    // The window's outer rectangle at this DPI, centred in the work area.
    RECT centredPlace() const {
        RECT work{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        const int w = px(layout_.width), h = px(layout_.height);
        const int x = work.left + (work.right - work.left - w) / 2;
        const int y = work.top + (work.bottom - work.top - h) / 2;
        return {x, y, x + w, y + h};
    }

    // A control's rectangle in the client area at this DPI; a combo box's includes its list.
    RECT placeOf(const ControlLayout& c) const {
        const ui::Rect r = layout_.clientRect(c);
        const int h = c.kind == ControlKind::ComboBox ? r.h + kComboDropHeight : r.h;
        return {px(r.x), px(r.y), px(r.x) + px(r.w), px(r.y) + px(h)};
    }

    // WM_NEXTDLGCTL: to the control named, or to the next (or previous) tab stop.
    void moveFocus(WPARAM wp, LPARAM lp) {
        HWND target = LOWORD(lp) ? reinterpret_cast<HWND>(wp) : GetNextDlgTabItem(hwnd_, GetFocus(), wp != 0);
        if (target) SetFocus(target);
    }

    // The window moved to a monitor of another DPI (or that monitor's DPI changed): take the
    // size the system suggests and lay every control out again, fonts included.
    void onDpiChanged(UINT newDpi, const RECT* suggested) {
        if (newDpi == 0 || newDpi == dpi_) return;
        dpi_ = newDpi;
        if (suggested)
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        std::vector<UniqueGdi> oldFonts = std::move(fonts_);
        fonts_.clear();
        for (size_t i = 0; i < controls_.size(); ++i) {
            HWND h = controls_[i];
            if (!h) continue;
            const ControlLayout& c = layout_.controls[i];
            const RECT r = placeOf(c);
            SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
            if (c.kind == ControlKind::Browser) continue;
            SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(c)), TRUE);
            if (c.kind == ControlKind::ListView)
                for (size_t k = 0; k < c.columns.size(); ++k)
                    SendMessageW(h, LVM_SETCOLUMNWIDTH, k, MAKELPARAM(px(c.columns[k].width), 0));
        }
        RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }

    void setProgramIcon() {
        auto load = [](int size) {
            return static_cast<HICON>(
                LoadImageW(g_instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
        };
        if (HICON big = load(GetSystemMetrics(SM_CXICON)))
            SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
        if (HICON small = load(GetSystemMetrics(SM_CXSMICON)))
            SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    }

    void createControls() {
        const size_t n = layout_.controls.size();
        controls_.assign(n, nullptr);
        visibleFlags_.assign(n, true);
        models_.resize(n);
        brushes_.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const ControlLayout& c = layout_.controls[i];
            visibleFlags_[i] = c.visible;
            controls_[i] = createControl(c, static_cast<int>(i));
        }
        // Tab controls lie beneath the controls of their pages.
        for (size_t i = 0; i < n; ++i)
            if (layout_.controls[i].kind == ControlKind::Tab && controls_[i])
                SetWindowPos(controls_[i], HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        for (size_t i = 0; i < n; ++i) applyVisibility(i);
    }

    HWND createControl(const ControlLayout& c, int index) {
        const RECT r = placeOf(c);
        const HMENU id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(ui::kFirstControlId + index));
        // Where two controls overlap, the one earlier in the table is drawn on top.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        if (!c.enabled) style |= WS_DISABLED;
        DWORD exStyle = 0;
        const wchar_t* cls = nullptr;
        std::wstring caption = wide(c.text);

        switch (c.kind) {
            case ControlKind::Button:
                cls = L"BUTTON";
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::Radio: {
                cls = L"BUTTON";
                style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
                bool firstOfGroup =
                    index == 0 || layout_.controls[static_cast<size_t>(index - 1)].kind != ControlKind::Radio;
                if (firstOfGroup) style |= WS_GROUP;
                break;
            }
            case ControlKind::Label:
                cls = L"STATIC";
                // A caption wider than its label is cut at the edge rather than wrapped onto a
                // second line that the label has no room for.
                style |= SS_LEFTNOWORDWRAP;
                if (c.link) style |= SS_NOTIFY;
                break;
            case ControlKind::Edit:
                cls = L"EDIT";
                style |= WS_TABSTOP | WS_GROUP;
                if (c.border) style |= WS_BORDER;
                if (c.readOnly) style |= ES_READONLY;
                if (!c.hideSelection) style |= ES_NOHIDESEL;
                if (c.multiline) {
                    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN;
                    // Without a scroll bar the text is a drawing: keep its lines, do not wrap them.
                    if (c.vscroll)
                        style |= WS_VSCROLL;
                    else
                        style |= ES_AUTOHSCROLL;
                } else {
                    style |= ES_AUTOHSCROLL;
                }
                break;
            case ControlKind::RichEdit: {
                // A holder shows nothing, so it needs no rich text: a plain edit box holds its
                // text, and the rich-text library is loaded only for a box that shows some.
                if (!c.holder) {
                    static const HMODULE richEdit = systemLibrary(L"msftedit.dll");  // registers the class
                    (void)richEdit;
                }
                cls = c.holder ? WC_EDITW : MSFTEDIT_CLASS;
                style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
            }
            case ControlKind::ListView:
                cls = WC_LISTVIEWW;
                style |= LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_TABSTOP | WS_GROUP;
                if (c.editLabels) style |= LVS_EDITLABELS;
                exStyle |= WS_EX_CLIENTEDGE;
                caption.clear();
                break;
            case ControlKind::ComboBox:
                cls = WC_COMBOBOXW;
                style |= CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP | WS_GROUP;
                caption.clear();
                break;
            case ControlKind::Tab:
                cls = WC_TABCONTROLW;
                style |= WS_CLIPSIBLINGS;
                caption.clear();
                break;
            case ControlKind::FileDialog:
                return nullptr;  // no window of its own
            case ControlKind::Browser: {
                initBrowserSupport();
                HWND browser = createBrowser(hwnd_, r.left, r.top, r.right - r.left, r.bottom - r.top,
                                             ui::kFirstControlId + index, caption);
                return browser;
            }
        }
        // A holder is out of sight: no tab stop, and a group of its own, so that neither Tab nor
        // the arrow keys move the focus into it (nor out of it into the next control's group).
        if (c.holder) style = (style & ~WS_TABSTOP) | WS_GROUP;
        if (index > 0 && layout_.controls[static_cast<size_t>(index - 1)].holder) style |= WS_GROUP;

        HWND h = CreateWindowExW(exStyle, cls, caption.c_str(), style, r.left, r.top, r.right - r.left,
                                 r.bottom - r.top, hwnd_, id, g_instance, nullptr);
        if (!h) return nullptr;
        SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(c)), FALSE);
        configure(c, h, static_cast<size_t>(index));
        return h;
    }

    HFONT fontFor(const ControlLayout& c) {
        if (!c.font) return defaultFont(dpi_);
        LOGFONTW lf{};
        lf.lfHeight = -px(c.font->height);
        lf.lfWeight = c.font->bold ? FW_BOLD : FW_NORMAL;
        lf.lfUnderline = c.font->underline;
        lf.lfCharSet = c.font->gb2312Charset ? GB2312_CHARSET : DEFAULT_CHARSET;
        if (c.font->fixedPitch) lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
        std::wstring face = wide(c.font->face);
        face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
        std::copy(face.begin(), face.end(), lf.lfFaceName);
        fonts_.emplace_back(CreateFontIndirectW(&lf));
        return static_cast<HFONT>(fonts_.back().get());
    }

    void configure(const ControlLayout& c, HWND h, size_t index) {
        switch (c.kind) {
            case ControlKind::Radio:
                SendMessageW(h, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
                break;
            case ControlKind::Label:
                if (c.link) SetWindowSubclass(h, linkLabelProc, 1, reinterpret_cast<DWORD_PTR>(this));
                break;
            case ControlKind::Edit:
                if (c.limit > 0) SendMessageW(h, EM_SETLIMITTEXT, static_cast<WPARAM>(c.limit), 0);
                break;
            case ControlKind::RichEdit:
                if (c.holder)
                    SendMessageW(h, EM_SETLIMITTEXT, 0, 0);  // no limit but the system's
                else
                    SendMessageW(h, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
                break;
            case ControlKind::ListView: {
                DWORD ex = LVS_EX_DOUBLEBUFFER;
                if (c.fullRowSelect) ex |= LVS_EX_FULLROWSELECT;
                if (c.gridLines) ex |= LVS_EX_GRIDLINES;
                if (c.flatScrollBars) ex |= LVS_EX_FLATSB;
                SendMessageW(h, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
                for (size_t k = 0; k < c.columns.size(); ++k) {
                    std::wstring header = wide(c.columns[k].header);
                    LVCOLUMNW col{};
                    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
                    col.fmt = LVCFMT_LEFT;
                    col.cx = px(c.columns[k].width);
                    col.pszText = header.data();
                    col.iSubItem = static_cast<int>(k);
                    SendMessageW(h, LVM_INSERTCOLUMNW, k, reinterpret_cast<LPARAM>(&col));
                }
                models_[index] = std::make_unique<ui::ListModel>(static_cast<int>(c.columns.size()));
                break;
            }
            case ControlKind::ComboBox:
                for (const std::string& item : c.items)
                    SendMessageW(h, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
                if (!c.prompt.empty())
                    SendMessageW(h, CB_SETCUEBANNER, 0, reinterpret_cast<LPARAM>(wide(c.prompt).c_str()));
                break;
            case ControlKind::Tab:
                for (size_t k = 0; k < c.pages.size(); ++k) {
                    std::wstring page = wide(c.pages[k]);
                    TCITEMW item{};
                    item.mask = TCIF_TEXT;
                    item.pszText = page.data();
                    SendMessageW(h, TCM_INSERTITEMW, k, reinterpret_cast<LPARAM>(&item));
                }
                break;
            default:
                break;
        }
    }

    // A control is shown when its own flag says so and, on a tab page, when its page is in front.
    void applyVisibility(size_t i) {
        HWND h = controls_[i];
        if (!h) return;
        const ControlLayout& c = layout_.controls[i];
        bool show = visibleFlags_[i] && (c.tab.empty() || currentPage(c.tab) == c.page);
        ShowWindow(h, show ? SW_SHOWNA : SW_HIDE);
    }

    void showPageControls(std::string_view tab) {
        for (size_t i = 0; i < layout_.controls.size(); ++i)
            if (layout_.controls[i].tab == tab) applyVisibility(i);
    }

    void focusFirstControl() {
        for (HWND h : controls_)
            if (h && IsWindowVisible(h) && IsWindowEnabled(h) && (GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP)) {
                SetFocus(h);
                return;
            }
    }

    ui::ListModel* model(std::string_view name) {
        int i = layout_.indexOf(name);
        return i < 0 ? nullptr : models_[static_cast<size_t>(i)].get();
    }
    const ui::ListModel* model(std::string_view name) const {
        int i = layout_.indexOf(name);
        return i < 0 ? nullptr : models_[static_cast<size_t>(i)].get();
    }

    void syncCount(std::string_view name) {
        HWND h = control(name);
        SendMessageW(h, LVM_SETITEMCOUNT, static_cast<WPARAM>(rowCount(name)),
                     LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        InvalidateRect(h, nullptr, FALSE);
    }

    int indexOfId(int id) const {
        int i = id - ui::kFirstControlId;
        return i >= 0 && i < static_cast<int>(layout_.controls.size()) ? i : -1;
    }

    void onCommand(int id, int code) {
        int i = indexOfId(id);
        if (i < 0) return;
        const ControlLayout& c = layout_.controls[static_cast<size_t>(i)];
        if ((c.kind == ControlKind::Button || c.kind == ControlKind::Radio) && code == BN_CLICKED)
            raise(c.name, Event::Clicked);
        else if (c.kind == ControlKind::ComboBox && code == CBN_SELCHANGE)
            raise(c.name, Event::Selected);
    }

    LRESULT onNotify(NMHDR* hdr) {
        int i = indexOfId(static_cast<int>(hdr->idFrom));
        if (i < 0) return 0;
        const ControlLayout& c = layout_.controls[static_cast<size_t>(i)];
        switch (hdr->code) {
            case TCN_SELCHANGE:
                showPageControls(c.name);
                raise(c.name, Event::PageChanged);
                return 0;
            case LVN_GETDISPINFOW:
                fillDisplayText(c, reinterpret_cast<NMLVDISPINFOW*>(hdr)->item, static_cast<size_t>(i));
                return 0;
            case LVN_ENDLABELEDITW:
                // An item's text may be edited in place, but the edit is not kept: each row keeps the
                // name it was listed with, so it always names the file it stands for.
                return FALSE;
            default:
                return 0;
        }
    }

    void fillDisplayText(const ControlLayout& c, LVITEMW& item, size_t index) {
        if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
        const ui::ListModel* m = models_[index].get();
        const std::string_view cellText = m ? m->cell(item.iItem, item.iSubItem) : std::string_view();
        std::wstring shown = c.cells == ui::CellEncoding::Gbk ? text::gbkToWide(cellText) : wide(cellText);
        size_t n = std::min(shown.size(), static_cast<size_t>(item.cchTextMax - 1));
        std::copy_n(shown.begin(), n, item.pszText);
        item.pszText[n] = L'\0';
    }

    LRESULT onControlColour(HWND child, HDC dc) {
        int i = indexOfId(GetDlgCtrlID(child));
        if (i < 0) return 0;
        const ControlLayout& c = layout_.controls[static_cast<size_t>(i)];
        if (c.textColor) SetTextColor(dc, rgb(*c.textColor));
        if (c.backColor) {
            auto& brush = brushes_[static_cast<size_t>(i)];
            if (!brush) brush.reset(CreateSolidBrush(rgb(*c.backColor)));
            SetBkColor(dc, rgb(*c.backColor));
            return reinterpret_cast<LRESULT>(brush.get());
        }
        if (!c.tab.empty() && (c.kind == ControlKind::Label || c.kind == ControlKind::Radio)) {
            // On a tab page the text stands on the page's background: white where the tab
            // control is drawn themed, the face colour where it is drawn classic.
            static const auto themed = systemFunction<decltype(&::IsAppThemed)>(L"uxtheme.dll", "IsAppThemed");
            const int face = themed && themed() ? COLOR_WINDOW : COLOR_BTNFACE;
            SetBkColor(dc, GetSysColor(face));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(face));
        }
        if (c.kind == ControlKind::Edit) {
            // Edit boxes are black on white, read-only ones too.
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        if (c.textColor) {
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
        }
        return 0;
    }

    WindowLayout layout_;
    ui::Handlers handlers_;
    HWND owner_ = nullptr;
    HWND hwnd_ = nullptr;
    bool startWindow_ = false;
    UINT dpi_ = dpi::kDesign;
    bool modal_ = false;
    bool open_ = true;
    int handlerDepth_ = 0;
    std::vector<HWND> controls_;
    std::vector<bool> visibleFlags_;
    std::vector<std::unique_ptr<ui::ListModel>> models_;
    std::vector<UniqueGdi> brushes_;
    std::vector<UniqueGdi> fonts_;

    friend LRESULT CALLBACK linkLabelProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
};

// Esc closes the window it was pressed in, unless the focused control uses the key itself:
// an open drop-down list closes, an in-place edit of a list item is cancelled.
bool focusTakesEscape(HWND focus) {
    if (!focus) return false;
    wchar_t cls[64] = {};
    GetClassNameW(focus, cls, 64);
    if (lstrcmpiW(cls, WC_COMBOBOXW) == 0) return SendMessageW(focus, CB_GETDROPPEDSTATE, 0, 0) != 0;
    HWND parent = GetParent(focus);
    wchar_t parentCls[64] = {};
    if (parent) GetClassNameW(parent, parentCls, 64);
    return lstrcmpiW(parentCls, WC_LISTVIEWW) == 0;
}

// Keyboard handling shared by every message loop of the program; true when the message was used.
bool preTranslate(MSG& msg) {
    if (!msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Win32Window* window = root ? windowFromHandle(root) : nullptr;
    if (!window) return false;
    // A page in a browser gets its keys first: Tab, Enter and the arrows move through it, and
    // Esc closes the window only when the page has no use for it.
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        HWND browser = browserHolding(msg.hwnd);
        if (browser && browserTakesKey(browser, msg)) return true;
    }
    if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && !focusTakesEscape(GetFocus())) {
        window->close();
        return true;
    }
    return IsDialogMessageW(root, &msg) != FALSE;
}

void freeClosedModeless() {
    std::erase_if(g_modeless, [](const std::unique_ptr<Win32Window>& w) { return !w->isOpen() && !w->busy(); });
}

// One turn of a message loop; false once WM_QUIT has been taken from the queue.
bool pumpOne(int& exitCode) {
    MSG msg;
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
        return false;
    }
    if (!preTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    freeClosedModeless();
    return true;
}

void Win32Window::runModal() {
    modal_ = true;
    if (owner_) EnableWindow(owner_, FALSE);
    if (!create()) {
        if (owner_) EnableWindow(owner_, TRUE);
        return;
    }
    int exitCode = 0;
    while (isOpen()) {
        if (!pumpOne(exitCode)) {
            PostQuitMessage(exitCode);  // let the outer loop end the program
            break;
        }
    }
    if (owner_) EnableWindow(owner_, TRUE);
    if (isOpen()) DestroyWindow(hwnd_);
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
        auto* window = static_cast<Win32Window*>(create->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(window));
        window->attach(hwnd);
        dpi::scaleFrame(hwnd);
    }
    if (Win32Window* window = windowFromHandle(hwnd)) return window->handle(message, wp, lp);
    return DefWindowProcW(hwnd, message, wp, lp);
}

// Labels styled as links: the hand pointer, and a reaction as soon as the button goes down.
LRESULT CALLBACK linkLabelProc(HWND h, UINT message, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* window = reinterpret_cast<Win32Window*>(data);
    switch (message) {
        case WM_SETCURSOR:
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_LBUTTONDOWN: {
            int i = GetDlgCtrlID(h) - ui::kFirstControlId;
            if (i >= 0 && i < static_cast<int>(window->layout().controls.size()))
                window->raise(window->layout().controls[static_cast<size_t>(i)].name, Event::MouseDown);
            return 0;
        }
        case WM_NCDESTROY:
            RemoveWindowSubclass(h, linkLabelProc, 1);
            break;
    }
    return DefSubclassProc(h, message, wp, lp);
}

bool initialise(HINSTANCE instance) {
    static bool done = false;
    if (done) return true;
    g_instance = instance;
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_USEREX_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    done = RegisterClassExW(&wc) != 0;
    return done;
}

std::vector<std::unique_ptr<Win32Window>> g_testWindows;

}  // namespace

int runApplication(HINSTANCE instance, const WindowLayout& layout, ui::Handlers handlers) {
    if (!initialise(instance)) return 1;
    int exitCode = 0;
    {
        Win32Window start(layout, std::move(handlers), nullptr, true);
        if (!start.create()) return 1;
        if (start.isOpen())
            while (pumpOne(exitCode)) {
            }
    }
    g_modeless.clear();
    releaseOle();
    return exitCode;
}

ui::Window* openForTest(const WindowLayout& layout, ui::Handlers handlers) {
    if (!initialise(GetModuleHandleW(nullptr))) return nullptr;
    auto window = std::make_unique<Win32Window>(layout, std::move(handlers), nullptr, false);
    if (!window->create()) return nullptr;
    g_testWindows.push_back(std::move(window));
    return g_testWindows.back().get();
}

HWND handleOf(const ui::Window& window) {
    return static_cast<const Win32Window&>(window).hwnd();
}

HWND controlHandle(const ui::Window& window, std::string_view control) {
    return static_cast<const Win32Window&>(window).control(control);
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    freeClosedModeless();
}

}  // namespace lz::win32
