#include "testing/portable_files.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>
#include <system_error>

#include "testing/wildcard.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace lz::test_support {
namespace {

namespace fs = std::filesystem;

// A UTF-8 path with "\" read as a separator.
fs::path toPath(std::string_view utf8) {
    std::u8string text;
    text.reserve(utf8.size());
    for (const char c : utf8) text.push_back(static_cast<char8_t>(c == '\\' ? '/' : c));
    return fs::path(text);
}

std::string toUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens with the C runtime; on Windows through the wide call, so that any name works.
FilePtr openFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FilePtr(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FilePtr(std::fopen(path.c_str(), mode));
#endif
}

std::optional<std::string> readRest(std::FILE* file) {
    std::string content;
    char buffer[64 * 1024];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
    if (std::ferror(file)) return std::nullopt;
    return content;
}

bool isFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// Writes, flushes the C buffer and asks the system to put the bytes on the disk.
bool writeDurably(std::FILE* file, std::string_view bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) return false;
    if (std::fflush(file) != 0) return false;
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return ::fsync(fileno(file)) == 0;
#endif
}

// A name in `folder` for a new temporary file. It ends in ".tmp", so no scheme pattern lists it
// even when it is left behind by a crash.
fs::path temporaryName(const fs::path& folder) {
    static std::atomic<unsigned> counter{std::random_device{}()};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / ("~lz" + std::to_string(counter++) + ".tmp");
        std::error_code error;
        if (!fs::exists(candidate, error) && !error) return candidate;
    }
    return {};
}

// The key under which a held file is remembered: its absolute, normalised path.
std::string heldKey(const fs::path& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    return toUtf8((error ? path : absolute).lexically_normal());
}

// A held file keeps its path in the service's set while it is open, so that a replace or a
// delete of it fails as it does on Windows, where the file is open without delete sharing.
class PortableHandle final : public files::HeldFile::Handle {
public:
    PortableHandle(FilePtr file, std::shared_ptr<std::set<std::string>> held, std::string key)
        : file_(std::move(file)), held_(std::move(held)), key_(std::move(key)) {
        held_->insert(key_);
    }
    ~PortableHandle() override { held_->erase(key_); }

private:
    FilePtr file_;
    std::shared_ptr<std::set<std::string>> held_;
    std::string key_;
};

}  // namespace

std::vector<std::string> PortableFiles::find(std::string_view pattern) {
    std::string text(pattern);
    for (char& c : text)
        if (c == '\\') c = '/';
    const std::size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    const std::string wildcard = slash == std::string::npos ? text : text.substr(slash + 1);

    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(toPath(folder), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        std::string name = toUtf8(it->path().filename());
        if (matchesWildcard(wildcard, name)) names.push_back(std::move(name));
    }
    return names;
}

std::optional<std::int64_t> PortableFiles::size(std::string_view path) {
    const fs::path file = toPath(path);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return std::nullopt;
    const std::uintmax_t bytes = fs::file_size(file, error);
    if (error) return std::nullopt;
    return static_cast<std::int64_t>(bytes);
}

bool PortableFiles::remove(std::string_view path) {
    const fs::path file = toPath(path);
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return false;  // never a folder, even an empty one
    if (held_->count(heldKey(file))) return false;
    return fs::remove(file, error) && !error;
}

std::optional<std::string> PortableFiles::readAll(std::string_view path) {
    const fs::path file = toPath(path);
    if (isFolder(file)) return std::nullopt;
    const FilePtr stream = openFile(file, "rb");
    if (!stream) return std::nullopt;
    return readRest(stream.get());
}

std::optional<files::HeldFile> PortableFiles::openHeld(std::string_view path) {
    const fs::path file = toPath(path);
    if (isFolder(file)) return std::nullopt;
    FilePtr stream = openFile(file, "r+b");
    if (!stream) return std::nullopt;
    std::optional<std::string> content = readRest(stream.get());
    if (!content) return std::nullopt;
    return files::HeldFile(std::make_unique<PortableHandle>(std::move(stream), held_, heldKey(file)),
                           std::move(*content));
}

namespace {

// Writes the bytes to a new temporary file beside `target` and puts them on the disk; the
// temporary file's path, or empty when that failed (nothing is left behind then).
fs::path writeBeside(const fs::path& target, std::string_view bytes) {
    if (!target.has_filename()) return {};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::path temporary = temporaryName(folder);
    if (temporary.empty()) return {};
    FilePtr stream = openFile(temporary, "wb");
    if (!stream) return {};
    const bool written = writeDurably(stream.get(), bytes);
    const bool closed = std::fclose(stream.release()) == 0;
    if (written && closed) return temporary;
    std::error_code error;
    fs::remove(temporary, error);
    return {};
}

// Gives the temporary file the target's name unless that name is taken.
bool renameWithoutReplacing(const fs::path& temporary, const fs::path& target) {
#ifdef _WIN32
    return _wrename(temporary.c_str(), target.c_str()) == 0;  // the C runtime never replaces
#else
    if (::link(temporary.c_str(), target.c_str()) != 0) return false;
    std::error_code error;
    fs::remove(temporary, error);
    return true;
#endif
}

}  // namespace

bool PortableFiles::writeAll(std::string_view path, std::string_view bytes) {
    const fs::path target = toPath(path);
    const fs::path temporary = writeBeside(target, bytes);
    if (temporary.empty()) return false;
    std::error_code error;
    if (!held_->count(heldKey(target))) {
        fs::rename(temporary, target, error);
        if (!error) return true;
    }
    fs::remove(temporary, error);
    return false;
}

PortableFiles::NewFile PortableFiles::writeNew(std::string_view path, std::string_view bytes) {
    const fs::path target = toPath(path);
    std::error_code error;
    if (fs::exists(fs::symlink_status(target, error))) return NewFile::Exists;
    const fs::path temporary = writeBeside(target, bytes);
    if (temporary.empty()) return NewFile::Failed;
    if (renameWithoutReplacing(temporary, target)) return NewFile::Written;
    fs::remove(temporary, error);
    // Taken meanwhile, or another failure.
    return fs::exists(fs::symlink_status(target, error)) ? NewFile::Exists : NewFile::Failed;
}

bool PortableFiles::makeFolders(std::string_view path) {
    const fs::path folder = toPath(path);
    std::error_code error;
    fs::create_directories(folder, error);
    return isFolder(folder);
}

}  // namespace lz::test_support
