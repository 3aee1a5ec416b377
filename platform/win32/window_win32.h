// A top-level window of the programs: made from its layout table, it keeps one control object
// per entry of the table (win32/controls/) and passes each control's messages to it.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/ui/window.h"
#include "platform/win32/controls/control.h"
#include "platform/win32/handle.h"

namespace lz::win32 {

// The class every window of the programs is made of.
inline constexpr wchar_t kWindowClass[] = L"LzVantorWindow";

class Win32Window final : public ui::Window, private controls::Host {
public:
    // How the window stands to the others.
    struct Opening {
        HWND owner = nullptr;  // a modal window's owner, disabled while it is open
        bool modal = false;
        bool endsProgram = false;  // the start window: closing it ends the message loop
    };

    // Makes the window and its controls, raises its created event, then shows it (unless the
    // handler closed it). Nullptr when the window cannot be made.
    static std::unique_ptr<Win32Window> open(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers,
                                             Opening opening);
    // The program's own window of that handle, or nullptr: only these are taken for one, as
    // another window of the thread (a message box, the browser's) may keep anything in its
    // user data.
    static Win32Window* fromHandle(HWND hwnd);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp);

    Win32Window(HINSTANCE instance, const ui::WindowLayout& layout, ui::Handlers handlers, Opening opening);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND hwnd() const override { return hwnd_; }
    // A handler (or a dialog shown by one) of this window is running.
    bool busy() const { return handlerDepth_ > 0; }
    // The window of a control, nullptr for one without a window (a file dialog).
    HWND controlHandle(std::string_view name) const { return at(name).handle(); }

    // ---- ui::Window ----
    const ui::WindowLayout& layout() const override { return layout_; }
    std::string text(std::string_view name) const override { return at(name).text(); }
    void setText(std::string_view name, std::string_view utf8) override { at(name).setText(utf8); }
    bool enabled(std::string_view name) const override { return at(name).enabled(); }
    void setEnabled(std::string_view name, bool on) override { at(name).setEnabled(on); }
    bool visible(std::string_view name) const override { return at(name).visible(); }
    bool checked(std::string_view name) const override { return at(name).checked(); }
    int currentPage(std::string_view name) const override { return at(name).currentPage(); }
    void setCurrentPage(std::string_view name, int page) override { at(name).setCurrentPage(page); }
    int rowCount(std::string_view list) const override;
    void appendRow(std::string_view list, std::vector<std::string> cells) override;
    void appendRows(std::string_view list, std::vector<std::string> firstCells) override;
    void appendLines(std::string_view list, std::shared_ptr<const std::string> text,
                     std::vector<std::string_view> lines) override;
    void appendAllLines(std::string_view list, std::shared_ptr<const void> owner, std::string_view text) override;
    std::string cell(std::string_view list, int row, int column) const override;
    void removeRow(std::string_view list, int row) override;
    int selectedRow(std::string_view list) const override;
    std::optional<std::string> showFileDialog(std::string_view dialog) override;
    void messageBox(std::string_view text) override;
    bool ask(std::string_view text) override;
    void openModal(const ui::WindowLayout& layout, ui::Handlers handlers) override;
    Window* openModeless(const ui::WindowLayout& layout, ui::Handlers handlers) override;
    void close() override;
    bool isOpen() const override { return open_ && hwnd_ != nullptr; }
    void exitProgram(int code) override { ExitProcess(static_cast<UINT>(code)); }

private:
    // ---- controls::Host ----
    HINSTANCE instance() const override { return instance_; }
    UINT dpi() const override { return dpi_; }
    controls::Control& controlAt(int index) override { return *controls_[static_cast<size_t>(index)]; }
    void raise(std::string_view control, ui::Event event) override;
    void showPageControls(std::string_view tab) override;

    // The control of that name; throws UnknownControl for a name the table lacks.
    controls::Control& at(std::string_view name) const;
    // The control of that id, or nullptr.
    controls::Control* byId(int id) const;
    // The list view of that name, or nullptr when the control is another kind.
    // The named list view; WrongKind for a control of another kind.
    controls::ListView& list(std::string_view name) const;

    bool create();
    void createControls();
    // A box of the suite's messages owned by this window: the text, caption "信息：", the
    // buttons of `type` (MB_OK, MB_YESNO), no icon; the button pressed.
    int showBox(std::string_view text, UINT type);
    LRESULT handle(UINT message, WPARAM wp, LPARAM lp);
    void attach(HWND hwnd);
    void detach();
    RECT centredPlace() const;
    void setProgramIcon();
    void focusFirstControl();
    void moveFocus(WPARAM wp, LPARAM lp);
    void onDpiChanged(UINT newDpi, const RECT* suggested);
    LRESULT onControlColour(HWND child, HDC dc);

    HINSTANCE instance_;
    ui::WindowLayout layout_;
    ui::Handlers handlers_;
    Opening opening_;
    HWND hwnd_ = nullptr;
    UINT dpi_;
    bool open_ = true;
    int handlerDepth_ = 0;
    std::vector<std::unique_ptr<controls::Control>> controls_;
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
};

}  // namespace lz::win32
