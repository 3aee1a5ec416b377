// The optimizer's main window and management window over real files in a temporary folder.
#include <gtest/gtest.h>

#include <charconv>
#include <filesystem>
#include <fstream>

#include "optimizer/app.h"
#include "optimizer/layouts.h"
#include "testing/memory_files.h"
#include "testing/memory_process.h"
#include "testing/memory_registry.h"
#include "testing/memory_shell.h"
#include "testing/portable_files.h"
#include "testing/ui/memory_window.h"

namespace lz::optimizer {
namespace {

namespace fs = std::filesystem;
using ui::MemoryDesktop;
using ui::MemoryWindow;

struct FixedClock final : clock::Clock {
    clock::LocalTime time{2026, 12, 9, 8, 7, 6};
    clock::LocalTime now() override { return time; }
};

class OptimizerApp : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            fs::temp_directory_path() / ("lz-app-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "Optimal");
        process_.directory = root_.string();
    }
    void TearDown() override {
        // A handler that threw would otherwise only leave its record behind.
        EXPECT_TRUE(desktop_.stoppedExceptions.empty()) << desktop_.stoppedExceptions.front();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    void install(const std::string& name, const std::string& bytes) {
        std::ofstream(root_ / "Optimal" / name, std::ios::binary) << bytes;
    }
    MemoryWindow& start() { return desktop_.open(mainWindowLayout(), mainWindowHandlers(state_, services())); }
    Services services() { return {registry_, files_, process_, shell_, clock_}; }
    std::string folder() const { return root_.string() + "\\Optimal\\"; }

    fs::path root_;
    MemoryDesktop desktop_;
    registry::MemoryRegistry registry_;
    test_support::PortableFiles files_;
    process::MemoryProcess process_;
    shell::MemoryShell shell_;
    FixedClock clock_;
    ProgramState state_;
};

std::vector<std::string> column(MemoryWindow& w, int col) {
    std::vector<std::string> cells;
    for (int r = 0; r < w.rowCount(main_window::kSchemeList); ++r)
        cells.push_back(w.cell(main_window::kSchemeList, r, col));
    std::sort(cells.begin(), cells.end());
    return cells;
}

TEST_F(OptimizerApp, CatalogueListsSchemeFilesOnceAtStart) {
    install("a.lzvt", "TSWB|a\r\nA");
    install("b.lzvt", "TSWB|b\r\nB");
    install("notes.txt", "x");
    fs::create_directories(root_ / "Optimal" / "folder.lzvt");
    MemoryWindow& w = start();
    EXPECT_EQ(column(w, 0), (std::vector<std::string>{"a.lzvt", "b.lzvt"}));
    install("c.lzvt", "TSWB|c\r\nC");
    EXPECT_EQ(w.rowCount(main_window::kSchemeList), 2) << "a scheme added later shows after a restart";
}

TEST_F(OptimizerApp, MissingSchemeFolderGivesAnEmptyList) {
    fs::remove_all(root_ / "Optimal");
    MemoryWindow& w = start();
    EXPECT_EQ(w.rowCount(main_window::kSchemeList), 0);
    EXPECT_TRUE(desktop_.messages.empty());
}

TEST_F(OptimizerApp, StartingNeedsASelectionAndRunsTheSelectedScheme) {
    install("only.lzvt", "TSWB|hello\r\nname");
    MemoryWindow& w = start();
    state_.run = SchemeRun(files::shareBytes("TSWB|a\r\nTSWB|b\r\nname"));
    state_.run.advance();  // a run on its step 1
    w.click(main_window::kStart);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kNoSchemeSelectedMessage}));
    EXPECT_EQ(desktop_.openings.size(), 1u) << "no window opened";
    EXPECT_EQ(state_.run.stepCounter(), 2);

    std::string shown;
    std::size_t stepsWhileOpen = 0;
    desktop_.whenModalOpens([&](MemoryWindow& runner) {
        shown = runner.text(runner_window::kHintBox);
        stepsWhileOpen = state_.run.steps().size();
    });
    w.selectRow(main_window::kSchemeList, 0);
    w.click(main_window::kStart);
    EXPECT_EQ(shown, "hello");
    EXPECT_EQ(desktop_.openings.back().caption, runnerWindowLayout().caption);
    // The run's steps and the file's bytes are let go with its window: the file is free again.
    EXPECT_EQ(stepsWhileOpen, 1u);
    EXPECT_TRUE(state_.run.steps().empty());
    EXPECT_EQ(state_.run.text().owner, nullptr);
}

TEST_F(OptimizerApp, ASchemeDeletedSinceTheStartMeetsTheEmptySchemeMessage) {
    install("gone.lzvt", "TSWB|x\r\nname");
    MemoryWindow& w = start();
    fs::remove(root_ / "Optimal" / "gone.lzvt");
    w.selectRow(main_window::kSchemeList, 0);
    w.click(main_window::kStart);
    EXPECT_EQ(desktop_.messages.back(), kEmptySchemeMessage);
    EXPECT_EQ(desktop_.exitCode, 0);
}

TEST_F(OptimizerApp, EditorIsStartedWithQuotedPaths) {
    process_.directory = "C:\\Program Files\\LZ Vantor";
    MemoryWindow& w = start();
    w.appendRows(main_window::kSchemeList, {"我的 方案.lzvt"});
    w.click(main_window::kMake);
    w.click(main_window::kChange);  // no selection: the folder itself
    w.selectRow(main_window::kSchemeList, 0);
    w.click(main_window::kChange);
    const std::string exe = "\"C:\\Program Files\\LZ Vantor\\lzvtEditor.exe\"";
    EXPECT_EQ(process_.started, (std::vector<std::string>{
                                    exe,
                                    exe + " \"C:\\Program Files\\LZ Vantor\\Optimal\\\"",
                                    exe + " \"C:\\Program Files\\LZ Vantor\\Optimal\\我的 方案.lzvt\"",
                                }));
    process_.startSucceeds = false;
    w.click(main_window::kMake);
    EXPECT_TRUE(desktop_.messages.empty()) << "a missing editor is not reported";
}

TEST_F(OptimizerApp, DownloadOpensTheForumBoard) {
    MemoryWindow& w = start();
    w.click(main_window::kDownload);
    ASSERT_EQ(shell_.opened.size(), 1u);
    const std::string& url = shell_.opened[0];
    EXPECT_EQ(url.substr(url.size() - 12), "/bbs/forum/5");
    EXPECT_FALSE(w.click(main_window::kBuy));
}

TEST_F(OptimizerApp, SideWindowsOpenModalOrModeless) {
    MemoryWindow& w = start();
    w.click(main_window::kAboutStudio);
    w.click(main_window::kAboutSoftware);
    w.click(main_window::kMoreProducts);
    w.click(main_window::kUpcoming);
    ASSERT_EQ(desktop_.openings.size(), 5u);
    EXPECT_EQ(desktop_.openings[1].caption, "关于");
    EXPECT_EQ(desktop_.openings[2].caption, "关于");
    EXPECT_TRUE(desktop_.openings[1].modal && desktop_.openings[2].modal && desktop_.openings[3].modal);
    EXPECT_EQ(desktop_.openings[3].caption, "更多产品");
    EXPECT_FALSE(desktop_.openings[4].modal);
    auto open = desktop_.openWindows();
    ASSERT_EQ(open.size(), 2u) << "the main window and the modeless one";
    EXPECT_EQ(open[1]->text(more_products_window::kBrowser), "res://" + process_.programPath() + "/upcoming.html");
}

// Both windows show a page built into the running program, by its res: address: no network.
TEST_F(OptimizerApp, MoreProductsWindowsShowTheBuiltInPages) {
    process_.executable = "optimizer.exe";
    MemoryWindow& w = start();
    std::string shown;
    desktop_.whenModalOpens([&](MemoryWindow& more) { shown = more.text(more_products_window::kBrowser); });
    w.click(main_window::kMoreProducts);
    EXPECT_EQ(shown, "res://" + root_.string() + "\\optimizer.exe/products.html");
    w.click(main_window::kUpcoming);
    auto open = desktop_.openWindows();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_EQ(open[1]->text(more_products_window::kBrowser),
              "res://" + root_.string() + "\\optimizer.exe/upcoming.html");
    EXPECT_TRUE(shell_.opened.empty()) << "nothing is opened outside the program";
}

TEST(SizeInKb, WholeKbOrOneDecimal) {
    struct Case {
        std::int64_t bytes;
        const char* shown;
    };
    const Case cases[] = {{0, "1"},      {400, "1"},    {512, "1"},          {513, "0.5"},
                          {1536, "1.5"}, {2048, "2.0"}, {2000000, "1953.1"}, {5000000000, "4882812.5"}};
    for (const Case& c : cases) EXPECT_EQ(sizeInKb(c.bytes), c.shown) << c.bytes;
}

// The column is worked out in integers; it must round exactly as printing the quotient with
// one decimal does, ties to even included (1126.4 bytes a tenth: every 512-byte step is one).
TEST(SizeInKb, RoundsAsPrintingTheQuotientDoes) {
    const auto printed = [](std::int64_t bytes) {
        char buffer[64];
        const double kb = static_cast<double>(bytes) / 1024.0;
        char* end = std::to_chars(buffer, buffer + sizeof buffer, kb, std::chars_format::fixed, 0).ptr;
        if (std::string(buffer, end) == "0") return std::string("1");
        end = std::to_chars(buffer, buffer + sizeof buffer, kb, std::chars_format::fixed, 1).ptr;
        return std::string(buffer, end);
    };
    std::vector<std::int64_t> sizes;
    for (std::int64_t b = 0; b < 300000; ++b) sizes.push_back(b);
    for (std::int64_t b : {std::int64_t{1} << 40, (std::int64_t{1} << 52) + 51, std::int64_t{4503599627370495}})
        for (std::int64_t d = -1100; d <= 1100; ++d) sizes.push_back(b + d);
    int mismatches = 0;
    for (std::int64_t b : sizes)
        if (sizeInKb(b) != printed(b) && ++mismatches <= 5)
            ADD_FAILURE() << b << ": " << sizeInKb(b) << " vs " << printed(b);
    EXPECT_EQ(mismatches, 0);
}

TEST_F(OptimizerApp, ManagementListsSizesAndDeletesTheSelectedScheme) {
    install("small.lzvt", std::string(400, 'x'));
    install("big.lzvt", std::string(1536, 'x'));
    MemoryWindow& main = start();
    int opened = 0;
    auto manage = [&](std::function<void(MemoryWindow&)> script) {
        desktop_.whenModalOpens(std::move(script));
        ASSERT_TRUE(main.mouseDown(main_window::kManageLink));
        ++opened;
    };
    manage([&](MemoryWindow& m) {
        ASSERT_EQ(m.rowCount(management_window::kSchemeList), 2);
        for (int r = 0; r < 2; ++r) {
            EXPECT_EQ(m.cell(management_window::kSchemeList, r, 1), "Optimal");
            EXPECT_EQ(m.cell(management_window::kSchemeList, r, 2),
                      m.cell(management_window::kSchemeList, r, 0) == "big.lzvt" ? "1.5" : "1");
        }
        m.click(management_window::kDelete);  // nothing selected
        EXPECT_EQ(desktop_.messages.back(), kRetryMessage);
        m.click(management_window::kHowToInstall);
        EXPECT_EQ(desktop_.messages.back(), kHowToInstallMessage);
        EXPECT_TRUE(desktop_.questions.empty());
        const int big = m.cell(management_window::kSchemeList, 0, 0) == "big.lzvt" ? 0 : 1;
        m.selectRow(management_window::kSchemeList, big);
        // The portable files know no recycle bin: deleting for good needs the user's yes.
        desktop_.answerQuestion(true);
        m.click(management_window::kDelete);
        EXPECT_EQ(desktop_.questions, (std::vector<std::string>{kNoRecycleBinQuestion}));
        EXPECT_EQ(desktop_.messages.back(), kDeletedMessage);
        EXPECT_EQ(m.rowCount(management_window::kSchemeList), 1);
        EXPECT_FALSE(fs::exists(root_ / "Optimal" / "big.lzvt"));
        m.click(management_window::kExit);
        EXPECT_FALSE(m.isOpen());
    });
    EXPECT_EQ(main.rowCount(main_window::kSchemeList), 2) << "the main list keeps the deleted scheme";
    EXPECT_TRUE(fs::exists(root_ / "Optimal" / "small.lzvt"));

    manage([&](MemoryWindow& m) { EXPECT_EQ(m.rowCount(management_window::kSchemeList), 1); });
    EXPECT_EQ(state_.schemeNames, (std::vector<std::string>{"small.lzvt"})) << "refilled, not appended";
    EXPECT_EQ(opened, 2);
}

// "删除方案" on a drive with a recycle bin and on one without, the user saying yes or no, and on
// a file that cannot be deleted.
TEST_F(OptimizerApp, DeletingMovesTheSchemeToTheBinOrAsksBeforeDeletingItForGood) {
    struct Case {
        const char* what;
        bool hasBin;
        bool inUse;                  // the file's folder refuses every change
        std::optional<bool> answer;  // the user's answer, when a question is asked
        std::vector<std::string> messages;
        bool asked;
        bool inBin;  // the file is in the recycle bin
        bool gone;   // the file has left its folder, and its row the list
    };
    const Case cases[] = {
        {"a drive with a bin", true, false, std::nullopt, {kDeletedMessage}, false, true, true},
        {"no bin, the user says yes", false, false, true, {kDeletedMessage}, true, false, true},
        {"no bin, the user says no", false, false, false, {}, true, false, false},
        {"a file in use", true, true, std::nullopt, {kRetryMessage}, false, false, false},
        {"a file in use, no bin", false, true, std::nullopt, {kRetryMessage}, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        test_support::MemoryFiles files;
        const std::string optimal = folder().substr(0, folder().size() - 1);
        files.files[folder() + "a.lzvt"] = "TSWB|a\r\nA";
        files.files[folder() + "b.lzvt"] = "TSWB|b\r\nB";
        if (!c.hasBin) files.noRecycleBinBelow(optimal);
        if (c.inUse) files.refuseWritesBelow(optimal);
        MemoryDesktop desktop;
        if (c.answer) desktop.answerQuestion(*c.answer);
        ProgramState state;
        MemoryWindow& m = desktop.open(managementWindowLayout(),
                                       managementHandlers(state, {registry_, files, process_, shell_, clock_}));
        ASSERT_EQ(m.rowCount(management_window::kSchemeList), 2);
        const int row = m.cell(management_window::kSchemeList, 0, 0) == "b.lzvt" ? 0 : 1;
        m.selectRow(management_window::kSchemeList, row);

        ASSERT_TRUE(m.click(management_window::kDelete));
        EXPECT_EQ(desktop.messages, c.messages);
        EXPECT_EQ(desktop.questions,
                  c.asked ? std::vector<std::string>{kNoRecycleBinQuestion} : std::vector<std::string>{});
        EXPECT_EQ(files.recycled, c.inBin ? std::vector<std::string>{folder() + "b.lzvt"} : std::vector<std::string>{});
        EXPECT_EQ(files.files.contains(folder() + "b.lzvt"), !c.gone);
        EXPECT_TRUE(files.files.contains(folder() + "a.lzvt"));
        EXPECT_EQ(m.rowCount(management_window::kSchemeList), c.gone ? 1 : 2);
        if (c.gone) {
            EXPECT_EQ(m.cell(management_window::kSchemeList, 0, 0), "a.lzvt");
        }
        EXPECT_TRUE(desktop.stoppedExceptions.empty());
    }
}

// The user agrees to delete for good a scheme the editor holds open: it cannot go, and says so.
TEST_F(OptimizerApp, ASchemeThatCannotBeDeletedForGoodAsksToRetry) {
    install("held.lzvt", "x");
    std::optional<files::HeldFile> held = files_.openHeld(folder() + "held.lzvt");
    ASSERT_TRUE(held.has_value());
    desktop_.answerQuestion(true);
    MemoryWindow& m = desktop_.open(managementWindowLayout(), managementHandlers(state_, services()));
    m.selectRow(management_window::kSchemeList, 0);
    m.click(management_window::kDelete);
    EXPECT_EQ(desktop_.questions, (std::vector<std::string>{kNoRecycleBinQuestion}));
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kRetryMessage}));
    EXPECT_EQ(m.rowCount(management_window::kSchemeList), 1);
    held->close();
    EXPECT_TRUE(fs::exists(root_ / "Optimal" / "held.lzvt"));
}

TEST_F(OptimizerApp, DeletingAFileThatIsAlreadyGoneAsksToRetry) {
    install("x.lzvt", "x");
    MemoryWindow& main = start();
    desktop_.whenModalOpens([&](MemoryWindow& m) {
        fs::remove(root_ / "Optimal" / "x.lzvt");
        m.selectRow(management_window::kSchemeList, 0);
        m.click(management_window::kDelete);
        EXPECT_EQ(m.rowCount(management_window::kSchemeList), 1);
    });
    main.mouseDown(main_window::kManageLink);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kRetryMessage}));
    EXPECT_TRUE(desktop_.questions.empty());
}

}  // namespace
}  // namespace lz::optimizer
