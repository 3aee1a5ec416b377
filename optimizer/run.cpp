#include "optimizer/run.h"

#include <limits>

#include "optimizer/registry_deletes.h"

namespace lz::optimizer {
namespace {

using Kind = StepOutcome::Kind;

StepOutcome outcome(Kind kind, bool isDelete) {
    StepOutcome result;
    result.kind = kind;
    result.isDelete = isDelete;
    return result;
}

// The change did not go through: what the step names is looked at again, after the failure.
StepOutcome failure(registry::Change change, std::string reason, bool entryPresent, bool isDelete) {
    StepOutcome result = outcome(Kind::Failed, isDelete);
    result.denied = change == registry::Change::Denied;
    result.entryPresent = entryPresent;
    result.reason = std::move(reason);
    return result;
}

StepOutcome executeWrite(const scheme::Step& step, registry::Registry& registry, WayBack& wayBack) {
    const auto write = steps::prepareRegistryWrite(step.text, step.value, step.typeCode());
    // The way back is kept before the registry changes, or the registry does not change.
    if (write && !wayBack.keepBefore(registry, write->entry)) return outcome(Kind::UndoNotSaved, false);
    const registry::Change change = write ? steps::applyRegistryWrite(registry, *write) : registry::Change::Failed;
    if (change == registry::Change::Done) return outcome(Kind::Written, false);
    // The system's words first: looking the entry up afterwards is no change and keeps them.
    std::string reason = write ? registry.lastFailureText() : std::string();
    return failure(change, std::move(reason), steps::registryEntryExists(registry, step.text), false);
}

StepOutcome executeDelete(const scheme::Step& step, registry::Registry& registry, WayBack& wayBack) {
    using Target = DeleteTarget::Kind;
    const DeleteTarget target = findDeleteTarget(registry, step.text);
    StepOutcome done = outcome(Kind::ValueDeleted, true);
    switch (target.kind) {
        case Target::Nothing:
            return outcome(Kind::NothingToDelete, true);
        case Target::Ambiguous:
            return outcome(Kind::Ambiguous, true);
        case Target::Protected:
            return outcome(Kind::Protected, true);
        case Target::Unknown:
            return outcome(Kind::UndoNotSaved, true);
        case Target::Value:
            if (!wayBack.keepBefore(registry, target.entry)) return outcome(Kind::UndoNotSaved, true);
            break;
        case Target::Key: {
            const auto snapshot = readKeySnapshot(registry, target.entry.root, target.entry.subKey);
            if (!snapshot || !wayBack.keepBefore(target.entry.root, *snapshot))
                return outcome(Kind::UndoNotSaved, true);
            done.kind = Kind::KeyDeleted;
            done.keys = snapshot->keys.size();
            done.values = snapshot->valueCount();
            break;
        }
    }
    const registry::Change change = deleteTarget(registry, target);
    if (change == registry::Change::Done) return done;
    if (change == registry::Change::Absent) return outcome(Kind::NothingToDelete, true);
    // What went before the failure has its way back kept already: nothing is lost.
    std::string reason = registry.lastFailureText();
    return failure(change, std::move(reason), lookUpTarget(registry, target) == registry::Existence::Present, true);
}

// Whether a line starts a step: the first field is a hint's or a delete's kind, or the line has
// four fields or more.
bool startsStep(std::string_view line) {
    const std::size_t bar = line.find('|');
    const std::string_view first = line.substr(0, bar);
    if (first == scheme::kHintKind || first == scheme::kDeleteKind) return true;
    std::size_t bars = 0;
    for (const char c : line) bars += c == '|';
    return bars >= 3;
}

}  // namespace

bool StepOutcome::movesOn() const {
    return kind == Kind::Hint || kind == Kind::Written || kind == Kind::ValueDeleted || kind == Kind::KeyDeleted ||
           kind == Kind::NothingToDelete;
}

bool StepOutcome::failed() const {
    return !movesOn();
}

StepOutcome executeStep(const scheme::Step& step, registry::Registry& registry, WayBack& wayBack) {
    switch (step.kind) {
        case scheme::StepKind::Hint:
            return {};
        case scheme::StepKind::Delete:
            return executeDelete(step, registry, wayBack);
        case scheme::StepKind::Write:
            break;
    }
    return executeWrite(step, registry, wayBack);
}

SchemeRun::SchemeRun(files::SharedBytes text)
    : text_(std::move(text)),
      steps_(scheme::StepTable::overTextOnDemand(text_.bytes)),
      started_(true),
      empty_(text_.bytes.find('\n') == std::string_view::npos) {}

bool SchemeRun::advance() {
    if (!started_ || position_ > steps_.size()) return false;
    ++position_;
    // Step n is read, with every line that continues it, before it is shown.
    steps_.readTo(position_);
    return position_ <= steps_.size();
}

const scheme::Step* SchemeRun::current() const {
    if (position_ < 1 || position_ > steps_.size()) return nullptr;
    return &steps_[position_ - 1];
}

StepOutcome SchemeRun::execute(registry::Registry& registry, WayBack& wayBack) const {
    const scheme::Step* step = current();
    return step ? executeStep(*step, registry, wayBack) : StepOutcome{};
}

void SchemeRun::readAll() {
    steps_.readTo(std::numeric_limits<std::size_t>::max());
}

std::vector<std::size_t> stepLineNumbers(std::string_view text) {
    std::vector<std::size_t> numbers;
    // Every line that ends with a line feed (one CR before it dropped); the rest is the name.
    std::size_t number = 1;
    for (std::size_t end; (end = text.find('\n')) != std::string_view::npos; ++number) {
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r')) line.remove_suffix(1);
        if (startsStep(line)) numbers.push_back(number);
        text.remove_prefix(end + 1);
    }
    return numbers;
}

}  // namespace lz::optimizer
