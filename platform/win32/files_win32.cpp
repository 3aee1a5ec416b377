// The file service on the Win32 file API.
#include "platform/win32/files_win32.h"

#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/text.h"
#include "platform/win32/handle.h"
#include "platform/win32/system_library.h"
#include "platform/win32/trace.h"

namespace lz::files {
namespace {

using win32::traceError;
using win32::traceLastError;
using win32::UniqueFile;
using win32::UniqueFind;
using win32::UniqueHandle;
using win32::UniqueView;

// Paths at least this long go to the system in their extended-length form ("\\?\C:\..."),
// which has no MAX_PATH limit. Shorter ones stay as they are, so relative paths keep working.
constexpr std::size_t kExtendedPathFrom = 240;
constexpr DWORD kChunk = 1u << 20;
// Tries at a free temporary-file name before a write gives up.
constexpr int kTemporaryNameAttempts = 32;

class Win32Handle final : public HeldFile::Handle {
public:
    explicit Win32Handle(UniqueFile file) : file_(std::move(file)) {}

private:
    UniqueFile file_;
};

// Whether the thread's last error says only that the file or its folder is not there: the
// answer to a question, not a failure worth a trace.
bool lastErrorIsNotThere() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring winPath(std::string_view utf8) {
    std::wstring path = text::toWide(utf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (path.size() < kExtendedPathFrom || path.starts_with(L"\\\\?\\")) return path;
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

UniqueFile openExisting(std::string_view path, DWORD access) {
    const std::wstring name = winPath(path);
    UniqueFile file(CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) traceLastError("CreateFileW", name);
    return file;
}

std::optional<std::string> readRest(HANDLE file) {
    // Read the size the file has now in place; a file that grows meanwhile is read on in
    // chunks. The string is never regrown past what it holds.
    std::string content;
    LARGE_INTEGER size{};
    std::size_t expected = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (std::int64_t{1} << 31))
        expected = static_cast<std::size_t>(size.QuadPart);
    content.resize(expected);
    std::size_t filled = 0;
    while (filled < expected) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(expected - filled, kChunk));
        DWORD got = 0;
        if (!ReadFile(file, content.data() + filled, chunk, &got, nullptr)) {
            traceLastError("ReadFile");
            return std::nullopt;
        }
        if (got == 0) break;
        filled += got;
    }
    content.resize(filled);
    if (filled < expected) return content;  // the file shrank: its end has been reached
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
            traceLastError("ReadFile");
            return std::nullopt;
        }
        if (got == 0) return content;
        content.append(buffer, got);
    }
}

bool writeWhole(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
            traceLastError("WriteFile");
            return false;
        }
        bytes.remove_prefix(written);
    }
    return true;
}

// The folder part of a path, the separator included ("" for a bare name).
std::string_view folderOf(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string_view::npos ? std::string_view{} : path.substr(0, separator + 1);
}

// Creates a new, empty temporary file in `folder` for writing, sharing nothing. Its name ends in
// ".tmp", so no scheme pattern lists one that a crash left behind.
UniqueFile createTemporary(std::string_view folder, std::wstring& name) {
    static std::atomic<unsigned> counter{GetTickCount()};
    const std::string prefix = std::string(folder) + "~lz" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = winPath(prefix + std::to_string(counter++) + ".tmp");
        UniqueFile file(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            traceError("CreateFileW", error, name);
            break;
        }
    }
    name.clear();
    return {};
}

}  // namespace

std::vector<std::string> Win32Files::find(std::string_view pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const std::wstring wanted = winPath(pattern);
    const UniqueFind search(
        FindFirstFileExW(wanted.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!search) {
        if (!lastErrorIsNotThere()) traceLastError("FindFirstFileExW", wanted);
        return names;
    }
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(text::fromWide(data.cFileName));
    } while (FindNextFileW(search.get(), &data));
    if (GetLastError() != ERROR_NO_MORE_FILES) traceLastError("FindNextFileW", wanted);
    return names;
}

std::optional<std::int64_t> Win32Files::size(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    const std::wstring name = winPath(path);
    if (!GetFileAttributesExW(name.c_str(), GetFileExInfoStandard, &data)) {
        if (!lastErrorIsNotThere()) traceLastError("GetFileAttributesExW", name);
        return std::nullopt;
    }
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool Win32Files::remove(std::string_view path) {
    const std::wstring name = winPath(path);
    if (DeleteFileW(name.c_str())) return true;
    traceLastError("DeleteFileW", name);
    return false;
}

Files::Recycled Win32Files::recycle(std::string_view path) {
    // The shell takes a full path shorter than MAX_PATH (made here, "/" read as "\"), in a list
    // that ends with an empty entry: the zeros after the path.
    const std::wstring given = text::toWide(path);
    wchar_t full[MAX_PATH + 1] = {};
    const DWORD length = GetFullPathNameW(given.c_str(), MAX_PATH, full, nullptr);
    if (length >= MAX_PATH) {  // an empty path (length 0) is a file that is not there, below
        traceError("GetFullPathNameW", ERROR_FILENAME_EXCED_RANGE, given);
        return Recycled::Failed;
    }
    {
        // Only a file that could be deleted goes to the shell: a file someone holds without
        // sharing its deletion (a running scheme, one the editor has open) is refused here,
        // before the shell would say so in a window of its own, and so is a folder (as remove
        // refuses one). A file that is not there is the answer, not a failure.
        const UniqueFile probe(CreateFileW(full, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) {
            if (!lastErrorIsNotThere()) traceLastError("CreateFileW", given);
            return Recycled::Failed;
        }
    }
    // Fixed drives have a bin; removable drives, network drives, CD-ROMs and RAM disks do not,
    // and neither have network shares named without a drive ("\\server\share\..."). A drive
    // mounted in a folder of another counts as that one's: were it to have no bin after all, the
    // shell asks before it deletes the file (below).
    const wchar_t root[] = {full[0], L':', L'\\', L'\0'};
    if (full[1] != L':' || GetDriveTypeW(root) != DRIVE_FIXED) return Recycled::NoBin;

    // Were the bin to refuse the file after all (switched off, full, the file too large for
    // it), the shell would delete it for good: it asks first instead, in a window of its own,
    // and the file stays on a no. Its library is loaded when a scheme is first deleted, not
    // when the program starts.
    const auto operate = win32::systemFunction<decltype(&::SHFileOperationW)>(L"shell32.dll", "SHFileOperationW");
    if (!operate) return Recycled::Failed;  // traced where the library failed to load
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = full;
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_WANTNUKEWARNING;
    const int result = operate(&operation);
    if (operation.fAnyOperationsAborted) return Recycled::Failed;  // the user kept the file
    if (result == 0) return Recycled::Recycled;
    traceError("SHFileOperationW", static_cast<DWORD>(result), given);
    return Recycled::Failed;
}

std::optional<std::string> Win32Files::readAll(std::string_view path) {
    const UniqueFile file = openExisting(path, GENERIC_READ);
    if (!file) return std::nullopt;
    return readRest(file.get());
}

namespace {

// A file mapped into memory for reading, with the handle that keeps others from writing it.
// Members go in reverse order: the view, then the mapping, then the file.
struct MappedFile {
    UniqueFile file;
    UniqueHandle mapping;
    UniqueView view;
    std::size_t size = 0;
};

}  // namespace

std::optional<SharedBytes> Win32Files::readKept(std::string_view path) {
    const auto copied = [&]() -> std::optional<SharedBytes> {
        std::optional<std::string> bytes = readAll(path);
        if (!bytes) return std::nullopt;
        return shareBytes(std::move(*bytes));
    };
    // Shared for reading only: nobody writes, replaces or deletes the file while it is mapped.
    UniqueFile file(CreateFileW(winPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart >= (std::int64_t{1} << 31)) {
        // Open for writing elsewhere, empty, or too large for one view: read as readAll does.
        return copied();
    }
    auto mapped = std::make_shared<MappedFile>();
    mapped->file = std::move(file);
    mapped->size = static_cast<std::size_t>(size.QuadPart);
    mapped->mapping.reset(CreateFileMappingW(mapped->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapped->mapping) traceLastError("CreateFileMappingW", winPath(path));
    if (mapped->mapping) {
        mapped->view.reset(MapViewOfFile(mapped->mapping.get(), FILE_MAP_READ, 0, 0, 0));
        if (!mapped->view) traceLastError("MapViewOfFile", winPath(path));
    }
    if (!mapped->view) {
        mapped.reset();  // the file is let go before it is read the other way
        return copied();
    }
    const std::string_view bytes(static_cast<const char*>(mapped->view.get()), mapped->size);
    return SharedBytes{std::move(mapped), bytes};
}

std::optional<HeldFile> Win32Files::openHeld(std::string_view path) {
    UniqueFile file = openExisting(path, GENERIC_READ | GENERIC_WRITE);
    if (!file) return std::nullopt;
    std::optional<std::string> content = readRest(file.get());
    if (!content) return std::nullopt;
    return HeldFile(std::make_unique<Win32Handle>(std::move(file)), std::move(*content));
}

namespace {

// Writes the bytes to a new temporary file beside `path`, puts them on the disk and moves the
// file to `path` with `moveFlags`. On failure the temporary file is removed and the move's
// error code is returned (ERROR_SUCCESS when all went well).
DWORD writeThroughTemporary(std::string_view path, std::string_view bytes, DWORD moveFlags) {
    if (path.empty() || path.back() == '\\' || path.back() == '/') return ERROR_INVALID_NAME;
    std::wstring temporary;
    UniqueFile file = createTemporary(folderOf(path), temporary);
    if (!file) return ERROR_CANNOT_MAKE;  // never mistaken for a name that is taken
    bool written = writeWhole(file.get(), bytes);
    if (written && !FlushFileBuffers(file.get())) {
        traceLastError("FlushFileBuffers", temporary);
        written = false;
    }
    const bool closed = file.reset();
    if (!closed) traceLastError("CloseHandle", temporary);
    DWORD error = ERROR_WRITE_FAULT;
    if (written && closed) {
        const std::wstring target = winPath(path);
        if (MoveFileExW(temporary.c_str(), target.c_str(), moveFlags | MOVEFILE_WRITE_THROUGH)) return ERROR_SUCCESS;
        error = GetLastError();
        // A name that is taken is the answer writeNew asks for, not a failure.
        if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) traceError("MoveFileExW", error, target);
    }
    if (!DeleteFileW(temporary.c_str())) traceLastError("DeleteFileW", temporary);
    return error;
}

}  // namespace

bool Win32Files::writeAll(std::string_view path, std::string_view bytes) {
    // The move fails when the target is held open without delete sharing, read-only or a folder.
    return writeThroughTemporary(path, bytes, MOVEFILE_REPLACE_EXISTING) == ERROR_SUCCESS;
}

Files::NewFile Win32Files::writeNew(std::string_view path, std::string_view bytes) {
    // Without MOVEFILE_REPLACE_EXISTING the move itself refuses a name that is taken, so two
    // programs writing the same new name cannot overwrite each other.
    switch (writeThroughTemporary(path, bytes, 0)) {
        case ERROR_SUCCESS:
            return NewFile::Written;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return NewFile::Exists;
        default:
            return NewFile::Failed;
    }
}

bool Win32Files::makeFolders(std::string_view path) {
    std::string folder(path);
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (folder.empty()) return false;
    const std::wstring wide = winPath(folder);
    const auto create = [&] { return CreateDirectoryW(wide.c_str(), nullptr) ? DWORD{ERROR_SUCCESS} : GetLastError(); };
    DWORD error = create();
    if (error == ERROR_PATH_NOT_FOUND) {
        const std::string_view parent = folderOf(folder);
        if (parent.empty() || parent.size() >= folder.size() || !makeFolders(parent)) return false;
        error = create();
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    // There but no folder, or not made.
    traceError("CreateDirectoryW", error == ERROR_SUCCESS || error == ERROR_ALREADY_EXISTS ? ERROR_DIRECTORY : error,
               wide);
    return false;
}

}  // namespace lz::files
