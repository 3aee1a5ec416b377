// Wine's own ways to lay out what a test needs of the machine's drives: the Unix path of a
// Windows path, a recycle bin of the test's own (Wine's bin is the XDG trash, which follows
// $XDG_DATA_HOME), and a drive of a chosen type (a removable drive, a network share) that Wine's
// mount manager lays over a folder, as Wine's configuration tool adds drives. On Windows each
// answers "not here", and the test skips what needs it.
#pragma once

// clang-format off
#include <windows.h>
#include <winioctl.h>
// clang-format on

#include <cstring>
#include <optional>
#include <string>

namespace lz::e2e {

// The Unix path (UTF-8) of a Windows path, by Wine's own call; nothing on Windows.
inline std::optional<std::string> unixPathOf(const std::wstring& path) {
    using ToUnix = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return std::nullopt;
    char* unixPath = toUnix(path.c_str());
    if (!unixPath) return std::nullopt;
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Sends what this process and the programs it starts from now on recycle to `home`\Trash: the
// files to Trash\files, where each came from to Trash\info. Wine's shell reads the place the
// first time it recycles in a process; a home where no folder can be made leaves it no bin.
// False on Windows, whose bin stays its own.
inline bool useTrashIn(const std::wstring& home) {
    const std::optional<std::string> unixHome = unixPathOf(home);
    if (!unixHome) return false;
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, unixHome->data(), static_cast<int>(unixHome->size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, unixHome->data(), static_cast<int>(unixHome->size()), wide.data(), length);
    return SetEnvironmentVariableW(L"XDG_DATA_HOME", wide.c_str()) != FALSE;
}

// A free drive letter that Wine's mount manager gives the Unix folder, with the drive type
// asked for (DRIVE_REMOVABLE, DRIVE_REMOTE, ...); taken away again on destruction. root() is
// empty where there is no such manager (on Windows).
class WineDrive {
public:
    WineDrive(const std::string& unixFolder, UINT type) {
        for (wchar_t letter = L'Y'; letter >= L'M' && root_.empty(); --letter)
            if (!(GetLogicalDrives() & (1u << (letter - L'A')))) root_ = std::wstring{letter, L':', L'\\'};
        if (!root_.empty() && !define(type, unixFolder)) root_.clear();
    }
    ~WineDrive() {
        if (!root_.empty()) define(DRIVE_NO_ROOT_DIR, {});
    }
    WineDrive(const WineDrive&) = delete;
    WineDrive& operator=(const WineDrive&) = delete;

    const std::wstring& root() const { return root_; }  // "Y:\"

private:
    // The request Wine's mount manager takes (include/ddk/mountmgr.h in Wine's sources).
    struct UnixDrive {
        ULONG size;
        ULONG type;
        ULONG fsType;
        DWORD serial;
        ULONGLONG unixDevice;
        WCHAR letter;
        USHORT mountPointOffset;
        USHORT deviceOffset;
        USHORT labelOffset;
    };
    static constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6D, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

    // Gives the letter the folder (no folder and DRIVE_NO_ROOT_DIR take the drive away).
    bool define(UINT type, const std::string& unixFolder) const {
        const HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (manager == INVALID_HANDLE_VALUE) return false;
        std::string request(sizeof(UnixDrive), '\0');
        UnixDrive drive{};
        drive.type = type;
        drive.letter = root_[0];
        if (!unixFolder.empty()) {
            drive.mountPointOffset = static_cast<USHORT>(request.size());
            request.append(unixFolder).push_back('\0');
        }
        drive.size = static_cast<ULONG>(request.size());
        std::memcpy(request.data(), &drive, sizeof drive);
        DWORD returned = 0;
        const bool done = DeviceIoControl(manager, kDefineUnixDrive, request.data(), static_cast<DWORD>(request.size()),
                                          nullptr, 0, &returned, nullptr);
        CloseHandle(manager);
        return done;
    }

    std::wstring root_;
};

}  // namespace lz::e2e
