// The .reg format: reading files in every encoding and both versions into operations and
// problems, the root of a key path, and the writer's text read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"
#include "regfile/reader.h"
#include "regfile/writer.h"

namespace lz::regfile {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::string_view_literals;

std::string utf8(std::u16string_view text) {
    return text::utf16ToUtf8(text);
}

Bytes utf16le(std::u16string_view text) {
    Bytes bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

Data sz(std::u16string_view text) {
    Bytes bytes = utf16le(text);
    bytes.insert(bytes.end(), 2, 0);
    return {type::kString, bytes};
}

Operation addKey(std::u16string key, int line = 0) {
    return {OperationKind::AddKey, std::move(key), u"", {}, line};
}
Operation deleteKey(std::u16string key, int line = 0) {
    return {OperationKind::DeleteKey, std::move(key), u"", {}, line};
}
Operation setValue(std::u16string key, std::u16string name, Data data, int line = 0) {
    return {OperationKind::SetValue, std::move(key), std::move(name), std::move(data), line};
}
Operation deleteValue(std::u16string key, std::u16string name, int line = 0) {
    return {OperationKind::DeleteValue, std::move(key), std::move(name), {}, line};
}

std::vector<Operation> withoutLines(std::vector<Operation> operations) {
    for (Operation& operation : operations) operation.line = 0;
    return operations;
}

// The ways a file's text reaches us as bytes.
struct FileForm {
    const char* name;
    std::u16string_view header;
    std::string (*bytes)(std::u16string_view text);
    Encoding encoding;
    Encoding encodingOfAscii;  // of a file without a character beyond ASCII
};

const FileForm kForms[] = {
    {"5.00 UTF-16", kHeader, [](std::u16string_view t) { return fileBytes(t); }, Encoding::Utf16, Encoding::Utf16},
    {"5.00 UTF-8 with mark", kHeader, [](std::u16string_view t) { return "\xEF\xBB\xBF" + utf8(t); }, Encoding::Utf8,
     Encoding::Utf8},
    {"5.00 UTF-8", kHeader, [](std::u16string_view t) { return utf8(t); }, Encoding::Utf8, Encoding::Gbk},
    {"5.00 ANSI", kHeader, [](std::u16string_view t) { return text::utf16ToGbk(t); }, Encoding::Gbk, Encoding::Gbk},
    {"REGEDIT4", u"REGEDIT4", [](std::u16string_view t) { return text::utf16ToGbk(t); }, Encoding::Gbk, Encoding::Gbk},
};

// A file of the form: its header, then `body`.
Parsed readForm(const FileForm& form, std::u16string_view body) {
    return read(form.bytes(std::u16string(form.header) + u"\r\n" + std::u16string(body)));
}

Parsed read5(std::u16string_view body) {
    return readForm(kForms[0], body);
}

// ---- Values ------------------------------------------------------------------------------------

TEST(RegFileRead, EveryValueFormInEveryEncoding) {
    struct Case {
        std::u16string line;
        Operation expected;  // in the section of K
    };
    const Case cases[] = {
        {u"\"v\"=\"a\\\"b\\\\c 中文\"", setValue(u"K", u"v", sz(u"a\"b\\c 中文"))},
        {u"\"v\"=\"\"", setValue(u"K", u"v", sz(u""))},
        {u"\"名 \\\"x\\\\\"=\"\"", setValue(u"K", u"名 \"x\\", sz(u""))},
        {u"@=\"d\"", setValue(u"K", u"", sz(u"d"))},
        {u"\"\"=\"d\"", setValue(u"K", u"", sz(u"d"))},
        {u"\"@\"=\"d\"", setValue(u"K", u"@", sz(u"d"))},
        {u"\"a=b\"=\"c=d\"", setValue(u"K", u"a=b", sz(u"c=d"))},
        {u"\"v\"=dword:12345678", setValue(u"K", u"v", {type::kDword, {0x78, 0x56, 0x34, 0x12}})},
        {u"\"v\"=dword:a", setValue(u"K", u"v", {type::kDword, {0x0A, 0, 0, 0}})},
        {u"\"v\"=DWORD:FfFfFfFf", setValue(u"K", u"v", {type::kDword, {0xFF, 0xFF, 0xFF, 0xFF}})},
        {u"\"v\"=hex:", setValue(u"K", u"v", {type::kBinary, {}})},
        {u"\"v\"=hex:00,ab,FF", setValue(u"K", u"v", {type::kBinary, {0x00, 0xAB, 0xFF}})},
        {u"\"v\"=hex: 1 ,\t2,a,", setValue(u"K", u"v", {type::kBinary, {1, 2, 0xA}})},
        {u"\"v\"=HEX(b):01,00,00,00,00,00,00,80", setValue(u"K", u"v", {type::kQword, {1, 0, 0, 0, 0, 0, 0, 0x80}})},
        {u"\"v\"=hex(0):07", setValue(u"K", u"v", {type::kNone, {7}})},
        {u"\"v\"=hex(4):01,02,03", setValue(u"K", u"v", {type::kDword, {1, 2, 3}})},
        {u"\"v\"=hex(ffff0000):", setValue(u"K", u"v", {0xFFFF0000u, {}})},
        {u"\"v\"=-", deleteValue(u"K", u"v")},
        {u"@=-", deleteValue(u"K", u"")},
        {u"  \t\"v\" =\t\"x\"  ", setValue(u"K", u"v", sz(u"x"))},
        {u"@ = dword:1\t", setValue(u"K", u"", {type::kDword, {1, 0, 0, 0}})},
        {u"\"v\"=- ", deleteValue(u"K", u"v")},
    };
    for (const FileForm& form : kForms) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(form.name) + ": " + utf8(c.line));
            const Parsed parsed = readForm(form, u"\r\n[K]\r\n" + c.line + u"\r\n");
            EXPECT_EQ(parsed.header, form.header == kHeader ? Header::Version5 : Header::Regedit4);
            const bool ascii = std::all_of(c.line.begin(), c.line.end(), [](char16_t u) { return u < 0x80; });
            EXPECT_EQ(parsed.encoding, ascii ? form.encodingOfAscii : form.encoding);
            EXPECT_TRUE(parsed.problems.empty());
            Operation expected = c.expected;
            expected.line = 4;
            EXPECT_EQ(parsed.operations, (std::vector<Operation>{addKey(u"K", 3), expected}));
        }
    }
}

TEST(RegFileRead, HexStringDataOfARegedit4FileIsAnsiTextStoredAsUtf16) {
    struct Case {
        const char* name;
        std::u16string line;
        Data regedit4, version5;
    };
    const Case cases[] = {
        {"expandable string",
         u"\"v\"=hex(2):25,41,25,5c,d6,d0,00",
         {type::kExpandString, utf16le(u"%A%\\中\0"sv)},
         {type::kExpandString, {0x25, 0x41, 0x25, 0x5C, 0xD6, 0xD0, 0x00}}},
        {"multi-string",
         u"\"v\"=hex(7):61,00,d6,d0,00,00",
         {type::kMultiString, utf16le(u"a\0中\0\0"sv)},
         {type::kMultiString, {0x61, 0x00, 0xD6, 0xD0, 0x00, 0x00}}},
        {"string", u"\"v\"=hex(1):61,62,00", {type::kString, utf16le(u"ab\0"sv)}, {type::kString, {0x61, 0x62, 0x00}}},
        {"unterminated, half a character",
         u"\"v\"=hex(1):61,d6",
         {type::kString, utf16le(u"a\uFFFD")},
         {type::kString, {0x61, 0xD6}}},
        {"binary stays bytes", u"\"v\"=hex:d6,d0", {type::kBinary, {0xD6, 0xD0}}, {type::kBinary, {0xD6, 0xD0}}},
        {"qword stays bytes", u"\"v\"=hex(b):d6,d0", {type::kQword, {0xD6, 0xD0}}, {type::kQword, {0xD6, 0xD0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::u16string body = u"[K]\r\n" + c.line + u"\r\n";
        // A REGEDIT4 file in UTF-16 is an edited export: its data is taken as written.
        const FileForm regedit4Utf16 = {"REGEDIT4 UTF-16", u"REGEDIT4", kForms[0].bytes, Encoding::Utf16,
                                        Encoding::Utf16};
        for (const auto& [form, data] : {std::pair{&kForms[4], c.regedit4}, std::pair{&kForms[0], c.version5},
                                         std::pair{&kForms[3], c.version5}, std::pair{&regedit4Utf16, c.version5}}) {
            SCOPED_TRACE(form->name);
            const Parsed parsed = readForm(*form, body);
            EXPECT_TRUE(parsed.problems.empty());
            ASSERT_EQ(parsed.operations.size(), 2u);
            EXPECT_EQ(parsed.operations[1].data, data);
        }
    }
}

TEST(RegFileRead, AFileWithoutAMarkIsUtf8OnlyWhenItIsWellFormedUtf8AndNotRegedit4) {
    // 中 in GBK is D6 D0; in UTF-8 E4 B8 AD, which GBK reads as 涓 and half a character.
    const std::string utf8Name = "\"\xE4\xB8\xAD\"=-\r\n";
    const std::string gbkName = "\"\xD6\xD0\"=-\r\n";
    struct Case {
        const char* name;
        std::string bytes;
        Encoding encoding;
        std::u16string valueName;
    };
    const Case cases[] = {
        {"5.00 in UTF-8", "Windows Registry Editor Version 5.00\r\n[K]\r\n" + utf8Name, Encoding::Utf8, u"中"},
        {"5.00 in GBK", "Windows Registry Editor Version 5.00\r\n[K]\r\n" + gbkName, Encoding::Gbk, u"中"},
        {"REGEDIT4 is always ANSI", "REGEDIT4\r\n[K]\r\n" + utf8Name, Encoding::Gbk, text::gbkToUtf16("\xE4\xB8\xAD")},
        {"REGEDIT4 with a UTF-8 mark", "\xEF\xBB\xBFREGEDIT4\r\n[K]\r\n" + utf8Name, Encoding::Utf8, u"中"},
        {"ASCII alone", "Windows Registry Editor Version 5.00\r\n[K]\r\n\"a\"=-\r\n", Encoding::Gbk, u"a"},
        {"UTF-8 but for an encoded surrogate", "Windows Registry Editor Version 5.00\r\n[K\xED\xA0\x80]\r\n" + utf8Name,
         Encoding::Gbk, text::gbkToUtf16("\xE4\xB8\xAD")},
        {"UTF-8 but for an overlong form", "Windows Registry Editor Version 5.00\r\n[K\xC0\xAF]\r\n" + utf8Name,
         Encoding::Gbk, text::gbkToUtf16("\xE4\xB8\xAD")},
        {"UTF-8 cut short at the end", "Windows Registry Editor Version 5.00\r\n[K]\r\n" + utf8Name + ";\xE4\xB8",
         Encoding::Gbk, text::gbkToUtf16("\xE4\xB8\xAD")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Parsed parsed = read(c.bytes);
        EXPECT_EQ(parsed.encoding, c.encoding);
        EXPECT_TRUE(parsed.problems.empty());
        ASSERT_EQ(parsed.operations.size(), 2u);
        EXPECT_EQ(parsed.operations[1].name, c.valueName);
    }
}

TEST(RegFileRead, Utf16UnitsAreKeptAsTheyAreAndAnOddLastByteIsLeftOut) {
    std::string bytes = fileBytes(u"Windows Registry Editor Version 5.00\r\n[K\xD800]\r\n\"v\"=\"\xDC00\"\r\n");
    bytes += 'x';
    const Parsed parsed = read(bytes);
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(withoutLines(parsed.operations),
              (std::vector<Operation>{addKey(u"K\xD800"), setValue(u"K\xD800", u"v", sz(u"\xDC00"))}));
}

// ---- Sections, lines and their numbers ---------------------------------------------------------

TEST(RegFileRead, SectionsKeepTheKeyAsWrittenBetweenTheBrackets) {
    const Parsed parsed = read5(
        u"[HKEY_CURRENT_USER\\Software\\A B]\r\n"
        u"  \t[-HKCU\\Software\\Gone]  \t\r\n"
        u"[hklm\\软件\\a]b]\r\n"
        u"[ K ]\r\n"
        u"[--K]\r\n"
        u"[K\\]\r\n");
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(parsed.operations,
              (std::vector<Operation>{addKey(u"HKEY_CURRENT_USER\\Software\\A B", 2),
                                      deleteKey(u"HKCU\\Software\\Gone", 3), addKey(u"hklm\\软件\\a]b", 4),
                                      addKey(u" K ", 5), deleteKey(u"-K", 6), addKey(u"K\\", 7)}));
}

TEST(RegFileRead, EveryKindOfLineBreakCountsOneLineAndCommentsAndBlanksCountToo) {
    const Parsed parsed = read(
        "Windows Registry Editor Version 5.00\n"
        "; a comment\r"
        "\r\n"
        "   ;another\r\n"
        "[A]\n"
        "\t\n"
        "\"a\"=dword:1\r"
        "\r"
        "Windows Registry Editor Version 5.00\r\n"
        "REGEDIT4\r\n"
        "[-B]");
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(parsed.operations,
              (std::vector<Operation>{addKey(u"A", 5), setValue(u"A", u"a", {type::kDword, {1, 0, 0, 0}}, 7),
                                      deleteKey(u"B", 11)}));
}

TEST(RegFileRead, AHexListContinuesOnTheNextLineAfterABackslash) {
    const Parsed parsed = read5(
        u"[K]\r\n"
        u"\"a\"=hex:01,02,\\\r\n"
        u"    03,04, \\  \r\n"
        u"\t05\r\n"
        u"\"b\"=hex(7):61,00,\\\n"
        u"\r\n"
        u"\"c\"=dword:2\r\n"
        u"\"d\"=hex:0g,\\\r\n"
        u"  01,02\r\n"
        u"\"e\"=hex:ff,\\");
    EXPECT_EQ(parsed.problems, (std::vector<Problem>{{9, Reason::BadHex}}));
    EXPECT_EQ(parsed.operations,
              (std::vector<Operation>{addKey(u"K", 2), setValue(u"K", u"a", {type::kBinary, {1, 2, 3, 4, 5}}, 3),
                                      setValue(u"K", u"b", {type::kMultiString, {0x61, 0}}, 6),
                                      setValue(u"K", u"c", {type::kDword, {2, 0, 0, 0}}, 8),
                                      setValue(u"K", u"e", {type::kBinary, {0xFF}}, 11)}));
}

TEST(RegFileRead, EachBadLineIsAProblemOnItsLineAndReadingGoesOn) {
    struct Case {
        std::u16string line;
        Reason reason;
    };
    const Case cases[] = {
        {u"# a comment of another kind", Reason::UnrecognisedLine},
        {u"HKEY_CURRENT_USER\\K", Reason::UnrecognisedLine},
        {u"\u201Cv\u201D=\u201Cx\u201D", Reason::UnrecognisedLine},
        {u"-", Reason::UnrecognisedLine},
        {u"Windows Registry Editor Version 5.0", Reason::UnrecognisedLine},
        {u"\"v\" \"x\"", Reason::MissingEquals},
        {u"\"v\"", Reason::MissingEquals},
        {u"@", Reason::MissingEquals},
        {u"@x=\"y\"", Reason::MissingEquals},
        {u"\"v\"=\"x", Reason::UnterminatedString},
        {u"\"v=\"x\"", Reason::MissingEquals},
        {u"\"v=x", Reason::UnterminatedString},
        {u"\"v\"=\"x\\\"", Reason::UnterminatedString},
        {u"\"v\"=\"x\\", Reason::UnterminatedString},
        {u"\"v\"=\"C:\\Windows\"", Reason::UnknownEscape},
        {u"\"a\\nb\"=\"x\"", Reason::UnknownEscape},
        {u"\"v\"=", Reason::UnknownDataType},
        {u"\"v\"=1", Reason::UnknownDataType},
        {u"\"v\"=str:\"x\"", Reason::UnknownDataType},
        {u"\"v\"=hexadecimal:00", Reason::UnknownDataType},
        {u"\"v\"=dword 1", Reason::UnknownDataType},
        {u"\"v\"=dword:", Reason::BadDword},
        {u"\"v\"=dword:123456789", Reason::BadDword},
        {u"\"v\"=dword:-1", Reason::BadDword},
        {u"\"v\"=dword:0x1", Reason::BadDword},
        {u"\"v\"=dword:0000000g", Reason::BadDword},
        {u"\"v\"=dword: 1", Reason::BadDword},
        {u"\"v\"=hex:0g", Reason::BadHex},
        {u"\"v\"=hex:123", Reason::BadHex},
        {u"\"v\"=hex:,", Reason::BadHex},
        {u"\"v\"=hex:01,,02", Reason::BadHex},
        {u"\"v\"=hex:01 02", Reason::BadHex},
        {u"\"v\"=hex:01;", Reason::BadHex},
        {u"\"v\"=hex", Reason::BadHex},
        {u"\"v\"=hex(:01", Reason::BadHex},
        {u"\"v\"=hex():01", Reason::BadHex},
        {u"\"v\"=hex(2)01", Reason::BadHex},
        {u"\"v\"=hex(g):01", Reason::BadHex},
        {u"\"v\"=hex(123456789):01", Reason::BadHex},
        {u"\"v\"=\"x\" y", Reason::TextAfterData},
        {u"\"v\"=\"x\"\"", Reason::TextAfterData},
        {u"\"v\"=\"x\" ; note", Reason::TextAfterData},
        {u"\"v\"=dword:1 ;", Reason::TextAfterData},
        {u"\"v\"=-1", Reason::TextAfterData},
        {u"[K", Reason::UnclosedSection},
        {u"[-K", Reason::UnclosedSection},
        {u"[]", Reason::EmptyKey},
        {u"[-]", Reason::EmptyKey},
        {u"[K] ; note", Reason::TextAfterSection},
    };
    for (const FileForm& form : {kForms[0], kForms[4]}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(form.name) + ": " + utf8(c.line));
            const Parsed parsed = readForm(form, u"[K]\r\n" + c.line + u"\r\n\"next\"=-\r\n");
            const bool sectionLost = c.line.starts_with(u"[");
            std::vector<Problem> expected = {{3, c.reason}};
            if (sectionLost) expected.push_back({4, Reason::ValueUnderBadSection});
            EXPECT_EQ(parsed.problems, expected);
            ASSERT_FALSE(parsed.operations.empty());
            EXPECT_EQ(parsed.operations.front(), addKey(u"K", 2));
            EXPECT_EQ(parsed.operations.size(), sectionLost ? 1u : 2u);
            if (!sectionLost && parsed.operations.size() == 2) {
                EXPECT_EQ(parsed.operations.back(), deleteValue(u"K", u"next", 4));
            }
        }
    }
}

TEST(RegFileRead, AValueNeedsASectionItsKeyStillHasAndAnotherSectionEndsTheTrouble) {
    const Parsed parsed = read5(
        u"\"early\"=dword:1\r\n"    // 2
        u"[-A]\r\n"                 // 3
        u"\"ignored\"=dword:1\r\n"  // 4
        u"\"v\"=hex:01,\\\r\n"      // 5
        u"  02\r\n"                 // 6
        u"[B\r\n"                   // 7
        u"\"lost\"=\"x\"\r\n"       // 8
        u"@=bad\r\n"                // 9
        u"[C]\r\n"                  // 10
        u"\"kept\"=-\r\n");         // 11
    EXPECT_EQ(parsed.problems, (std::vector<Problem>{{2, Reason::ValueOutsideSection},
                                                     {4, Reason::ValueUnderDeletedKey},
                                                     {5, Reason::ValueUnderDeletedKey},
                                                     {7, Reason::UnclosedSection},
                                                     {8, Reason::ValueUnderBadSection},
                                                     {9, Reason::ValueUnderBadSection}}));
    EXPECT_EQ(parsed.operations,
              (std::vector<Operation>{deleteKey(u"A", 3), addKey(u"C", 10), deleteValue(u"C", u"kept", 11)}));
}

TEST(RegFileRead, WithoutAHeaderOnTheFirstLineNothingIsRead) {
    const std::string cases[] = {
        "",
        "[HKEY_CURRENT_USER\\K]\r\n\"v\"=-\r\n",
        "\r\nWindows Registry Editor Version 5.00\r\n[K]\r\n",
        "Windows Registry Editor Version 5.00;\r\n[K]\r\n",
        "windows registry editor version 5.00\r\n[K]\r\n",
        "REGEDIT 4\r\n[K]\r\n",
        "\xFE\xFF" + std::string("\0W\0i", 4),  // big-endian UTF-16
        std::string("W\0i\0n\0", 6),            // UTF-16 without a mark
    };
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes);
        const Parsed parsed = read(bytes);
        EXPECT_EQ(parsed.header, Header::None);
        EXPECT_EQ(parsed.problems, (std::vector<Problem>{{1, Reason::NotARegistryFile}}));
        EXPECT_TRUE(parsed.operations.empty());
    }
    EXPECT_EQ(read(" \tREGEDIT4 \r\n[K]").operations, (std::vector<Operation>{addKey(u"K", 2)}));
}

TEST(RegFileRead, EveryReasonHasAChineseTextOfItsOwn) {
    std::vector<std::string_view> texts;
    for (int r = 0; r <= static_cast<int>(Reason::UnsupportedRoot); ++r) {
        const std::string_view text = reasonText(static_cast<Reason>(r));
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(std::count(texts.begin(), texts.end(), text), 0) << text;
        texts.push_back(text);
    }
}

// ---- Roots -------------------------------------------------------------------------------------

TEST(RegFileRoot, FullNamesAndAbbreviationsInAnyCaseAloneOrBeforeABackslash) {
    struct Case {
        std::u16string_view path;
        Root root;
        std::u16string_view rest;
    };
    const Case cases[] = {
        {u"HKEY_CLASSES_ROOT\\.lzvt", Root::ClassesRoot, u".lzvt"},
        {u"hkcr\\*\\shell", Root::ClassesRoot, u"*\\shell"},
        {u"HKEY_CURRENT_USER\\Software\\A", Root::CurrentUser, u"Software\\A"},
        {u"HkCu\\Software", Root::CurrentUser, u"Software"},
        {u"HKEY_LOCAL_MACHINE", Root::LocalMachine, u""},
        {u"HKLM\\", Root::LocalMachine, u""},
        {u"hkey_users\\.DEFAULT", Root::Users, u".DEFAULT"},
        {u"HKU\\S-1-5-18", Root::Users, u"S-1-5-18"},
        {u"HKEY_CURRENT_CONFIG\\System", Root::CurrentConfig, u"System"},
        {u"HKCC", Root::CurrentConfig, u""},
        {u"HKCU\\\\Double", Root::CurrentUser, u"\\Double"},
        {u"HKEY_CURRENT_USER_LOCAL_SETTINGS\\x", Root::Unknown, u"HKEY_CURRENT_USER_LOCAL_SETTINGS\\x"},
        {u"HKCUX\\x", Root::Unknown, u"HKCUX\\x"},
        {u"HKEY_DYN_DATA\\x", Root::Unknown, u"HKEY_DYN_DATA\\x"},
        {u" HKCU\\x", Root::Unknown, u" HKCU\\x"},
        {u"HK", Root::Unknown, u"HK"},
        {u"", Root::Unknown, u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.path));
        const SplitKey split = splitRoot(c.path);
        EXPECT_EQ(split.root, c.root);
        EXPECT_EQ(split.rest, c.rest);
    }
}

// ---- The writer, and its text read back --------------------------------------------------------

TEST(RegFileWriter, DataIsWrittenInTheFormThatGivesItsBytesBack) {
    struct Case {
        Data data;
        std::u16string_view text;
    };
    const Case cases[] = {
        {sz(u"a\"b\\c 中"), u"\"a\\\"b\\\\c 中\""},
        {sz(u""), u"\"\""},
        {{type::kString, utf16le(u"ab")}, u"hex(1):61,00,62,00"},
        {{type::kString, utf16le(u"a\nb\0"sv)}, u"hex(1):61,00,0a,00,62,00,00,00"},
        {{type::kString, {0x61}}, u"hex(1):61"},
        {{type::kDword, {0x78, 0x56, 0x34, 0x12}}, u"dword:12345678"},
        {{type::kDword, {1, 2}}, u"hex(4):01,02"},
        {{type::kBinary, {}}, u"hex:"},
        {{type::kBinary, {0, 0xAB}}, u"hex:00,ab"},
        {{type::kExpandString, utf16le(u"%A%\0"sv)}, u"hex(2):25,00,41,00,25,00,00,00"},
        {{0xFFFFFFFFu, {1}}, u"hex(ffffffff):01"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(utf8(c.text));
        EXPECT_EQ(dataText(c.data, 4), c.text);
    }
}

TEST(RegFileWriter, LongHexListsBreakAfterColumn76AndReadBackWhole) {
    Bytes bytes(200);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7);
    const Operation value = setValue(u"HKEY_CURRENT_USER\\K", u"blob", {type::kBinary, bytes});
    const std::u16string text = writeOperations(std::span(&value, 1));
    std::size_t lines = 0;
    for (std::size_t start = 0, end; (end = text.find(u"\r\n", start)) != text.npos; start = end + 2, ++lines) {
        const std::u16string_view line = std::u16string_view(text).substr(start, end - start);
        SCOPED_TRACE(utf8(line));
        EXPECT_LE(line.size(), 80u);
        if (line.ends_with(u"\\")) {
            EXPECT_GE(line.size(), 75u) << "filled before it breaks";
            EXPECT_TRUE(line.ends_with(u",\\"));
        }
    }
    EXPECT_GT(lines, 10u);
    const Parsed parsed = read(fileBytes(text));
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(withoutLines(parsed.operations), (std::vector<Operation>{addKey(value.key), value}));
}

TEST(RegFileWriter, WrittenOperationsReadBackTheSame) {
    const std::vector<Operation> operations = {
        addKey(u"HKEY_CURRENT_USER\\Software\\LZ"),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"", sz(u"默认")),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"q\"u\\o=te", sz(u"C:\\a \"b\"")),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"@", {type::kDword, {0, 0, 0, 0x80}}),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"odd", {type::kExpandString, {0x41}}),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"inner zero", {type::kString, utf16le(u"a\0b\0"sv)}),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"big", {type::kMultiString, Bytes(1000, 0x5C)}),
        deleteValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"gone"),
        deleteKey(u"HKLM\\Software\\Old"),
        addKey(u"HKCR\\a]b\\ [c] "),
        deleteValue(u"HKCR\\a]b\\ [c] ", u""),
        deleteKey(u"-dashed"),
        addKey(u"HKEY_CURRENT_USER\\Software\\LZ"),
        setValue(u"HKEY_CURRENT_USER\\Software\\LZ", u"again", {77, {}}),
    };
    const Parsed parsed = read(fileBytes(writeOperations(operations)));
    EXPECT_TRUE(parsed.problems.empty());
    EXPECT_EQ(withoutLines(parsed.operations), operations);
    // A file written by hand, read, written and read again.
    const std::u16string messy =
        u"\r\n; x\r\n  [K\\甲]\r\n@ = \"1\"\r\n\"b\"=hex:1,\\\r\n "
        u"2\r\n\"c\"=dword:0\r\n[-K\\乙]\r\n[K2]\r\n\"d\"=-\r\n";
    for (const FileForm& form : kForms) {
        SCOPED_TRACE(form.name);
        const Parsed first = readForm(form, messy);
        ASSERT_TRUE(first.problems.empty());
        ASSERT_EQ(first.operations.size(), 7u);
        const Parsed again = read(fileBytes(writeOperations(first.operations)));
        EXPECT_TRUE(again.problems.empty());
        EXPECT_EQ(withoutLines(again.operations), withoutLines(first.operations));
    }
}

}  // namespace
}  // namespace lz::regfile
