// The undo record of a scheme run: the state read before each write, the .reg text it makes,
// the file's name and folder, and the refusal when no file can be kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "optimizer/undo.h"
#include "platform/text.h"
#include "testing/memory_files.h"
#include "testing/memory_process.h"
#include "testing/memory_registry.h"

namespace lz::optimizer {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::Value;
using registry::ValueKind;
using Bytes = std::vector<std::uint8_t>;

Bytes utf16(std::u16string_view text, bool terminated = true) {
    Bytes bytes = registry::stringValueData(text);
    if (!terminated) bytes.resize(bytes.size() - 2);
    return bytes;
}

std::string utf8(std::u16string_view text) {
    return text::utf16ToUtf8(text);
}

// The lines of a record's text, without their CR LF.
std::vector<std::u16string> linesOf(std::u16string_view text) {
    std::vector<std::u16string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(u"\r\n", start)) != text.npos; start = end + 2)
        lines.emplace_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "the text ends with CR LF";
    return lines;
}

// The text of a record holding one note.
std::u16string textOfOne(const steps::RegistryEntry& entry, const PreviousState& previous) {
    UndoRecord record;
    EXPECT_TRUE(record.note(entry, previous));
    return record.text();
}

// ---- One value as it was -------------------------------------------------------------------

TEST(UndoRecord, EveryTypeIsWrittenSoThatItComesBackExactly) {
    struct Case {
        const char* name;
        std::optional<Value> previous;
        std::u16string line;
    };
    const Case cases[] = {
        {"string with quote, backslash, Chinese", Value{ValueKind::String, utf16(u"a\"b\\c 中文")},
         u"\"v\"=\"a\\\"b\\\\c 中文\""},
        {"empty string", Value{ValueKind::String, utf16(u"")}, u"\"v\"=\"\""},
        {"string without terminator", Value{ValueKind::String, utf16(u"ab", false)}, u"\"v\"=hex(1):61,00,62,00"},
        {"string of odd length", Value{ValueKind::String, {0x61, 0x00, 0x62}}, u"\"v\"=hex(1):61,00,62"},
        {"string with an inner zero", Value{ValueKind::String, {0x61, 0, 0, 0, 0x62, 0, 0, 0}},
         u"\"v\"=hex(1):61,00,00,00,62,00,00,00"},
        {"string with a line break", Value{ValueKind::String, utf16(u"a\r\nb")},
         u"\"v\"=hex(1):61,00,0d,00,0a,00,62,00,00,00"},
        {"string of no bytes", Value{ValueKind::String, {}}, u"\"v\"=hex(1):"},
        {"dword", Value{ValueKind::Dword, {0x78, 0x56, 0x34, 0x12}}, u"\"v\"=dword:12345678"},
        {"dword of three bytes", Value{ValueKind::Dword, {1, 2, 3}}, u"\"v\"=hex(4):01,02,03"},
        {"binary", Value{ValueKind::Binary, {0x00, 0xAB, 0xFF}}, u"\"v\"=hex:00,ab,ff"},
        {"empty binary", Value{ValueKind::Binary, {}}, u"\"v\"=hex:"},
        {"expandable string", Value{ValueKind::ExpandString, utf16(u"%A%")}, u"\"v\"=hex(2):25,00,41,00,25,00,00,00"},
        {"multi-string", Value{ValueKind::MultiString, {0x61, 0, 0, 0, 0, 0}}, u"\"v\"=hex(7):61,00,00,00,00,00"},
        {"qword", Value{ValueKind::Qword, {1, 0, 0, 0, 0, 0, 0, 0x80}}, u"\"v\"=hex(b):01,00,00,00,00,00,00,80"},
        {"none", Value{ValueKind::None, {7}}, u"\"v\"=hex(0):07"},
        {"other type", Value{static_cast<ValueKind>(0xFFFF0000u), {1}}, u"\"v\"=hex(ffff0000):01"},
        {"absent", std::nullopt, u"\"v\"=-"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string text = textOfOne({Root::CurrentUser, u"Software\\K", u"v"}, {c.previous, std::nullopt});
        EXPECT_EQ(linesOf(text), (std::vector<std::u16string>{u"Windows Registry Editor Version 5.00", u"",
                                                              u"[HKEY_CURRENT_USER\\Software\\K]", c.line, u""}));
    }
}

TEST(UndoRecord, NamesAreQuotedTheDefaultValueIsAnAtAndRootsAreWrittenInFull) {
    const Value one{ValueKind::Dword, {1, 0, 0, 0}};
    struct Case {
        steps::RegistryEntry entry;
        std::u16string header, line;
    };
    const Case cases[] = {
        {{Root::CurrentUser, u"K", u""}, u"[HKEY_CURRENT_USER\\K]", u"@=dword:00000001"},
        {{Root::CurrentUser, u"K", u"@"}, u"[HKEY_CURRENT_USER\\K]", u"\"@\"=dword:00000001"},
        {{Root::CurrentUser, u"K", u"a\"b\\c=d"}, u"[HKEY_CURRENT_USER\\K]", u"\"a\\\"b\\\\c=d\"=dword:00000001"},
        {{Root::ClassesRoot, u".lzvt", u"v"}, u"[HKEY_CLASSES_ROOT\\.lzvt]", u"\"v\"=dword:00000001"},
        {{Root::LocalMachine, u"软件\\键", u"值"}, u"[HKEY_LOCAL_MACHINE\\软件\\键]", u"\"值\"=dword:00000001"},
        {{Root::Users, u"K", u"v"}, u"[HKEY_USERS\\K]", u"\"v\"=dword:00000001"},
        {{Root::CurrentConfig, u"K", u"v"}, u"[HKEY_CURRENT_CONFIG\\K]", u"\"v\"=dword:00000001"},
        {{Root::CurrentUser, u"", u"v"}, u"[HKEY_CURRENT_USER]", u"\"v\"=dword:00000001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.header + u" " + c.line));
        const std::vector<std::u16string> lines = linesOf(textOfOne(c.entry, {one, std::nullopt}));
        ASSERT_EQ(lines.size(), 5u);
        EXPECT_EQ(lines[2], c.header);
        EXPECT_EQ(lines[3], c.line);
    }
}

TEST(UndoRecord, LongHexDataIsContinuedOnLinesOfAtMostEightyCharacters) {
    Bytes data(300);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    const std::vector<std::u16string> lines =
        linesOf(textOfOne({Root::CurrentUser, u"K", u"blob"}, {Value{ValueKind::Binary, data}, std::nullopt}));
    // Header, blank, section, the value's lines, a closing blank line.
    ASSERT_GT(lines.size(), 6u);
    std::u16string joined;
    for (std::size_t i = 3; i + 1 < lines.size(); ++i) {
        const std::u16string& line = lines[i];
        EXPECT_LE(line.size(), 80u) << utf8(line);
        const bool last = i + 2 == lines.size();
        if (i > 3) {
            EXPECT_TRUE(line.starts_with(u"  ")) << utf8(line);
        }
        if (!last) {
            EXPECT_TRUE(line.ends_with(u",\\")) << utf8(line);
        }
        joined += i > 3 ? line.substr(2) : line;
        if (!last) joined.pop_back();
    }
    std::u16string expected = u"\"blob\"=hex:";
    for (std::size_t i = 0; i < data.size(); ++i) {
        static const char16_t kDigits[] = u"0123456789abcdef";
        if (i > 0) expected += u',';
        expected += kDigits[data[i] >> 4];
        expected += kDigits[data[i] & 0xF];
    }
    EXPECT_EQ(joined, expected);
}

// ---- A run's notes together ------------------------------------------------------------------

TEST(UndoRecord, NewestNotesComeFirstSoTheFirstStateOfAValueWins) {
    const Value oldA{ValueKind::Dword, {1, 0, 0, 0}};
    const Value oldB{ValueKind::String, utf16(u"b")};
    UndoRecord record;
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"a"}, {oldA, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"b"}, {oldB, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"New\\Deep\\Deeper", u"x"}, {std::nullopt, u"New"}));
    EXPECT_TRUE(record.note({Root::LocalMachine, u"L", u""}, {std::nullopt, std::nullopt}));
    const UndoRecord::Mark afterFour = record.mark();
    // Written again: a's state after the first write, and another spelling of it, add nothing;
    // nor do a value and a key below the created key.
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"a"}, {Value{ValueKind::Dword, {2, 0, 0, 0}}, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"k", u"A"}, {std::nullopt, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"NEW\\Deep", u"y"}, {std::nullopt, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"new\\Other\\Z", u"z"}, {std::nullopt, u"new\\Other"}));
    EXPECT_EQ(record.mark(), afterFour);

    EXPECT_EQ(linesOf(record.text()), (std::vector<std::u16string>{
                                          u"Windows Registry Editor Version 5.00",
                                          u"",
                                          u"[HKEY_LOCAL_MACHINE\\L]",
                                          u"@=-",
                                          u"",
                                          u"[-HKEY_CURRENT_USER\\New]",
                                          u"",
                                          u"[HKEY_CURRENT_USER\\K]",
                                          u"\"b\"=\"b\"",
                                          u"\"a\"=dword:00000001",
                                          u"",
                                      }));
    const std::string bytes = record.fileBytes();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE"
                                              "W\0",
                                              4))
        << "UTF-16LE with a byte-order mark";
    EXPECT_EQ(bytes.size(), 2 + record.text().size() * 2);
}

TEST(UndoRecord, StringDataOfAnOddLengthComesAfterEverythingElse) {
    UndoRecord record;
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"odd"}, {Value{ValueKind::ExpandString, {0x41}}, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"even"}, {Value{ValueKind::String, {0x41, 0}}, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"N\\x", u"v"}, {std::nullopt, u"N"}));
    EXPECT_TRUE(
        record.note({Root::CurrentUser, u"K", u"odd2"}, {Value{ValueKind::MultiString, {1, 0, 2}}, std::nullopt}));
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", u"bin"}, {Value{ValueKind::Binary, {7}}, std::nullopt}));
    EXPECT_EQ(linesOf(record.text()), (std::vector<std::u16string>{
                                          u"Windows Registry Editor Version 5.00",
                                          u"",
                                          u"[HKEY_CURRENT_USER\\K]",
                                          u"\"bin\"=hex:07",
                                          u"",
                                          u"[-HKEY_CURRENT_USER\\N]",
                                          u"",
                                          u"[HKEY_CURRENT_USER\\K]",
                                          u"\"even\"=hex(1):41,00",
                                          u"\"odd2\"=hex(7):01,00,02",
                                          u"\"odd\"=hex(2):41",
                                          u"",
                                      }));
}

TEST(UndoRecord, AKeyThatCannotBeCreatedNeedsNoDeletionAndItsValueNoSection) {
    const std::u16string tooLong(256, u'k');
    UndoRecord record;
    EXPECT_TRUE(record.note({Root::CurrentUser, u"A\\" + tooLong, u"v"}, {std::nullopt, u"A\\" + tooLong}));
    // A value name the registry refuses: nothing can be written there.
    EXPECT_TRUE(record.note({Root::CurrentUser, u"K", std::u16string(u"a\0b", 3)}, {std::nullopt, std::nullopt}));
    EXPECT_EQ(linesOf(record.text()), (std::vector<std::u16string>{u"Windows Registry Editor Version 5.00", u""}));
}

TEST(UndoRecord, ANameALineCannotHoldIsRefusedAndNothingIsNoted) {
    const Value old{ValueKind::Dword, {1, 0, 0, 0}};
    struct Case {
        const char* name;
        steps::RegistryEntry entry;
        PreviousState previous;
    };
    const Case cases[] = {
        {"value name with CR LF", {Root::CurrentUser, u"K", u"a\r\nb"}, {old, std::nullopt}},
        {"value name with LF", {Root::CurrentUser, u"K", u"a\nb"}, {std::nullopt, std::nullopt}},
        {"key with a line break", {Root::CurrentUser, u"K\\a\rb", u"v"}, {old, std::nullopt}},
        {"created key with a line break", {Root::CurrentUser, u"K\\a\r\nb\\c", u"v"}, {std::nullopt, u"K\\a\r\nb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        UndoRecord record;
        const UndoRecord::Mark empty = record.mark();
        EXPECT_FALSE(record.note(c.entry, c.previous));
        EXPECT_EQ(record.mark(), empty);
    }
    // Below a key the run creates, such a name needs no line: the deletion covers it.
    UndoRecord record;
    EXPECT_TRUE(record.note({Root::CurrentUser, u"New\\a\r\nb", u"c\nd"}, {std::nullopt, u"New"}));
    EXPECT_EQ(linesOf(record.text()).at(2), u"[-HKEY_CURRENT_USER\\New]");
}

TEST(UndoRecord, RollingBackForgetsTheNotesAfterTheMark) {
    const Value old{ValueKind::Dword, {1, 0, 0, 0}};
    UndoRecord record;
    ASSERT_TRUE(record.note({Root::CurrentUser, u"K", u"a"}, {old, std::nullopt}));
    const std::u16string before = record.text();
    const UndoRecord::Mark mark = record.mark();
    ASSERT_TRUE(record.note({Root::CurrentUser, u"K", u"b"}, {old, std::nullopt}));
    ASSERT_TRUE(record.note({Root::CurrentUser, u"New\\x", u"c"}, {std::nullopt, u"New"}));
    record.rollBack(mark);
    EXPECT_EQ(record.text(), before);
    // Forgotten notes can be noted afresh, with what the registry has then.
    ASSERT_TRUE(record.note({Root::CurrentUser, u"K", u"b"}, {std::nullopt, std::nullopt}));
    ASSERT_TRUE(record.note({Root::CurrentUser, u"New\\x", u"c"}, {std::nullopt, u"New\\x"}));
    const std::vector<std::u16string> lines = linesOf(record.text());
    EXPECT_EQ(lines.at(2), u"[-HKEY_CURRENT_USER\\New\\x]");
    EXPECT_EQ(lines.at(5), u"\"b\"=-");
}

// ---- Reading the state before a write ------------------------------------------------------

TEST(ReadPreviousState, FindsTheValueOrTheTopmostMissingKeyAndFailsWhereItCannotRead) {
    MemoryRegistry reg;
    const Value old{ValueKind::ExpandString, utf16(u"%x%", false)};
    reg.putValue(Root::CurrentUser, u"A\\B", u"v", old);
    struct Case {
        const char* name;
        steps::RegistryEntry entry;
        PreviousState expected;
    };
    const Case cases[] = {
        {"value there", {Root::CurrentUser, u"a\\b", u"V"}, {old, std::nullopt}},
        {"value missing", {Root::CurrentUser, u"A\\B", u"w"}, {}},
        {"key missing below an existing one", {Root::CurrentUser, u"A\\B\\C\\D", u"v"}, {std::nullopt, u"A\\B\\C"}},
        {"first key missing", {Root::CurrentUser, u"X\\Y", u"v"}, {std::nullopt, u"X"}},
        {"other root", {Root::LocalMachine, u"A\\B", u"v"}, {std::nullopt, u"A"}},
        {"value of a root", {Root::Users, u"", u"v"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(readPreviousState(reg, c.entry), c.expected);
    }

    reg.refuseReads(Root::CurrentUser, u"A");
    EXPECT_EQ(readPreviousState(reg, {Root::CurrentUser, u"A\\B", u"v"}), std::nullopt) << "no right to read";
    EXPECT_EQ(readPreviousState(reg, {Root::CurrentUser, u"A\\B\\New", u"v"}),
              (PreviousState{std::nullopt, u"A\\B\\New"}))
        << "a missing key needs no reading";
    reg.failKeyTests();
    EXPECT_EQ(readPreviousState(reg, {Root::CurrentUser, u"X", u"v"}), std::nullopt);
}

// ---- The file ------------------------------------------------------------------------------

TEST(UndoFileName, IsTheSchemeNameAndTheStartTime) {
    const clock::LocalTime start{2026, 3, 4, 5, 6, 7};
    EXPECT_EQ(undoFileName("优化方案.lzvt", start, 1), "优化方案 2026-03-04 05-06-07.reg");
    EXPECT_EQ(undoFileName("Demo.LZVT", start, 1), "Demo 2026-03-04 05-06-07.reg");
    EXPECT_EQ(undoFileName("a.lzvt.txt", start, 1), "a.lzvt.txt 2026-03-04 05-06-07.reg");
    EXPECT_EQ(undoFileName("a.lzvt", start, 2), "a 2026-03-04 05-06-07 (2).reg");
    EXPECT_EQ(undoFileName("a.lzvt", {2026, 12, 31, 23, 59, 59}, 17), "a 2026-12-31 23-59-59 (17).reg");

    // A long name is cut to fit a file name, never between the halves of a character.
    for (int attempt : {1, 100}) {
        const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
        std::string longName;
        for (int i = 0; i < 200; ++i) longName += emoji;
        const std::u16string name = text::utf8ToUtf16(undoFileName(longName + ".lzvt", start, attempt));
        EXPECT_LE(name.size(), 255u);
        EXPECT_GE(name.size(), 254u);
        EXPECT_TRUE(name.ends_with(
            text::utf8ToUtf16(attempt == 1 ? " 2026-03-04 05-06-07.reg" : " 2026-03-04 05-06-07 (100).reg")));
        EXPECT_EQ(text::utf16ToUtf8(name).find("\xEF\xBF\xBD"), std::string::npos) << "half a character";
    }
}

TEST(UndoFolders, AreTheProgramFolderThenTheUsersLocalData) {
    process::MemoryProcess process;
    process.directory = "D:\\工具\\LZ";
    process.localAppData = "C:\\Users\\张三\\AppData\\Local";
    EXPECT_EQ(undo_files::undoFolders(process),
              (std::vector<std::string>{"D:\\工具\\LZ\\Undo\\", "C:\\Users\\张三\\AppData\\Local\\LZ Vantor\\Undo\\"}));
    process.localAppData.clear();
    EXPECT_EQ(undo_files::undoFolders(process), (std::vector<std::string>{"D:\\工具\\LZ\\Undo\\"}));
}

class UndoJournalTest : public ::testing::Test {
protected:
    static constexpr const char* kProgramUndo = "D:\\LZ\\Undo\\";
    static constexpr const char* kLocalUndo = "C:\\Local\\LZ Vantor\\Undo\\";
    const clock::LocalTime start_{2026, 12, 9, 10, 30, 5};

    UndoJournal journal() { return UndoJournal(files_, {kProgramUndo, kLocalUndo}, "方案.lzvt", start_); }
    std::string file(const std::string& folder, int attempt = 1) const {
        return folder + undoFileName("方案.lzvt", start_, attempt);
    }
    std::u16string textOf(const std::string& path) const {
        const std::string& bytes = files_.files.at(path);
        std::u16string text;
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                          (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
        return text;
    }

    MemoryRegistry registry_;
    test_support::MemoryFiles files_;
};

TEST_F(UndoJournalTest, TheFirstWriteMakesTheFileAndLaterOnesReplaceItWhole) {
    registry_.putValue(Root::CurrentUser, u"K", u"a", {ValueKind::Dword, {5, 0, 0, 0}});
    UndoJournal undo = journal();
    EXPECT_TRUE(undo.filePath().empty());
    EXPECT_TRUE(files_.files.empty()) << "no write, no file";

    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"a"}));
    EXPECT_EQ(undo.filePath(), file(kProgramUndo));
    EXPECT_EQ(files_.files.size(), 1u);
    EXPECT_EQ(files_.files.at(undo.filePath()).substr(0, 2), "\xFF\xFE");

    registry_.putValue(Root::CurrentUser, u"K", u"a", {ValueKind::Dword, {6, 0, 0, 0}});  // as if written
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"a"}));
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"b"}));
    EXPECT_EQ(files_.files.size(), 1u);
    const std::vector<std::u16string> lines = linesOf(textOf(undo.filePath()));
    EXPECT_EQ(lines,
              (std::vector<std::u16string>{u"Windows Registry Editor Version 5.00", u"", u"[HKEY_CURRENT_USER\\K]",
                                           u"\"b\"=-", u"\"a\"=dword:00000005", u""}));
}

TEST_F(UndoJournalTest, RunsStartedInTheSameSecondGetFilesOfTheirOwn) {
    registry_.putValue(Root::CurrentUser, u"K", u"other", {ValueKind::Dword, {1, 0, 0, 0}});
    UndoJournal first = journal();
    UndoJournal second = journal();
    UndoJournal third = journal();
    ASSERT_TRUE(first.recordBefore(registry_, {Root::CurrentUser, u"K", u"a"}));
    ASSERT_TRUE(second.recordBefore(registry_, {Root::CurrentUser, u"K", u"b"}));
    ASSERT_TRUE(third.recordBefore(registry_, {Root::CurrentUser, u"K", u"c"}));
    EXPECT_EQ(first.filePath(), file(kProgramUndo, 1));
    EXPECT_EQ(second.filePath(), file(kProgramUndo, 2));
    EXPECT_EQ(third.filePath(), file(kProgramUndo, 3));
    EXPECT_EQ(linesOf(textOf(first.filePath())).at(3), u"\"a\"=-") << "not overwritten by a later run";
}

TEST_F(UndoJournalTest, AProgramFolderThatCannotBeWrittenSendsTheFileToTheUsersLocalData) {
    files_.refuseWritesBelow("D:\\LZ");
    UndoJournal undo = journal();
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"a"}));
    EXPECT_EQ(undo.filePath(), file(kLocalUndo));
    EXPECT_TRUE(files_.folders.contains("C:\\Local\\LZ Vantor")) << "made when first needed";
}

TEST_F(UndoJournalTest, WhenNoFolderCanBeWrittenTheWriteIsRefusedAndNotRemembered) {
    files_.refuseWritesBelow("D:\\LZ");
    files_.refuseWritesBelow("C:\\Local");
    UndoJournal undo = journal();
    EXPECT_FALSE(undo.recordBefore(registry_, {Root::CurrentUser, u"New\\K", u"a"}));
    EXPECT_FALSE(undo.recordBefore(registry_, {Root::CurrentUser, u"New\\K", u"a"})) << "asked again, refused again";
    EXPECT_TRUE(files_.files.empty());
    EXPECT_TRUE(undo.filePath().empty());

    // Once a folder can be written, the record holds the state then, not the refused note.
    files_ = test_support::MemoryFiles();
    registry_.putValue(Root::CurrentUser, u"New\\K", u"a", {ValueKind::Dword, {9, 0, 0, 0}});
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"New\\K", u"a"}));
    EXPECT_EQ(linesOf(textOf(undo.filePath())),
              (std::vector<std::u16string>{u"Windows Registry Editor Version 5.00", u"", u"[HKEY_CURRENT_USER\\New\\K]",
                                           u"\"a\"=dword:00000009", u""}));
}

TEST_F(UndoJournalTest, AStateThatCannotBeReadOrWrittenDownRefusesTheWrite) {
    registry_.putValue(Root::CurrentUser, u"Secret", u"v", {ValueKind::Dword, {1, 0, 0, 0}});
    registry_.refuseReads(Root::CurrentUser, u"Secret");
    registry_.putValue(Root::CurrentUser, u"K", u"other", {ValueKind::Dword, {1, 0, 0, 0}});
    UndoJournal undo = journal();
    EXPECT_FALSE(undo.recordBefore(registry_, {Root::CurrentUser, u"Secret", u"v"}));
    EXPECT_FALSE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"line\nbreak"}));
    EXPECT_TRUE(files_.files.empty());
}

TEST_F(UndoJournalTest, ACurrentFileThatCannotBeReplacedGivesWayToANewOne) {
    registry_.putValue(Root::CurrentUser, u"K", u"other", {ValueKind::Dword, {1, 0, 0, 0}});
    UndoJournal undo = journal();
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"a"}));
    const std::string first = undo.filePath();
    files_.refuseWritesBelow(first);
    ASSERT_TRUE(undo.recordBefore(registry_, {Root::CurrentUser, u"K", u"b"}));
    EXPECT_EQ(undo.filePath(), file(kProgramUndo, 2));
    const std::vector<std::u16string> lines = linesOf(textOf(undo.filePath()));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[3], u"\"b\"=-");
    EXPECT_EQ(lines[4], u"\"a\"=-") << "the new file holds the whole record";
}

}  // namespace
}  // namespace lz::optimizer
