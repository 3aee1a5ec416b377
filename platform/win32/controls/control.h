// The controls of a Win32 window, one class per kind. Each kind says how its window is made
// (class, styles from the layout), how it is set up once made (font, limits, columns, items),
// how the window's operations read or set it, and what its notifications raise. The window
// itself only keeps them, in table order, and passes messages on to the one they are for.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/layout.h"
#include "platform/win32/handle.h"

namespace lz::win32::controls {

class Control;
class ListView;

// The window a control sits on, as the control's code sees it.
class Host {
public:
    virtual HWND hwnd() const = 0;
    virtual HINSTANCE instance() const = 0;
    virtual UINT dpi() const = 0;
    virtual const ui::WindowLayout& layout() const = 0;
    // The control at `index` in the table.
    virtual Control& controlAt(int index) = 0;
    // Runs the handler bound to the control's event, if any; an exception it throws stops there.
    virtual void raise(std::string_view control, ui::Event event) = 0;
    // Shows the controls on the page of `tab` in front and hides those behind it.
    virtual void showPageControls(std::string_view tab) = 0;

protected:
    ~Host() = default;
};

// What a kind's window is made of: its class and the styles it adds to every control's.
struct WindowClass {
    const wchar_t* name = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool caption = true;  // the layout's text is the window's caption
};

// The background of text standing on a tab page: white where the tab control is drawn themed,
// the face colour where it is drawn classic. Returns the brush, as WM_CTLCOLOR... does.
LRESULT pageColour(HDC dc);

// The windows' default font, the system's message font, at a DPI; made once per DPI.
HFONT defaultFont(UINT dpi);

class Control {
public:
    Control(Host& host, const ui::ControlLayout& layout, int index);
    virtual ~Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Makes the control's window and sets it up; false when it could not be made (or, for a
    // kind without a window of its own, always).
    virtual bool create();

    HWND handle() const { return handle_; }
    const ui::ControlLayout& layout() const { return layout_; }
    int index() const { return index_; }
    int id() const { return id_; }
    const std::string& name() const { return layout_.name; }

    // The window's operations on this control. The defaults are those of any child window;
    // a kind without a property answers with nothing (false, -1, empty) and ignores a change.
    virtual std::string text() const;
    virtual void setText(std::string_view utf8);
    bool enabled() const;
    void setEnabled(bool on);
    bool visible() const { return visible_; }
    virtual bool checked() const { return false; }
    virtual int currentPage() const { return -1; }
    virtual void setCurrentPage(int) {}
    virtual ListView* list() { return nullptr; }
    virtual std::optional<std::string> showDialog() { return std::nullopt; }

    // Messages about the control, passed on by the window.
    virtual void onCommand(int) {}
    virtual LRESULT onNotify(NMHDR&) { return 0; }
    // WM_CTLCOLOR...: the brush to paint with, or 0 for the system's.
    LRESULT onColour(HDC dc);
    // The window's DPI changed: place and font again.
    virtual void onDpiChanged();

    // Shown when its own flag says so and, on a tab page, when its page is in front.
    void applyVisibility();
    // Tab controls lie beneath the controls of their pages.
    virtual bool liesBeneath() const { return false; }

protected:
    virtual WindowClass windowClass() const = 0;
    // Sets the control up once its window is made and has its font.
    virtual void configure() {}
    // The colours of the kind when the layout gives no background: 0 for the system's.
    virtual LRESULT kindColour(HDC dc);
    // The control's rectangle in the client area at the window's DPI.
    virtual RECT place() const;

    int px(int value) const;
    // The font of the layout at the window's DPI, or the default one; the control keeps it.
    HFONT font();
    // The message sent to the control's window.
    LRESULT send(UINT message, WPARAM wp = 0, LPARAM lp = 0) const { return SendMessageW(handle_, message, wp, lp); }

    Host& host_;
    HWND handle_ = nullptr;

private:
    DWORD style(const WindowClass& cls) const;

    const ui::ControlLayout& layout_;
    int index_;
    int id_;
    bool visible_;
    UniqueFont font_;
    UniqueBrush background_;
};

// One maker per kind (each in the kind's own file); controls::make picks the one for a kind.
std::unique_ptr<Control> makeButton(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeRadio(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeLabel(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeEdit(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeRichEdit(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeListView(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeComboBox(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeTab(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeFileDialog(Host& host, const ui::ControlLayout& layout, int index);
std::unique_ptr<Control> makeBrowser(Host& host, const ui::ControlLayout& layout, int index);

// The control of the layout's kind, not yet made (create() makes it).
std::unique_ptr<Control> make(Host& host, const ui::ControlLayout& layout, int index);

}  // namespace lz::win32::controls
