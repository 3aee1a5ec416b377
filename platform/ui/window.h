// The runtime face of a window built from a layout table. Handlers read and write control
// properties through this interface and never see which backend (Win32 or in-memory) is behind.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/handlers.h"
#include "platform/ui/layout.h"

namespace lz::ui {

class Window {
public:
    virtual ~Window() = default;

    virtual const WindowLayout& layout() const = 0;

    // Every operation on a control names it; a name the window's table does not have is a
    // programming error and throws UnknownControl naming the window and the control.
    // An exception thrown by a handler stops where its event is raised: the window goes on
    // (the Win32 window traces it, the in-memory window records it for the test to see).

    // Caption or text of a control, UTF-8 (a list view's cells are read with cell()). For a
    // browser it is the address; setting it makes the browser go there.
    virtual std::string text(std::string_view control) const = 0;
    virtual void setText(std::string_view control, std::string_view utf8) = 0;

    virtual bool enabled(std::string_view control) const = 0;
    virtual void setEnabled(std::string_view control, bool on) = 0;
    virtual bool visible(std::string_view control) const = 0;

    // Radio buttons: clicking one checks it and unchecks the others of its group.
    virtual bool checked(std::string_view control) const = 0;

    // Tab controls: the page in front. Bringing a page to the front from code raises no event.
    virtual int currentPage(std::string_view control) const = 0;
    virtual void setCurrentPage(std::string_view control, int page) = 0;

    // List views. Cells hold text in the list's cell encoding (UTF-8, or GBK bytes for lists
    // of scheme lines); the display decodes them. A list operation on a control that is not a
    // list throws WrongKind, as an unknown name throws UnknownControl.
    virtual int rowCount(std::string_view list) const = 0;
    virtual void appendRow(std::string_view list, std::vector<std::string> cells) = 0;
    virtual void appendRows(std::string_view list, std::vector<std::string> firstCells) = 0;
    // One row per line; the lines lie in `text`, which the list keeps instead of a copy of each.
    virtual void appendLines(std::string_view list, std::shared_ptr<const std::string> text,
                             std::vector<std::string_view> lines) = 0;
    // One row per line of the whole text (split as scheme lines are), kept the same way; the
    // lines of a first filling are only counted until a row is read.
    virtual void appendAllLines(std::string_view list, std::shared_ptr<const void> owner, std::string_view text) = 0;
    virtual std::string cell(std::string_view list, int row, int column) const = 0;
    virtual void removeRow(std::string_view list, int row) = 0;
    virtual int selectedRow(std::string_view list) const = 0;  // -1 when none

    // Shows a file dialog of this window; the chosen path (UTF-8), or nothing when cancelled.
    virtual std::optional<std::string> showFileDialog(std::string_view dialog) = 0;

    // A message box owned by this window: the text, caption "信息：", OK only, no icon.
    virtual void messageBox(std::string_view text) = 0;
    // A question in the same kind of box: the text, caption "信息：", Yes and No, no icon. True
    // for Yes; false for No, and when the box cannot be shown.
    virtual bool ask(std::string_view text) = 0;

    // Opens another window built from its layout. Modal returns when that window has closed;
    // modeless returns at once with the open window (nullptr if it could not be opened).
    virtual void openModal(const WindowLayout& layout, Handlers handlers) = 0;
    virtual Window* openModeless(const WindowLayout& layout, Handlers handlers) = 0;

    // Closes (destroys) this window; closing the start window ends the program.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Ends the whole program at once with the given exit code.
    virtual void exitProgram(int code) = 0;
};

}  // namespace lz::ui
