// The runner walked through as a user would, over in-memory windows and registry.
#include <gtest/gtest.h>

#include <functional>

#include "optimizer/layouts.h"
#include "optimizer/runner.h"
#include "testing/memory_files.h"
#include "testing/memory_regedit.h"
#include "testing/memory_registry.h"
#include "testing/ui/memory_window.h"

namespace lz::optimizer {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::ValueKind;
using ui::MemoryDesktop;
using ui::MemoryWindow;

// GBK bytes of a few texts used below.
const std::string kGbkName = "MY \xB7\xBD\xB0\xB8";  // MY 方案
const std::string kGbkHint = "\xCC\xE1\xCA\xBE";     // 提示

constexpr const char* kUndoFolder = "C:\\LZ\\Undo\\";

struct RunnerSession {
    MemoryDesktop desktop;
    MemoryRegistry registry;
    test_support::MemoryFiles files;
    SchemeRun state;
    MemoryWindow* window = nullptr;

    UndoJournal undo() { return UndoJournal(files, {kUndoFolder}, "test.lzvt", {2026, 12, 9, 10, 30, 5}); }
    ui::Handlers handlers(std::optional<std::string> text) {
        return runnerHandlers(
            state, registry,
            [text]() -> std::optional<files::SharedBytes> {
                if (!text) return std::nullopt;
                return files::shareBytes(*text);
            },
            undo());
    }

    // Opens a runner on the scheme text (nothing: the file cannot be read) and keeps the window.
    void open(std::optional<std::string> text) {
        MemoryWindow& main = desktop.open(mainWindowLayout(), {});
        desktop.whenModalOpens([this](MemoryWindow& w) { window = &w; });
        main.openModal(runnerWindowLayout(), handlers(text));
    }
    // The runner stays open while a test drives it: reopen drives through the script instead.
    void openAndDrive(std::optional<std::string> text, std::function<void(MemoryWindow&)> drive) {
        MemoryWindow& main = desktop.open(mainWindowLayout(), {});
        desktop.whenModalOpens([this, drive](MemoryWindow& w) {
            window = &w;
            drive(w);
        });
        main.openModal(runnerWindowLayout(), handlers(text));
    }
};

TEST(Runner, WalksTheStepsInOrderAndNeverRunsTheSchemeName) {
    RunnerSession run;
    std::vector<std::string> shown;
    bool stillOpenBeforeLast = false;
    run.openAndDrive("TSWB|first\r\nTSWB|" + kGbkHint + "\r\n" + kGbkName, [&](MemoryWindow& w) {
        EXPECT_EQ(w.rowCount(runner_window::kSchemeLines), 3);
        EXPECT_EQ(w.cell(runner_window::kSchemeLines, 2, 0), kGbkName);
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kHintPage);
        shown.push_back(w.text(runner_window::kHintBox));
        w.click(runner_window::kNext);
        shown.push_back(w.text(runner_window::kHintBox));
        stillOpenBeforeLast = w.isOpen();
        w.click(runner_window::kNext);
        EXPECT_FALSE(w.isOpen());
    });
    EXPECT_EQ(shown, (std::vector<std::string>{"first", "提示"}));
    EXPECT_TRUE(stillOpenBeforeLast);
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kFinishedMessage}));
    EXPECT_EQ(run.state.steps().size(), 2u);
    EXPECT_FALSE(run.desktop.exitCode.has_value());
}

TEST(Runner, SchemesWithoutStepsEndTheProgram) {
    const std::optional<std::string> cases[] = {
        std::string("only a name, no line feed"), std::string(),
        std::nullopt,  // the file could not be read
    };
    for (const auto& text : cases) {
        RunnerSession run;
        run.open(text);
        EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kEmptySchemeMessage}));
        EXPECT_EQ(run.desktop.exitCode, 0);
        EXPECT_TRUE(run.desktop.openWindows().empty());
    }
}

TEST(Runner, TrailingLineBreakGivesAnEmptyNameThatIsNotParsed) {
    RunnerSession run;
    run.openAndDrive("TSWB|a\r\n", [&](MemoryWindow& w) {
        EXPECT_EQ(w.rowCount(runner_window::kSchemeLines), 2);
        EXPECT_EQ(w.text(runner_window::kHintBox), "a");
    });
    EXPECT_EQ(run.state.steps().size(), 1u);
}

TEST(Runner, ExecuteWritesTheValueAndMovesOn) {
    RunnerSession run;
    run.openAndDrive("ZCBTJ|HKEY_CURRENT_USER\\abc\\abd|1|SZJZ\r\nTSWB|done\r\nname", [&](MemoryWindow& w) {
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kRegistryPage);
        EXPECT_EQ(w.text(runner_window::kPathBox), "HKEY_CURRENT_USER\\abc\\abd");
        EXPECT_EQ(w.text(runner_window::kValueBox), "1");
        w.click(runner_window::kExecute);
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kHintPage);
        EXPECT_EQ(w.text(runner_window::kHintBox), "done");
    });
    auto value = run.registry.value(Root::CurrentUser, u"abc", u"abd");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->type, ValueKind::Dword);
    EXPECT_EQ(value->data, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(run.desktop.messages.front(), kWriteSucceededMessage);
}

TEST(Runner, FailedWriteKeepsTheStepAndTellsWhetherTheEntryExists) {
    for (bool exists : {true, false}) {
        RunnerSession run;
        if (exists) run.registry.putValue(Root::CurrentUser, u"locked", u"v", {ValueKind::String, {0, 0}});
        run.registry.refuseValueWrites(Root::CurrentUser, u"locked");
        run.openAndDrive("ZCBTJ|HKEY_CURRENT_USER\\locked\\v|x|ZCZ\r\nname", [&](MemoryWindow& w) {
            w.click(runner_window::kExecute);
            w.click(runner_window::kExecute);  // the same write again
            EXPECT_TRUE(w.isOpen());
            EXPECT_EQ(w.text(runner_window::kPathBox), "HKEY_CURRENT_USER\\locked\\v");
            EXPECT_EQ(run.state.stepCounter(), 2);
            w.click(runner_window::kSkip);  // skip: the scheme is done
        });
        const char* verdict = exists ? kEntryExistsMessage : kEntryMissingMessage;
        EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kWriteFailedMessage, verdict, kWriteFailedMessage,
                                                                  verdict, kFinishedMessage}));
    }
}

TEST(Runner, DeleteStepShowsTheInstructionAndPassesOverWhatIsNotThere) {
    RunnerSession run;
    run.openAndDrive("ZCBSC|HKEY_CURRENT_USER\\abc|SC\r\nTSWB|next\r\nname", [&](MemoryWindow& w) {
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kRegistryPage);
        EXPECT_EQ(w.text(runner_window::kPathBox), "HKEY_CURRENT_USER\\abc");
        EXPECT_EQ(w.text(runner_window::kValueBox), kDeleteInstruction);
        w.click(runner_window::kExecute);
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kHintPage)
            << "nothing to delete goes on as after a success";
    });
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kNothingToDeleteMessage}));
    EXPECT_TRUE(run.registry.writes().empty()) << "the instruction text is never written anywhere";
    EXPECT_TRUE(run.files.files.empty()) << "nothing changed, nothing to take back";
}

TEST(Runner, MultiLineHintIsOneStep) {
    RunnerSession run;
    run.openAndDrive("TSWB|first\r\nsecond\r\nthird\r\nname",
                     [&](MemoryWindow& w) { EXPECT_EQ(w.text(runner_window::kHintBox), "first\r\nsecond\r\nthird"); });
    EXPECT_EQ(run.state.steps().size(), 1u);
}

TEST(Runner, RowsWithoutAStepAreASchemeThatIsDoneAtOnce) {
    RunnerSession run;
    run.open("stray line\r\n\r\nname");  // rows, but nothing any rule makes a step of
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kFinishedMessage}));
    EXPECT_FALSE(run.desktop.exitCode.has_value());
    EXPECT_EQ(run.state.stepCounter(), 2);
    EXPECT_TRUE(run.state.steps().empty());
}

TEST(Runner, LargeSchemeIsWalkedToItsLastStep) {
    // Far more lines than the runner reads ahead at once, with lines continuing a step at
    // every offset of the blocks it reads, and a continuation as the very last line.
    std::vector<std::string> rows;
    std::vector<std::string> expected;  // what each step shows
    for (int i = 0; rows.size() < 3000; ++i) {
        const std::string n = std::to_string(i);
        if (i % 3 == 0) {
            rows.push_back(scheme::composeWrite("HKEY_CURRENT_USER\\k\\" + n, n, "SZJZ"));
            expected.push_back("HKEY_CURRENT_USER\\k\\" + n);
        } else {
            std::string text = "hint " + n;
            rows.push_back(scheme::composeHint(text));
            for (int line = 0; line < i % 4; ++line) {
                rows.push_back(std::string(static_cast<size_t>(i % 97), 'x') + n);
                text += "\r\n" + rows.back();
            }
            expected.push_back(text);
        }
    }
    rows.push_back(scheme::composeHint("end"));
    rows.push_back("the last line continues the last hint");
    expected.push_back("end\r\n" + rows.back());

    RunnerSession run;
    std::vector<std::string> shown;
    std::vector<std::int32_t> counters;
    run.openAndDrive(scheme::serialize(rows, kGbkName), [&](MemoryWindow& w) {
        EXPECT_EQ(w.rowCount(runner_window::kSchemeLines), static_cast<int>(rows.size()) + 1);
        while (w.isOpen() && shown.size() <= expected.size()) {  // bounded, should it never finish
            const bool registry = w.currentPage(runner_window::kPages) == runner_window::kRegistryPage;
            shown.push_back(w.text(registry ? runner_window::kPathBox : runner_window::kHintBox));
            counters.push_back(run.state.stepCounter());
            EXPECT_TRUE(run.desktop.messages.empty()) << "finished early, after step " << shown.size();
            w.click(registry ? runner_window::kSkip : runner_window::kNext);
        }
    });
    EXPECT_EQ(shown, expected);
    ASSERT_EQ(counters.size(), expected.size());
    for (size_t i = 0; i < counters.size(); ++i) ASSERT_EQ(counters[i], static_cast<std::int32_t>(i) + 2);
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kFinishedMessage}));
    EXPECT_EQ(run.state.steps().size(), expected.size());
}

TEST(Runner, LeavingClosesAtOnceAndAnotherStartBeginsAtStepOne) {
    RunnerSession run;
    run.openAndDrive("TSWB|a\r\nZCBTJ|HKEY_CURRENT_USER\\k\\v|1|ZCZ\r\nname", [&](MemoryWindow& w) {
        w.click(runner_window::kNext);
        EXPECT_EQ(w.currentPage(runner_window::kPages), runner_window::kRegistryPage);
        w.click(runner_window::kLeaveRegistryStep);
        EXPECT_FALSE(w.isOpen());
    });
    EXPECT_TRUE(run.desktop.messages.empty());
    EXPECT_TRUE(run.registry.writes().empty());

    MemoryWindow& main = *run.desktop.openWindows().front();
    std::string first;
    run.desktop.whenModalOpens([&](MemoryWindow& w) { first = w.text(runner_window::kHintBox); });
    main.openModal(runnerWindowLayout(), run.handlers("TSWB|again\r\nname"));
    EXPECT_EQ(first, "again");
    EXPECT_EQ(run.state.steps().size(), 1u);
}

// ---- The undo file ----------------------------------------------------------------------------

TEST(RunnerUndo, EachWriteIsOnDiskInTheUndoFileBeforeTheRegistryChanges) {
    RunnerSession run;
    run.registry.putValue(Root::CurrentUser, u"K", u"v", {ValueKind::Dword, {7, 0, 0, 0}});
    std::vector<std::optional<registry::Value>> seenAtSave;
    run.files.onWrite = [&](const std::string&, const std::string&) {
        seenAtSave.push_back(run.registry.value(Root::CurrentUser, u"K", u"v"));
    };
    run.openAndDrive("ZCBTJ|HKEY_CURRENT_USER\\K\\v|8|SZJZ\r\nZCBTJ|HKEY_CURRENT_USER\\K\\w|x|ZCZ\r\nname",
                     [&](MemoryWindow& w) {
                         w.click(runner_window::kExecute);
                         w.click(runner_window::kExecute);
                     });
    ASSERT_EQ(seenAtSave.size(), 2u);
    EXPECT_EQ(seenAtSave[0], (registry::Value{ValueKind::Dword, {7, 0, 0, 0}})) << "saved after the write";
    EXPECT_EQ(run.registry.value(Root::CurrentUser, u"K", u"v"), (registry::Value{ValueKind::Dword, {8, 0, 0, 0}}));
    EXPECT_EQ(run.files.files.size(), 1u) << "one file for the run";
    EXPECT_EQ(run.files.files.begin()->first, std::string(kUndoFolder) + "test 2026-12-09 10-30-05.reg");
    EXPECT_EQ(run.desktop.messages,
              (std::vector<std::string>{kWriteSucceededMessage, kWriteSucceededMessage, kFinishedMessage}));
}

TEST(RunnerUndo, ARunThatWritesNothingLeavesNoFile) {
    RunnerSession run;
    // A hint, a delete step tried and skipped, a number that is none, a skipped write.
    run.openAndDrive(
        "TSWB|a\r\nZCBSC|HKEY_CURRENT_USER\\K|SC\r\nZCBTJ|HKEY_CURRENT_USER\\K\\n|abc|SZJZ\r\n"
        "ZCBTJ|HKEY_CURRENT_USER\\K\\v|1|ZCZ\r\nname",
        [&](MemoryWindow& w) {
            w.click(runner_window::kNext);
            w.click(runner_window::kExecute);  // nothing to delete: on to the next step
            w.click(runner_window::kExecute);  // fails: not a number, nothing attempted
            w.click(runner_window::kSkip);
            w.click(runner_window::kSkip);
        });
    EXPECT_TRUE(run.files.files.empty());
    EXPECT_TRUE(run.files.folders.empty()) << "the folder is made only when needed";
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kNothingToDeleteMessage, kWriteFailedMessage,
                                                              kEntryMissingMessage, kFinishedMessage}));
}

TEST(RunnerUndo, WithoutAWayBackTheValueIsNotWrittenAndTheStepStays) {
    RunnerSession run;
    run.files.refuseWritesBelow(kUndoFolder);
    run.openAndDrive("ZCBTJ|HKEY_CURRENT_USER\\K\\v|1|SZJZ\r\nname", [&](MemoryWindow& w) {
        w.click(runner_window::kExecute);
        EXPECT_TRUE(w.isOpen());
        EXPECT_EQ(w.text(runner_window::kPathBox), "HKEY_CURRENT_USER\\K\\v");
        EXPECT_EQ(run.state.stepCounter(), 2);
        w.click(runner_window::kSkip);
    });
    EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{kUndoNotSavedMessage, kFinishedMessage}));
    EXPECT_TRUE(run.registry.writes().empty());
}

// ---- Delete steps ----------------------------------------------------------------------------

TEST(RunnerDelete, AValueAndAKeyGoOnlyOnceTheirWayBackIsOnDisk) {
    RunnerSession run;
    const registry::Value one{ValueKind::Dword, {1, 0, 0, 0}};
    run.registry.putValue(Root::CurrentUser, u"T\\V", u"v", one);
    run.registry.putValue(Root::CurrentUser, u"T\\K", u"a", {ValueKind::Binary, {1, 2}});
    run.registry.putValue(Root::CurrentUser, u"T\\K\\sub", u"", {ValueKind::String, {'x', 0, 0, 0}});
    run.registry.putKey(Root::CurrentUser, u"T\\K\\empty");
    run.openAndDrive("ZCBSC|HKEY_CURRENT_USER\\T\\V\\v|SC\r\nZCBSC|HKEY_CURRENT_USER\\T\\K|SC\r\nname",
                     [&](MemoryWindow& w) {
                         w.click(runner_window::kExecute);
                         EXPECT_EQ(run.files.files.size(), 1u) << "the undo file is there before the delete";
                         w.click(runner_window::kExecute);
                     });
    EXPECT_EQ(run.desktop.messages,
              (std::vector<std::string>{kValueDeletedMessage, keyDeletedMessage(3, 2), kFinishedMessage}));
    EXPECT_FALSE(run.registry.value(Root::CurrentUser, u"T\\V", u"v"));
    EXPECT_TRUE(run.registry.hasKey(Root::CurrentUser, u"T\\V")) << "a value's key stays";
    EXPECT_FALSE(run.registry.hasKey(Root::CurrentUser, u"T\\K"));
    ASSERT_EQ(run.files.files.size(), 1u);
    EXPECT_EQ(keyDeletedMessage(3, 2), "注册表项已删除（共 3 个项、2 个值），即将进行下一步");
}

TEST(RunnerDelete, WhatCannotBeDeletedSafelyStaysWithTheStepOnDisplay) {
    struct Case {
        const char* name;
        std::string path;
        std::function<void(RunnerSession&)> arrange;
        std::string message;
    };
    const Case cases[] = {
        {"a value and a key of one name", "HKEY_CURRENT_USER\\T\\both",
         [](RunnerSession& run) {
             run.registry.putValue(Root::CurrentUser, u"T", u"both", {ValueKind::Dword, {1, 0, 0, 0}});
             run.registry.putKey(Root::CurrentUser, u"T\\both");
         },
         kAmbiguousDeleteMessage},
        {"a key below a root", "HKEY_CURRENT_USER\\Software\\",
         [](RunnerSession& run) { run.registry.putKey(Root::CurrentUser, u"Software\\Vendor"); }, kProtectedKeyMessage},
        {"the system's services", "HKEY_LOCAL_MACHINE\\SYSTEM\\ControlSet001\\Services",
         [](RunnerSession& run) { run.registry.putKey(Root::LocalMachine, u"SYSTEM\\ControlSet001\\Services\\x"); },
         kProtectedKeyMessage},
        {"no undo folder", "HKEY_CURRENT_USER\\T\\K\\",
         [](RunnerSession& run) {
             run.registry.putKey(Root::CurrentUser, u"T\\K\\sub");
             run.files.refuseWritesBelow(kUndoFolder);
         },
         kDeleteUndoNotSavedMessage},
        {"a key below that cannot be read", "HKEY_CURRENT_USER\\T\\K",
         [](RunnerSession& run) {
             run.registry.putValue(Root::CurrentUser, u"T\\K\\secret", u"v", {ValueKind::Dword, {1, 0, 0, 0}});
             run.registry.refuseReads(Root::CurrentUser, u"T\\K\\secret");
         },
         kDeleteUndoNotSavedMessage},
        {"a value that cannot be read", "HKEY_CURRENT_USER\\T\\v",
         [](RunnerSession& run) {
             run.registry.putValue(Root::CurrentUser, u"T", u"v", {ValueKind::Dword, {1, 0, 0, 0}});
             run.registry.refuseReads(Root::CurrentUser, u"T");
         },
         kDeleteUndoNotSavedMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RunnerSession run;
        c.arrange(run);
        run.registry.clearWrites();
        run.openAndDrive("ZCBSC|" + c.path + "|SC\r\nname", [&](MemoryWindow& w) {
            w.click(runner_window::kExecute);
            EXPECT_EQ(run.state.stepCounter(), 2) << "the step stays on display";
            w.click(runner_window::kSkip);
        });
        EXPECT_EQ(run.desktop.messages, (std::vector<std::string>{c.message, kFinishedMessage}));
        EXPECT_TRUE(run.registry.writes().empty()) << "nothing deleted";
    }
}

TEST(RunnerDelete, AChangeRefusedForLackOfRightsSaysHowToGetThem) {
    RunnerSession run;
    run.registry.putValue(Root::LocalMachine, u"T\\K\\locked", u"v", {ValueKind::Dword, {1, 0, 0, 0}});
    run.registry.putValue(Root::LocalMachine, u"T\\K", u"a", {ValueKind::Dword, {1, 0, 0, 0}});
    run.registry.refuseKeyWrites(Root::LocalMachine, u"T\\K\\locked");
    run.openAndDrive("ZCBSC|HKEY_LOCAL_MACHINE\\T\\K|SC\r\nZCBTJ|HKEY_LOCAL_MACHINE\\T\\K\\locked\\w|1|SZJZ\r\nname",
                     [&](MemoryWindow& w) {
                         w.click(runner_window::kExecute);
                         EXPECT_EQ(run.state.stepCounter(), 2);
                         w.click(runner_window::kSkip);
                         w.click(runner_window::kExecute);
                         w.click(runner_window::kSkip);
                     });
    EXPECT_EQ(run.desktop.messages,
              (std::vector<std::string>{kWriteFailedMessage, kEntryExistsMessage, kNoRightsMessage, kWriteFailedMessage,
                                        kEntryMissingMessage, kNoRightsMessage, kFinishedMessage}));
    EXPECT_TRUE(run.registry.hasKey(Root::LocalMachine, u"T\\K\\locked")) << "the key it may not delete stays";
    EXPECT_EQ(run.files.files.size(), 1u) << "what did go is in the undo file";
}

TEST(RunnerDelete, TheUndoFileOfAnyMixOfWritesAndDeletesGivesBackTheStateBeforeTheRun) {
    RunnerSession run;
    const auto seed = [&](std::u16string_view key) {
        run.registry.putValue(Root::CurrentUser, key, u"", {ValueKind::String, {'d', 0, 0, 0}});
        run.registry.putValue(Root::CurrentUser, key, u"dword", {ValueKind::Dword, {1, 2, 3, 4}});
        run.registry.putValue(Root::CurrentUser, key, u"bin", {ValueKind::Binary, {0, 0xFF}});
        run.registry.putValue(Root::CurrentUser, key, u"expand", {ValueKind::ExpandString, {'%', 0, 0, 0}});
        run.registry.putValue(Root::CurrentUser, key, u"multi", {ValueKind::MultiString, {'a', 0, 0, 0, 0, 0}});
        run.registry.putValue(Root::CurrentUser, key, u"qword", {ValueKind::Qword, {1, 2, 3, 4, 5, 6, 7, 8}});
        run.registry.putValue(Root::CurrentUser, key, u"odd", {ValueKind::String, {'a', 0, 'b'}});
        run.registry.putValue(Root::CurrentUser, key, u"引号\"\\", {ValueKind::String, {'x', 0, 0, 0}});
    };
    seed(u"T");
    for (std::u16string_view key : {u"T\\A", u"T\\A\\B", u"T\\A\\B\\C", u"T\\K", u"T\\W"}) seed(key);
    run.registry.putKey(Root::CurrentUser, u"T\\A\\Empty");
    const std::vector<std::u16string> before = run.registry.dump(Root::CurrentUser, u"T");

    const std::string steps =
        "ZCBTJ|HKEY_CURRENT_USER\\T\\dword|9|SZJZ\r\n"         // a write
        "ZCBSC|HKEY_CURRENT_USER\\T\\bin|SC\r\n"               // a value deleted
        "ZCBSC|HKEY_CURRENT_USER\\T\\A|SC\r\n"                 // a key three levels deep
        "ZCBTJ|HKEY_CURRENT_USER\\T\\A\\B\\new|x|ZCZ\r\n"      // ... written again
        "ZCBSC|HKEY_CURRENT_USER\\T\\A\\|SC\r\n"               // ... and deleted again
        "ZCBTJ|HKEY_CURRENT_USER\\T\\K\\dword|7|SZJZ\r\n"      // a value written,
        "ZCBSC|HKEY_CURRENT_USER\\T\\K\\|SC\r\n"               // then its key deleted
        "ZCBTJ|HKEY_CURRENT_USER\\T\\New\\Deep\\v|1|SZJZ\r\n"  // a key a write creates,
        "ZCBSC|HKEY_CURRENT_USER\\T\\New|SC\r\n"               // then deleted
        "ZCBTJ|HKEY_CURRENT_USER\\T\\W\\dword|5|SZJZ\r\n"      // a value deleted after a write
        "ZCBSC|HKEY_CURRENT_USER\\T\\W\\dword|SC\r\n"
        "ZCBTJ|HKEY_CURRENT_USER\\T\\bin|z|EJZSZ\r\n"  // a deleted value written again
        "name";
    run.openAndDrive(steps, [&](MemoryWindow& w) {
        for (int step = 1; step <= 12; ++step) w.click(runner_window::kExecute);
    });
    ASSERT_EQ(run.desktop.messages.back(), kFinishedMessage);
    ASSERT_EQ(run.desktop.messages.size(), 13u);
    ASSERT_NE(run.registry.dump(Root::CurrentUser, u"T"), before);
    ASSERT_EQ(run.files.files.size(), 1u);

    ASSERT_TRUE(registry::importRegFile(run.registry, run.files.files.begin()->second));
    EXPECT_EQ(run.registry.dump(Root::CurrentUser, u"T"), before);
}

}  // namespace
}  // namespace lz::optimizer
