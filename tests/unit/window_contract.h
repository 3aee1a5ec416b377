// What every window backend promises the handlers, written once and run against each: the
// in-memory window the unit tests drive (window_test.cpp) and the real Win32 window
// (tests/e2e/window_win32.cpp). A backend for these tests opens windows and acts on them as a
// user would:
//
//   ui::Window& open(const ui::WindowLayout&, ui::Handlers);  // the window stays open
//   void click(ui::Window&, std::string_view button);
//   void pick(ui::Window&, std::string_view combo, int item);
//   void switchPage(ui::Window&, std::string_view tab, int page);
//   void selectRow(ui::Window&, std::string_view list, int row);
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/ui/window.h"

namespace lz::ui::contract {

namespace om = optimizer::main_window;
namespace omg = optimizer::management_window;
namespace ea = editor::add_step_window;

template <class Backend>
class WindowContract : public ::testing::Test {
protected:
    Backend backend;
};

TYPED_TEST_SUITE_P(WindowContract);

TYPED_TEST_P(WindowContract, StartsWithTheStateOfItsTable) {
    Window& w = this->backend.open(optimizer::mainWindowLayout(), {});
    EXPECT_EQ(w.text(om::kStart), "启动方案");
    EXPECT_FALSE(w.enabled(om::kBuy));
    EXPECT_TRUE(w.enabled(om::kChange));
    EXPECT_TRUE(w.visible(om::kChange));
    EXPECT_EQ(w.rowCount(om::kSchemeList), 0);
    EXPECT_EQ(w.selectedRow(om::kSchemeList), -1);
    Window& add = this->backend.open(editor::addStepWindowLayout(), {});
    EXPECT_TRUE(add.checked(ea::kDeleteChoice));
    EXPECT_FALSE(add.checked(ea::kWriteChoice));
    EXPECT_EQ(add.currentPage(ea::kPages), ea::kRegistryStepPage);
    EXPECT_EQ(add.text(ea::kTypeList), "") << "no type is picked at first";
}

TYPED_TEST_P(WindowContract, TheCreatedHandlerRunsOnceAsTheWindowOpens) {
    int created = 0;
    Handlers h;
    h.onCreated([&](Window& w) {
        ++created;
        w.setText(editor::main_window::kSchemeName, "from created");
    });
    Window& w = this->backend.open(editor::mainWindowLayout(), std::move(h));
    EXPECT_EQ(created, 1);
    EXPECT_EQ(w.text(editor::main_window::kSchemeName), "from created");
    EXPECT_TRUE(w.isOpen());
}

TYPED_TEST_P(WindowContract, AClickRunsTheHandlerBoundToThatButton) {
    std::vector<std::string> clicked;
    Handlers h;
    for (std::string_view name : {omg::kHowToInstall, omg::kExit})
        h.on(name, Event::Clicked, [&clicked, name](Window&) { clicked.emplace_back(name); });
    Window& w = this->backend.open(optimizer::managementWindowLayout(), std::move(h));
    this->backend.click(w, omg::kExit);
    this->backend.click(w, omg::kDelete);  // bound to nothing: nothing runs
    this->backend.click(w, omg::kHowToInstall);
    EXPECT_EQ(clicked, (std::vector<std::string>{std::string(omg::kExit), std::string(omg::kHowToInstall)}));
}

TYPED_TEST_P(WindowContract, APageChangeIsRaisedOnlyWhenTheUserChangesThePage) {
    int changes = 0;
    Handlers h;
    h.on(ea::kPages, Event::PageChanged, [&](Window&) { ++changes; });
    Window& w = this->backend.open(editor::addStepWindowLayout(), std::move(h));
    this->backend.switchPage(w, ea::kPages, ea::kHintStepPage);
    EXPECT_EQ(w.currentPage(ea::kPages), ea::kHintStepPage);
    this->backend.switchPage(w, ea::kPages, ea::kHintStepPage);  // already in front
    w.setCurrentPage(ea::kPages, ea::kRegistryStepPage);         // from code: no event
    EXPECT_EQ(w.currentPage(ea::kPages), ea::kRegistryStepPage);
    EXPECT_EQ(changes, 1);
}

TYPED_TEST_P(WindowContract, RadioButtonsOfOneGroupExcludeEachOther) {
    int clicks = 0;
    Handlers h;
    h.on(ea::kWriteChoice, Event::Clicked, [&](Window&) { ++clicks; });
    Window& w = this->backend.open(editor::addStepWindowLayout(), std::move(h));
    this->backend.click(w, ea::kWriteChoice);
    EXPECT_TRUE(w.checked(ea::kWriteChoice));
    EXPECT_FALSE(w.checked(ea::kDeleteChoice));
    this->backend.click(w, ea::kDeleteChoice);
    EXPECT_TRUE(w.checked(ea::kDeleteChoice));
    EXPECT_FALSE(w.checked(ea::kWriteChoice));
    EXPECT_EQ(clicks, 1);
}

TYPED_TEST_P(WindowContract, APickSetsTheEntryBeforeItsHandlerRuns) {
    std::string picked;
    Handlers h;
    h.on(ea::kTypeList, Event::Selected, [&](Window& w) { picked = w.text(ea::kTypeList); });
    Window& w = this->backend.open(editor::addStepWindowLayout(), std::move(h));
    w.setEnabled(ea::kTypeList, true);
    this->backend.pick(w, ea::kTypeList, 1);
    EXPECT_EQ(picked, "双字节值");
    EXPECT_EQ(w.text(ea::kTypeList), "双字节值");
}

TYPED_TEST_P(WindowContract, ListRowsKeepTheirCellsAndTheSelectionFollowsRemovals) {
    Window& w = this->backend.open(optimizer::managementWindowLayout(), {});
    const std::string_view list = omg::kSchemeList;
    w.appendRow(list, {"a.lzvt", "Optimal", "1"});
    w.appendRow(list, {"b.lzvt"});  // missing cells are empty
    w.appendRows(list, {"c.lzvt", "d.lzvt"});
    ASSERT_EQ(w.rowCount(list), 4);
    EXPECT_EQ(w.cell(list, 0, 2), "1");
    EXPECT_EQ(w.cell(list, 1, 1), "");
    EXPECT_EQ(w.cell(list, 3, 0), "d.lzvt");
    EXPECT_EQ(w.cell(list, 4, 0), "") << "past the end: empty, not a crash";

    this->backend.selectRow(w, list, 2);
    EXPECT_EQ(w.selectedRow(list), 2);
    w.removeRow(list, 0);  // rows after the removed one move up with their selection
    EXPECT_EQ(w.selectedRow(list), 1);
    EXPECT_EQ(w.cell(list, 1, 0), "c.lzvt");
    w.removeRow(list, 1);  // the selected row goes: nothing is selected
    EXPECT_EQ(w.selectedRow(list), -1);
    EXPECT_EQ(w.rowCount(list), 2);
    w.removeRow(list, 5);  // a row that is not there: nothing happens
    EXPECT_EQ(w.rowCount(list), 2);
}

TYPED_TEST_P(WindowContract, AWholeTextBecomesOneRowPerLineKeptAsItsBytes) {
    Window& w = this->backend.open(optimizer::runnerWindowLayout(), {});
    const std::string_view list = optimizer::runner_window::kSchemeLines;
    // "TSWB|提示" in GBK, a blank line, and a last line without its line break.
    auto text = std::make_shared<const std::string>("TSWB|\xCC\xE1\xCA\xBE\r\n\r\nSCZCX|HKEY_CURRENT_USER\\a");
    w.appendAllLines(list, text, *text);
    ASSERT_EQ(w.rowCount(list), 3);
    EXPECT_EQ(w.cell(list, 0, 0), "TSWB|\xCC\xE1\xCA\xBE");
    EXPECT_EQ(w.cell(list, 1, 0), "");
    EXPECT_EQ(w.cell(list, 2, 0), "SCZCX|HKEY_CURRENT_USER\\a");
}

// A control name the window does not have is an error of the caller, whichever operation it
// comes with, and the error names both.
TYPED_TEST_P(WindowContract, AnUnknownControlNameThrowsNamingTheWindowAndTheControl) {
    Window& w = this->backend.open(optimizer::managementWindowLayout(), {});
    EXPECT_THROW(w.text("按钮99"), UnknownControl);
    EXPECT_THROW(w.setText("按钮99", "x"), UnknownControl);
    EXPECT_THROW(w.setEnabled("按钮99", false), UnknownControl);
    EXPECT_THROW(w.checked("按钮99"), UnknownControl);
    EXPECT_THROW(w.currentPage("选择夹9"), UnknownControl);
    EXPECT_THROW(w.appendRow("超级列表框9", {"a"}), UnknownControl);
    EXPECT_THROW(w.selectedRow("超级列表框9"), UnknownControl);
    EXPECT_THROW(w.showFileDialog("通用对话框9"), UnknownControl);
    try {
        w.visible("按钮99");
        ADD_FAILURE() << "no exception";
    } catch (const UnknownControl& e) {
        EXPECT_NE(std::string(e.what()).find("按钮99"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("方案管理"), std::string::npos) << e.what();
    }
    EXPECT_EQ(w.rowCount(omg::kSchemeList), 0) << "a known name still works";
}

// A list operation on a control that is not a list is as much an error as an unknown name;
// other properties a kind does not have answer with nothing, and a change to them is ignored.
TYPED_TEST_P(WindowContract, AListOperationOnAnotherKindThrows) {
    Window& w = this->backend.open(editor::addStepWindowLayout(), {});
    EXPECT_THROW(w.appendRow(ea::kAddHint, {"a"}), WrongKind);
    EXPECT_THROW(w.rowCount(ea::kAddHint), WrongKind);
    EXPECT_THROW(w.selectedRow(ea::kPathBox), WrongKind);
    EXPECT_THROW(w.cell(ea::kTypeList, 0, 0), WrongKind);
    try {
        w.removeRow(ea::kPathBox, 0);
        ADD_FAILURE() << "no exception";
    } catch (const WrongKind& e) {
        EXPECT_NE(std::string(e.what()).find(ea::kPathBox), std::string::npos) << e.what();
    }
    w.setCurrentPage(ea::kPathBox, 1);
    EXPECT_EQ(w.currentPage(ea::kPathBox), -1);
    EXPECT_FALSE(w.checked(ea::kPathBox));
}

// A handler bound where nothing can raise it is refused as the window opens, before anything
// of the window is made.
TYPED_TEST_P(WindowContract, ABindingTheWindowCannotRaiseIsRefusedAsItOpens) {
    Handlers onPlainLabel;
    onPlainLabel.on("标签1", Event::MouseDown, [](Window&) {});
    EXPECT_THROW(this->backend.open(optimizer::mainWindowLayout(), std::move(onPlainLabel)), WrongKind);
    Handlers onMissing;
    onMissing.on("按钮99", Event::Clicked, [](Window&) {});
    EXPECT_THROW(this->backend.open(optimizer::mainWindowLayout(), std::move(onMissing)), UnknownControl);
}

REGISTER_TYPED_TEST_SUITE_P(WindowContract, StartsWithTheStateOfItsTable, TheCreatedHandlerRunsOnceAsTheWindowOpens,
                            AClickRunsTheHandlerBoundToThatButton, APageChangeIsRaisedOnlyWhenTheUserChangesThePage,
                            RadioButtonsOfOneGroupExcludeEachOther, APickSetsTheEntryBeforeItsHandlerRuns,
                            ListRowsKeepTheirCellsAndTheSelectionFollowsRemovals,
                            AWholeTextBecomesOneRowPerLineKeptAsItsBytes,
                            AnUnknownControlNameThrowsNamingTheWindowAndTheControl, AListOperationOnAnotherKindThrows,
                            ABindingTheWindowCannotRaiseIsRefusedAsItOpens);

}  // namespace lz::ui::contract
