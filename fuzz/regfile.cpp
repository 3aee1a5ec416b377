// Reading .reg files: whatever a file holds, the reader gives each of its lines at most one
// operation or one problem, in the file's order, and the operations it finds, written back as a
// file by the writer and read again, come back the same (line numbers aside).
//
// Input: a .reg file as it is, or, when the first byte is 01..03, a body behind a header the
// target puts in front, so that short inputs get past the header:
//   01  5.00 in UTF-16 with its mark; each byte of the body is a unit, and 7F followed by two
//       bytes is the unit they spell (high byte first), so that any unit can be reached
//   02  REGEDIT4, the body as ANSI (GBK) bytes
//   03  5.00 without a mark, the body as bytes (UTF-8 or ANSI, as the reader decides)
#include <span>

#include "fuzz/fuzz_support.h"
#include "platform/text.h"
#include "regfile/reader.h"
#include "regfile/writer.h"

namespace {

namespace rf = lz::regfile;
using lz::fuzz::Input;

std::string utf16File(std::string_view body) {
    std::u16string text(rf::kHeader);
    text += u"\r\n";
    Input input(reinterpret_cast<const std::uint8_t*>(body.data()), body.size());
    while (!input.empty()) {
        const std::uint8_t b = input.byte();
        text += b == 0x7F ? static_cast<char16_t>(input.number(2)) : static_cast<char16_t>(b);
    }
    return rf::fileBytes(text);
}

std::string fileOf(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    if (size == 0 || data[0] > 3) return std::string(all);
    const std::string_view body = all.substr(1);
    switch (data[0]) {
        case 1:
            return utf16File(body);
        case 2:
            return "REGEDIT4\r\n" + std::string(body);
        case 3:
            return "Windows Registry Editor Version 5.00\r\n" + std::string(body);
    }
    return std::string(body);
}

// The operations a file written by the writer reads back as: the writer writes a value in the
// section of its key, opening one when another (or none) is open, and an AddKey of the section
// that is open already adds nothing to the text. No line numbers.
std::vector<rf::Operation> asWritten(std::span<const rf::Operation> operations) {
    std::vector<rf::Operation> out;
    const std::u16string* open = nullptr;
    for (const rf::Operation& operation : operations) {
        const bool sameSection = open != nullptr && *open == operation.key;
        if (operation.kind == rf::OperationKind::DeleteKey) {
            open = nullptr;
        } else if (!sameSection) {
            out.push_back({rf::OperationKind::AddKey, operation.key, u"", {}, 0});
            open = &operation.key;
        }
        if (operation.kind != rf::OperationKind::AddKey) {
            out.push_back(operation);
            out.back().line = 0;
        }
    }
    return out;
}

std::vector<rf::Operation> withoutLines(std::vector<rf::Operation> operations) {
    for (rf::Operation& operation : operations) operation.line = 0;
    return operations;
}

// What the reader promises of any file.
void checkShape(const rf::Parsed& parsed, std::size_t fileSize) {
    if (parsed.header == rf::Header::None) {
        LZ_FUZZ_CHECK(parsed.operations.empty());
        LZ_FUZZ_CHECK(parsed.problems.size() == 1);
        LZ_FUZZ_CHECK(parsed.problems[0].line == 1 && parsed.problems[0].reason == rf::Reason::NotARegistryFile);
        return;
    }
    // Each line after the header gives at most one operation or problem: merged, their lines rise.
    int last = 1;
    std::size_t o = 0, p = 0;
    while (o < parsed.operations.size() || p < parsed.problems.size()) {
        const bool takeOperation = p == parsed.problems.size() || (o < parsed.operations.size() &&
                                                                   parsed.operations[o].line < parsed.problems[p].line);
        const int line = takeOperation ? parsed.operations[o++].line : parsed.problems[p++].line;
        LZ_FUZZ_CHECK(line > last);
        LZ_FUZZ_CHECK(static_cast<std::size_t>(line) <= fileSize + 1);
        last = line;
    }
    for (const rf::Problem& problem : parsed.problems) {
        LZ_FUZZ_CHECK(problem.reason != rf::Reason::NotARegistryFile && problem.reason != rf::Reason::UnsupportedRoot);
        LZ_FUZZ_CHECK(!rf::reasonText(problem.reason).empty());
    }
    for (const rf::Operation& operation : parsed.operations) {
        // The writer cannot write a key or a name holding a line break: the reader, which splits
        // the lines first, never makes one.
        LZ_FUZZ_CHECK(rf::fitsOnALine(operation.key) && rf::fitsOnALine(operation.name));
        LZ_FUZZ_CHECK(!operation.key.empty());
        const bool key = operation.kind == rf::OperationKind::AddKey || operation.kind == rf::OperationKind::DeleteKey;
        if (key) LZ_FUZZ_CHECK(operation.name.empty());
        if (operation.kind != rf::OperationKind::SetValue) LZ_FUZZ_CHECK(operation.data == rf::Data{});
        // "[-x]" deletes x: no section line opens a key whose name starts with "-".
        if (operation.kind == rf::OperationKind::AddKey) LZ_FUZZ_CHECK(!operation.key.starts_with(u'-'));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = fileOf(data, size);
    const rf::Parsed parsed = rf::read(file);
    checkShape(parsed, file.size());

    const std::vector<rf::Operation> expected = asWritten(parsed.operations);
    const std::u16string written = rf::writeOperations(parsed.operations);
    const rf::Parsed again = rf::read(rf::fileBytes(written));
    LZ_FUZZ_CHECK(again.header == rf::Header::Version5 && again.encoding == rf::Encoding::Utf16);
    LZ_FUZZ_CHECK(again.problems.empty());
    LZ_FUZZ_CHECK(withoutLines(again.operations) == expected);
    // What the writer makes of them is what it made of the first ones.
    LZ_FUZZ_CHECK(rf::writeOperations(again.operations) == written);

    // The same text in UTF-8 reads the same, when UTF-8 can hold it (no lone surrogate).
    if (lz::fuzz::isValidUtf16(written)) {
        const rf::Parsed utf8 = rf::read("\xEF\xBB\xBF" + lz::text::utf16ToUtf8(written));
        LZ_FUZZ_CHECK(utf8.problems.empty());
        LZ_FUZZ_CHECK(withoutLines(utf8.operations) == expected);
    }
    return 0;
}
