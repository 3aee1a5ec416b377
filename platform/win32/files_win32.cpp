// The file service on the Win32 file API.
#include "platform/win32/files_win32.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "platform/text.h"

namespace lz::files {
namespace {

// Paths at least this long go to the system in their extended-length form ("\\?\C:\..."),
// which has no MAX_PATH limit. Shorter ones stay as they are, so relative paths keep working.
constexpr std::size_t kExtendedPathFrom = 240;
constexpr DWORD kChunk = 1u << 20;
// Tries at a free temporary-file name before a write gives up.
constexpr int kTemporaryNameAttempts = 32;

// Owns a file handle; move-only.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
    // Closes the handle; false when closing reported an error (a delayed write failed).
    bool reset() noexcept {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        return CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE)) != FALSE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

class Win32Handle final : public HeldFile::Handle {
public:
    explicit Win32Handle(FileHandle file) : file_(std::move(file)) {}

private:
    FileHandle file_;
};

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

FileHandle openExisting(std::string_view path, DWORD access) {
    return FileHandle(CreateFileW(winPath(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
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
        if (!ReadFile(file, content.data() + filled, chunk, &got, nullptr)) return std::nullopt;
        if (got == 0) break;
        filled += got;
    }
    content.resize(filled);
    if (filled < expected) return content;  // the file shrank: its end has been reached
    char buffer[64 * 1024];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) return std::nullopt;
        if (got == 0) return content;
        content.append(buffer, got);
    }
}

bool writeWhole(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kChunk));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
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
FileHandle createTemporary(std::string_view folder, std::wstring& name) {
    static std::atomic<unsigned> counter{GetTickCount()};
    const std::string prefix = std::string(folder) + "~lz" + std::to_string(GetCurrentProcessId()) + "-";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        name = winPath(prefix + std::to_string(counter++) + ".tmp");
        FileHandle file(
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    name.clear();
    return {};
}

}  // namespace

std::vector<std::string> Win32Files::find(std::string_view pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    const HANDLE search =
        FindFirstFileExW(winPath(pattern).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(text::fromWide(data.cFileName));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return names;
}

std::optional<std::int64_t> Win32Files::size(std::string_view path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(winPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool Win32Files::remove(std::string_view path) {
    return DeleteFileW(winPath(path).c_str()) != FALSE;
}

std::optional<std::string> Win32Files::readAll(std::string_view path) {
    const FileHandle file = openExisting(path, GENERIC_READ);
    if (!file) return std::nullopt;
    return readRest(file.get());
}

namespace {

// A file mapped into memory for reading, with the handle that keeps others from writing it.
struct MappedFile {
    FileHandle file;
    HANDLE mapping = nullptr;
    const char* view = nullptr;
    std::size_t size = 0;
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile() {
        if (view) UnmapViewOfFile(view);
        if (mapping) CloseHandle(mapping);
    }
};

}  // namespace

std::optional<SharedBytes> Win32Files::readKept(std::string_view path) {
    const auto copied = [&]() -> std::optional<SharedBytes> {
        std::optional<std::string> bytes = readAll(path);
        if (!bytes) return std::nullopt;
        return shareBytes(std::move(*bytes));
    };
    // Shared for reading only: nobody writes, replaces or deletes the file while it is mapped.
    FileHandle file(CreateFileW(winPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 || size.QuadPart >= (std::int64_t{1} << 31)) {
        // Open for writing elsewhere, empty, or too large for one view: read as readAll does.
        return copied();
    }
    auto mapped = std::make_shared<MappedFile>();
    mapped->file = std::move(file);
    mapped->size = static_cast<std::size_t>(size.QuadPart);
    mapped->mapping = CreateFileMappingW(mapped->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapped->mapping)
        mapped->view = static_cast<const char*>(MapViewOfFile(mapped->mapping, FILE_MAP_READ, 0, 0, 0));
    if (!mapped->view) {
        mapped.reset();  // the file is let go before it is read the other way
        return copied();
    }
    const std::string_view bytes(mapped->view, mapped->size);
    return SharedBytes{std::move(mapped), bytes};
}

std::optional<HeldFile> Win32Files::openHeld(std::string_view path) {
    FileHandle file = openExisting(path, GENERIC_READ | GENERIC_WRITE);
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
    FileHandle file = createTemporary(folderOf(path), temporary);
    if (!file) return ERROR_CANNOT_MAKE;  // never mistaken for a name that is taken
    const bool written = writeWhole(file.get(), bytes) && FlushFileBuffers(file.get());
    const bool closed = file.reset();
    DWORD error = ERROR_WRITE_FAULT;
    if (written && closed) {
        if (MoveFileExW(temporary.c_str(), winPath(path).c_str(), moveFlags | MOVEFILE_WRITE_THROUGH))
            return ERROR_SUCCESS;
        error = GetLastError();
    }
    DeleteFileW(temporary.c_str());
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
    if (!CreateDirectoryW(wide.c_str(), nullptr) && GetLastError() == ERROR_PATH_NOT_FOUND) {
        const std::string_view parent = folderOf(folder);
        if (parent.empty() || parent.size() >= folder.size() || !makeFolders(parent)) return false;
        CreateDirectoryW(wide.c_str(), nullptr);
    }
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace lz::files
