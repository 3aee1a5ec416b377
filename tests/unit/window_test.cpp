// The in-memory window: what handlers and tests rely on when no real window exists. What
// every window keeps is in window_contract.h, run here against this one.
#include <gtest/gtest.h>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "scheme/scheme.h"
#include "testing/ui/memory_window.h"
#include "tests/unit/window_contract.h"

namespace lz::ui {
namespace {

TEST(MemoryWindow, ClicksReachOnlyEnabledVisibleControlsOnTheFrontPage) {
    MemoryDesktop desktop;
    std::vector<std::string> clicked;
    Handlers h;
    using namespace editor::add_step_window;
    for (std::string_view name : {kAddRegistryStep, kAddHint})
        h.on(name, Event::Clicked, [&clicked, name](Window&) { clicked.emplace_back(name); });
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), std::move(h));

    EXPECT_TRUE(w.click(kAddRegistryStep));  // registry page is in front
    EXPECT_FALSE(w.click(kAddHint));         // hint page is behind it
    ASSERT_TRUE(w.switchPage(kPages, kHintStepPage));
    EXPECT_FALSE(w.click(kAddRegistryStep));
    EXPECT_TRUE(w.click(kAddHint));
    w.setEnabled(kAddHint, false);
    EXPECT_FALSE(w.click(kAddHint));
    EXPECT_EQ(clicked, (std::vector<std::string>{std::string(kAddRegistryStep), std::string(kAddHint)}));

    MemoryWindow& main = desktop.open(optimizer::mainWindowLayout(), {});
    EXPECT_FALSE(main.click(optimizer::main_window::kBuy));  // greyed from the start
}

TEST(MemoryWindow, TypingStopsAtTheLengthLimitInCharacters) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::mainWindowLayout(), {});
    std::string chinese;
    for (int i = 0; i < 25; ++i) chinese += "方";
    const std::string_view name = editor::main_window::kSchemeName;
    ASSERT_TRUE(w.type(name, chinese));
    EXPECT_EQ(w.text(name).size(), 20u * 3);  // 20 characters of 3 UTF-8 bytes
    // Code may set a longer text (a scheme name read from a file is shown whole).
    w.setText(name, chinese);
    EXPECT_EQ(w.text(name), chinese);
}

// A whole text is counted at once and viewed when a row is first read: the rows are the
// text's lines as splitLines makes them, whichever is done to them first.
TEST(ListModel, RowsOfAWholeTextAreItsLinesWhenFirstRead) {
    auto text = std::make_shared<const std::string>("a\r\nb\n\r\nc\r");
    const std::vector<std::string_view> lines = lz::scheme::splitLines(*text);
    ASSERT_EQ(lines.size(), 4u);
    for (int first = 0; first < 3; ++first) {
        SCOPED_TRACE(first);
        ListModel list;
        list.appendAllLines(text, *text);
        ASSERT_EQ(list.rows(), 4);
        if (first == 1) {
            EXPECT_TRUE(list.remove(3));
        }
        if (first == 2) list.appendFirstCells({"d"});
        for (int row = 0; row < 3; ++row) EXPECT_EQ(list.cell(row, 0), lines[static_cast<size_t>(row)]) << row;
        EXPECT_EQ(list.rows(), first == 1 ? 3 : first == 2 ? 5 : 4);
        if (first == 2) {
            EXPECT_EQ(list.cell(4, 0), "d");
        }
        list.appendAllLines(text, *text);  // behind other rows: copied
        EXPECT_EQ(list.cell(list.rows() - 2, 0), "");
        EXPECT_EQ(list.cell(list.rows() - 1, 0), "c\r");
    }
    ListModel twoColumns(2);
    twoColumns.appendAllLines(text, *text);
    EXPECT_EQ(twoColumns.rows(), 4);
    EXPECT_EQ(twoColumns.cell(3, 0), "c\r");

    // The list keeps what keeps the text (a mapped file, say) until its rows go.
    auto owner = std::make_shared<const std::string>("x\ny");
    const std::weak_ptr<const std::string> watched = owner;
    {
        ListModel kept;
        kept.appendAllLines(owner, *owner);
        owner.reset();
        EXPECT_FALSE(watched.expired());
        EXPECT_EQ(kept.cell(1, 0), "y");
    }
    EXPECT_TRUE(watched.expired());
}

TEST(ListModel, RowsViewingATextBehaveLikeRowsOfTheirOwn) {
    auto text = std::make_shared<const std::string>("a\r\nb\r\nc");
    ListModel list;
    list.appendLines(text, {std::string_view(*text).substr(0, 1), std::string_view(*text).substr(3, 1)});
    list.appendFirstCells({"d"});
    list.appendLines(text, {std::string_view(*text).substr(6, 1)});  // behind other rows: copied
    ASSERT_EQ(list.rows(), 4);
    EXPECT_EQ(list.cell(0, 0), "a");
    EXPECT_EQ(list.cell(2, 0), "d");
    EXPECT_EQ(list.cell(3, 0), "c");
    EXPECT_TRUE(list.remove(1));  // a viewed row
    EXPECT_EQ(list.cell(1, 0), "d");
    text.reset();  // the list keeps the text its rows view
    EXPECT_EQ(list.cell(0, 0), "a");
    EXPECT_EQ(list.cell(2, 0), "c");
    EXPECT_EQ(list.cell(3, 0), "");
    EXPECT_FALSE(list.remove(3));
    EXPECT_EQ(list.rows(), 3);
}

TEST(MemoryWindow, ModalWindowsRunTheirScriptAndAreClosedAfterwards) {
    MemoryDesktop desktop;
    MemoryWindow& main = desktop.open(optimizer::mainWindowLayout(), {});
    bool createdRan = false;
    std::string seen;
    desktop.whenModalOpens([&](MemoryWindow& modal) { seen = modal.layout().caption; });
    Handlers h;
    h.onCreated([&](Window&) { createdRan = true; });
    main.openModal(optimizer::managementWindowLayout(), std::move(h));
    EXPECT_TRUE(createdRan);
    EXPECT_EQ(seen, "方案管理");
    main.openModeless(optimizer::moreProductsWindowLayout(), {});

    ASSERT_EQ(desktop.openings.size(), 3u);
    EXPECT_EQ(desktop.openings[1].caption, "方案管理");  // after the start window
    EXPECT_TRUE(desktop.openings[1].modal);
    EXPECT_FALSE(desktop.openings[2].modal);
    // The start window and the modeless window stay open; the modal one has closed.
    EXPECT_EQ(desktop.openWindows().size(), 2u);
}

TEST(MemoryWindow, MessagesDialogsAndProgramExitAreRecorded) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::mainWindowLayout(), {});
    w.messageBox("成功！");
    w.messageBox("文件写入失败！");
    EXPECT_EQ(desktop.messages, (std::vector<std::string>{"成功！", "文件写入失败！"}));

    desktop.answerFileDialog("C:\\a.lzvt");
    desktop.answerFileDialog(std::nullopt);
    using editor::main_window::kOpenDialog;
    EXPECT_EQ(w.showFileDialog(kOpenDialog), "C:\\a.lzvt");
    EXPECT_EQ(w.showFileDialog(editor::main_window::kSaveAsDialog), std::nullopt);
    EXPECT_EQ(w.showFileDialog(kOpenDialog), std::nullopt);  // nothing queued: cancelled
    EXPECT_EQ(desktop.dialogsShown.size(), 3u);

    w.exitProgram(0);
    EXPECT_EQ(desktop.exitCode, 0);
    EXPECT_FALSE(w.isOpen());
}

// Questions are answered in the order the test queued the answers; one it did not foresee is
// answered No, the answer that changes nothing.
TEST(MemoryWindow, QuestionsAreRecordedApartAndAnsweredAsQueuedElseNo) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(optimizer::managementWindowLayout(), {});
    desktop.answerQuestion(true);
    desktop.answerQuestion(false);
    EXPECT_TRUE(w.ask("删除吗？"));
    EXPECT_FALSE(w.ask("真的删除吗？"));
    EXPECT_FALSE(w.ask("还要删除吗？"));
    EXPECT_EQ(desktop.questions, (std::vector<std::string>{"删除吗？", "真的删除吗？", "还要删除吗？"}));
    EXPECT_TRUE(desktop.messages.empty()) << "a question is no message box";
}

// A handler's exception stops where its event is raised: it is recorded with what it said,
// the window stays, and the next event runs its handler as before.
TEST(MemoryWindow, AnExceptionOfAHandlerStopsAtItsEventAndIsRecorded) {
    MemoryDesktop desktop;
    int later = 0;
    Handlers h;
    h.onCreated([](Window&) { throw std::runtime_error("no scheme folder"); });
    h.on("按钮1", Event::Clicked, [](Window&) { throw std::runtime_error("the list has no row 7"); });
    h.on("按钮2", Event::Clicked, [](Window& w) { w.text("按钮99"); });
    h.on("按钮3", Event::Clicked, [&](Window&) { ++later; });
    MemoryWindow& w = desktop.open(optimizer::managementWindowLayout(), std::move(h));
    EXPECT_TRUE(w.click("按钮1"));
    EXPECT_TRUE(w.click("按钮2"));
    EXPECT_TRUE(w.click("按钮3"));
    EXPECT_TRUE(w.isOpen());
    EXPECT_EQ(later, 1);
    ASSERT_EQ(desktop.stoppedExceptions.size(), 3u);
    EXPECT_EQ(desktop.stoppedExceptions[0], "the Created handler of \"方案管理\": no scheme folder");
    EXPECT_EQ(desktop.stoppedExceptions[1], "the Clicked handler of 按钮1 in \"方案管理\": the list has no row 7");
    EXPECT_NE(desktop.stoppedExceptions[2].find("the Clicked handler of 按钮2 in \"方案管理\": "), std::string::npos);
    EXPECT_NE(desktop.stoppedExceptions[2].find("按钮99", 30), std::string::npos) << desktop.stoppedExceptions[2];
}

// What a user does reaches only a control of the kind that takes it.
TEST(MemoryWindow, AUserActionOnAControlOfAnotherKindReachesNothing) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), {});
    using namespace editor::add_step_window;
    EXPECT_FALSE(w.pick(kPathBox, 0));
    EXPECT_FALSE(w.switchPage(kAddRegistryStep, 0));
    EXPECT_FALSE(w.switchPage(kPages, 2)) << "a page the tab does not have";
    EXPECT_THROW(w.selectRow(kPathBox, 0), WrongKind);
}

// The in-memory window as the user drives it, for the contract every window keeps.
struct MemoryBackend {
    MemoryDesktop desktop;
    Window& open(const WindowLayout& layout, Handlers handlers) { return desktop.open(layout, std::move(handlers)); }
    static MemoryWindow& memory(Window& w) { return static_cast<MemoryWindow&>(w); }
    void click(Window& w, std::string_view button) { EXPECT_TRUE(memory(w).click(button)) << button; }
    void pick(Window& w, std::string_view combo, int item) { EXPECT_TRUE(memory(w).pick(combo, item)) << combo; }
    void switchPage(Window& w, std::string_view tab, int page) { EXPECT_TRUE(memory(w).switchPage(tab, page)); }
    void selectRow(Window& w, std::string_view list, int row) { EXPECT_TRUE(memory(w).selectRow(list, row)); }
    ~MemoryBackend() { EXPECT_TRUE(desktop.stoppedExceptions.empty()) << desktop.stoppedExceptions.front(); }
};

using namespace contract;
INSTANTIATE_TYPED_TEST_SUITE_P(InMemory, WindowContract, MemoryBackend);

}  // namespace
}  // namespace lz::ui
