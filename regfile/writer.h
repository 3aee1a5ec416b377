// Writing .reg text: sections, value lines in the forms the system's importer reads back
// exactly, comments, and the file's bytes.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "regfile/regfile.h"

namespace lz::regfile {

// "name" quoted for a file: in double quotes, with "\" and '"' escaped by a backslash.
std::u16string quoted(std::u16string_view text);

// The right-hand side of `"name"=...`, as the registry editor exports it: a plain string in
// quotes where quoting gives back the very bytes (an even count, one terminating zero at the
// end and no other zero or line break), dword:xxxxxxxx for 4-byte DWORD data, hex: for binary
// data, and hex(N): for everything else. A long hex list is continued on the next line with
// "\" once it reaches column 76; `column` is where the data starts on its line.
std::u16string dataText(const Data& data, std::size_t column);

// `"name"=data`, or `@=data` for the default value.
std::u16string valueLine(std::u16string_view name, const Data& data);
// `"name"=-`, or `@=-`: the value goes.
std::u16string deleteValueLine(std::u16string_view name);

// Builds a file's text: the header line first, then sections, value lines and comments, each
// line ended by CR LF, and a blank line before every section.
class Writer {
public:
    Writer();

    // `; text`, one comment line for each line of the text.
    void comment(std::u16string_view text);
    // Opens the section of `key` ([key]) unless it is the one open already.
    void section(std::u16string_view key);
    // Opens a section of `key` even when the last one names it too.
    void newSection(std::u16string_view key);
    // [-key]; the next value needs a section of its own.
    void deleteKey(std::u16string_view key);
    // A value line in the open section (open one first).
    void value(std::u16string_view name, const Data& data);
    void deleteValue(std::u16string_view name);
    // Any finished line, as it is.
    void line(std::u16string_view text);

    // Writes one operation: a value in the section of its key, opened when needed.
    void write(const Operation& operation);

    // The text so far, ended by a blank line.
    std::u16string text() const;

private:
    std::u16string text_;
    std::u16string openSection_;  // empty: none (a value needs one)
    bool sectionOpen_ = false;
};

// The whole text of a file holding `operations` in their order.
std::u16string writeOperations(std::span<const Operation> operations);

// The bytes of a file: UTF-16LE with a byte-order mark.
std::string fileBytes(std::u16string_view text);

}  // namespace lz::regfile
