// The in-memory registry, and the registry step of a scheme run against it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/text.h"
#include "steps/registry_steps.h"
#include "testing/memory_registry.h"
#include "testing/registry_step.h"

namespace {

using lz::registry::Existence;
using lz::registry::Key;
using lz::registry::MemoryRegistry;
using lz::registry::Root;
using lz::registry::Value;
using lz::registry::ValueKind;
using lz::registry::Write;
using lz::steps::ConvertedPath;
using lz::steps::convertPath;
using lz::steps::lookUpRegistryEntry;
using lz::steps::parseDwordText;
using lz::steps::RegistryEntry;
using lz::steps::registryEntryExists;
using lz::steps::resolveRegistryEntry;
using lz::test_support::applyRegistryStep;
using Bytes = std::vector<std::uint8_t>;

std::string gbk(const char* utf8) {
    return lz::text::utf8ToGbk(utf8);
}

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Value dword(std::uint32_t n) {
    return {ValueKind::Dword, {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)}};
}

Value string(std::u16string_view text) {
    return {ValueKind::String, lz::registry::stringValueData(text)};
}

std::vector<Write::Kind> kindsOf(const std::vector<Write>& writes) {
    std::vector<Write::Kind> kinds;
    for (const Write& w : writes) kinds.push_back(w.kind);
    return kinds;
}

// ---- MemoryRegistry ------------------------------------------------------------------------

TEST(MemoryRegistry, CreateMakesMissingParentsAndRecordsThemInOrder) {
    MemoryRegistry reg;
    ASSERT_TRUE(reg.putValue(Root::CurrentUser, u"a", u"x", dword(1)));
    {
        Key key = reg.create(Root::CurrentUser, u"a\\b\\c");
        ASSERT_TRUE(key);
        EXPECT_TRUE(reg.setValue(key, u"v", ValueKind::Binary, bytesOf("01")));
    }
    EXPECT_TRUE(reg.hasKey(Root::CurrentUser, u"a\\b"));
    EXPECT_FALSE(reg.hasKey(Root::LocalMachine, u"a\\b"));
    const std::vector<Write> expected = {
        {Write::Kind::KeyCreated, Root::CurrentUser, u"a\\b", u"", {}},
        {Write::Kind::KeyCreated, Root::CurrentUser, u"a\\b\\c", u"", {}},
        {Write::Kind::ValueSet, Root::CurrentUser, u"a\\b\\c", u"v", {ValueKind::Binary, bytesOf("01")}},
    };
    EXPECT_EQ(reg.writes(), expected);
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

TEST(MemoryRegistry, NamesIgnoreCaseAndKeepTheirFirstSpelling) {
    MemoryRegistry reg;
    ASSERT_TRUE(reg.create(Root::CurrentUser, u"Software\\Demo"));
    Key key = reg.openForWrite(Root::CurrentUser, u"SOFTWARE\\demo");
    ASSERT_TRUE(key);
    EXPECT_TRUE(reg.setValue(key, u"Level", ValueKind::Dword, dword(1).data));
    EXPECT_TRUE(reg.setValue(key, u"LEVEL", ValueKind::Dword, dword(2).data));
    EXPECT_EQ(reg.value(Root::CurrentUser, u"software\\DEMO", u"level"), dword(2));
    EXPECT_EQ(reg.writes().back().key, u"Software\\Demo");
    EXPECT_TRUE(reg.create(Root::CurrentUser, u"software\\demo"));  // opens, creates nothing
    EXPECT_EQ(kindsOf(reg.writes()), (std::vector{Write::Kind::KeyCreated, Write::Kind::KeyCreated,
                                                  Write::Kind::ValueSet, Write::Kind::ValueSet}));
    EXPECT_FALSE(reg.openForWrite(Root::CurrentUser, u"missing"));
    EXPECT_TRUE(reg.openForWrite(Root::Users, u""));  // a root always opens
}

TEST(MemoryRegistry, InvalidKeyPathsAreRefusedLikeTheRealRegistry) {
    const std::u16string tooLong(256, u'k');
    const std::u16string invalid[] = {u"\\a", u"a\\", u"a\\\\b", tooLong, u"a\\" + tooLong, std::u16string(u"a\0b", 3)};
    MemoryRegistry reg;
    for (const auto& path : invalid) {
        SCOPED_TRACE(lz::text::utf16ToUtf8(path).substr(0, 20));
        EXPECT_FALSE(reg.create(Root::CurrentUser, path));
    }
    EXPECT_TRUE(reg.writes().empty());
    EXPECT_TRUE(reg.create(Root::CurrentUser, std::u16string(255, u'k')));
}

TEST(MemoryRegistry, KeysCloseWhenTheirHandleGoesAndNotTwiceAfterAMove) {
    MemoryRegistry reg;
    Key first = reg.create(Root::CurrentUser, u"a");
    Key second = reg.openForWrite(Root::CurrentUser, u"a");
    Key moved = std::move(first);
    EXPECT_EQ(reg.openKeyCount(), 2u);
    MemoryRegistry::close(moved);
    EXPECT_EQ(reg.openKeyCount(), 1u);
    EXPECT_FALSE(reg.setValue(moved, u"v", ValueKind::Binary, {}));
    second = Key();
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

TEST(MemoryRegistry, RefusalsCoverTheKeyAndItsSubtreeOnly) {
    MemoryRegistry reg;
    reg.putValue(Root::LocalMachine, u"locked\\inner", u"v", dword(7));
    reg.refuseKeyWrites(Root::LocalMachine, u"Locked");
    EXPECT_FALSE(reg.openForWrite(Root::LocalMachine, u"locked\\inner"));
    EXPECT_FALSE(reg.create(Root::LocalMachine, u"locked\\new\\deeper"));
    EXPECT_FALSE(reg.hasKey(Root::LocalMachine, u"locked\\new"));
    EXPECT_TRUE(reg.create(Root::LocalMachine, u"lockedness"));  // a sibling, not a child
    EXPECT_TRUE(reg.create(Root::CurrentUser, u"locked"));       // another root

    reg.refuseValueWrites(Root::CurrentUser, u"ro");
    Key ro = reg.create(Root::CurrentUser, u"ro\\sub");
    ASSERT_TRUE(ro);
    EXPECT_FALSE(reg.setValue(ro, u"v", ValueKind::Dword, dword(1).data));
    EXPECT_FALSE(reg.value(Root::CurrentUser, u"ro\\sub", u"v"));
}

TEST(WriteDefaultString, OpensOrCreatesAndStoresTheStringWithItsZero) {
    MemoryRegistry reg;
    reg.putValue(Root::ClassesRoot, u".lzvt", u"other", dword(1));
    reg.refuseKeyWrites(Root::ClassesRoot, u"locked");
    reg.refuseValueWrites(Root::ClassesRoot, u"readonly");
    EXPECT_TRUE(lz::registry::writeDefaultString(reg, Root::ClassesRoot, u".lzvt", u"lzvtfile"));
    EXPECT_TRUE(lz::registry::writeDefaultString(reg, Root::ClassesRoot, u"lzvtfile\\shell", u"打开"));
    EXPECT_FALSE(lz::registry::writeDefaultString(reg, Root::ClassesRoot, u"locked", u"x"));
    EXPECT_FALSE(lz::registry::writeDefaultString(reg, Root::ClassesRoot, u"readonly", u"x"));
    EXPECT_EQ(reg.value(Root::ClassesRoot, u"lzvtfile\\shell", u""),
              (Value{ValueKind::String, {0x53, 0x62, 0x00, 0x5F, 0, 0}}));  // U+6253 U+5F00
    EXPECT_EQ(kindsOf(reg.writes()),
              (std::vector{Write::Kind::ValueSet, Write::Kind::KeyCreated, Write::Kind::KeyCreated,
                           Write::Kind::ValueSet, Write::Kind::KeyCreated}));  // readonly: created, not set
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

// ---- Paths ---------------------------------------------------------------------------------

TEST(ConvertPath, ChoosesTheRootByTheExactFirstComponentAndKeepsTheRest) {
    struct Case {
        std::string path;
        std::optional<ConvertedPath> expected;
    };
    const Case cases[] = {
        {"HKEY_CLASSES_ROOT\\.lzvt\\", ConvertedPath{Root::ClassesRoot, ".lzvt\\"}},
        {"HKEY_CURRENT_USER\\abc\\abd", ConvertedPath{Root::CurrentUser, "abc\\abd"}},
        {"HKEY_LOCAL_MACHINE\\a\\b\\c\\d", ConvertedPath{Root::LocalMachine, "a\\b\\c\\d"}},
        {"HKEY_CURRENT_CONFIG\\abc\\abd", ConvertedPath{Root::CurrentConfig, "abc\\abd"}},
        {"HKCU\\abc\\abd", ConvertedPath{Root::CurrentConfig, "abc\\abd"}},
        {"hkey_current_user\\abc\\abd", ConvertedPath{Root::CurrentConfig, "abc\\abd"}},
        {"\\HKEY_CURRENT_USER\\abc", ConvertedPath{Root::CurrentConfig, "HKEY_CURRENT_USER\\abc"}},
        {"HKEY_CURRENT_USER\\\\abc\\\\", ConvertedPath{Root::CurrentUser, "\\abc\\\\"}},
        {"HKEY_CURRENT_USER\\", ConvertedPath{Root::CurrentUser, ""}},
        {gbk("乗\\abc"), ConvertedPath{Root::CurrentConfig, "abc"}},  // 81 5C is one character
        {"HKEY_CURRENT_USER", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(convertPath(c.path), c.expected);
    }
}

TEST(ResolveRegistryEntry, SplitsAtTheLastRealBackslashAndDropsEmptyKeyNames) {
    struct Case {
        std::string path;
        std::optional<RegistryEntry> expected;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\abc\\abd", RegistryEntry{Root::CurrentUser, u"abc", u"abd"}},
        {"HKEY_CURRENT_USER\\abc\\abd\\", RegistryEntry{Root::CurrentUser, u"abc\\abd", u""}},
        {"HKEY_CURRENT_USER\\abc", RegistryEntry{Root::CurrentUser, u"", u"abc"}},
        {"HKEY_CURRENT_USER\\", RegistryEntry{Root::CurrentUser, u"", u""}},
        {gbk("HKEY_CURRENT_USER\\键\\乗a"), RegistryEntry{Root::CurrentUser, u"键", u"乗a"}},
        {gbk("HKEY_CURRENT_USER\\a\\乗\\v"), RegistryEntry{Root::CurrentUser, u"a\\乗", u"v"}},
        {"\\abc\\abd", RegistryEntry{Root::CurrentConfig, u"abc", u"abd"}},
        {"HKEY_CURRENT_USER\\\\a\\\\b\\\\v", RegistryEntry{Root::CurrentUser, u"a\\b", u"v"}},
        {"HKEY_CURRENT_USER\\\\v", RegistryEntry{Root::CurrentUser, u"", u"v"}},
        {"HKEY_CURRENT_USER", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(lz::text::gbkToUtf8(c.path));
        EXPECT_EQ(resolveRegistryEntry(c.path), c.expected);
    }
}

// ---- DWORD texts ---------------------------------------------------------------------------

TEST(ParseDwordText, ReadsWholeNumbersThatFit) {
    const std::pair<const char*, std::uint32_t> cases[] = {
        {"1", 1u},
        {"0", 0u},
        {"007", 7u},
        {"+12", 12u},
        {"  42\t", 42u},
        {"5\r\n", 5u},
        {"4294967295", 0xFFFFFFFFu},
        {"-1", 0xFFFFFFFFu},
        {"-2147483648", 0x80000000u},
        {"-0", 0u},
        {"2.0", 2u},
        {"3.", 3u},
        {"0x10", 16u},
        {"0XfFfFfFfF", 0xFFFFFFFFu},
        {"0x0000000001", 1u},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseDwordText(text), expected);
    }
}

TEST(ParseDwordText, RefusesWhatIsNoWholeNumberOrDoesNotFit) {
    // clang-format off
    const std::string refused[] = {
        "4294967296", "99999999999999999999999", "-2147483649", "0x100000000", "1.5", "1.05", ".5", "1e3",
        "1,000", "1 2", "12abc", "abc", "", "   ", "-", "+-1", "0x", "-0x1", "0x-1", gbk("１"),
        // Only space, tab, CR and LF are blanks around a number.
        "\v7", "7\f", " \f0x10\t", std::string("5\0", 2)};
    // clang-format on
    for (const std::string& text : refused) {
        SCOPED_TRACE("\"" + text + "\"");
        EXPECT_EQ(parseDwordText(text), std::nullopt);
    }
}

// ---- Applying a step -----------------------------------------------------------------------

TEST(ApplyRegistryStep, WritesEachTypeWhereThePathPoints) {
    struct Case {
        const char* name;
        std::string path, value, type;
        Root root;
        std::u16string key, valueName;
        Value stored;
    };
    const Case cases[] = {
        {"dword", "HKEY_CURRENT_USER\\abc\\abd", "1", "SZJZ", Root::CurrentUser, u"abc", u"abd", dword(1)},
        {"default value",
         "HKEY_CURRENT_USER\\abc\\abd\\",
         "x",
         "ZCZ",
         Root::CurrentUser,
         u"abc\\abd",
         u"",
         {ValueKind::String, {'x', 0, 0, 0}}},
        {"abbreviated root", "HKCU\\abc\\abd", "1", "SZJZ", Root::CurrentConfig, u"abc", u"abd", dword(1)},
        {"deep key", "HKEY_LOCAL_MACHINE\\a\\b\\c\\d", "v", "ZCZ", Root::LocalMachine, u"a\\b\\c", u"d", string(u"v")},
        {"binary as typed",
         "HKEY_CLASSES_ROOT\\k\\bin",
         "01 02",
         "EJZSZ",
         Root::ClassesRoot,
         u"k",
         u"bin",
         {ValueKind::Binary, bytesOf("01 02")}},
        {"empty binary", "HKEY_USERS\\k\\bin", "", "EJZSZ", Root::Users, u"k", u"bin", {ValueKind::Binary, {}}},
        {"binary of GBK bytes",
         "HKEY_CURRENT_USER\\k\\b",
         gbk("方案"),
         "EJZSZ",
         Root::CurrentUser,
         u"k",
         u"b",
         {ValueKind::Binary, {0xB7, 0xBD, 0xB0, 0xB8}}},
        {"Chinese names and text", gbk("HKEY_CURRENT_USER\\软件\\优化\\名称"), gbk("值 乗"), "ZCZ", Root::CurrentUser,
         u"软件\\优化", u"名称", string(u"值 乗")},
        {"trail byte 5C is no separator", gbk("HKEY_CURRENT_USER\\k\\乗"), "2", "SZJZ", Root::CurrentUser, u"k", u"乗",
         dword(2)},
        {"dword byte order",
         "HKEY_CURRENT_USER\\k\\n",
         "0x12345678",
         "SZJZ",
         Root::CurrentUser,
         u"k",
         u"n",
         {ValueKind::Dword, {0x78, 0x56, 0x34, 0x12}}},
        {"other codes are strings", "HKEY_CURRENT_USER\\k\\s", "1", "DWORD", Root::CurrentUser, u"k", u"s",
         string(u"1")},
        {"codes are case-sensitive", "HKEY_CURRENT_USER\\k\\s", "1", "szjz", Root::CurrentUser, u"k", u"s",
         string(u"1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRegistry reg;
        EXPECT_TRUE(applyRegistryStep(reg, c.path, c.value, c.type));
        EXPECT_EQ(reg.value(c.root, c.key, c.valueName), c.stored);
        const auto kinds = kindsOf(reg.writes());
        EXPECT_EQ(std::count(kinds.begin(), kinds.end(), Write::Kind::ValueSet), 1);  // one value set, this one
        EXPECT_TRUE(registryEntryExists(reg, c.path));
        EXPECT_EQ(reg.openKeyCount(), 0u);
    }
}

TEST(ApplyRegistryStep, CreatesOnlyTheMissingKeysAndOpensExistingOnes) {
    MemoryRegistry reg;
    reg.putValue(Root::LocalMachine, u"a", u"keep", dword(9));
    ASSERT_TRUE(applyRegistryStep(reg, "HKEY_LOCAL_MACHINE\\a\\b\\c\\d", "1", "SZJZ"));
    const std::vector<std::u16string> created = {reg.writes().at(0).key, reg.writes().at(1).key};
    EXPECT_EQ(created, (std::vector<std::u16string>{u"a\\b", u"a\\b\\c"}));
    EXPECT_EQ(reg.value(Root::LocalMachine, u"a", u"keep"), dword(9));

    reg.clearWrites();
    ASSERT_TRUE(applyRegistryStep(reg, "HKEY_LOCAL_MACHINE\\A\\B\\C\\d", "2", "SZJZ"));  // same key, other case
    EXPECT_EQ(kindsOf(reg.writes()), std::vector{Write::Kind::ValueSet});
    EXPECT_EQ(reg.value(Root::LocalMachine, u"a\\b\\c", u"D"), dword(2));
}

TEST(ApplyRegistryStep, RefusedInputWritesNothingAndTouchesNoKey) {
    struct Case {
        std::string path, value, type;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER", "1", "ZCZ"},                    // no "\": names nothing below a root
        {"", "1", "ZCZ"},                                     // empty path
        {"HKEY_CURRENT_USER\\new\\v", "abc", "SZJZ"},         // not a number
        {"HKEY_CURRENT_USER\\new\\v", "", "SZJZ"},            // no number
        {"HKEY_CURRENT_USER\\new\\v", "1.5", "SZJZ"},         // no whole number
        {"HKEY_CURRENT_USER\\new\\v", "4294967296", "SZJZ"},  // does not fit
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " = " + c.value);
        MemoryRegistry reg;
        EXPECT_FALSE(applyRegistryStep(reg, c.path, c.value, c.type));
        EXPECT_TRUE(reg.writes().empty());
        EXPECT_FALSE(reg.hasKey(Root::CurrentUser, u"new"));
        EXPECT_FALSE(registryEntryExists(reg, c.path));
    }
}

TEST(ApplyRegistryStep, FailsWhenTheKeyCanBeNeitherOpenedNorCreated) {
    MemoryRegistry reg;
    reg.putValue(Root::LocalMachine, u"Policies", u"old", dword(1));
    reg.refuseKeyWrites(Root::LocalMachine, u"policies");
    EXPECT_FALSE(applyRegistryStep(reg, "HKEY_LOCAL_MACHINE\\Policies\\old", "2", "SZJZ"));
    EXPECT_FALSE(applyRegistryStep(reg, "HKEY_LOCAL_MACHINE\\Policies\\new\\v", "2", "SZJZ"));
    EXPECT_TRUE(reg.writes().empty());
    EXPECT_EQ(reg.value(Root::LocalMachine, u"Policies", u"old"), dword(1));
    // The two answers the runner chooses its message by.
    EXPECT_TRUE(registryEntryExists(reg, "HKEY_LOCAL_MACHINE\\Policies\\old"));
    EXPECT_FALSE(registryEntryExists(reg, "HKEY_LOCAL_MACHINE\\Policies\\new\\v"));
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

TEST(ApplyRegistryStep, ACreatedKeyStaysWhenSettingTheValueFails) {
    MemoryRegistry reg;
    reg.refuseValueWrites(Root::CurrentUser, u"ro");
    EXPECT_FALSE(applyRegistryStep(reg, "HKEY_CURRENT_USER\\ro\\sub\\v", "x", "ZCZ"));
    EXPECT_TRUE(reg.hasKey(Root::CurrentUser, u"ro\\sub"));
    EXPECT_EQ(kindsOf(reg.writes()), (std::vector{Write::Kind::KeyCreated, Write::Kind::KeyCreated}));
    EXPECT_FALSE(registryEntryExists(reg, "HKEY_CURRENT_USER\\ro\\sub\\v"));
    EXPECT_EQ(reg.openKeyCount(), 0u);
}

TEST(RegistryEntryExists, AnswersYesOnlyForAValueTheRegistryShows) {
    MemoryRegistry reg;
    reg.putValue(Root::CurrentUser, u"k", u"v", dword(1));
    reg.putValue(Root::CurrentUser, u"d", u"", string(u"x"));
    struct Case {
        std::string path;
        Existence expected;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\k\\v", Existence::Present},
        {"HKEY_CURRENT_USER\\d\\", Existence::Present},
        {"HKEY_CURRENT_USER\\k\\", Existence::Absent},  // the key is there, its default value is not
        {"HKEY_CURRENT_USER\\k\\w", Existence::Absent},
        {"HKCU\\k\\v", Existence::Absent},  // that is HKEY_CURRENT_CONFIG
        {"HKEY_CURRENT_USER", Existence::Absent},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(lookUpRegistryEntry(reg, c.path), c.expected);
        EXPECT_EQ(registryEntryExists(reg, c.path), c.expected == Existence::Present);
    }
    reg.failExistenceTests();
    EXPECT_EQ(lookUpRegistryEntry(reg, "HKEY_CURRENT_USER\\k\\v"), Existence::Failed);
    EXPECT_FALSE(registryEntryExists(reg, "HKEY_CURRENT_USER\\k\\v"));
}

}  // namespace
