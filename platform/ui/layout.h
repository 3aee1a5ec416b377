// Windows as data: a window is a layout table (caption, outer size, frame, and one entry per
// control). The same table builds the real Win32 window and the in-memory window that unit
// tests drive, so handlers never depend on which backend they run over.
#pragma once

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lz::ui {

enum class ControlKind {
    Button,
    Label,
    Edit,        // single- or multi-line edit box
    RichEdit,    // multi-line rich text box
    ListView,    // report-style list view
    ComboBox,    // drop-down list: the user picks an entry, never types
    Radio,       // radio button; consecutive radios with the same group form one group
    Tab,         // tab control; controls name it as their owner to sit on one of its pages
    FileDialog,  // open-file dialog: no window area of its own
    Browser,     // embedded web browser with an address property
};

// What a window raises: for each, the handler bound to it (platform/ui/handlers.h), if any, runs.
enum class Event {
    Created,      // the window's created event, raised before it is first shown
    Clicked,      // button or radio button clicked
    MouseDown,    // left mouse button pressed on a label styled as a link
    Selected,     // combo-box entry picked
    PageChanged,  // the user brought another tab page to the front
};

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Color {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Color&, const Color&) = default;
};

struct Font {
    std::string face;  // UTF-8
    int height = 0;    // character height in pixels
    bool bold = false;
    bool underline = false;
    bool gb2312Charset = false;
    bool fixedPitch = false;  // every character as wide as the next, for drawings made of characters
    friend bool operator==(const Font&, const Font&) = default;
};

struct Column {
    std::string header;
    int width = 0;
};

// How the cells of a list view are encoded. Scheme rows stay GBK bytes in the model and are
// only decoded for display; everything else in the programs is UTF-8.
enum class CellEncoding { Utf8, Gbk };

struct ControlLayout {
    // Made, copied and destroyed out of line: a table's controls are many, and each would
    // otherwise carry the code for all the members below.
    ControlLayout();
    ControlLayout(const ControlLayout&);
    ControlLayout(ControlLayout&&) noexcept;
    ControlLayout& operator=(const ControlLayout&);
    ControlLayout& operator=(ControlLayout&&) noexcept;
    ~ControlLayout();

    std::string name;  // `按钮1`, `超级列表框1`, ... unique within one window
    ControlKind kind = ControlKind::Button;
    Rect rect;         // client coordinates; for a control on a tab page, relative to the tab control
    std::string text;  // caption or initial text (UTF-8)

    // Initial state.
    bool enabled = true;
    bool visible = true;
    bool checked = false;  // radio buttons
    // A text holder that lies below the client area: never seen, so it never takes the focus.
    bool holder = false;

    // Placement on a tab page: the owning tab control's name and the page index.
    std::string tab;
    int page = -1;

    // Edit boxes and rich text boxes.
    bool multiline = false;
    bool readOnly = false;
    bool vscroll = false;
    bool border = true;
    bool hideSelection = true;
    int limit = 0;  // maximum length in characters; 0 = none

    // Colours and font (labels and edit boxes).
    std::optional<Color> textColor;
    std::optional<Color> backColor;
    std::optional<Font> font;

    // Label styled as a link: hand pointer; it reacts when the mouse button goes down.
    bool link = false;

    // List views.
    std::vector<Column> columns;
    bool fullRowSelect = false;
    bool gridLines = false;
    bool editLabels = false;  // in-place editing of an item's text
    bool flatScrollBars = false;
    CellEncoding cells = CellEncoding::Utf8;

    // Combo boxes: entries and the prompt shown while none is picked.
    std::vector<std::string> items;
    std::string prompt;

    // Tab controls: page captions in order.
    std::vector<std::string> pages;

    // File dialogs.
    std::string filter;  // "description|pattern", as shown in the design
    std::string defaultExtension;
    bool fileMustExist = false;
    bool pathMustExist = false;
    bool promptCreate = false;
};

// A window asked for something its table does not have: a programming error, thrown by both
// window backends. Its own type rather than a library exception, whose string would bring the
// library's reference-counted strings into the programs.
class TableMismatch : public std::exception {
public:
    explicit TableMismatch(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// A control name the window's table does not have.
class UnknownControl final : public TableMismatch {
public:
    using TableMismatch::TableMismatch;
};

// A control asked for what its kind does not do: a list operation on a button, a handler bound
// to an event the control never raises.
class WrongKind final : public TableMismatch {
public:
    using TableMismatch::TableMismatch;
};

struct WindowLayout {
    std::string caption;
    int width = 0, height = 0;  // outer size, frame and title bar included
    bool closeButton = true;
    bool icon = false;  // carries the program icon
    std::vector<ControlLayout> controls;

    const ControlLayout* find(std::string_view name) const;
    // Index of a control in the table, or -1. Win32 control ids are derived from it.
    int indexOf(std::string_view name) const;
    // The Win32 control id of the named control: kFirstControlId + its index. Throws
    // UnknownControl for a name the table does not have, so that a test or benchmark
    // that finds a control by id never silently finds another one.
    int idOf(std::string_view name) const;
    // The name of the control with that id; empty when no control has it.
    std::string_view nameOfId(int id) const;
    // Absolute client rectangle: a control on a tab page is placed relative to its tab control.
    Rect clientRect(const ControlLayout& c) const;
};

// Control ids of the Win32 backend: stable, derived from the table order. Find them by name
// with WindowLayout::idOf, never by number.
constexpr int kFirstControlId = 1000;

// The caption every message box of the suite carries.
inline constexpr std::string_view kMessageCaption = "信息：";

}  // namespace lz::ui
