// What a delete step names, and the keys no step may delete.
#include <gtest/gtest.h>

#include "optimizer/registry_deletes.h"
#include "steps/protected_keys.h"
#include "testing/memory_registry.h"

namespace lz::optimizer {
namespace {

using registry::MemoryRegistry;
using registry::Root;
using registry::ValueKind;
using Kind = DeleteTarget::Kind;

TEST(DeleteTarget, AFinalBackslashNamesTheKeyOtherwiseTheValueComesBeforeTheKey) {
    MemoryRegistry reg;
    const registry::Value one{ValueKind::Dword, {1, 0, 0, 0}};
    reg.putValue(Root::CurrentUser, u"T", u"value", one);
    reg.putKey(Root::CurrentUser, u"T\\key");
    reg.putValue(Root::CurrentUser, u"T", u"both", one);
    reg.putKey(Root::CurrentUser, u"T\\both");
    reg.putValue(Root::CurrentUser, u"T\\key", u"", one);
    struct Case {
        const char* path;
        Kind kind;
        steps::RegistryEntry entry;
    };
    const Case cases[] = {
        {"HKEY_CURRENT_USER\\T\\value", Kind::Value, {Root::CurrentUser, u"T", u"value"}},
        {"HKEY_CURRENT_USER\\T\\key", Kind::Key, {Root::CurrentUser, u"T\\key", u""}},
        {"HKEY_CURRENT_USER\\T\\KEY\\", Kind::Key, {Root::CurrentUser, u"T\\KEY", u""}},
        {"HKEY_CURRENT_USER\\T\\both", Kind::Ambiguous, {Root::CurrentUser, u"T", u"both"}},
        {"HKEY_CURRENT_USER\\T\\both\\", Kind::Key, {Root::CurrentUser, u"T\\both", u""}},
        {"HKEY_CURRENT_USER\\T\\value\\", Kind::Nothing, {Root::CurrentUser, u"T\\value", u""}},
        {"HKEY_CURRENT_USER\\T\\none", Kind::Nothing, {Root::CurrentUser, u"T\\none", u""}},
        {"HKEY_CURRENT_USER\\T\\none\\", Kind::Nothing, {Root::CurrentUser, u"T\\none", u""}},
        {"HKCU\\T\\value", Kind::Nothing, {Root::CurrentConfig, u"T\\value", u""}},  // another root
        {"no backslash", Kind::Nothing, {}},
        {"HKEY_CURRENT_USER\\T", Kind::Protected, {Root::CurrentUser, u"T", u""}},
        {"HKEY_CURRENT_USER\\", Kind::Protected, {Root::CurrentUser, u"", u""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const DeleteTarget target = findDeleteTarget(reg, c.path);
        EXPECT_EQ(target.kind, c.kind);
        EXPECT_EQ(target.entry, c.entry);
    }
    reg.failKeyTests();
    EXPECT_EQ(findDeleteTarget(reg, "HKEY_CURRENT_USER\\T\\key").kind, Kind::Unknown);
}

TEST(DeleteTarget, DeletesTheValueOrTheWholeKey) {
    MemoryRegistry reg;
    const registry::Value one{ValueKind::Dword, {1, 0, 0, 0}};
    reg.putValue(Root::CurrentUser, u"T\\K\\a\\b", u"v", one);
    reg.putValue(Root::CurrentUser, u"T\\K", u"w", one);
    reg.putValue(Root::CurrentUser, u"T\\Keep", u"w", one);
    EXPECT_EQ(deleteTarget(reg, findDeleteTarget(reg, "HKEY_CURRENT_USER\\T\\K\\w")), registry::Change::Done);
    EXPECT_TRUE(reg.hasKey(Root::CurrentUser, u"T\\K\\a\\b"));
    EXPECT_EQ(deleteTarget(reg, findDeleteTarget(reg, "HKEY_CURRENT_USER\\T\\K")), registry::Change::Done);
    EXPECT_FALSE(reg.hasKey(Root::CurrentUser, u"T\\K\\a"));
    EXPECT_FALSE(reg.hasKey(Root::CurrentUser, u"T\\K"));
    EXPECT_TRUE(reg.value(Root::CurrentUser, u"T\\Keep", u"w")) << "a key of a name that begins alike stays";
}

TEST(ProtectedKeys, RootsTheirFirstLevelAndTheKeysWindowsStartsFromAreRefusedInEverySpelling) {
    struct Case {
        Root root;
        const char16_t* key;
        bool refused;
    };
    const Case cases[] = {
        {Root::CurrentUser, u"", true},
        {Root::CurrentUser, u"Software", true},
        {Root::CurrentUser, u"Control Panel", true},
        {Root::LocalMachine, u"SOFTWARE", true},
        {Root::LocalMachine, u"SYSTEM", true},
        {Root::Users, u".DEFAULT", true},
        {Root::CurrentConfig, u"Software", true},
        {Root::LocalMachine, u"software\\microsoft", true},
        {Root::LocalMachine, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", true},
        {Root::LocalMachine, u"SOFTWARE\\WOW6432Node\\Microsoft\\Windows", true},
        {Root::LocalMachine, u"SYSTEM\\CurrentControlSet\\Services", true},
        {Root::LocalMachine, u"SYSTEM\\ControlSet002\\Control\\Session Manager", true},
        {Root::LocalMachine, u"SYSTEM\\ControlSet001", true},
        {Root::CurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion", true},
        {Root::Users, u"S-1-5-21-1\\Software\\Microsoft", true},
        {Root::Users, u"S-1-5-21-1_Classes\\CLSID", true},
        {Root::ClassesRoot, u"", true},
        {Root::ClassesRoot, u"CLSID", true},
        {Root::ClassesRoot, u"*", true},
        {Root::ClassesRoot, u"Directory", true},
        {Root::ClassesRoot, u"exefile", true},
        {Root::LocalMachine, u"SOFTWARE\\Classes", true},
        {Root::LocalMachine, u"SOFTWARE\\Classes\\Folder", true},
        {Root::CurrentUser, u"Software\\Classes\\CLSID", true},
        // What tweaks delete: one program's keys, a file type, a class, a shell extension.
        {Root::ClassesRoot, u".xyz", false},
        {Root::ClassesRoot, u"SomeApp.Document", false},
        {Root::ClassesRoot, u"CLSID\\{0E5AAE11-A475-4C5B-AB00-C66DE400274E}", false},
        {Root::ClassesRoot, u"Directory\\shell\\cmd", false},
        {Root::CurrentUser, u"Software\\Classes\\.xyz", false},
        {Root::CurrentUser, u"Software\\Vendor", false},
        {Root::CurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Run", false},
        {Root::CurrentUser, u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced", false},
        {Root::LocalMachine, u"SOFTWARE\\Policies\\Microsoft\\Windows\\DataCollection", false},
        {Root::LocalMachine, u"SYSTEM\\CurrentControlSet\\Services\\SysMain", false},
        {Root::LocalMachine, u"SYSTEM\\ControlSet001\\Control\\Session Manager\\Memory Management\\x", false},
        {Root::LocalMachine, u"SYSTEM\\ControlSetX\\Services", false},
        {Root::Users, u"S-1-5-21-1\\Software\\Vendor", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.refused ? "refused: " : "allowed: ") + std::to_string(static_cast<int>(c.root)) +
                     " " + std::string(c.key, c.key + std::char_traits<char16_t>::length(c.key)).c_str());
        EXPECT_EQ(steps::isProtectedKey(c.root, c.key), c.refused);
    }
}

}  // namespace
}  // namespace lz::optimizer
