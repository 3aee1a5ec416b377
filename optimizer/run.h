// The run of a scheme, without any window: the scheme's text, its steps read as far as the run
// has come, where the run is, and executing a step. Executing gives back what happened as a
// value; the runner window turns it into its messages, the run without windows (headless.h)
// into lines of its log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "optimizer/undo.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "scheme/scheme.h"
#include "steps/registry_steps.h"

namespace lz::optimizer {

// What executing one step came to.
struct StepOutcome {
    enum class Kind {
        Hint,             // the author's hint: there is nothing to execute
        Written,          // the value was set
        ValueDeleted,     // the value the path names is gone
        KeyDeleted,       // the key is gone with everything below it (keys, values)
        NothingToDelete,  // neither a value nor a key of that name is there
        Ambiguous,        // a value and a key of that name are both there: nothing deleted
        Protected,        // a key no scheme may delete: nothing deleted
        UndoNotSaved,     // its way back could not be kept: nothing changed
        Failed,           // the registry did not make the change (or the step names nothing to write)
    };
    Kind kind = Kind::Hint;
    bool isDelete = false;
    std::size_t keys = 0;       // KeyDeleted: the key and every key below it
    std::size_t values = 0;     // KeyDeleted: the values of all of them
    bool entryPresent = false;  // Failed: whether what the step names is there after the failure
    bool denied = false;        // Failed: refused for lack of rights
    std::string reason;         // Failed: the system's words for it (UTF-8), when it gave any

    // True when the run goes on to the next step after it, as after a success.
    bool movesOn() const;
    // True for a registry step that did not do what it says.
    bool failed() const;
    bool operator==(const StepOutcome&) const = default;
};

// Keeps the way back from a change before the change is made.
class WayBack {
public:
    virtual ~WayBack() = default;
    // Before a write to `entry`, or before the value it names is deleted, with the registry as it
    // is now. True when the change may go ahead.
    virtual bool keepBefore(registry::Registry& registry, const steps::RegistryEntry& entry) = 0;
    // Before a key is deleted, with the key as read just before.
    virtual bool keepBefore(registry::Root root, const KeySnapshot& snapshot) = 0;
};

// The way back of the runner window: each change's way back saved in the run's undo file before
// the change.
class JournalWayBack final : public WayBack {
public:
    explicit JournalWayBack(UndoJournal journal) : journal_(std::move(journal)) {}
    bool keepBefore(registry::Registry& registry, const steps::RegistryEntry& entry) override {
        return journal_.recordBefore(registry, entry);
    }
    bool keepBefore(registry::Root root, const KeySnapshot& snapshot) override {
        return journal_.recordBefore(root, snapshot);
    }
    const UndoJournal& journal() const { return journal_; }

private:
    UndoJournal journal_;
};

// Executes one step on the registry, its way back kept first: a write sets its value, a delete
// deletes what its path names (registry_deletes.h), a hint does nothing.
StepOutcome executeStep(const scheme::Step& step, registry::Registry& registry, WayBack& wayBack);

// One run of a scheme. Its steps are read from the text as the run reaches them, so that step 1
// of a large scheme is there at once. Move-only: the steps view the run's text.
class SchemeRun {
public:
    SchemeRun() = default;  // no run
    // A run of the scheme file's text; an unreadable file is an empty text.
    explicit SchemeRun(files::SharedBytes text);

    // True when the scheme has no step line at all: its text is the name alone.
    bool empty() const { return empty_; }

    // On to the next step: true when there is one (current() gives it), false when the scheme
    // is done.
    bool advance();
    // The step on display, or nothing before the first step and after the last.
    const scheme::Step* current() const;
    // Its number, from 1; 0 before the first step.
    std::size_t position() const { return position_; }
    // The runner's step counter: 0 before a run, 1 once the run has its text and before its first
    // step, n + 1 while step n is on display (the number of steps + 2 once it is done).
    std::int32_t stepCounter() const { return started_ ? static_cast<std::int32_t>(position_) + 1 : 0; }

    // Executes the step on display; a hint (or no step at all) does nothing.
    StepOutcome execute(registry::Registry& registry, WayBack& wayBack) const;

    // The steps read so far (every step, once the run is done).
    const scheme::StepTable& steps() const { return steps_; }
    // Reads every step of the scheme now.
    void readAll();
    // The scheme file's text, which the run keeps (unchanged) while it lasts.
    const files::SharedBytes& text() const { return text_; }

private:
    files::SharedBytes text_;
    scheme::StepTable steps_;
    std::size_t position_ = 0;
    bool started_ = false;
    bool empty_ = true;
};

// The line of the scheme text each step starts on, from 1, in the order of the steps: a line
// starts a step where the optimizer's reading begins one (scheme.h); the lines that continue it
// are not counted as steps.
std::vector<std::size_t> stepLineNumbers(std::string_view text);

}  // namespace lz::optimizer
