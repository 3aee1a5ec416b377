// The optimizer run from the command line, over in-memory registry, files and process.
#include <gtest/gtest.h>

#include <functional>

#include "optimizer/headless.h"
#include "optimizer/layouts.h"
#include "optimizer/runner.h"
#include "testing/fixed_clock.h"
#include "testing/memory_files.h"
#include "testing/memory_process.h"
#include "testing/memory_regedit.h"
#include "testing/memory_registry.h"
#include "testing/ui/memory_window.h"

namespace lz::optimizer {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::ValueKind;

const std::string kBom = "\xEF\xBB\xBF";
constexpr const char* kSchemes = "C:\\Schemes";
constexpr const char* kUndo = "C:\\LZ Vantor\\Undo\\";
const std::string kUndoFile = std::string(kUndo) + "tweak 2026-12-09 08-07-06.reg";
const std::string kDefaultLog = std::string(kUndo) + "tweak 2026-12-09 08-07-06.log";

// Every kind of value, in a few keys below HKCU\T.
void seed(MemoryRegistry& r) {
    for (std::u16string_view key : {u"T", u"T\\A", u"T\\A\\B", u"T\\K", u"T\\L"}) {
        r.putValue(Root::CurrentUser, key, u"", {ValueKind::String, {'d', 0, 0, 0}});
        r.putValue(Root::CurrentUser, key, u"dword", {ValueKind::Dword, {1, 2, 3, 4}});
        r.putValue(Root::CurrentUser, key, u"bin", {ValueKind::Binary, {0, 0xFF}});
        r.putValue(Root::CurrentUser, key, u"odd", {ValueKind::String, {'a', 0, 'b'}});
    }
    r.putKey(Root::CurrentUser, u"T\\A\\Empty");
}

// Later steps meet what earlier ones did: a value written then deleted by a path that names it
// only once it is there, a key deleted then written into, a key a write makes then deleted.
const std::string kMixedScheme =
    "ZCBTJ|HKEY_CURRENT_USER\\T\\dword|9|SZJZ\r\n"
    "ZCBTJ|HKEY_CURRENT_USER\\T\\fresh|x|ZCZ\r\n"
    "ZCBSC|HKEY_CURRENT_USER\\T\\fresh|SC\r\n"
    "TSWB|a hint\r\nof two lines\r\n"
    "ZCBSC|HKEY_CURRENT_USER\\T\\A|SC\r\n"
    "ZCBTJ|HKEY_CURRENT_USER\\T\\A\\B\\new|x|ZCZ\r\n"
    "ZCBTJ|HKEY_CURRENT_USER\\T\\New\\Deep\\v|1|SZJZ\r\n"
    "ZCBSC|HKEY_CURRENT_USER\\T\\New\\|SC\r\n"
    "ZCBSC|HKEY_CURRENT_USER\\T\\bin|SC\r\n"
    "ZCBTJ|HKEY_CURRENT_USER\\T\\bin|z|EJZSZ\r\n"
    "ZCBSC|HKEY_CURRENT_USER\\T\\nothing|SC\r\n"
    "tweak";

struct Headless {
    MemoryRegistry registry;
    test_support::MemoryFiles files;
    process::MemoryProcess process;
    test_support::FixedClock clock;

    Headless() {
        process.executable = "optimizer.exe";
        process.localAppData.clear();  // one undo folder: the program's own
        files.makeFolders(kSchemes);
        files.makeFolders("C:\\Logs");
    }
    void scheme(const std::string& bytes) { files.files[std::string(kSchemes) + "\\tweak.lzvt"] = bytes; }
    std::optional<int> run(std::vector<std::string> arguments) {
        return runWithoutWindows(arguments, {registry, files, process, clock});
    }
    int runScheme() { return run({"/run", std::string(kSchemes) + "\\tweak.lzvt"}).value_or(-1); }
};

// The same scheme walked through in the runner window, 执行 pressed on every step (and the step
// skipped where it stays).
void runInTheWindow(MemoryRegistry& registry, const std::string& scheme) {
    ui::MemoryDesktop desktop;
    test_support::MemoryFiles undoFiles;
    SchemeRun run;
    ui::MemoryWindow& main = desktop.open(mainWindowLayout(), {});
    desktop.whenModalOpens([&](ui::MemoryWindow& w) {
        for (int guard = 0; w.isOpen() && guard < 100; ++guard) {
            const std::int32_t counter = run.stepCounter();
            w.click(w.currentPage(runner_window::kPages) == runner_window::kRegistryPage ? runner_window::kExecute
                                                                                         : runner_window::kNext);
            if (w.isOpen() && run.stepCounter() == counter) w.click(runner_window::kSkip);
        }
    });
    main.openModal(runnerWindowLayout(), runnerHandlers(
                                             run, registry, [&] { return std::optional(files::shareBytes(scheme)); },
                                             UndoJournal(undoFiles, {kUndo}, "w.lzvt", {})));
}

TEST(HeadlessRun, LeavesTheRegistryAsTheWindowDoesAndItsUndoFileGivesBackTheStateBefore) {
    Headless h;
    seed(h.registry);
    h.scheme(kMixedScheme);
    const auto before = h.registry.dump(Root::CurrentUser, u"T");
    int registryWritesAtSave = -1;
    int undoSaves = 0;
    h.files.onWrite = [&](const std::string& path, const std::string&) {
        if (!path.ends_with(".reg")) return;
        ++undoSaves;
        registryWritesAtSave = static_cast<int>(h.registry.writes().size());
    };

    EXPECT_EQ(h.runScheme(), kAllApplied);
    EXPECT_EQ(undoSaves, 1) << "saved once, whole";
    EXPECT_EQ(registryWritesAtSave, 0) << "saved before the first change";

    MemoryRegistry window;
    seed(window);
    runInTheWindow(window, kMixedScheme);
    EXPECT_EQ(h.registry.dump(Root::CurrentUser, u"T"), window.dump(Root::CurrentUser, u"T"));
    EXPECT_EQ(h.registry.value(Root::CurrentUser, u"T", u"fresh"), std::nullopt) << "the value written, then deleted";

    ASSERT_TRUE(h.files.files.contains(kUndoFile));
    ASSERT_TRUE(registry::importRegFile(h.registry, h.files.files.at(kUndoFile)));
    EXPECT_EQ(h.registry.dump(Root::CurrentUser, u"T"), before);
}

// The locked key refuses the delete of T\L as a whole; the write into T\L that follows then meets
// the key still there, not the one the plan had deleted, and its way back is worked out again: the
// undo file must not delete T\L, which was there before the run.
TEST(HeadlessRun, AFailingStepIsLoggedAndTheRunGoesOnWithTheWayBackFromWhatReallyHappened) {
    Headless h;
    seed(h.registry);
    h.registry.putValue(Root::CurrentUser, u"T\\L\\locked", u"v", {ValueKind::Dword, {5, 0, 0, 0}});
    h.registry.refuseKeyWrites(Root::CurrentUser, u"T\\L\\locked");
    h.scheme(
        "ZCBTJ|HKEY_CURRENT_USER\\T\\first|1|SZJZ\r\n"
        "ZCBSC|HKEY_CURRENT_USER\\T\\L\\|SC\r\n"
        "ZCBTJ|HKEY_CURRENT_USER\\T\\L\\w|2|SZJZ\r\n"
        "ZCBTJ|HKEY_CURRENT_USER\\T\\L\\locked\\v|3|SZJZ\r\n"
        "tweak");
    const auto before = h.registry.dump(Root::CurrentUser, u"T");

    EXPECT_EQ(h.runScheme(), kSomeFailed);
    EXPECT_EQ(h.registry.value(Root::CurrentUser, u"T", u"first"), (registry::Value{ValueKind::Dword, {1, 0, 0, 0}}));
    EXPECT_EQ(h.registry.value(Root::CurrentUser, u"T\\L", u"w"), (registry::Value{ValueKind::Dword, {2, 0, 0, 0}}));
    const std::string log = h.files.files.at(kDefaultLog);
    const std::string denied = MemoryRegistry::kDeniedText;
    EXPECT_NE(log.find("第 2 行\t删除 HKEY_CURRENT_USER\\T\\L\\\t失败：注册表项存在\t" + denied + "\r\n"), log.npos)
        << log;
    EXPECT_NE(log.find("第 3 行\t写入 HKEY_CURRENT_USER\\T\\L\\w = 2\t已写入\r\n"), log.npos) << log;
    EXPECT_NE(log.find("第 4 行\t写入 HKEY_CURRENT_USER\\T\\L\\locked\\v = 3\t失败：注册表项存在\t" + denied), log.npos)
        << log;
    EXPECT_NE(log.find("共 4 步：完成 2 步，失败 2 步，提示 0 步\r\n"), log.npos) << log;

    h.registry.stopRefusing();  // unlocked, as the undo file is imported
    ASSERT_TRUE(registry::importRegFile(h.registry, h.files.files.at(kUndoFile)));
    EXPECT_EQ(h.registry.dump(Root::CurrentUser, u"T"), before);
}

// The write of the value T\x is refused; the plan had it written, and so took the delete step
// that follows for an ambiguous one (a value and a key of that name). Really it meets the key
// alone and deletes it, as the window does: its way back must be worked out again first.
TEST(HeadlessRun, AChangeThatFailsHasTheStepsAfterItPlannedAgain) {
    Headless h;
    seed(h.registry);
    h.registry.putValue(Root::CurrentUser, u"T\\x\\sub", u"v", {ValueKind::Dword, {7, 0, 0, 0}});
    h.registry.refuseValueWrites(Root::CurrentUser, u"T");
    const std::string scheme =
        "ZCBTJ|HKEY_CURRENT_USER\\T\\x|1|SZJZ\r\n"
        "ZCBSC|HKEY_CURRENT_USER\\T\\x|SC\r\n"
        "tweak";
    h.scheme(scheme);
    const auto before = h.registry.dump(Root::CurrentUser, u"T");

    EXPECT_EQ(h.runScheme(), kSomeFailed);
    EXPECT_FALSE(h.registry.hasKey(Root::CurrentUser, u"T\\x")) << "deleted, as by the window";
    MemoryRegistry window;
    seed(window);
    window.putValue(Root::CurrentUser, u"T\\x\\sub", u"v", {ValueKind::Dword, {7, 0, 0, 0}});
    window.refuseValueWrites(Root::CurrentUser, u"T");
    runInTheWindow(window, scheme);
    EXPECT_EQ(h.registry.dump(Root::CurrentUser, u"T"), window.dump(Root::CurrentUser, u"T"));

    h.registry.stopRefusing();
    ASSERT_TRUE(registry::importRegFile(h.registry, h.files.files.at(kUndoFile)));
    EXPECT_EQ(h.registry.dump(Root::CurrentUser, u"T"), before);
}

// Tweaks of HKEY_LOCAL_MACHINE run without rights: each write, new key and value delete there
// fails as the plan foresaw, so the way back is saved once, not again after each failure.
TEST(HeadlessRun, StepsWithoutRightsFailAsForeseenAndTheUndoFileIsSavedOnce) {
    Headless h;
    seed(h.registry);
    h.registry.putValue(Root::LocalMachine, u"P", u"old", {ValueKind::Dword, {1, 0, 0, 0}});
    h.registry.refuseKeyWrites(Root::LocalMachine, u"P");
    std::string scheme;
    for (int i = 0; i < 20; ++i) {
        const std::string n = std::to_string(i);
        scheme += "ZCBTJ|HKEY_LOCAL_MACHINE\\P\\v" + n + "|1|SZJZ\r\n";
        scheme += "ZCBTJ|HKEY_LOCAL_MACHINE\\P\\New" + n + "\\v|1|SZJZ\r\n";
        scheme += "ZCBSC|HKEY_LOCAL_MACHINE\\P\\old|SC\r\n";
        scheme += "ZCBTJ|HKEY_CURRENT_USER\\T\\v" + n + "|" + n + "|SZJZ\r\n";
    }
    h.scheme(scheme + "tweak");
    int undoSaves = 0;
    h.files.onWrite = [&](const std::string& path, const std::string&) { undoSaves += path.ends_with(".reg"); };

    EXPECT_EQ(h.runScheme(), kSomeFailed);
    EXPECT_EQ(undoSaves, 1);
    EXPECT_EQ(h.registry.value(Root::CurrentUser, u"T", u"v19"), (registry::Value{ValueKind::Dword, {19, 0, 0, 0}}));
    EXPECT_TRUE(h.registry.value(Root::LocalMachine, u"P", u"old"));
    EXPECT_NE(h.files.files.at(kDefaultLog).find("共 80 步：完成 20 步，失败 60 步，提示 0 步"), std::string::npos);
}

TEST(HeadlessRun, TheLogHasALineAStepThenTotalsAndTheUndoFile) {
    Headless h;
    h.registry.putValue(Root::CurrentUser, u"T\\K", u"v", {ValueKind::Dword, {1, 0, 0, 0}});
    // Scheme text is GBK: 看这里 in a hint; an empty line after a registry step is no step.
    h.scheme(
        "TSWB|\xBF\xB4\xD5\xE2\xC0\xEF\r\nZCBTJ|HKEY_CURRENT_USER\\T\\K\\v|7|SZJZ\r\n\r\n"
        "ZCBSC|HKEY_CURRENT_USER\\T\\K|SC\r\ntweak");
    const std::string lines =
        "方案：C:\\Schemes\\tweak.lzvt\r\n"
        "第 1 行\t提示 看这里\t已列出\r\n"
        "第 2 行\t写入 HKEY_CURRENT_USER\\T\\K\\v = 7\t已写入\r\n"
        "第 4 行\t删除 HKEY_CURRENT_USER\\T\\K\t项已删除（共 1 个项、1 个值）\r\n"
        "共 3 步：完成 2 步，失败 0 步，提示 1 步\r\n"
        "撤销文件：" +
        kUndoFile + "\r\n";
    EXPECT_EQ(h.runScheme(), kAllApplied);
    EXPECT_EQ(h.files.files.at(kDefaultLog), kBom + lines);
    EXPECT_EQ(h.process.errorOutput, lines) << "the same lines on the standard error";

    Headless elsewhere;
    elsewhere.scheme("TSWB|x\r\ntweak");
    EXPECT_EQ(elsewhere.run({"/LOG", "C:\\Logs\\run.txt", "/Run", std::string(kSchemes) + "\\tweak.lzvt"}), 0);
    EXPECT_TRUE(elsewhere.files.files.contains("C:\\Logs\\run.txt"));
    EXPECT_FALSE(elsewhere.files.files.contains(kDefaultLog));
}

TEST(HeadlessRun, NothingChangesWhenTheSchemeOrItsUndoFileFails) {
    struct Case {
        const char* name;
        std::optional<std::string> scheme;  // nothing: no such file
        std::function<void(Headless&)> arrange;
        std::string logLine;
    };
    const auto none = [](Headless&) {};
    const Case cases[] = {
        {"unreadable", std::nullopt, none, kUnreadableSchemeMessage},
        {"a name alone", std::string("tweak"), none, kNoStepsMessage},
        {"rows without a step", std::string("stray\r\n\r\ntweak"), none, kNoStepsMessage},
        {"no undo folder", std::string("ZCBTJ|HKEY_CURRENT_USER\\T\\v|1|SZJZ\r\ntweak"),
         [](Headless& h) { h.files.refuseWritesBelow(kUndo); }, kUndoUnsavedMessage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Headless h;
        if (c.scheme) h.scheme(*c.scheme);
        c.arrange(h);
        EXPECT_EQ(h.run({"/run", std::string(kSchemes) + "\\tweak.lzvt", "/log", "C:\\Logs\\l.log"}), kNothingChanged);
        EXPECT_TRUE(h.registry.writes().empty());
        EXPECT_NE(h.files.files["C:\\Logs\\l.log"].find(c.logLine), std::string::npos);
        EXPECT_NE(h.process.errorOutput.find(c.logLine), std::string::npos);
    }
}

TEST(HeadlessRun, CommandLines) {
    const struct {
        std::vector<std::string> arguments;
        std::optional<int> exitCode;
        std::string says;
    } cases[] = {
        {{}, std::nullopt, ""},
        {{"C:\\some.lzvt"}, std::nullopt, ""},  // no switch: the window, as ever
        {{"/RuN", "C:\\Schemes\\tweak.lzvt"}, kAllApplied, "共 1 步"},
        {{"/run"}, kBadCommandLine, std::string(kMissingPathMessage) + "/run"},
        {{"/run", "/log", "C:\\Logs\\l.log"}, kBadCommandLine, std::string(kMissingPathMessage) + "/run"},
        {{"/start"}, kBadCommandLine, std::string(kUnknownSwitchMessage) + "/start"},
        {{"x", "/log", "C:\\Logs\\l.log"}, kBadCommandLine, std::string(kExtraArgumentMessage) + "x"},
        {{"/log", "C:\\Logs\\l.log"}, kBadCommandLine, kNoRunMessage},
        {{"/run", "a", "/run", "b"}, kBadCommandLine, std::string(kRepeatedSwitchMessage) + "/run"},
        {{"/run", "a", "b"}, kBadCommandLine, std::string(kExtraArgumentMessage) + "b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        Headless h;
        h.scheme("ZCBTJ|HKEY_CURRENT_USER\\T\\v|1|SZJZ\r\ntweak");
        EXPECT_EQ(h.run(c.arguments), c.exitCode);
        EXPECT_NE(h.process.errorOutput.find(c.says), std::string::npos) << h.process.errorOutput;
        if (c.exitCode != kBadCommandLine) continue;
        EXPECT_TRUE(h.registry.writes().empty());
        EXPECT_NE(h.process.errorOutput.find("optimizer.exe /run"), std::string::npos) << "with the usage";
        const bool logged = h.files.files.contains("C:\\Logs\\l.log");
        EXPECT_EQ(logged, c.arguments.size() > 1 && c.arguments[c.arguments.size() - 2] == "/log");
        if (logged) {
            EXPECT_NE(h.files.files["C:\\Logs\\l.log"].find(c.says), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace lz::optimizer
