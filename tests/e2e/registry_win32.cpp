// The Win32 registry in process: registry steps written for real and read back with
// RegGetValueW, keys locked with a read-only access list, and names the registry refuses.
#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <aclapi.h>
// clang-format on

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/registry_win32.h"
#include "steps/registry_steps.h"
#include "testing/registry_step.h"
#include "tests/e2e/debug_output.h"

namespace {

using lz::registry::Existence;
using lz::registry::Root;
using lz::registry::Win32Registry;
using lz::steps::lookUpRegistryEntry;
using lz::steps::registryEntryExists;
using lz::test_support::applyRegistryStep;
using Bytes = std::vector<std::uint8_t>;

constexpr const wchar_t* kTestKey = L"Software\\LzRegistryTest";
constexpr const char* kTestPath = "HKEY_CURRENT_USER\\Software\\LzRegistryTest\\";

std::string gbk(const char* utf8) {
    return lz::text::utf8ToGbk(utf8);
}

struct Stored {
    DWORD type = REG_NONE;
    Bytes data;
};

std::optional<Stored> readValue(HKEY root, const std::wstring& key, const std::wstring& name) {
    Stored stored;
    DWORD size = 0;
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, &stored.type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    stored.data.resize(size);
    if (RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, &stored.type, size ? stored.data.data() : nullptr,
                     &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    stored.data.resize(size);
    return stored;
}

bool keyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

Bytes utf16Bytes(std::wstring_view text) {
    Bytes bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// Replaces the access list of a key: only `allowed` for everyone (0: nothing), or no access
// list at all (everything allowed) when `allowed` is nullopt. The owner may always change it back.
bool setAccess(const std::wstring& key, std::optional<DWORD> allowed) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &opened) != ERROR_SUCCESS) return false;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof everyone;
    PACL acl = nullptr;  // from SetEntriesInAclW, freed below
    alignas(DWORD) BYTE emptyAcl[sizeof(ACL)];
    bool ok = CreateWellKnownSid(WinWorldSid, nullptr, everyone, &sidSize) != FALSE;
    PACL dacl = nullptr;
    if (ok && allowed == DWORD{0}) {  // an access list without entries allows nothing
        dacl = reinterpret_cast<PACL>(emptyAcl);
        ok = InitializeAcl(dacl, sizeof emptyAcl, ACL_REVISION) != FALSE;
    } else if (ok && allowed) {
        EXPLICIT_ACCESS_W entry{};
        entry.grfAccessPermissions = *allowed;
        entry.grfAccessMode = SET_ACCESS;
        entry.grfInheritance = NO_INHERITANCE;
        entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        entry.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        entry.Trustee.ptstrName = reinterpret_cast<LPWSTR>(everyone);
        ok = SetEntriesInAclW(1, &entry, nullptr, &acl) == ERROR_SUCCESS;
        dacl = acl;
    }
    SECURITY_DESCRIPTOR sd;
    ok = ok && InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&sd, TRUE, dacl, FALSE) &&
         RegSetKeySecurity(opened, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, &sd) ==
             ERROR_SUCCESS;
    if (acl) LocalFree(acl);
    RegCloseKey(opened);
    return ok;
}

class Win32RegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        for (const std::wstring& key : locked_) setAccess(key, std::nullopt);
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey);
        RegDeleteTreeW(HKEY_CURRENT_CONFIG, L"LzRegistryTest");
    }
    // A test key whose access list allows only `allowed`; unlocked again after the test.
    std::wstring lockedKey(const std::wstring& name, DWORD allowed) {
        const std::wstring key = std::wstring(kTestKey) + L"\\" + name;
        HKEY created = nullptr;
        EXPECT_EQ(
            RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr),
            ERROR_SUCCESS);
        const DWORD one = 1;
        RegSetValueExW(created, L"present", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
        RegCloseKey(created);
        locked_.push_back(key);
        EXPECT_TRUE(setAccess(key, allowed));
        return key;
    }

    Win32Registry registry_;
    std::vector<std::wstring> locked_;
};

TEST_F(Win32RegistryTest, EachTypeIsWrittenAsTheStepSays) {
    struct Case {
        const char* name;
        std::string rest, value, type;
        std::wstring key, valueName;
        DWORD storedType;
        Bytes storedData;
    };
    const std::wstring base = kTestKey;
    const Case cases[] = {
        {"dword", "abc\\abd", "1", "SZJZ", base + L"\\abc", L"abd", REG_DWORD, {1, 0, 0, 0}},
        {"default string", "abc\\abd\\", "x", "ZCZ", base + L"\\abc\\abd", L"", REG_SZ, {'x', 0, 0, 0}},
        {"binary as typed",
         "bin\\five",
         "01 02",
         "EJZSZ",
         base + L"\\bin",
         L"five",
         REG_BINARY,
         {'0', '1', ' ', '0', '2'}},
        {"empty binary", "bin\\empty", "", "EJZSZ", base + L"\\bin", L"empty", REG_BINARY, {}},
        {"missing parents", "a\\b\\c\\d", "deep", "ZCZ", base + L"\\a\\b\\c", L"d", REG_SZ, utf16Bytes(L"deep")},
        {"Chinese names and text", gbk("软件\\优化\\名称"), gbk("值：方案"), "ZCZ", base + L"\\软件\\优化", L"名称",
         REG_SZ, utf16Bytes(L"值：方案")},
        {"trail byte 5C in a key name",
         gbk("乗\\乗"),
         gbk("乗"),
         "EJZSZ",
         base + L"\\乗",
         L"乗",
         REG_BINARY,
         {0x81, 0x5C}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = kTestPath + c.rest;
        EXPECT_FALSE(registryEntryExists(registry_, path));
        ASSERT_TRUE(applyRegistryStep(registry_, path, c.value, c.type));
        const auto stored = readValue(HKEY_CURRENT_USER, c.key, c.valueName);
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->type, c.storedType);
        EXPECT_EQ(stored->data, c.storedData);
        EXPECT_EQ(lookUpRegistryEntry(registry_, path), Existence::Present);
    }
}

TEST_F(Win32RegistryTest, AnUnknownRootNameWritesUnderCurrentConfig) {
    ASSERT_TRUE(applyRegistryStep(registry_, "HKCU\\LzRegistryTest\\v", "7", "SZJZ"));
    const auto stored = readValue(HKEY_CURRENT_CONFIG, L"LzRegistryTest", L"v");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data, (Bytes{7, 0, 0, 0}));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"LzRegistryTest"));
}

TEST_F(Win32RegistryTest, AReadOnlyKeyRefusesTheWriteAndTheExistenceTestStillAnswers) {
    const std::wstring key = lockedKey(L"locked", KEY_READ);
    const std::string locked = std::string(kTestPath) + "locked\\";
    EXPECT_FALSE(applyRegistryStep(registry_, locked + "present", "2", "SZJZ"));
    EXPECT_FALSE(applyRegistryStep(registry_, locked + "absent", "2", "SZJZ"));
    EXPECT_EQ(readValue(HKEY_CURRENT_USER, key, L"present")->data, (Bytes{1, 0, 0, 0}));

    EXPECT_EQ(lookUpRegistryEntry(registry_, locked + "present"), Existence::Present);
    EXPECT_EQ(lookUpRegistryEntry(registry_, locked + "absent"), Existence::Absent);
    EXPECT_TRUE(registryEntryExists(registry_, locked + "present"));
    EXPECT_FALSE(registryEntryExists(registry_, locked + "absent"));
}

TEST_F(Win32RegistryTest, AnUnreadableKeyMakesTheExistenceTestFail) {
    lockedKey(L"sealed", 0);
    const std::string sealed = std::string(kTestPath) + "sealed\\present";
    const lz::e2e::DebugOutput output;
    EXPECT_EQ(lookUpRegistryEntry(registry_, sealed), Existence::Failed);
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "LzVantor: RegOpenKeyExW (HKEY_CURRENT_USER\\"));
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "sealed) failed, error 5")) << "ERROR_ACCESS_DENIED";
    EXPECT_FALSE(registryEntryExists(registry_, sealed));
}

TEST_F(Win32RegistryTest, AKeyNameOf300CharactersCannotBeCreated) {
    const std::string path = kTestPath + std::string(300, 'k') + "\\v";
    const lz::e2e::DebugOutput output;
    EXPECT_FALSE(applyRegistryStep(registry_, path, "1", "SZJZ"));
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "LzVantor: RegCreateKeyExW ("));
    EXPECT_FALSE(registryEntryExists(registry_, path));
    EXPECT_EQ(lookUpRegistryEntry(registry_, path), Existence::Absent);
}

TEST_F(Win32RegistryTest, OpenForWriteDoesNotCreateAndWriteDefaultStringDoes) {
    const std::u16string key = u"Software\\LzRegistryTest\\文件";
    EXPECT_FALSE(registry_.openForWrite(Root::CurrentUser, key));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, L"Software\\LzRegistryTest\\文件"));
    ASSERT_TRUE(lz::registry::writeDefaultString(registry_, Root::CurrentUser, key, u"打开"));
    const auto stored = readValue(HKEY_CURRENT_USER, L"Software\\LzRegistryTest\\文件", L"");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->data, utf16Bytes(L"打开"));
}

TEST_F(Win32RegistryTest, ReadValueGivesTheStoredBytesAndTellsMissingFromUnreadable) {
    // A string stored without its terminator: the byte after the data must not be zero, or the
    // registry counts it in.
    const BYTE unterminated[] = {'a', 0, 'b', 0, 0x7F};
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"raw", 0, REG_SZ, unterminated, 4), ERROR_SUCCESS);
    const BYTE qword[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ASSERT_EQ(RegSetValueExW(key, L"数字", 0, REG_QWORD, qword, sizeof qword), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::u16string test = u"Software\\LzRegistryTest";

    const lz::registry::ValueState raw = registry_.readValue(Root::CurrentUser, test, u"RAW");
    EXPECT_EQ(raw.existence, Existence::Present);
    EXPECT_EQ(raw.value.type, lz::registry::ValueKind::String);
    EXPECT_EQ(raw.value.data, (Bytes{'a', 0, 'b', 0})) << "read as stored, nothing added";
    const lz::registry::ValueState number = registry_.readValue(Root::CurrentUser, test, u"数字");
    EXPECT_EQ(number.value, (lz::registry::Value{lz::registry::ValueKind::Qword, Bytes(qword, qword + 8)}));

    EXPECT_EQ(registry_.readValue(Root::CurrentUser, test, u"none").existence, Existence::Absent);
    EXPECT_EQ(registry_.readValue(Root::CurrentUser, test + u"\\none", u"v").existence, Existence::Absent);
    EXPECT_EQ(registry_.readValue(Root::CurrentUser, test + u"\\" + std::u16string(300, u'k'), u"v").existence,
              Existence::Absent);
    lockedKey(L"sealed", 0);
    EXPECT_EQ(registry_.readValue(Root::CurrentUser, test + u"\\sealed", u"present").existence, Existence::Failed);
}

TEST_F(Win32RegistryTest, KeyExistsCountsAKeyTheUserMayNotOpen) {
    lockedKey(L"sealed", 0);
    const std::u16string test = u"Software\\LzRegistryTest";
    EXPECT_EQ(registry_.keyExists(Root::CurrentUser, test + u"\\SEALED"), Existence::Present);
    EXPECT_EQ(registry_.keyExists(Root::CurrentUser, test + u"\\none"), Existence::Absent);
    EXPECT_EQ(registry_.keyExists(Root::CurrentUser, test + u"\\" + std::u16string(300, u'k')), Existence::Absent);
    EXPECT_EQ(registry_.keyExists(Root::Users, u""), Existence::Present);
}

TEST_F(Win32RegistryTest, ReadKeyGivesEveryValueExactlyAndTheSubkeysNames) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const Bytes big(5000, 0xAB);  // more than a first guess of the buffer
    const std::wstring longName(300, L'n');
    ASSERT_EQ(RegSetValueExW(key, L"", 0, REG_SZ, utf16Bytes(L"默认").data(), 6), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"big", 0, REG_BINARY, big.data(), static_cast<DWORD>(big.size())), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, longName.c_str(), 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    RegCloseKey(key);
    for (const wchar_t* sub : {L"\\子项", L"\\empty", L"\\子项\\deeper"}) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kTestKey) + sub).c_str(), 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(created);
    }
    const std::u16string test = u"Software\\LzRegistryTest";
    lz::registry::KeyContents contents = registry_.readKey(Root::CurrentUser, test);
    ASSERT_EQ(contents.existence, Existence::Present);
    std::sort(contents.subKeys.begin(), contents.subKeys.end());
    EXPECT_EQ(contents.subKeys, (std::vector<std::u16string>{u"empty", u"子项"})) << "the keys directly below";
    ASSERT_EQ(contents.values.size(), 3u);
    std::sort(contents.values.begin(), contents.values.end(),
              [](const auto& a, const auto& b) { return a.name.size() < b.name.size(); });
    using lz::registry::ValueKind;
    EXPECT_EQ(contents.values[0], (lz::registry::NamedValue{u"", {ValueKind::String, {0xD8, 0x9E, 0xA4, 0x8B, 0, 0}}}));
    EXPECT_EQ(contents.values[1], (lz::registry::NamedValue{u"big", {ValueKind::Binary, big}}));
    EXPECT_EQ(contents.values[2],
              (lz::registry::NamedValue{std::u16string(longName.begin(), longName.end()), {ValueKind::None, {}}}));

    EXPECT_EQ(registry_.readKey(Root::CurrentUser, test + u"\\none").existence, Existence::Absent);
    lockedKey(L"sealed", 0);
    EXPECT_EQ(registry_.readKey(Root::CurrentUser, test + u"\\sealed").existence, Existence::Failed);
}

TEST_F(Win32RegistryTest, DeletesAValueOrAWholeKeyAndTellsAbsentAndDeniedApart) {
    const std::u16string test = u"Software\\LzRegistryTest";
    ASSERT_TRUE(applyRegistryStep(registry_, std::string(kTestPath) + "tree\\a\\b\\v", "1", "SZJZ"));
    ASSERT_TRUE(applyRegistryStep(registry_, std::string(kTestPath) + "tree\\w", "1", "SZJZ"));
    using lz::registry::Change;
    EXPECT_EQ(registry_.deleteValue(Root::CurrentUser, test + u"\\tree", u"W"), Change::Done);
    EXPECT_FALSE(readValue(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\tree", L"w"));
    EXPECT_EQ(registry_.deleteValue(Root::CurrentUser, test + u"\\tree", u"w"), Change::Absent);
    EXPECT_EQ(registry_.deleteValue(Root::CurrentUser, test + u"\\none", u"w"), Change::Absent);
    EXPECT_EQ(registry_.deleteKey(Root::CurrentUser, test + u"\\TREE"), Change::Done);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\tree"));
    EXPECT_EQ(registry_.deleteKey(Root::CurrentUser, test + u"\\tree"), Change::Absent);
    EXPECT_EQ(registry_.deleteKey(Root::CurrentUser, u""), Change::Failed) << "never a root";

    // A key that allows only reading: its values and the key itself stay, for lack of rights.
    lockedKey(L"locked", KEY_READ);
    const lz::e2e::DebugOutput output;
    EXPECT_EQ(registry_.deleteValue(Root::CurrentUser, test + u"\\locked", u"present"), Change::Denied);
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "locked) failed, error 5"));
    EXPECT_EQ(registry_.openForWrite(Root::CurrentUser, test + u"\\locked").wasDenied(), true);
    EXPECT_EQ(registry_.create(Root::CurrentUser, test + u"\\locked").wasDenied(), true);
    EXPECT_EQ(registry_.create(Root::CurrentUser, test + u"\\" + std::u16string(300, u'k')).wasDenied(), false);
}

// Kept open for writing, a key is opened once for many writes, and a delete lets it go: a write
// after the key was deleted and made again lands in the new key, not in the deleted one.
TEST_F(Win32RegistryTest, AKeyKeptOpenForWritingIsOpenedOnceAndADeleteLetsItGo) {
    const std::u16string key = u"Software\\LzRegistryTest\\kept";
    const auto write = [&](std::u16string_view name) {
        const lz::registry::Key opened = lz::registry::openOrCreate(registry_, Root::CurrentUser, key);
        const std::uint8_t one[4] = {1, 0, 0, 0};
        EXPECT_TRUE(registry_.setValue(opened, name, lz::registry::ValueKind::Dword, one));
        return opened.token();
    };
    registry_.keepKeyOpenForWriting(true);
    const std::uintptr_t first = write(u"a");
    EXPECT_EQ(write(u"b"), first) << "the same open key";
    EXPECT_EQ(registry_.deleteKey(Root::CurrentUser, key), lz::registry::Change::Done);
    write(u"c");
    EXPECT_TRUE(readValue(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\kept", L"c"));
    EXPECT_FALSE(readValue(HKEY_CURRENT_USER, std::wstring(kTestKey) + L"\\kept", L"a"));
    registry_.keepKeyOpenForWriting(false);
}

}  // namespace
