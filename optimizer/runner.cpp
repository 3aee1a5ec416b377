#include "optimizer/runner.h"

#include <memory>

#include "optimizer/layouts.h"
#include "platform/text.h"

namespace lz::optimizer {

namespace {

using namespace runner_window;

class Runner {
public:
    Runner(SchemeRun& run, registry::Registry& registry, SchemeLoader load, UndoJournal undo)
        : run_(run), registry_(registry), load_(std::move(load)), wayBack_(std::move(undo)) {}

    // Window created: the run starts over the scheme's text, every line of which becomes a row
    // of the hidden list, and shows step 1.
    void start(ui::Window& w) {
        std::optional<files::SharedBytes> loaded = load_ ? load_() : std::nullopt;
        // A file that cannot be read counts as an empty text: one line, no step.
        run_ = SchemeRun(loaded ? std::move(*loaded) : files::SharedBytes{});
        w.appendAllLines(kSchemeLines, run_.text().owner, run_.text().bytes);
        if (run_.empty()) {
            w.messageBox(kEmptySchemeMessage);
            // Not a slip: an empty scheme ends the whole program at once, as it always has, from
            // inside this modal window (no destructors run, nothing is left to save).
            w.exitProgram(0);
            return;
        }
        advance(w);
    }

    void advance(ui::Window& w) {
        if (!run_.advance()) {
            w.messageBox(kFinishedMessage);
            w.close();
            return;
        }
        show(w, *run_.current());
    }

    void execute(ui::Window& w) {
        const scheme::Step* step = run_.current();
        if (!step || step->kind == scheme::StepKind::Hint) return;
        const StepOutcome outcome = run_.execute(registry_, wayBack_);
        report(w, outcome);
        if (outcome.movesOn()) advance(w);
    }

    void leave(ui::Window& w) { w.close(); }

private:
    // What happened, in the runner's messages.
    static void report(ui::Window& w, const StepOutcome& outcome) {
        using Kind = StepOutcome::Kind;
        switch (outcome.kind) {
            case Kind::Hint:
                return;
            case Kind::Written:
                w.messageBox(kWriteSucceededMessage);
                return;
            case Kind::ValueDeleted:
                w.messageBox(kValueDeletedMessage);
                return;
            case Kind::KeyDeleted:
                w.messageBox(keyDeletedMessage(outcome.keys, outcome.values));
                return;
            case Kind::NothingToDelete:
                w.messageBox(kNothingToDeleteMessage);
                return;
            case Kind::Ambiguous:
                w.messageBox(kAmbiguousDeleteMessage);
                return;
            case Kind::Protected:
                w.messageBox(kProtectedKeyMessage);
                return;
            case Kind::UndoNotSaved:
                w.messageBox(outcome.isDelete ? kDeleteUndoNotSavedMessage : kUndoNotSavedMessage);
                return;
            case Kind::Failed:
                w.messageBox(kWriteFailedMessage);
                w.messageBox(outcome.entryPresent ? kEntryExistsMessage : kEntryMissingMessage);
                if (outcome.denied) w.messageBox(kNoRightsMessage);
                return;
        }
    }

    void show(ui::Window& w, const scheme::Step& step) {
        switch (step.kind) {
            case scheme::StepKind::Hint:
                w.setCurrentPage(kPages, kHintPage);
                w.setText(kHintBox, text::gbkToUtf8(step.text));
                break;
            case scheme::StepKind::Delete:
                w.setCurrentPage(kPages, kRegistryPage);
                w.setText(kValueBox, kDeleteInstruction);
                w.setText(kPathBox, text::gbkToUtf8(step.text));
                break;
            case scheme::StepKind::Write:
                w.setCurrentPage(kPages, kRegistryPage);
                w.setText(kPathBox, text::gbkToUtf8(step.text));
                w.setText(kValueBox, text::gbkToUtf8(step.value));
                break;
        }
    }

    SchemeRun& run_;
    registry::Registry& registry_;
    SchemeLoader load_;
    JournalWayBack wayBack_;
};

}  // namespace

std::string keyDeletedMessage(std::size_t keys, std::size_t values) {
    return "注册表项已删除（共 " + std::to_string(keys) + " 个项、" + std::to_string(values) +
           " 个值），即将进行下一步";
}

ui::Handlers runnerHandlers(SchemeRun& run, registry::Registry& registry, SchemeLoader load, UndoJournal undo) {
    auto runner = std::make_shared<Runner>(run, registry, std::move(load), std::move(undo));
    ui::Handlers h;
    h.onCreated([runner](ui::Window& w) { runner->start(w); });
    h.on(kExecute, ui::Event::Clicked, [runner](ui::Window& w) { runner->execute(w); });
    h.on(kSkip, ui::Event::Clicked, [runner](ui::Window& w) { runner->advance(w); });
    h.on(kNext, ui::Event::Clicked, [runner](ui::Window& w) { runner->advance(w); });
    h.on(kLeaveRegistryStep, ui::Event::Clicked, [runner](ui::Window& w) { runner->leave(w); });
    h.on(kLeaveHint, ui::Event::Clicked, [runner](ui::Window& w) { runner->leave(w); });
    return h;
}

}  // namespace lz::optimizer
