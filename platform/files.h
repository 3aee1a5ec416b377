// The file service: finding schemes by pattern, sizes, deleting or moving to the recycle bin,
// reading and writing whole files, making folders.
//
// Paths are UTF-8 texts. The programs build them with "\" separators (program directory +
// "\Optimal\" + name); every implementation accepts "\" as a separator, the portable one on
// Linux too (where it reads as "/"). File contents are bytes and stay bytes.
//
// The programs' implementation is Win32Files (platform/win32/files_win32.h); the tests have
// their own (testing/portable_files.h on real files, testing/memory_files.h in memory).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lz::files {

// A file opened for reading and writing and kept open until closed: the editor's held scheme
// file. Other programs may read and write it meanwhile, but nobody can delete or replace it
// (a save onto it by renaming fails). Move-only; the destructor closes it.
class HeldFile {
public:
    // The open file of an implementation; destroying it closes the file.
    class Handle {
    public:
        virtual ~Handle() = default;
    };

    HeldFile() = default;  // holds nothing
    HeldFile(std::unique_ptr<Handle> handle, std::string content)
        : handle_(std::move(handle)), content_(std::move(content)) {}

    bool isOpen() const noexcept { return handle_ != nullptr; }
    // The whole content, as read when the file was opened.
    const std::string& content() const noexcept { return content_; }
    // Hands the content over to the caller (it is read once, when the file is opened).
    std::string takeContent() noexcept { return std::move(content_); }
    // Closes the file (nothing when it is closed already). The content stays readable.
    void close() noexcept { handle_.reset(); }

private:
    std::unique_ptr<Handle> handle_;
    std::string content_;
};

// A file's bytes and what keeps them: a string of its own, or (Win32Files) the file itself
// mapped into memory, held open for as long as anyone holds the owner.
struct SharedBytes {
    std::shared_ptr<const void> owner;
    std::string_view bytes;
};

// Bytes that own themselves.
inline SharedBytes shareBytes(std::string bytes) {
    auto owned = std::make_shared<const std::string>(std::move(bytes));
    return {owned, *owned};
}

class Files {
public:
    virtual ~Files() = default;

    // Names (without a path) of the files that match a wildcard pattern such as
    // "C:\dir\Optimal\*.lzvt", in the order the file system yields them. "*" and "?" work in
    // the last part of the pattern only; folders are not listed and subfolders not searched.
    // A missing folder gives an empty list.
    virtual std::vector<std::string> find(std::string_view pattern) = 0;

    // Size in bytes of the file at `path`; nothing when there is no file (or it is a folder).
    virtual std::optional<std::int64_t> size(std::string_view path) = 0;

    // Deletes the file at `path` directly (no recycle bin). False when it is missing, a folder,
    // in use or protected.
    virtual bool remove(std::string_view path) = 0;

    // Moves the file at `path` to the recycle bin, from where the user can bring it back.
    // Recycled: the file has left its folder for the bin. NoBin: its drive has no bin (a
    // removable drive, a network share), and the file is left as it was: deleting it is then
    // for good, which is the caller's (and the user's) decision, through remove(). Failed: the
    // file is missing, a folder, in use or protected, or the bin would not take it; it stays.
    // Nothing is deleted for good here without the user's word (Win32Files: should a bin refuse
    // a file after all, the system asks before it deletes the file instead).
    enum class Recycled { Recycled, NoBin, Failed };
    virtual Recycled recycle(std::string_view path) = 0;

    // The whole content of a file opened for reading only, letting others read and write it
    // meanwhile (a scheme held open by the editor can still be run). Nothing when it cannot be
    // opened or read.
    virtual std::optional<std::string> readAll(std::string_view path) = 0;

    // The whole content of a file that nobody writes meanwhile, for as long as the result is
    // held: nobody else may open it for writing, or delete or replace it, until then. A file
    // someone already has open for writing is read as readAll reads it. Win32Files maps the
    // file rather than copying it, which spares a large file a copy in fresh memory.
    virtual std::optional<SharedBytes> readKept(std::string_view path) {
        std::optional<std::string> bytes = readAll(path);
        if (!bytes) return std::nullopt;
        return shareBytes(std::move(*bytes));
    }

    // Opens an existing file for reading and writing, sharing reading and writing but not
    // deletion, and reads its whole content; the file stays open as long as the result holds
    // it. Nothing when it cannot be opened so (missing, read-only, a folder, locked); the
    // caller may then fall back to readAll.
    virtual std::optional<HeldFile> openHeld(std::string_view path) = 0;

    // Writes `bytes` as the whole new content of the file at `path`, safely: the bytes go to a
    // temporary file in the same folder, which is flushed and then put in place of the target.
    // On any failure the target stays as it was, the temporary file is removed, and the result
    // is false. Fails when the target is held open (HeldFile), read-only, a folder, or its
    // folder is missing or not writable. A new file is created; a replaced file does not keep
    // the old one's attributes.
    virtual bool writeAll(std::string_view path, std::string_view bytes) = 0;

    // Writes a new file the way writeAll does, but never in place of another: Exists when a
    // file or folder of that name is there already (it is left alone), Failed on any other
    // failure (nothing is left behind then either).
    enum class NewFile { Written, Exists, Failed };
    virtual NewFile writeNew(std::string_view path, std::string_view bytes) = 0;

    // Makes the folder at `path` and every missing folder above it. True when the folder is
    // there afterwards (also when it was there before).
    virtual bool makeFolders(std::string_view path) = 0;
};

}  // namespace lz::files
