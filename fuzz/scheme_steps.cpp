// The optimizer's reading of a scheme, every way the programs read one (the whole text viewed
// or owned, on demand in steps of any size, the rows of the text), against a plain reader of
// the four rules written here one line and one field at a time.
//
// Input: a count n, n bytes of reading schedule, a byte choosing a filler, then the text. With
// a filler chosen, each 0x01 byte of the text becomes a long run of it, so that short inputs
// still reach lines and texts longer than the block the table reads at a time.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_support.h"
#include "scheme/scheme.h"

namespace {

namespace sc = lz::scheme;
using lz::fuzz::Input;

struct Expected {
    sc::StepKind kind;
    sc::StepValueType type;
    std::string text;
    std::string value;
};

// The pieces of a text between the separators, all of them.
std::vector<std::string_view> piecesOf(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end - start));
        if (end == text.npos) return pieces;
        start = end + 1;
    }
}

// The steps of a whole scheme text by the rules of StepTable, one line at a time.
std::vector<Expected> readByTheRules(std::string_view text) {
    std::vector<std::string_view> lines = piecesOf(text, '\n');
    lines.pop_back();  // the scheme name
    for (std::string_view& line : lines) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    }

    std::vector<Expected> steps;
    for (const std::string_view line : lines) {
        const std::vector<std::string_view> f = piecesOf(line, '|');
        const std::string_view second = f.size() > 1 ? f[1] : "";
        if (f[0] == "TSWB") {
            steps.push_back({sc::StepKind::Hint, sc::StepValueType::None, std::string(second), std::string(sc::kNone)});
        } else if (f[0] == "ZCBSC") {
            steps.push_back(
                {sc::StepKind::Delete, sc::StepValueType::None, std::string(second), std::string(sc::kNone)});
        } else if (f.size() >= 4) {
            const sc::StepValueType type = f[3] == "EJZSZ"  ? sc::StepValueType::Binary
                                           : f[3] == "SZJZ" ? sc::StepValueType::Dword
                                                            : sc::StepValueType::String;
            steps.push_back({sc::StepKind::Write, type, std::string(f[1]), std::string(f[2])});
        } else if (steps.empty()) {
            // nothing to continue
        } else if (line.empty() && steps.back().kind != sc::StepKind::Hint) {
            // a blank line never breaks a registry path
        } else {
            steps.back().text.append("\r\n").append(f[0]);
        }
    }
    return steps;
}

bool same(const sc::Step& step, const Expected& expected) {
    static const std::string_view kindCodes[] = {"TSWB", "ZCBTJ", "ZCBSC"};
    static const std::string_view typeCodes[] = {"\xCE\xDE", "EJZSZ", "SZJZ", "ZCZ"};
    return step.kind == expected.kind && step.type == expected.type && step.text == expected.text &&
           step.value == expected.value && step.kindCode() == kindCodes[static_cast<int>(expected.kind)] &&
           step.typeCode() == typeCodes[static_cast<int>(expected.type)];
}

void checkTable(const sc::StepTable& table, const std::vector<Expected>& expected) {
    LZ_FUZZ_CHECK(table.complete());
    LZ_FUZZ_CHECK(table.size() == expected.size());
    LZ_FUZZ_CHECK(table.steps().size() == expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) LZ_FUZZ_CHECK(same(table[i], expected[i]));
}

// Reads on demand as the schedule says, checking after each read that the table holds at least
// as many steps as were asked for and that each new one is already what it is at the end (the
// whole table is compared again once read).
void checkOnDemand(std::string_view text, Input schedule, const std::vector<Expected>& expected) {
    auto table = sc::StepTable::overTextOnDemand(text);
    std::size_t wanted = 0;
    std::size_t held = 0;
    const auto check = [&] {
        LZ_FUZZ_CHECK(table.complete() || table.size() >= wanted);
        LZ_FUZZ_CHECK(table.size() >= held);
        LZ_FUZZ_CHECK(table.size() <= expected.size());
        LZ_FUZZ_CHECK(table.empty() == (table.size() == 0));
        for (; held < table.size(); ++held) LZ_FUZZ_CHECK(same(table.steps()[held], expected[held]));
    };
    while (!schedule.empty()) {
        const std::uint8_t s = schedule.byte();
        // Mostly a few steps on, sometimes a jump to anywhere, backwards included.
        wanted = s < 0xC0 ? wanted + s % 8 : static_cast<std::size_t>(s - 0xC0) * 64;
        table.readTo(wanted);
        check();
    }
    // Asking for as many steps as there are must read them all.
    wanted = expected.size();
    table.readTo(wanted);
    check();
    LZ_FUZZ_CHECK(table.complete());
    checkTable(table, expected);
}

// The text with every 0x01 byte replaced by a run of a filler when the choice has its top bit
// set, up to a size that keeps a run quick but is past the block read at a time (and a run may
// be a line longer than that block).
std::string expand(std::string_view text, std::uint8_t choice) {
    if (choice < 0x80) return std::string(text);
    choice &= 0x7F;
    static const std::string_view fillers[] = {"x", "|", "\r", "\n", "\r\n", "TSWB|h\r\n", "a|b|c|SZJZ\n", "\xB7\xBD"};
    const std::string_view filler = fillers[choice % std::size(fillers)];
    const std::size_t run = (choice / std::size(fillers) + 1) * 1024 + choice;
    constexpr std::size_t kLargest = sc::StepTable::kReadAhead * 3 / 2;
    std::string runText;
    while (runText.size() < run) runText += filler;
    std::string out;
    for (const char c : text) {
        if (c == '\x01' && out.size() < kLargest) {
            out += runText;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const std::size_t scheduleSize = input.byte() % 16;
    const std::string_view scheduleBytes = input.bytes(scheduleSize);
    const std::uint8_t filler = input.byte();
    const std::string expanded = expand(input.rest(), filler);

    // A buffer of exactly the text's size: a read past its end is caught, which the spare
    // capacity and terminator of a std::string would hide.
    const auto buffer = std::make_unique<char[]>(expanded.size());
    std::memcpy(buffer.get(), expanded.data(), expanded.size());
    const std::string_view text(buffer.get(), expanded.size());

    const std::vector<Expected> expected = readByTheRules(text);

    checkTable(sc::StepTable::overText(text), expected);
    checkOnDemand(text, Input(reinterpret_cast<const std::uint8_t*>(scheduleBytes.data()), scheduleBytes.size()),
                  expected);

    std::vector<std::string_view> lines = sc::splitLines(text);
    LZ_FUZZ_CHECK(lines.size() == sc::countLines(text));
    lines.pop_back();
    checkTable(sc::StepTable::fromRows(std::span<const std::string_view>(lines)), expected);
    return 0;
}
