// The in-memory window: what handlers and tests rely on when no real window exists.
#include <gtest/gtest.h>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "scheme/scheme.h"
#include "testing/ui/memory_window.h"

namespace lz::ui {
namespace {

TEST(MemoryWindow, StartsWithTheStateOfItsLayout) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(optimizer::mainWindowLayout(), {});
    EXPECT_EQ(w.text("按钮1"), "启动方案");
    EXPECT_FALSE(w.enabled("按钮9"));
    EXPECT_TRUE(w.enabled("按钮10"));
    EXPECT_EQ(w.rowCount("超级列表框1"), 0);
    EXPECT_EQ(w.selectedRow("超级列表框1"), -1);
    EXPECT_THROW(w.text("按钮99"), ui::UnknownControl);
}

TEST(MemoryWindow, CreatedEventRunsOnceWhenOpened) {
    MemoryDesktop desktop;
    int created = 0;
    Handlers h;
    h.onCreated([&](Window& w) {
        ++created;
        w.setText("编辑框2", "from created");
    });
    MemoryWindow& w = desktop.open(editor::mainWindowLayout(), std::move(h));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(w.text("编辑框2"), "from created");
}

TEST(MemoryWindow, ClicksReachOnlyEnabledVisibleControlsOnTheFrontPage) {
    MemoryDesktop desktop;
    std::vector<std::string> clicked;
    Handlers h;
    for (const char* name : {"按钮1", "按钮2"})
        h.on(name, Event::Clicked, [&clicked, name](Window&) { clicked.push_back(name); });
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), std::move(h));

    EXPECT_TRUE(w.click("按钮1"));   // registry page is in front
    EXPECT_FALSE(w.click("按钮2"));  // hint page is behind it
    ASSERT_TRUE(w.switchPage("选择夹1", editor::kHintStepPage));
    EXPECT_FALSE(w.click("按钮1"));
    EXPECT_TRUE(w.click("按钮2"));
    w.setEnabled("按钮2", false);
    EXPECT_FALSE(w.click("按钮2"));
    EXPECT_EQ(clicked, (std::vector<std::string>{"按钮1", "按钮2"}));

    MemoryWindow& main = desktop.open(optimizer::mainWindowLayout(), {});
    EXPECT_FALSE(main.click("按钮9"));  // greyed from the start
}

TEST(MemoryWindow, PageChangedFiresOnlyWhenThePageChanges) {
    MemoryDesktop desktop;
    int changes = 0;
    Handlers h;
    h.on("选择夹1", Event::PageChanged, [&](Window&) { ++changes; });
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), std::move(h));
    w.switchPage("选择夹1", 1);
    w.switchPage("选择夹1", 1);
    w.setCurrentPage("选择夹1", 0);  // from code: no event
    EXPECT_FALSE(w.switchPage("选择夹1", 2));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(w.currentPage("选择夹1"), 0);
}

TEST(MemoryWindow, RadioButtonsOfOneGroupExcludeEachOther) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), {});
    EXPECT_TRUE(w.checked("单选框1"));
    w.click("单选框2");
    EXPECT_TRUE(w.checked("单选框2"));
    EXPECT_FALSE(w.checked("单选框1"));
    w.setChecked("单选框1", true);
    EXPECT_FALSE(w.checked("单选框2"));
}

TEST(MemoryWindow, TypingStopsAtTheLengthLimitInCharacters) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::mainWindowLayout(), {});
    std::string chinese;
    for (int i = 0; i < 25; ++i) chinese += "方";
    ASSERT_TRUE(w.type("编辑框2", chinese));
    EXPECT_EQ(w.text("编辑框2").size(), 20u * 3);  // 20 characters of 3 UTF-8 bytes
    // Code may set a longer text (a scheme name read from a file is shown whole).
    w.setText("编辑框2", chinese);
    EXPECT_EQ(w.text("编辑框2"), chinese);
}

TEST(MemoryWindow, ComboPickSetsTheEntryAndRaisesTheEvent) {
    MemoryDesktop desktop;
    std::string picked;
    Handlers h;
    h.on("组合框1", Event::Selected, [&](Window& w) { picked = w.text("组合框1"); });
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), std::move(h));
    EXPECT_EQ(w.selectedItem("组合框1"), -1);
    EXPECT_EQ(w.text("组合框1"), "");
    EXPECT_FALSE(w.pick("组合框1", 3));
    ASSERT_TRUE(w.pick("组合框1", 1));
    EXPECT_EQ(picked, "双字节值");
}

TEST(MemoryWindow, ListRowsSelectionAndRemoval) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(optimizer::managementWindowLayout(), {});
    const char* list = "超级列表框1";
    w.appendRow(list, {"a.lzvt", "Optimal", "1"});
    w.appendRow(list, {"b.lzvt"});
    w.appendRows(list, {"c.lzvt", "d.lzvt"});
    ASSERT_EQ(w.rowCount(list), 4);
    EXPECT_EQ(w.cell(list, 0, 2), "1");
    EXPECT_EQ(w.cell(list, 1, 1), "");
    EXPECT_EQ(w.cell(list, 3, 0), "d.lzvt");
    EXPECT_EQ(w.cell(list, 4, 0), "");  // past the end: empty, not a crash
    w.setCell(list, 2, 1, "Optimal");
    EXPECT_EQ(w.cell(list, 2, 1), "Optimal");

    w.selectRow(list, 2);
    w.removeRow(list, 0);  // rows after the removed one move up with their selection
    EXPECT_EQ(w.selectedRow(list), 1);
    EXPECT_EQ(w.cell(list, 1, 0), "c.lzvt");
    w.removeRow(list, 1);  // the selected row goes: nothing is selected
    EXPECT_EQ(w.selectedRow(list), -1);
    w.selectRow(list, 7);
    EXPECT_EQ(w.selectedRow(list), -1);
    w.clearRows(list);
    EXPECT_EQ(w.rowCount(list), 0);
}

// A whole text is counted at once and viewed when a row is first read: the rows are the
// text's lines as splitLines makes them, whichever is done to them first.
TEST(ListModel, RowsOfAWholeTextAreItsLinesWhenFirstRead) {
    auto text = std::make_shared<const std::string>("a\r\nb\n\r\nc\r");
    const std::vector<std::string_view> lines = lz::scheme::splitLines(*text);
    ASSERT_EQ(lines.size(), 4u);
    for (int first = 0; first < 4; ++first) {
        SCOPED_TRACE(first);
        ListModel list;
        list.appendAllLines(text, *text);
        ASSERT_EQ(list.rows(), 4);
        if (first == 1) {
            EXPECT_TRUE(list.remove(3));
        }
        if (first == 2) {
            EXPECT_TRUE(list.set(1, 0, "B"));
        }
        if (first == 3) list.appendFirstCells({"d"});
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(list.cell(row, 0), first == 2 && row == 1 ? "B" : lines[static_cast<size_t>(row)]) << row;
        EXPECT_EQ(list.rows(), first == 1 ? 3 : first == 3 ? 5 : 4);
        if (first == 3) {
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
    ListModel kept;
    kept.appendAllLines(owner, *owner);
    owner.reset();
    EXPECT_FALSE(watched.expired());
    EXPECT_EQ(kept.cell(1, 0), "y");
    kept.clear();
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
    EXPECT_TRUE(list.set(0, 0, "A"));  // a change takes the rows over from the text
    text.reset();
    EXPECT_EQ(list.cell(0, 0), "A");
    EXPECT_EQ(list.cell(2, 0), "c");
    EXPECT_EQ(list.cell(3, 0), "");
    list.clear();
    EXPECT_EQ(list.rows(), 0);
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
    EXPECT_EQ(w.showFileDialog("通用对话框1"), "C:\\a.lzvt");
    EXPECT_EQ(w.showFileDialog("通用对话框2"), std::nullopt);
    EXPECT_EQ(w.showFileDialog("通用对话框1"), std::nullopt);  // nothing queued: cancelled
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

// A control name the window does not have is an error of the caller, whichever operation it
// comes with; the Win32 window answers the same way (tests/e2e/window_win32.cpp).
TEST(MemoryWindow, AnUnknownControlNameThrowsNamingTheWindowAndTheControl) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(optimizer::managementWindowLayout(), {});
    EXPECT_THROW(w.setText("按钮99", "x"), ui::UnknownControl);
    EXPECT_THROW(w.setEnabled("按钮99", false), ui::UnknownControl);
    EXPECT_THROW(w.checked("按钮99"), ui::UnknownControl);
    EXPECT_THROW(w.appendRow("超级列表框9", {"a"}), ui::UnknownControl);
    EXPECT_THROW(w.selectRow("超级列表框9", 0), ui::UnknownControl);
    EXPECT_THROW(w.showFileDialog("通用对话框9"), ui::UnknownControl);
    EXPECT_THROW(w.click("按钮99"), ui::UnknownControl);
    try {
        w.visible("按钮99");
        ADD_FAILURE() << "no exception";
    } catch (const ui::UnknownControl& e) {
        EXPECT_NE(std::string(e.what()).find("按钮99"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("方案管理"), std::string::npos) << e.what();
    }
    EXPECT_TRUE(desktop.dialogsShown.empty()) << "an unknown dialog is never shown";
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

// Asked for a property its kind does not have, a control answers with nothing, in both
// backends, and a change to it is ignored.
TEST(MemoryWindow, AControlAnswersOnlyForWhatItsKindHas) {
    MemoryDesktop desktop;
    MemoryWindow& w = desktop.open(editor::addStepWindowLayout(), {});
    w.appendRow("按钮1", {"a"});
    EXPECT_EQ(w.rowCount("按钮1"), 0);
    EXPECT_EQ(w.selectedRow("按钮1"), -1);
    EXPECT_EQ(w.selectedItem("编辑框1"), -1);
    w.setCurrentPage("编辑框1", 1);
    EXPECT_EQ(w.currentPage("编辑框1"), -1);
    EXPECT_FALSE(w.pick("编辑框1", 0));
    EXPECT_FALSE(w.switchPage("按钮1", 0));
}

}  // namespace
}  // namespace lz::ui
