// The scheme file (.lzvt): GBK bytes, every step line followed by "\r\n", then the scheme
// name with no line break after it. This module composes step lines and whole files, splits
// a text into lines, and reads a scheme the two ways the programs do:
//  - the editor keeps every line as an opaque row and the last line as the scheme name;
//  - the optimizer parses the lines (all but the last) into a table of steps.
// Everything here is bytes: nothing is decoded, trimmed or validated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lz::scheme {

// Record kinds (first field of a step line).
inline constexpr std::string_view kHintKind = "TSWB";
inline constexpr std::string_view kWriteKind = "ZCBTJ";
inline constexpr std::string_view kDeleteKind = "ZCBSC";
// The fixed third field of a delete line.
inline constexpr std::string_view kDeleteMark = "SC";
// Value-type codes (fourth field of an add-or-change line).
inline constexpr std::string_view kBinaryCode = "EJZSZ";
inline constexpr std::string_view kDwordCode = "SZJZ";
inline constexpr std::string_view kStringCode = "ZCZ";
// "无" in GBK: the value and type code of hint and delete steps.
inline constexpr std::string_view kNone = "\xCE\xDE";

inline constexpr std::string_view kLineBreak = "\r\n";

// ---- Writing -------------------------------------------------------------------------------

// Step lines, without a final line break (a hint text may hold "\r\n").
std::string composeHint(std::string_view text);
std::string composeWrite(std::string_view path, std::string_view value, std::string_view typeCode);
std::string composeDelete(std::string_view path);

// The file bytes: each row (strings or views) followed by "\r\n", then the name.
template <class Rows>
std::string serialize(const Rows& rows, std::string_view name) {
    std::size_t size = name.size();
    for (const std::string_view row : rows) size += row.size() + kLineBreak.size();
    std::string text;
    text.reserve(size);
    for (const std::string_view row : rows) text.append(row).append(kLineBreak);
    text.append(name);
    return text;
}

// ---- Lines ---------------------------------------------------------------------------------

// Number of lines of a text: line feeds + 1 (an empty text has one line).
std::size_t countLines(std::string_view text);

// The countLines(text) lines of a text, as views into it. A line ends at a line feed; one
// carriage return directly before the line feed is dropped. The text after the last line
// feed (possibly empty) is the last line.
std::vector<std::string_view> splitLines(std::string_view text);

// ---- The editor's reading ------------------------------------------------------------------

// Views into the text read: the editor keeps the text and shows the rows from it.
struct EditorScheme {
    std::vector<std::string_view> rows;  // every line but the last, unchanged
    std::string_view name;               // the last line
};

// A one-line text is a name without rows; otherwise lines 1..count-1 are rows and the last
// line is the name.
EditorScheme readForEditor(std::string_view text);

// ---- The optimizer's reading ---------------------------------------------------------------

enum class StepKind : std::uint8_t { Hint, Write, Delete };
// What a write step's value text is, as its type code says; the registry value it becomes is
// another matter (steps/registry_steps.h).
enum class StepValueType : std::uint8_t { None, Binary, Dword, String };

std::string_view kindCode(StepKind kind);       // "TSWB", "ZCBTJ", "ZCBSC"
std::string_view typeCode(StepValueType type);  // "无", "EJZSZ", "SZJZ", "ZCZ"

// One step of the table. The views point into the StepTable that holds the step (or into
// static storage for "无"), so a step is valid as long as its table.
struct Step {
    StepKind kind;
    StepValueType type;      // None for hints and deletes
    std::string_view text;   // hint text, or registry path
    std::string_view value;  // value text; "无" for hints and deletes

    std::string_view kindCode() const { return scheme::kindCode(kind); }
    std::string_view typeCode() const { return scheme::typeCode(type); }
};

// The optimizer's step table. Each line is split at every "|" into f1, f2, ...; the first
// rule that applies decides:
//  1. f1 "TSWB": a hint with text f2 (further fields ignored);
//  2. f1 "ZCBSC": a delete step with path f2 (further fields ignored);
//  3. 4 or more fields: an add-or-change step, path f2, value f3, type from f4 ("EJZSZ" and
//     "SZJZ" stand, anything else is "ZCZ"); f1 is not examined;
//  4. otherwise the line continues the step read last: its text becomes text + "\r\n" + f1.
// Cases the format leaves open, settled the way a user of the optimizer is least surprised:
//  - "TSWB" or "ZCBSC" without a second field is a step with an empty text: the kind is
//    unmistakable, and keeping the step keeps the steps in the order the author wrote them.
//  - A continuation line before any step is ignored: there is nothing to continue, and
//    inventing a step of some kind from it would show the user something nobody wrote.
//  - An empty line continues a hint (its text gets "\r\n"), because that is how the editor
//    stores an empty line inside a multi-line hint; after a registry step, or before any
//    step, it is ignored, so a stray blank line never breaks a registry path.
//
// A table over a text can also be read on demand (overTextOnDemand): lines are read a block
// at a time as steps are asked for, so the runner shows step 1 of a large scheme without
// reading the rest first. Such a table holds only complete steps: a step is complete once the
// line after it starts another step or the text has been read to its end, because until then
// further lines may still continue it.
//
// Move-only: the steps view the table's own storage, which stays in place when it moves.
class StepTable {
public:
    // Bytes of lines read at a time (a line longer than this is read on its own).
    static constexpr std::size_t kReadAhead = 16 * 1024;

    StepTable() = default;
    StepTable(StepTable&&) noexcept = default;
    StepTable& operator=(StepTable&&) noexcept = default;
    StepTable(const StepTable&) = delete;
    StepTable& operator=(const StepTable&) = delete;

    // Parses the given rows, every one of them, each as the one line it is (a text split into
    // lines, the name dropped, reads as the text does). The rows are copied.
    static StepTable fromRows(std::span<const std::string_view> rows);

    // Reads a whole scheme file text: splits it into lines, drops the last (the name) and
    // parses the rest. The table views the text, so the caller must keep the text alive and
    // unchanged as long as the table is used.
    static StepTable overText(std::string_view text);
    // As overText, but nothing is read yet: readTo reads as far as the steps asked for.
    static StepTable overTextOnDemand(std::string_view text);

    // Reads on until `count` steps are complete, or to the end of the text.
    void readTo(std::size_t count);
    // True when every line has been read (always, but for a table read on demand).
    bool complete() const { return next_ == end_; }

    // The complete steps read so far: all of them once the table is complete.
    std::span<const Step> steps() const { return {steps_.data(), size()}; }
    std::size_t size() const { return steps_.size() - (complete() || steps_.empty() ? 0 : 1); }
    bool empty() const { return size() == 0; }
    const Step& operator[](std::size_t index) const { return steps_[index]; }

private:
    friend class StepTableBuilder;

    void readOn(std::size_t count);

    std::unique_ptr<std::string> source_;              // the rows fromRows copied
    std::unique_ptr<std::deque<std::string>> joined_;  // texts joined from continuation lines
    std::vector<Step> steps_;                          // the last one may still be continued
    bool joining_ = false;                             // the last step's text is joined_->back() and may grow
    const char* next_ = nullptr;                       // the first line not read yet
    const char* end_ = nullptr;                        // after the last line feed: the scheme name starts here
    const char* limit_ = nullptr;                      // the end of the text: bytes up to here may be looked at
};

}  // namespace lz::scheme
