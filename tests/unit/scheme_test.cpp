#include "scheme/scheme.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/text.h"

namespace {

namespace sc = lz::scheme;
using Lines = std::vector<std::string>;

const std::string kNone = "\xCE\xDE";                   // 无 in GBK
const std::string kSchemeName = "MY \xB7\xBD\xB0\xB8";  // "MY 方案" in GBK

Lines toStrings(const std::vector<std::string_view>& views) {
    return Lines(views.begin(), views.end());
}

// ---- Writing -------------------------------------------------------------------------------

TEST(SchemeWriting, ComposesStepLines) {
    EXPECT_EQ(sc::composeHint("abc"), "TSWB|abc");
    EXPECT_EQ(sc::composeHint("first\r\nsecond"), "TSWB|first\r\nsecond");
    EXPECT_EQ(sc::composeWrite("HKEY_CURRENT_USER\\abc", "1", "SZJZ"), "ZCBTJ|HKEY_CURRENT_USER\\abc|1|SZJZ");
    EXPECT_EQ(sc::composeWrite("", "", ""), "ZCBTJ|||");
    EXPECT_EQ(sc::composeDelete("HKEY_CURRENT_USER\\abc"), "ZCBSC|HKEY_CURRENT_USER\\abc|SC");
}

TEST(SchemeWriting, SerializesRowsThenNameWithoutFinalBreak) {
    EXPECT_EQ(sc::serialize(Lines{"A", "B"}, kSchemeName), "A\r\nB\r\n" + kSchemeName);
    EXPECT_EQ(sc::serialize(Lines{}, ""), "");
    EXPECT_EQ(sc::serialize(Lines{}, kSchemeName), kSchemeName);
    EXPECT_EQ(sc::serialize(Lines{"A"}, ""), "A\r\n");
    EXPECT_EQ(sc::serialize(Lines{"", "x|y"}, "n"), "\r\nx|y\r\nn");
}

// ---- Lines ---------------------------------------------------------------------------------

TEST(SchemeLines, SplitsAtLineFeedsDroppingOneCarriageReturn) {
    const struct {
        const char* name;
        std::string text;
        Lines expected;
    } cases[] = {
        {"empty text is one line", "", {""}},
        {"no line feed", "abc", {"abc"}},
        {"crlf", "a\r\nb", {"a", "b"}},
        {"final line break gives an empty last line", "a\r\n", {"a", ""}},
        {"bare line feeds", "a\nb\n", {"a", "b", ""}},
        {"only one carriage return is dropped", "a\r\r\nb", {"a\r", "b"}},
        {"last line keeps its carriage return", "a\r", {"a\r"}},
        {"empty lines", "\n\r\n", {"", "", ""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(toStrings(sc::splitLines(c.text)), c.expected);
        EXPECT_EQ(sc::countLines(c.text), c.expected.size());
    }
}

// ---- The editor's reading ------------------------------------------------------------------

TEST(SchemeEditorReading, RowsAndName) {
    const struct {
        const char* name;
        std::string text;
        Lines rows;
        std::string schemeName;
    } cases[] = {
        {"saved scheme", "A\r\nB\r\n" + kSchemeName, {"A", "B"}, kSchemeName},
        {"empty file", "", {}, ""},
        {"one line is the name", "TSWB|x", {}, "TSWB|x"},
        {"final break gives an empty name", "A\r\n", {"A"}, ""},
        {"bare line feeds", "A\nB\nname", {"A", "B"}, "name"},
        {"rows are never parsed", "\r\nXX\r\nTSWB|a|b\r\nn", {"", "XX", "TSWB|a|b"}, "n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto scheme = sc::readForEditor(c.text);
        EXPECT_EQ(toStrings(scheme.rows), c.rows);
        EXPECT_EQ(scheme.name, c.schemeName);
    }
}

TEST(SchemeEditorReading, LoadAndSaveKeepsTheBytes) {
    for (const std::string text : {"A\r\nB\r\nname", "", "A\r\n", "\r\nodd|line\r\nZCBTJ|p\r\n\r\nn"}) {
        SCOPED_TRACE(text);
        const auto scheme = sc::readForEditor(text);
        EXPECT_EQ(sc::serialize(scheme.rows, scheme.name), text);
    }
    const auto lf = sc::readForEditor("A\nB\nname");
    EXPECT_EQ(sc::serialize(lf.rows, lf.name), "A\r\nB\r\nname");
}

// ---- The optimizer's reading ---------------------------------------------------------------

struct Expected {
    sc::StepKind kind;
    std::string text;
    std::string value;
    std::string type;
    bool operator==(const Expected&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Expected& e) {
    return out << "{" << sc::kindCode(e.kind) << " [" << e.text << "] [" << e.value << "] [" << e.type << "]}";
}

Expected hint(std::string text) {
    return {sc::StepKind::Hint, std::move(text), kNone, kNone};
}
Expected del(std::string path) {
    return {sc::StepKind::Delete, std::move(path), kNone, kNone};
}
Expected write(std::string path, std::string value, std::string type) {
    return {sc::StepKind::Write, std::move(path), std::move(value), std::move(type)};
}

std::vector<Expected> collect(const sc::StepTable& table) {
    std::vector<Expected> out;
    for (const auto& step : table.steps()) {
        out.push_back({step.kind, std::string(step.text), std::string(step.value), std::string(step.typeCode())});
    }
    return out;
}

// Read on demand one step at a time, as the runner does: every step the table holds is taken
// down as soon as it is there, so a step held before the lines continuing it were read would
// differ from the same step at the end.
std::vector<Expected> collectOnDemand(const std::string& text) {
    auto table = sc::StepTable::overTextOnDemand(text);
    std::vector<Expected> out;
    for (std::size_t count = 1; !table.complete(); ++count) {
        table.readTo(count);
        EXPECT_TRUE(table.size() >= count || table.complete()) << "step " << count << " not read";
        for (std::size_t i = out.size(); i < table.size(); ++i) {
            const auto& step = table[i];
            out.push_back({step.kind, std::string(step.text), std::string(step.value), std::string(step.typeCode())});
        }
    }
    EXPECT_EQ(collect(table), out) << "a step changed after the table held it";
    return out;
}

// Every way of reading a text: whole or on demand, or its rows (all lines but the last).
std::vector<std::pair<const char*, std::vector<Expected>>> readAllWays(const std::string& text) {
    auto lines = sc::splitLines(text);
    lines.pop_back();
    return {
        {"overText", collect(sc::StepTable::overText(text))},
        {"fromRows", collect(sc::StepTable::fromRows(std::span<const std::string_view>(lines)))},
        {"on demand", collectOnDemand(text)},
    };
}

TEST(SchemeOptimizerReading, ParsesByTheFourRules) {
    const struct {
        const char* name;
        std::string text;
        std::vector<Expected> steps;
    } cases[] = {
        {"name is never run", "A|p|v|ZCZ\r\nTSWB|b\r\n" + kSchemeName, {write("p", "v", "ZCZ"), hint("b")}},
        {"empty file", "", {}},
        {"one line", "TSWB|hello", {}},
        {"final line break", "TSWB|a\r\n", {hint("a")}},
        {"write, type stands",
         "ZCBTJ|HKEY_CURRENT_USER\\abc|1|SZJZ\r\nn",
         {write("HKEY_CURRENT_USER\\abc", "1", "SZJZ")}},
        {"binary type stands", "ZCBTJ|p|LZVT|EJZSZ\r\nn", {write("p", "LZVT", "EJZSZ")}},
        {"other types read as string",
         "XXXX|HKEY_CURRENT_USER\\abc|1|DWORD\r\nZCBTJ|p|v|\r\nn",
         {write("HKEY_CURRENT_USER\\abc", "1", "ZCZ"), write("p", "v", "ZCZ")}},
        {"fields after the fourth ignored", "ZCBTJ|p|v|SZJZ|extra|more\r\nn", {write("p", "v", "SZJZ")}},
        {"nothing is trimmed", "ZCBTJ| p | v | SZJZ\r\nn", {write(" p ", " v ", "ZCZ")}},
        {"delete", "ZCBSC|HKEY_CURRENT_USER\\abc|SC\r\nn", {del("HKEY_CURRENT_USER\\abc")}},
        {"hint ends at a bar", "TSWB|a|b\r\nn", {hint("a")}},
        {"kind wins over field count", "TSWB|a|b|c|d\r\nZCBSC|p|SC|x|y\r\nn", {hint("a"), del("p")}},
        {"multi-line hint", "TSWB|first\r\nsecond\r\nthird\r\nn", {hint("first\r\nsecond\r\nthird")}},
        {"multi-line hint, bare line feeds", "TSWB|first\nsecond\nthird\nn", {hint("first\r\nsecond\r\nthird")}},
        {"continuation keeps only its first field",
         "TSWB|first\r\nsecond|x\r\nthird|y|z\r\nn",
         {hint("first\r\nsecond\r\nthird")}},
        {"continuation of a registry path", "ZCBTJ|p|v|SZJZ\r\nmore\r\nn", {write("p\r\nmore", "v", "SZJZ")}},
        {"three fields continue", "TSWB|a\r\nZCBTJ|p|v\r\nn", {hint("a\r\nZCBTJ")}},
        {"several joined texts",
         "TSWB|a\nb\nZCBTJ|p|v|ZCZ\nq\nTSWB|c\r\nd|\r\ne\nn",
         {hint("a\r\nb"), write("p\r\nq", "v", "ZCZ"), hint("c\r\nd\r\ne")}},
        {"a carriage return inside a line stays", "TSWB|a\rb\r\n\rc\r\nn", {hint("a\rb\r\n\rc")}},
        // Cases the format leaves open (see StepTable).
        {"hint without text", "TSWB\r\nn", {hint("")}},
        {"delete without path", "ZCBSC\r\nn", {del("")}},
        {"hint without text, continued", "TSWB\r\nmore\r\nn", {hint("\r\nmore")}},
        {"continuation before any step", "stray\r\n\r\nx|y\r\nTSWB|a\r\nn", {hint("a")}},
        {"empty line inside a hint", "TSWB|first\r\n\r\nthird\r\nn", {hint("first\r\n\r\nthird")}},
        {"empty line after a registry step",
         "ZCBTJ|p|v|ZCZ\r\n\r\nZCBSC|q|SC\r\n\r\nn",
         {write("p", "v", "ZCZ"), del("q")}},
    };
    for (const auto& c : cases) {
        for (const auto& [how, steps] : readAllWays(c.text)) {
            SCOPED_TRACE(std::string(c.name) + " / " + how);
            EXPECT_EQ(steps, c.steps);
        }
    }
}

TEST(SchemeOptimizerReading, TableOutlivesItsSourceAndMoves) {
    // The rows are copied: the table must not point into them, nor into a table moved from.
    sc::StepTable fromRows;
    {
        const Lines rows = {"TSWB|x", "y|z", "ZCBTJ|p|v|SZJZ"};
        const std::vector<std::string_view> views(rows.begin(), rows.end());
        fromRows = sc::StepTable::fromRows(views);
    }
    const sc::StepTable again = std::move(fromRows);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].text, "x\r\ny");
    EXPECT_EQ(again[1].value, "v");
    EXPECT_EQ(again[1].typeCode(), "SZJZ");
    EXPECT_EQ(again[1].kindCode(), "ZCBTJ");
}

TEST(SchemeOptimizerReading, ManyStepsWithLongHints) {
    // Enough steps and joined texts that the table's storage grows several times.
    Lines rows;
    std::vector<Expected> expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string n = std::to_string(i);
        rows.push_back(sc::composeWrite("HKEY_CURRENT_USER\\k" + n, n, i % 2 ? "SZJZ" : "EJZSZ"));
        expected.push_back(write("HKEY_CURRENT_USER\\k" + n, n, i % 2 ? "SZJZ" : "EJZSZ"));
        rows.push_back(sc::composeHint("line " + n));
        rows.push_back(std::string(200, 'x') + n);
        rows.push_back("last|" + n);
        expected.push_back(hint("line " + n + "\r\n" + std::string(200, 'x') + n + "\r\nlast"));
    }
    const std::string crlf = sc::serialize(rows, "name");
    std::string lf = crlf;
    lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
    for (const std::string* text : {&crlf, static_cast<const std::string*>(&lf)}) {
        for (const auto& [how, steps] : readAllWays(*text)) {
            SCOPED_TRACE(how);
            EXPECT_EQ(steps, expected);
        }
    }
}

TEST(SchemeOptimizerReading, EveryWayAgreesOnRandomTexts) {
    // The whole-text reader scans many bytes at a time; random texts put line feeds, carriage
    // returns and "|" at every offset of its blocks, and the row reader, which looks at one row
    // at a time, must come to the same table.
    std::uint32_t seed = 12345;
    const auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const std::string alphabet[] = {"|",      "\n",    "\r\n", "\r", "TSWB|", "ZCBSC|",
                                    "ZCBTJ|", "EJZSZ", "SZJZ", "x",  "yz",    "\xB7\xBD"};
    // The last rounds are long enough to be read a block of lines at a time, some with a line
    // longer than a block.
    const std::string longLine = std::string(sc::StepTable::kReadAhead + 100, 'x') + "|y|z|w";
    for (int round = 0; round < 312; ++round) {
        std::string text;
        const std::uint32_t length = round < 300 ? next() % 400 : 3 * sc::StepTable::kReadAhead + next() % 4096;
        while (text.size() < length) {
            text += round >= 306 && next() % 512 == 0 ? longLine : alphabet[next() % std::size(alphabet)];
        }
        const auto ways = readAllWays(text);
        for (const auto& [how, steps] : ways) {
            SCOPED_TRACE(std::string(how) + " on round " + std::to_string(round));
            EXPECT_EQ(steps, ways[2].second);
        }
    }
}

TEST(SchemeOptimizerReading, OnDemandHoldsOnlyCompleteSteps) {
    auto table = sc::StepTable::overTextOnDemand("TSWB|a\r\nb\r\nZCBSC|p|SC\r\nname");
    EXPECT_FALSE(table.complete());
    EXPECT_TRUE(table.empty());
    table.readTo(1);  // may read further: lines are read a block at a time
    ASSERT_GE(table.size(), 1u);
    EXPECT_EQ(table[0].text, "a\r\nb");
    table.readTo(2);
    EXPECT_TRUE(table.complete()) << "step 2 is complete only at the end of the text";
    EXPECT_EQ(collect(table), (std::vector<Expected>{hint("a\r\nb"), del("p")}));
    table.readTo(3);  // past the last step: nothing more
    EXPECT_EQ(table.size(), 2u);

    for (const std::string text : {"", "name only", "stray\r\n\r\nname"}) {
        SCOPED_TRACE(text);
        auto none = sc::StepTable::overTextOnDemand(text);
        none.readTo(1);
        EXPECT_TRUE(none.complete());
        EXPECT_TRUE(none.empty());
    }
}

TEST(SchemeOptimizerReading, LinesRightAfterABlockContinueTheStepBeforeIt) {
    // The first block of lines ends after step 1's line or after one of the lines continuing it,
    // as the stray line before them grows. The lines after the block are read later and must
    // still join step 1, whether its text is a view of the file (CRLF hint) or a copy (a registry
    // path, a hint with bare line feeds); so must a line longer than a block, read on its own.
    const std::size_t fill = sc::StepTable::kReadAhead - 64;
    const struct {
        const char* name;
        std::string first;  // step 1's line, without its line break
        std::string lineBreak;
        Expected expected;
    } cases[] = {
        {"hint", sc::composeHint(std::string(fill, 'h')), "\r\n", hint(std::string(fill, 'h') + "\r\nmore\r\n\r\nend")},
        {"hint, bare line feeds", sc::composeHint(std::string(fill, 'h')), "\n",
         hint(std::string(fill, 'h') + "\r\nmore\r\n\r\nend")},
        {"registry path", sc::composeWrite(std::string(fill, 'p'), "v", "SZJZ"), "\r\n",
         write(std::string(fill, 'p') + "\r\nmore\r\nend", "v", "SZJZ")},
    };
    for (const auto& c : cases) {
        for (std::size_t shift = 0; shift < 80; shift += 9) {
            SCOPED_TRACE(std::string(c.name) + ", shifted by " + std::to_string(shift));
            std::string text = std::string(shift, 'x') + c.lineBreak;  // a stray line before any step
            text += c.first + c.lineBreak + "more" + c.lineBreak + c.lineBreak + "end|x" + c.lineBreak;
            text += std::string(sc::StepTable::kReadAhead, 'y') + c.lineBreak;  // continues step 1 too
            text += "TSWB|last" + c.lineBreak + "line" + c.lineBreak + "name";
            Expected first = c.expected;
            first.text += "\r\n" + std::string(sc::StepTable::kReadAhead, 'y');
            const std::vector<Expected> expected = {first, hint("last\r\nline")};
            for (const auto& [how, steps] : readAllWays(text)) {
                SCOPED_TRACE(how);
                EXPECT_EQ(steps, expected);
            }
        }
    }
}

// ---- The demo schemes ----------------------------------------------------------------------

std::filesystem::path samplesFolder() {
    // This file is tests/unit/scheme_test.cpp; the demo schemes are in samples/.
    std::filesystem::path folder = std::filesystem::path(__FILE__).parent_path() / ".." / ".." / "samples";
#ifdef _WIN32
    // Cross-built on Linux and run under Wine: a Unix path lives on drive Z:.
    if (!std::filesystem::exists(folder) && !folder.empty() && folder.string().front() == '/') {
        folder = std::filesystem::path("Z:" + folder.string());
    }
#endif
    return folder;
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SchemeSamples, AreWellFormedSchemesAsTheEditorWritesThem) {
    const auto folder = samplesFolder();
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
    std::set<std::string> used;  // kinds and type codes across all samples
    bool multiLineHint = false;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".lzvt") continue;
        ++count;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string bytes = readBytes(entry.path());

        // CRLF only, the name last without a line break, Chinese name.
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                EXPECT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare line feed at " << i;
            }
        }
        const auto editor = sc::readForEditor(bytes);
        ASSERT_FALSE(editor.rows.empty());
        EXPECT_FALSE(editor.name.empty());
        EXPECT_NE(lz::text::gbkToUtf16(editor.name).find_first_of(u"方案显示加快演示"), std::u16string::npos);
        EXPECT_EQ(lz::text::gbkToUtf16(bytes).find(u'\uFFFD'), std::u16string::npos) << "not valid GBK";
        EXPECT_EQ(sc::serialize(editor.rows, editor.name), bytes);

        // Every row is a step line or continues a hint; every registry step is under HKCU.
        const auto table = sc::StepTable::fromRows(std::span<const std::string_view>(editor.rows));
        ASSERT_FALSE(table.empty());
        std::size_t rowsRead = 0;  // a hint takes one row per line of its text, any other step one
        for (const auto& step : table.steps()) {
            used.insert(std::string(step.kindCode()));
            if (step.kind == sc::StepKind::Hint) {
                rowsRead += sc::countLines(step.text);
                if (step.text.find("\r\n") != std::string_view::npos) multiLineHint = true;
                continue;
            }
            ++rowsRead;
            EXPECT_EQ(step.text.rfind("HKEY_CURRENT_USER\\", 0), 0u) << step.text;
            if (step.kind == sc::StepKind::Write) {
                used.insert(std::string(step.typeCode()));
                EXPECT_NE(lz::text::findLastBackslash(step.text), std::string_view::npos);
            }
        }
        EXPECT_EQ(rowsRead, editor.rows.size()) << "a row that is neither a step nor a line of a hint";
        EXPECT_EQ(collect(table), collect(sc::StepTable::overText(bytes)));
    }
    EXPECT_GE(count, 5);
    EXPECT_TRUE(multiLineHint);
    for (const char* code : {"TSWB", "ZCBTJ", "ZCBSC", "EJZSZ", "SZJZ", "ZCZ"}) {
        EXPECT_TRUE(used.count(code)) << code << " is used by no sample";
    }
}

}  // namespace
