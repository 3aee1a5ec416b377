// In-memory windows for unit tests: built from the same layout tables as the real windows,
// they hold texts, states, rows, selections and pages, and act like a user would (click, type,
// pick, press Esc). Message boxes are recorded and answered OK; questions are recorded and
// answered as the test says, No when it said nothing. What each kind of control holds and
// does is in memory/, one file per kind, as the Win32 window has it.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/list_model.h"
#include "platform/ui/window.h"
#include "testing/ui/memory/control.h"

namespace lz::ui {

class MemoryWindow;

// Everything the in-memory windows share: the record of what happened, and what the "user"
// will do when a modal window, a file dialog or a question comes up.
class MemoryDesktop {
public:
    struct Opening {
        std::string caption;
        bool modal;
    };

    // Opens a start window (raising its created event) and keeps it.
    MemoryWindow& open(const WindowLayout& layout, Handlers handlers);

    // The next modal window opened runs this script (after its created event) and is then
    // closed if the script left it open, as a user closing it from its title bar would.
    void whenModalOpens(std::function<void(MemoryWindow&)> script);
    // The next file dialog shown answers with this path, or cancels with nullopt.
    void answerFileDialog(std::optional<std::string> path);
    // The next question asked is answered Yes (true) or No; an unforeseen one is answered No.
    void answerQuestion(bool yes);

    std::vector<std::string> messages;      // every message box text, in order
    std::vector<std::string> questions;     // every question's text, in order
    std::vector<Opening> openings;          // every window opened, in order
    std::vector<std::string> dialogsShown;  // name of each file dialog shown
    std::optional<int> exitCode;            // set when the program asked to end
    // Each exception a handler threw, stopped where its event was raised, as
    // "<the handler>: <what it said>"; a test expects none unless it provokes one.
    std::vector<std::string> stoppedExceptions;

    // Modeless windows still open (and start windows).
    std::vector<MemoryWindow*> openWindows() const;

private:
    friend class MemoryWindow;
    MemoryWindow& create(const WindowLayout& layout, Handlers handlers, bool modal);

    std::deque<std::function<void(MemoryWindow&)>> modalScripts_;
    std::deque<std::optional<std::string>> fileAnswers_;
    std::deque<bool> questionAnswers_;
    std::vector<std::unique_ptr<MemoryWindow>> windows_;
};

class MemoryWindow final : public Window {
public:
    MemoryWindow(MemoryDesktop& desktop, const WindowLayout& layout, Handlers handlers);

    // What a user does. Each acts only on a visible, enabled control, as a real one would, and
    // returns whether it reached the control.
    bool click(std::string_view control);    // buttons and radio buttons
    bool mouseDown(std::string_view label);  // labels styled as links
    bool pick(std::string_view combo, int item);
    bool switchPage(std::string_view tab, int page);
    bool type(std::string_view edit, std::string_view utf8);  // replaces the text, up to the limit
    bool selectRow(std::string_view list, int row);           // -1 clears the selection
    void pressEsc() { close(); }

    MemoryDesktop& desktop() { return desktop_; }

    // Window
    const WindowLayout& layout() const override { return layout_; }
    std::string text(std::string_view control) const override;
    void setText(std::string_view control, std::string_view utf8) override;
    bool enabled(std::string_view control) const override;
    void setEnabled(std::string_view control, bool on) override;
    bool visible(std::string_view control) const override;
    bool checked(std::string_view control) const override;
    int currentPage(std::string_view control) const override;
    void setCurrentPage(std::string_view control, int page) override;
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
    void openModal(const WindowLayout& layout, Handlers handlers) override;
    Window* openModeless(const WindowLayout& layout, Handlers handlers) override;
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
    void exitProgram(int code) override;

    // Raises the window's created event (done by the desktop when it opens the window).
    void raiseCreated();

private:
    // The control of that name; a name the layout does not have is a programming error and
    // throws UnknownControl (as in the Win32 window), so a misspelt name shows at once.
    memory::Control& at(std::string_view control) const;
    // The list view of that name, or nullptr when the control is another kind.
    // The named list view; WrongKind for a control of another kind.
    memory::ListView& list(std::string_view control) const;
    bool reachable(std::string_view control) const;
    void raise(std::string_view control, Event event);

    MemoryDesktop& desktop_;
    WindowLayout layout_;
    Handlers handlers_;
    memory::Controls controls_;
    bool open_ = true;
};

}  // namespace lz::ui
