#include "steps/protected_keys.h"

#include <algorithm>
#include <string>
#include <vector>

namespace lz::steps {
namespace {

using registry::Root;
using Names = std::vector<std::u16string>;

// First-level keys of HKEY_CLASSES_ROOT that are not one program's file type or class (which a
// tweak may well remove) but the shell's and COM's own: without them no object can be created,
// no folder opened, no program started from the shell.
constexpr std::u16string_view kClassesKeys[] = {
    u"*",                       // every file: the shell's context menus
    u"ALLFILESYSTEMOBJECTS",    // files and folders alike
    u"APPID",                   // COM servers' security and hosting
    u"CLSID",                   // every COM class
    u"COMPONENT CATEGORIES",    // COM categories
    u"DIRECTORY",               // folders
    u"DRIVE",                   // drives
    u"FOLDER",                  // folders and virtual folders
    u"INTERFACE",               // COM interfaces (proxies)
    u"MIME",                    // content types
    u"NETWORK",                 // network places
    u"PROTOCOLS",               // URL protocol handlers
    u"RECORD",                  // COM records
    u"SYSTEMFILEASSOCIATIONS",  // types the system itself handles
    u"TYPELIB",                 // COM type libraries
    u"UNKNOWN",                 // files of no type
    u"WOW6432NODE",             // the 32-bit view of all of the above
    // The types that start programs: without them no program starts from the shell.
    u".EXE", u"EXEFILE", u".LNK", u"LNKFILE", u".BAT", u"BATFILE", u".CMD", u"CMDFILE", u".COM", u"COMFILE", u".DLL",
    u"DLLFILE", u".REG", u"REGFILE",  // .reg too: undo files are imported through it
};

// Deeper keys, by root, as "\"-separated names in upper case. Every key above one of them is
// refused too: the roots' first level always, and the lists below name each level.
struct Deeper {
    Root root;
    std::u16string_view path;
};
constexpr Deeper kDeeperKeys[] = {
    // Windows' own settings of the machine: programs, services and logon read them first.
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS NT"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION"},
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON"},     // logon
    {Root::LocalMachine, u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\PROFILELIST"},  // profiles
    // Policies as a whole: a domain's settings, which the domain would not give back at once.
    {Root::LocalMachine, u"SOFTWARE\\POLICIES"},
    {Root::LocalMachine, u"SOFTWARE\\POLICIES\\MICROSOFT"},
    // The control set the system starts from: drivers, services, the boot's own settings.
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET"},
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\CONTROL"},
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\CONTROL\\CLASS"},  // device classes' drivers
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\CONTROL\\LSA"},    // logon security
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SAFEBOOT"},
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER"},
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\ENUM"},  // the devices found
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\HARDWARE PROFILES"},
    {Root::LocalMachine, u"SYSTEM\\CURRENTCONTROLSET\\SERVICES"},
    {Root::LocalMachine, u"SYSTEM\\MOUNTEDDEVICES"},  // drive letters
    {Root::LocalMachine, u"SYSTEM\\SELECT"},          // which control set starts
    {Root::LocalMachine, u"SYSTEM\\SETUP"},           // whether setup has finished
    // The user's own Windows settings: the desktop and the shell start from them.
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT"},
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT\\WINDOWS"},
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION"},
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER"},
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT\\WINDOWS NT"},
    {Root::CurrentUser, u"SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION"},
    {Root::CurrentUser, u"SOFTWARE\\POLICIES"},
    {Root::CurrentUser, u"SOFTWARE\\POLICIES\\MICROSOFT"},
    // The current hardware profile is a view of the control set.
    {Root::CurrentConfig, u"SYSTEM\\CURRENTCONTROLSET"},
};

Names namesOf(std::u16string_view path) {
    Names names;
    for (std::size_t start = 0; start <= path.size();) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        if (end > start) names.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool isNumberedControlSet(std::u16string_view name) {
    constexpr std::u16string_view kPrefix = u"CONTROLSET";
    return name.size() > kPrefix.size() && name.starts_with(kPrefix) &&
           std::all_of(name.begin() + kPrefix.size(), name.end(), [](char16_t c) { return c >= u'0' && c <= u'9'; });
}

std::u16string joined(const Names& names) {
    std::u16string path;
    for (const std::u16string& name : names) path.append(path.empty() ? u"" : u"\\").append(name);
    return path;
}

bool classesKeyIsProtected(const Names& names) {
    if (names.size() != 1) return names.empty();
    return std::find(std::begin(kClassesKeys), std::end(kClassesKeys), names.front()) != std::end(kClassesKeys);
}

// Whether the key (folded names) is refused, after mapping the other views of a key to their
// main path.
bool isProtected(Root root, Names names) {
    if (root == Root::ClassesRoot) return classesKeyIsProtected(names);
    if (names.size() <= 1) return true;  // a root, or a key directly below one
    if (root == Root::Users) {
        // HKEY_USERS\<user>_Classes is that user's classes; HKEY_USERS\<user> is that user's root.
        const bool classes = names.front().ends_with(u"_CLASSES");
        names.erase(names.begin());
        return isProtected(classes ? Root::ClassesRoot : Root::CurrentUser, std::move(names));
    }
    if ((root == Root::LocalMachine || root == Root::CurrentUser) && names[0] == u"SOFTWARE") {
        if (names[1] == u"CLASSES") return isProtected(Root::ClassesRoot, Names(names.begin() + 2, names.end()));
        if (root == Root::LocalMachine && names[1] == u"WOW6432NODE") {
            names.erase(names.begin() + 1);
            return isProtected(root, std::move(names));
        }
    }
    if (root == Root::LocalMachine && names[0] == u"SYSTEM" && isNumberedControlSet(names[1]))
        names[1] = u"CURRENTCONTROLSET";
    const std::u16string path = joined(names);
    return std::any_of(std::begin(kDeeperKeys), std::end(kDeeperKeys),
                       [&](const Deeper& key) { return key.root == root && key.path == path; });
}

}  // namespace

bool isProtectedKey(Root root, std::u16string_view subKey) {
    return isProtected(root, namesOf(registry::foldedName(subKey)));
}

}  // namespace lz::steps
