#include "optimizer/headless.h"

#include <string_view>
#include <vector>

#include "optimizer/planned_registry.h"
#include "optimizer/run.h"
#include "optimizer/undo.h"
#include "platform/cmdline.h"
#include "platform/text.h"
#include "platform/undo_files.h"

namespace lz::optimizer {
namespace {

using Kind = StepOutcome::Kind;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// What the command line asks for: the scheme and the log's place, or what is wrong with it.
struct Request {
    std::optional<std::string> scheme;
    std::optional<std::string> log;
    std::string problem;  // the first thing wrong; empty when nothing is
};

// Paths on Windows are written with "\": an argument that starts with "/" is a switch. Every
// argument is looked at, so that a log asked for is known even on a bad command line.
Request readRequest(std::span<const std::string> arguments) {
    Request request;
    const auto complain = [&](std::string_view message, std::string_view subject) {
        if (request.problem.empty()) request.problem.append(message).append(subject);
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        std::optional<std::string>* target = nullptr;
        if (cmdline::isSwitch(argument, "/run"))
            target = &request.scheme;
        else if (cmdline::isSwitch(argument, "/log"))
            target = &request.log;
        else if (argument.starts_with('/'))
            complain(kUnknownSwitchMessage, argument);
        else
            complain(kExtraArgumentMessage, argument);
        if (!target) continue;
        if (i + 1 == arguments.size() || arguments[i + 1].empty() || arguments[i + 1].starts_with('/')) {
            complain(kMissingPathMessage, argument);
            continue;
        }
        if (*target) complain(kRepeatedSwitchMessage, argument);
        *target = arguments[++i];
    }
    if (request.problem.empty() && !request.scheme) request.problem = kNoRunMessage;
    return request;
}

// The scheme's file name: what its undo file is named after.
std::string_view fileNameOf(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

// A step's text on one line of the log.
std::string oneLine(std::string_view gbk) {
    std::string text = text::gbkToUtf8(gbk);
    for (char& c : text) {
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    }
    return text;
}

// The log's lines, kept until the run ends; then written whole, and shown on the standard error.
// Texts are appended in place: each line put together from temporary strings would cost the
// program code of its own.
class Log {
public:
    Log& operator<<(std::string_view text) {
        text_.append(text);
        return *this;
    }
    // A count, in decimal digits.
    Log& operator<<(std::size_t number) {
        const std::size_t at = text_.size();
        do {
            text_.insert(text_.begin() + static_cast<std::ptrdiff_t>(at), static_cast<char>('0' + number % 10));
            number /= 10;
        } while (number != 0);
        return *this;
    }
    void end() { text_.append(kLineEnd); }
    void line(std::string_view text) { (*this << text).end(); }

    // Into the file (with the byte-order mark) and onto the standard error (when there is one).
    void finish(HeadlessServices& s, const std::optional<std::string>& path) {
        if (path && !s.files.writeAll(*path, text_)) (*this << kLogUnwritableMessage << *path).end();
        s.process.writeError(std::string_view(text_).substr(kUtf8Mark.size()));
    }

private:
    std::string text_{kUtf8Mark};
};

void describeStep(Log& log, const scheme::Step& step) {
    switch (step.kind) {
        case scheme::StepKind::Hint:
            log << "提示 " << oneLine(step.text);
            return;
        case scheme::StepKind::Delete:
            log << "删除 " << oneLine(step.text);
            return;
        case scheme::StepKind::Write:
            log << "写入 " << oneLine(step.text) << " = " << oneLine(step.value);
            return;
    }
}

void describeOutcome(Log& log, const StepOutcome& outcome) {
    switch (outcome.kind) {
        case Kind::Hint:
            log << "已列出";
            return;
        case Kind::Written:
            log << "已写入";
            return;
        case Kind::ValueDeleted:
            log << "值已删除";
            return;
        case Kind::KeyDeleted:
            log << "项已删除（共 " << outcome.keys << " 个项、" << outcome.values << " 个值）";
            return;
        case Kind::NothingToDelete:
            log << "不存在，无需删除";
            return;
        case Kind::Ambiguous:
            log << "失败：既有同名的值又有同名的项，未删除";
            return;
        case Kind::Protected:
            log << "失败：系统的关键项，已拒绝删除";
            return;
        case Kind::UndoNotSaved:
            log << "失败：撤销记录无法保存，未更改";
            return;
        case Kind::Failed:
            log << (outcome.entryPresent ? "失败：注册表项存在" : "失败：注册表项不存在");
            if (!outcome.reason.empty()) log << "\t" << outcome.reason;
            return;
    }
}

// Notes the way back from each change in the record, from the registry as the change meets it.
class NotingWayBack final : public WayBack {
public:
    explicit NotingWayBack(UndoRecord& record) : record_(record) {}
    bool keepBefore(registry::Registry& registry, const steps::RegistryEntry& entry) override {
        const std::optional<PreviousState> previous = readPreviousState(registry, entry);
        return previous && record_.note(entry, *previous);
    }
    bool keepBefore(registry::Root root, const KeySnapshot& snapshot) override { return record_.note(root, snapshot); }

private:
    UndoRecord& record_;
};

// The way back of a change is on disk already, or there is none and the change is not made: a
// change goes ahead only when the plan saw the same kind of change coming at this step, so that
// nothing the plan did not foresee is changed without its way back.
class KeptWayBack final : public WayBack {
public:
    void expect(Kind planned, bool saved) {
        value_ = saved && (planned == Kind::Written || planned == Kind::ValueDeleted || planned == Kind::Failed);
        key_ = saved && planned == Kind::KeyDeleted;
    }
    bool keepBefore(registry::Registry&, const steps::RegistryEntry&) override { return value_; }
    bool keepBefore(registry::Root, const KeySnapshot&) override { return key_; }

private:
    bool value_ = false;
    bool key_ = false;
};

// What each step is expected to come to, and how far the record had got after it.
struct PlannedStep {
    Kind kind = Kind::Hint;
    UndoRecord::Mark mark;
};

// Executes the steps from `from` on on the planned registry, the way back from each change noted
// in `record` from the state the change meets there.
void plan(std::span<const scheme::Step> steps, std::size_t from, registry::Registry& registry, UndoRecord& record,
          std::vector<PlannedStep>& planned) {
    PlannedRegistry future(registry);
    NotingWayBack noting(record);
    for (std::size_t i = from; i < steps.size(); ++i) {
        planned[i].kind = executeStep(steps[i], future, noting).kind;
        planned[i].mark = record.mark();
    }
}

int runScheme(const std::string& schemePath, const std::optional<std::string>& logPath, HeadlessServices& s) {
    Log log;
    (log << "方案：" << schemePath).end();
    std::optional<files::SharedBytes> text = s.files.readKept(schemePath);
    if (!text) {
        (log << kUnreadableSchemeMessage << schemePath).end();
        log.finish(s, logPath);
        return kNothingChanged;
    }
    const std::vector<std::size_t> lineNumbers = stepLineNumbers(text->bytes);
    SchemeRun run(std::move(*text));
    run.readAll();
    const std::span<const scheme::Step> steps = run.steps().steps();
    if (steps.empty()) {
        (log << kNoStepsMessage << schemePath).end();
        log.finish(s, logPath);
        return kNothingChanged;
    }

    // The way back from every change, noted in the order the changes will be made, each from
    // the state it will meet, and saved once. The file is made even for a run that will change
    // nothing, so that every run has one to name in its log.
    UndoJournal journal(s.files, undo_files::undoFolders(s.process), std::string(fileNameOf(schemePath)),
                        s.clock.now());
    std::vector<PlannedStep> planned(steps.size());
    plan(steps, 0, s.registry, journal.record(), planned);
    if (!journal.saveRecord()) {
        log.line(kUndoUnsavedMessage);
        log.finish(s, logPath);
        return kNothingChanged;
    }

    std::size_t done = 0, failed = 0, hints = 0;
    bool wayBackSaved = true;
    KeptWayBack kept;
    while (run.advance()) {
        const std::size_t i = run.position() - 1;
        kept.expect(planned[i].kind, wayBackSaved);
        const StepOutcome outcome = run.execute(s.registry, kept);
        const std::size_t line = i < lineNumbers.size() ? lineNumbers[i] : 0;
        log << "第 " << line << " 行\t";
        describeStep(log, steps[i]);
        log << "\t";
        describeOutcome(log, outcome);
        log.end();
        if (outcome.kind == Kind::Hint)
            ++hints;
        else if (outcome.failed())
            ++failed;
        else
            ++done;
        // The registry is not what the plan foresaw (a change refused, say): what the later
        // steps meet is worked out again from the registry as it now is, and saved again. The
        // way back from this step stays: a change that failed may have made part of itself.
        if (wayBackSaved && outcome.kind != planned[i].kind) {
            journal.record().rollBack(planned[i].mark);
            plan(steps, i + 1, s.registry, journal.record(), planned);
            wayBackSaved = journal.saveRecord();
        }
    }
    (log << "共 " << steps.size() << " 步：完成 " << done << " 步，失败 " << failed << " 步，提示 " << hints << " 步")
        .end();
    (log << "撤销文件：" << journal.filePath()).end();
    std::string defaultLog = journal.filePath();
    if (defaultLog.ends_with(".reg")) defaultLog.resize(defaultLog.size() - 4);
    defaultLog.append(".log");
    log.finish(s, logPath ? logPath : std::optional<std::string>(std::move(defaultLog)));
    return failed == 0 ? kAllApplied : kSomeFailed;
}

}  // namespace

std::optional<int> runWithoutWindows(std::span<const std::string> arguments, HeadlessServices services) {
    bool anySwitch = false;
    for (const std::string& argument : arguments) anySwitch = anySwitch || argument.starts_with('/');
    if (!anySwitch) return std::nullopt;

    const Request request = readRequest(arguments);
    if (!request.problem.empty()) {
        Log log;
        log.line(request.problem);
        log.line(std::string_view(kUsage).substr(0, std::string_view(kUsage).size() - kLineEnd.size()));
        log.finish(services, request.log);
        return kBadCommandLine;
    }
    return runScheme(*request.scheme, request.log, services);
}

}  // namespace lz::optimizer
