#include "optimizer/runner.h"

#include <memory>

#include "optimizer/layouts.h"
#include "optimizer/registry_deletes.h"
#include "platform/text.h"
#include "steps/registry_steps.h"

namespace lz::optimizer {

namespace {

constexpr const char* kRowList = "超级列表框1";
constexpr const char* kTabs = "选择夹1";
constexpr const char* kPathBox = "编辑框1";
constexpr const char* kValueBox = "编辑框2";
constexpr const char* kHintBox = "编辑框3";

class Runner {
public:
    Runner(RunState& state, registry::Registry& registry, SchemeLoader load, UndoJournal undo)
        : state_(state), registry_(registry), load_(std::move(load)), undo_(std::move(undo)) {}

    // Window created: every line of the scheme file becomes a row of the hidden list, then
    // the first Advance starts reading the steps and shows step 1.
    void start(ui::Window& w) {
        std::optional<files::SharedBytes> loaded = load_ ? load_() : std::nullopt;
        // A file that cannot be read counts as an empty text: one line, no step.
        text_ = loaded ? std::move(*loaded) : files::SharedBytes{};
        w.appendAllLines(kRowList, text_.owner, text_.bytes);
        state_.stepCounter = 0;
        advance(w);
    }

    void advance(ui::Window& w) {
        const std::int32_t c = ++state_.stepCounter;
        // Step c - 1 is read, with every line that continues it, before it is shown; when the
        // text ends before it, the scheme is done.
        if (c >= 2) state_.steps.readTo(static_cast<std::size_t>(c - 1));
        if (c - 2 == static_cast<std::int32_t>(state_.steps.size())) {
            w.messageBox(kFinishedMessage);
            w.close();
        } else if (c == 1) {
            parse(w);
        } else {
            show(w, c - 1);
        }
    }

    void execute(ui::Window& w) {
        const scheme::Step* step = current();
        if (!step) return;
        if (step->kind == scheme::StepKind::Delete) {
            executeDelete(w, *step);
            return;
        }
        const auto write = steps::prepareRegistryWrite(step->text, step->value, step->typeCode());
        // The way back is on disk before the registry changes, or the registry does not change.
        if (write && !undo_.recordBefore(registry_, write->entry)) {
            w.messageBox(kUndoNotSavedMessage);
            return;
        }
        const registry::Change change = write ? steps::applyRegistryWrite(registry_, *write) : registry::Change::Failed;
        if (change == registry::Change::Done) {
            w.messageBox(kWriteSucceededMessage);
            advance(w);
            return;
        }
        reportFailure(w, steps::registryEntryExists(registry_, step->text), change);
    }

    void leave(ui::Window& w) { w.close(); }

private:
    // A delete step: what its path names goes, after its way back is on disk.
    void executeDelete(ui::Window& w, const scheme::Step& step) {
        using Kind = DeleteTarget::Kind;
        const DeleteTarget target = findDeleteTarget(registry_, step.text);
        std::string deleted = kValueDeletedMessage;
        switch (target.kind) {
            case Kind::Nothing:
                w.messageBox(kNothingToDeleteMessage);
                advance(w);
                return;
            case Kind::Ambiguous:
                w.messageBox(kAmbiguousDeleteMessage);
                return;
            case Kind::Protected:
                w.messageBox(kProtectedKeyMessage);
                return;
            case Kind::Unknown:
                w.messageBox(kDeleteUndoNotSavedMessage);
                return;
            case Kind::Value:
                if (!undo_.recordBefore(registry_, target.entry)) {
                    w.messageBox(kDeleteUndoNotSavedMessage);
                    return;
                }
                break;
            case Kind::Key: {
                const auto snapshot = readKeySnapshot(registry_, target.entry.root, target.entry.subKey);
                if (!snapshot || !undo_.recordBefore(target.entry.root, *snapshot)) {
                    w.messageBox(kDeleteUndoNotSavedMessage);
                    return;
                }
                deleted = keyDeletedMessage(snapshot->keys.size(), snapshot->valueCount());
                break;
            }
        }
        const registry::Change change = deleteTarget(registry_, target);
        if (change == registry::Change::Done || change == registry::Change::Absent) {
            w.messageBox(change == registry::Change::Done ? deleted : std::string(kNothingToDeleteMessage));
            advance(w);
            return;
        }
        // What went before the failure is in the undo file already: nothing is lost.
        reportFailure(w, lookUpTarget(registry_, target) == registry::Existence::Present, change);
    }

    static void reportFailure(ui::Window& w, bool entryExists, registry::Change change) {
        w.messageBox(kWriteFailedMessage);
        w.messageBox(entryExists ? kEntryExistsMessage : kEntryMissingMessage);
        if (change == registry::Change::Denied) w.messageBox(kNoRightsMessage);
    }

    // Rows 1 to n-1 become the step table; the last row is the scheme's name and never runs.
    // The table is read as the steps are reached, so that step 1 of a large scheme shows at
    // once.
    void parse(ui::Window& w) {
        state_.steps = scheme::StepTable();
        state_.rowsToParse = w.rowCount(kRowList) - 1;
        if (state_.rowsToParse <= 0) {
            w.messageBox(kEmptySchemeMessage);
            w.exitProgram(0);
            return;
        }
        // The rows are the lines of the text just loaded, so the table is read from the text
        // itself, which the run keeps; its steps view it.
        state_.text = std::move(text_);
        state_.steps = scheme::StepTable::overTextOnDemand(state_.text.bytes);
        advance(w);
    }

    const scheme::Step* current() const {
        const std::int32_t n = state_.stepCounter - 1;
        if (n < 1 || n > static_cast<std::int32_t>(state_.steps.size())) return nullptr;
        return &state_.steps[static_cast<size_t>(n - 1)];
    }

    void show(ui::Window& w, std::int32_t n) {
        const scheme::Step& step = state_.steps[static_cast<size_t>(n - 1)];
        switch (step.kind) {
            case scheme::StepKind::Hint:
                w.setCurrentPage(kTabs, kHintPage);
                w.setText(kHintBox, text::gbkToUtf8(step.text));
                break;
            case scheme::StepKind::Delete:
                w.setCurrentPage(kTabs, kRegistryPage);
                w.setText(kValueBox, kDeleteInstruction);
                w.setText(kPathBox, text::gbkToUtf8(step.text));
                break;
            case scheme::StepKind::Write:
                w.setCurrentPage(kTabs, kRegistryPage);
                w.setText(kPathBox, text::gbkToUtf8(step.text));
                w.setText(kValueBox, text::gbkToUtf8(step.value));
                break;
        }
    }

    RunState& state_;
    registry::Registry& registry_;
    SchemeLoader load_;
    UndoJournal undo_;
    files::SharedBytes text_;
};

}  // namespace

std::string keyDeletedMessage(std::size_t keys, std::size_t values) {
    return "注册表项已删除（共 " + std::to_string(keys) + " 个项、" + std::to_string(values) +
           " 个值），即将进行下一步";
}

void endRun(RunState& state) {
    state.steps = scheme::StepTable();
    state.text = {};
}

ui::Handlers runnerHandlers(RunState& state, registry::Registry& registry, SchemeLoader load, UndoJournal undo) {
    auto runner = std::make_shared<Runner>(state, registry, std::move(load), std::move(undo));
    ui::Handlers h;
    h.onCreated([runner](ui::Window& w) { runner->start(w); });
    h.on("按钮2", ui::Event::Clicked, [runner](ui::Window& w) { runner->execute(w); });
    h.on("按钮1", ui::Event::Clicked, [runner](ui::Window& w) { runner->advance(w); });
    h.on("按钮3", ui::Event::Clicked, [runner](ui::Window& w) { runner->advance(w); });
    h.on("按钮5", ui::Event::Clicked, [runner](ui::Window& w) { runner->leave(w); });
    h.on("按钮4", ui::Event::Clicked, [runner](ui::Window& w) { runner->leave(w); });
    return h;
}

}  // namespace lz::optimizer
