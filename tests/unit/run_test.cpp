// The run of a scheme without a window: what executing each kind of step comes to, the run's
// position, the lines its steps start on, and the registry as a plan of changes leaves it.
#include <gtest/gtest.h>

#include <functional>

#include "optimizer/planned_registry.h"
#include "optimizer/run.h"
#include "testing/memory_registry.h"

namespace lz::optimizer {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::ValueKind;
using Kind = StepOutcome::Kind;

const registry::Value kOne{ValueKind::Dword, {1, 0, 0, 0}};

// Keeps every way back, or refuses each, and counts the calls.
struct CountingWayBack final : WayBack {
    bool keep = true;
    int calls = 0;
    bool keepBefore(registry::Registry&, const steps::RegistryEntry&) override { return ++calls, keep; }
    bool keepBefore(registry::Root, const KeySnapshot&) override { return ++calls, keep; }
};

StepOutcome outcomeOf(Kind kind, bool isDelete) {
    StepOutcome o;
    o.kind = kind;
    o.isDelete = isDelete;
    return o;
}

TEST(ExecuteStep, EachKindOfStepComesToItsOutcome) {
    StepOutcome keyDeleted = outcomeOf(Kind::KeyDeleted, true);
    keyDeleted.keys = 2;
    keyDeleted.values = 3;
    StepOutcome notANumber = outcomeOf(Kind::Failed, false);
    StepOutcome valueRefused = outcomeOf(Kind::Failed, false);
    valueRefused.entryPresent = true;
    valueRefused.reason = MemoryRegistry::kFailedText;
    StepOutcome writeDenied = outcomeOf(Kind::Failed, false);
    writeDenied.denied = true;
    writeDenied.entryPresent = true;
    writeDenied.reason = MemoryRegistry::kDeniedText;
    StepOutcome deleteDenied = outcomeOf(Kind::Failed, true);
    deleteDenied.denied = true;
    deleteDenied.entryPresent = true;
    deleteDenied.reason = MemoryRegistry::kDeniedText;

    struct Case {
        const char* name;
        std::string line;
        std::function<void(MemoryRegistry&, CountingWayBack&)> arrange;
        StepOutcome expected;
        bool changes;  // whether the registry is changed
    };
    const auto none = [](MemoryRegistry&, CountingWayBack&) {};
    const Case cases[] = {
        {"hint", "TSWB|HKEY_CURRENT_USER\\Top\\T\\v", none, {}, false},
        {"write", "ZCBTJ|HKEY_CURRENT_USER\\Top\\T\\v|1|SZJZ", none, outcomeOf(Kind::Written, false), true},
        {"not a number", "ZCBTJ|HKEY_CURRENT_USER\\Top\\T\\w|x|SZJZ", none, notANumber, false},
        {"value refused", "ZCBTJ|HKEY_CURRENT_USER\\Top\\T\\v|1|SZJZ",
         [](MemoryRegistry& r, CountingWayBack&) { r.refuseValueWrites(Root::CurrentUser, u"Top\\T"); }, valueRefused,
         false},
        {"key locked", "ZCBTJ|HKEY_CURRENT_USER\\Top\\L\\v|1|SZJZ",
         [](MemoryRegistry& r, CountingWayBack&) { r.refuseKeyWrites(Root::CurrentUser, u"Top\\L"); }, writeDenied,
         false},
        {"write without a way back", "ZCBTJ|HKEY_CURRENT_USER\\Top\\T\\w|1|SZJZ",
         [](MemoryRegistry&, CountingWayBack& w) { w.keep = false; }, outcomeOf(Kind::UndoNotSaved, false), false},
        {"value deleted", "ZCBSC|HKEY_CURRENT_USER\\Top\\T\\v|SC", none, outcomeOf(Kind::ValueDeleted, true), true},
        {"key deleted", "ZCBSC|HKEY_CURRENT_USER\\Top\\T\\", none, keyDeleted, true},
        {"nothing to delete", "ZCBSC|HKEY_CURRENT_USER\\Top\\T\\gone|SC", none, outcomeOf(Kind::NothingToDelete, true),
         false},
        {"ambiguous", "ZCBSC|HKEY_CURRENT_USER\\Top\\T\\both|SC", none, outcomeOf(Kind::Ambiguous, true), false},
        {"protected", "ZCBSC|HKEY_CURRENT_USER\\Software\\|SC", none, outcomeOf(Kind::Protected, true), false},
        {"delete without a way back", "ZCBSC|HKEY_CURRENT_USER\\Top\\T\\|SC",
         [](MemoryRegistry&, CountingWayBack& w) { w.keep = false; }, outcomeOf(Kind::UndoNotSaved, true), false},
        {"delete of a locked key", "ZCBSC|HKEY_CURRENT_USER\\Top\\L\\|SC",
         [](MemoryRegistry& r, CountingWayBack&) { r.refuseKeyWrites(Root::CurrentUser, u"Top\\L"); }, deleteDenied,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRegistry registry;
        registry.putValue(Root::CurrentUser, u"Top\\T", u"v", kOne);
        registry.putValue(Root::CurrentUser, u"Top\\T", u"both", kOne);
        registry.putValue(Root::CurrentUser, u"Top\\T\\both", u"x", kOne);
        registry.putValue(Root::CurrentUser, u"Top\\L", u"v", kOne);
        registry.putKey(Root::CurrentUser, u"Software\\Vendor");
        CountingWayBack wayBack;
        c.arrange(registry, wayBack);
        const std::string text = c.line + "\r\nname";  // the table views it
        const scheme::StepTable table = scheme::StepTable::overText(text);
        ASSERT_EQ(table.size(), 1u);
        EXPECT_EQ(executeStep(table[0], registry, wayBack), c.expected);
        EXPECT_EQ(!registry.writes().empty(), c.changes);
        if (c.changes) {
            EXPECT_GE(wayBack.calls, 1) << "a change has its way back kept first";
        }
    }
}

TEST(SchemeRun, CountsAndMovesAsTheRunnerDoes) {
    SchemeRun none;
    EXPECT_EQ(none.stepCounter(), 0);
    EXPECT_FALSE(none.advance());

    SchemeRun run(files::shareBytes("TSWB|a\r\nmore\r\nZCBSC|HKEY_CURRENT_USER\\x|SC\r\nname"));
    EXPECT_FALSE(run.empty());
    EXPECT_EQ(run.stepCounter(), 1);
    EXPECT_EQ(run.current(), nullptr);
    std::vector<std::string> seen;
    while (run.advance()) {
        seen.emplace_back(run.current()->text);
        EXPECT_EQ(run.stepCounter(), static_cast<std::int32_t>(run.position()) + 1);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"a\r\nmore", "HKEY_CURRENT_USER\\x"}));
    EXPECT_EQ(run.stepCounter(), 4) << "steps + 2 once done";
    EXPECT_EQ(run.current(), nullptr);
    EXPECT_FALSE(run.advance());
    EXPECT_EQ(run.stepCounter(), 4);

    for (const char* text : {"", "a name alone"}) EXPECT_TRUE(SchemeRun(files::shareBytes(text)).empty()) << text;
    EXPECT_FALSE(SchemeRun(files::shareBytes("stray\r\nname")).empty()) << "rows without a step are no empty scheme";
}

TEST(StepLineNumbers, NameTheLineEachStepStartsOn) {
    const struct {
        std::string text;
        std::vector<std::size_t> lines;
    } cases[] = {
        {"name", {}},
        {"TSWB|a\r\nTSWB|b\r\nname", {1, 2}},
        {"stray\r\nTSWB|a\r\ncontinued\r\n\r\nZCBTJ|p|v|ZCZ\r\n\r\nZCBSC|q|SC\r\nTSWB\r\nname", {2, 5, 7, 8}},
        {"x|y|z|w\nZCBSC\nTSWB|a\r\n", {1, 2, 3}},  // a line feed alone ends a line too
    };
    for (const auto& c : cases) {
        EXPECT_EQ(stepLineNumbers(c.text), c.lines) << c.text;
        EXPECT_EQ(scheme::StepTable::overText(c.text).size(), c.lines.size()) << "one number a step: " << c.text;
    }
}

TEST(PlannedRegistry, ShowsThePlannedChangesAndLeavesTheRealRegistryAlone) {
    MemoryRegistry real;
    real.putValue(Root::CurrentUser, u"K", u"v", kOne);
    real.putValue(Root::CurrentUser, u"K\\Sub", u"x", kOne);
    real.putValue(Root::CurrentUser, u"Other", u"y", kOne);
    PlannedRegistry planned(real);

    EXPECT_EQ(planned.readValue(Root::CurrentUser, u"k", u"V").value, kOne) << "reads through, names in any case";
    EXPECT_EQ(planned.deleteKey(Root::CurrentUser, u"K"), registry::Change::Done);
    EXPECT_EQ(planned.keyExists(Root::CurrentUser, u"K\\Sub"), registry::Existence::Absent);
    EXPECT_EQ(planned.deleteKey(Root::CurrentUser, u"K"), registry::Change::Absent);
    {
        const registry::Key key = registry::openOrCreate(planned, Root::CurrentUser, u"K\\New");
        ASSERT_TRUE(key);
        EXPECT_TRUE(planned.setValue(key, u"n", ValueKind::Dword, kOne.data));
    }
    const registry::KeyContents k = planned.readKey(Root::CurrentUser, u"K");
    EXPECT_EQ(k.existence, registry::Existence::Present);
    EXPECT_TRUE(k.values.empty()) << "the deleted key's values do not come back with it";
    EXPECT_EQ(k.subKeys, std::vector<std::u16string>{u"New"});
    EXPECT_EQ(planned.valueExists(Root::CurrentUser, u"K\\New", u"n"), registry::Existence::Present);
    EXPECT_EQ(planned.deleteValue(Root::CurrentUser, u"Other", u"y"), registry::Change::Done);
    EXPECT_EQ(planned.readValue(Root::CurrentUser, u"Other", u"y").existence, registry::Existence::Absent);
    EXPECT_EQ(planned.readKey(Root::CurrentUser, u"").subKeys.size(), 2u) << "K again, and Other";

    EXPECT_TRUE(real.writes().empty());
    EXPECT_EQ(real.value(Root::CurrentUser, u"K\\Sub", u"x"), kOne);
    EXPECT_EQ(real.readValue(Root::CurrentUser, u"Other", u"y").existence, registry::Existence::Present);
}

}  // namespace
}  // namespace lz::optimizer
