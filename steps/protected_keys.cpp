#include "steps/protected_keys.h"

#include <algorithm>
#include <span>
#include <string>
#include <vector>

namespace lz::steps {
namespace {

using registry::Root;
using Names = std::vector<std::u16string_view>;

// First-level keys of HKEY_CLASSES_ROOT that are not one program's file type or class (which a
// tweak may well remove) but the shell's and COM's own: without them no object can be created,
// no folder opened, no program started from the shell.
constexpr const char* kClassesKeys[] = {
    "*",                       // every file: the shell's context menus
    "ALLFILESYSTEMOBJECTS",    // files and folders alike
    "APPID",                   // COM servers' security and hosting
    "CLSID",                   // every COM class
    "COMPONENT CATEGORIES",    // COM categories
    "DIRECTORY",               // folders
    "DRIVE",                   // drives
    "FOLDER",                  // folders and virtual folders
    "INTERFACE",               // COM interfaces (proxies)
    "MIME",                    // content types
    "NETWORK",                 // network places
    "PROTOCOLS",               // URL protocol handlers
    "RECORD",                  // COM records
    "SYSTEMFILEASSOCIATIONS",  // types the system itself handles
    "TYPELIB",                 // COM type libraries
    "UNKNOWN",                 // files of no type
    "WOW6432NODE",             // the 32-bit view of all of the above
    // The types that start programs: without them no program starts from the shell.
    ".EXE", "EXEFILE", ".LNK", "LNKFILE", ".BAT", "BATFILE", ".CMD", "CMDFILE", ".COM", "COMFILE", ".DLL", "DLLFILE",
    ".REG", "REGFILE",  // .reg too: undo files are imported through it
};

// Deeper keys, as the root's letter (M: HKEY_LOCAL_MACHINE, U: HKEY_CURRENT_USER, C:
// HKEY_CURRENT_CONFIG), a colon and the "\\"-separated names in upper case. Every key above one of them is
// refused too: the roots' first level always, and the list names each level below.
constexpr const char* kDeeperKeys[] = {
    // Windows' own settings of the machine: programs, services and logon read them first.
    "M:SOFTWARE\\MICROSOFT",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS NT",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "M:SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON",     // logon
    "M:SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PROFILELIST",  // profiles
    // Policies as a whole: a domain's settings, which the domain would not give back at once.
    "M:SOFTWARE\\POLICIES",
    "M:SOFTWARE\\POLICIES\\MICROSOFT",
    // The control set the system starts from: drivers, services, the boot's own settings.
    "M:SYSTEM\\CURRENTCONTROLSET",
    "M:SYSTEM\\CURRENTCONTROLSET\\CONTROL",
    "M:SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS",  // device classes' drivers
    "M:SYSTEM\\CURRENTCONTROLSET\\CONTROL\\LSA",    // logon security
    "M:SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SAFEBOOT",
    "M:SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER",
    "M:SYSTEM\\CURRENTCONTROLSET\\ENUM",  // the devices found
    "M:SYSTEM\\CURRENTCONTROLSET\\HARDWARE PROFILES",
    "M:SYSTEM\\CURRENTCONTROLSET\\SERVICES",
    "M:SYSTEM\\MOUNTEDDEVICES",  // drive letters
    "M:SYSTEM\\SELECT",          // which control set starts
    "M:SYSTEM\\SETUP",           // whether setup has finished
    // The user's own Windows settings: the desktop and the shell start from them.
    "U:SOFTWARE\\MICROSOFT",
    "U:SOFTWARE\\MICROSOFT\\WINDOWS",
    "U:SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
    "U:SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER",
    "U:SOFTWARE\\MICROSOFT\\WINDOWS NT",
    "U:SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "U:SOFTWARE\\POLICIES",
    "U:SOFTWARE\\POLICIES\\MICROSOFT",
    // The current hardware profile is a view of the control set.
    "C:SYSTEM\\CURRENTCONTROLSET",
};

char rootLetter(Root root) {
    return root == Root::LocalMachine ? 'M' : root == Root::CurrentUser ? 'U' : root == Root::CurrentConfig ? 'C' : 0;
}

// The names of a folded key path, without empty ones ("\\a\\\\b" has a and b).
Names namesOf(std::u16string_view path) {
    Names names;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// Whether a folded name is this ASCII name.
bool is(std::u16string_view name, std::string_view ascii) {
    return std::equal(name.begin(), name.end(), ascii.begin(), ascii.end(),
                      [](char16_t a, char b) { return a == static_cast<unsigned char>(b); });
}

bool isNumberedControlSet(std::u16string_view name) {
    constexpr std::string_view kPrefix = "CONTROLSET";
    return name.size() > kPrefix.size() && is(name.substr(0, kPrefix.size()), kPrefix) &&
           std::all_of(name.begin() + kPrefix.size(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

// Whether the names are those of a "\"-separated ASCII path.
bool isPath(std::span<const std::u16string_view> names, std::string_view path) {
    for (std::u16string_view name : names) {
        const std::size_t end = std::min(path.find('\\'), path.size());
        if (!is(name, path.substr(0, end))) return false;
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return path.empty();
}

// Whether the key (folded names) is refused, after mapping the other views of a key to their
// main path.
bool isProtected(Root root, std::span<const std::u16string_view> names) {
    if (root == Root::ClassesRoot) {
        if (names.size() != 1) return names.empty();
        return std::any_of(std::begin(kClassesKeys), std::end(kClassesKeys),
                           [&](std::string_view key) { return is(names[0], key); });
    }
    if (names.size() <= 1) return true;  // a root, or a key directly below one
    if (root == Root::Users) {
        // HKEY_USERS\<user>_Classes is that user's classes; HKEY_USERS\<user> is that user's root.
        const std::u16string_view user = names[0];
        const bool classes = user.size() > 8 && is(user.substr(user.size() - 8), "_CLASSES");
        return isProtected(classes ? Root::ClassesRoot : Root::CurrentUser, names.subspan(1));
    }
    Names mapped(names.begin(), names.end());
    if ((root == Root::LocalMachine || root == Root::CurrentUser) && is(names[0], "SOFTWARE")) {
        if (is(names[1], "CLASSES")) return isProtected(Root::ClassesRoot, names.subspan(2));
        if (root == Root::LocalMachine && is(names[1], "WOW6432NODE")) {
            mapped.erase(mapped.begin() + 1);
            return isProtected(root, mapped);
        }
    }
    if (root == Root::LocalMachine && is(names[0], "SYSTEM") && isNumberedControlSet(names[1]))
        mapped[1] = u"CURRENTCONTROLSET";
    return std::any_of(std::begin(kDeeperKeys), std::end(kDeeperKeys), [&](std::string_view key) {
        return key.front() == rootLetter(root) && isPath(mapped, key.substr(2));
    });
}

}  // namespace

bool isProtectedKey(Root root, std::u16string_view subKey) {
    const std::u16string folded = registry::foldedName(subKey);
    return isProtected(root, namesOf(folded));
}

}  // namespace lz::steps
