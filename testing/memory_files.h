// An in-memory file service for the tests of what writes and deletes files: files are a map
// from path to bytes, folders a set; folders can be told to refuse every write (deleting and
// recycling included) or to have no recycle bin, and a hook sees each file the moment it is
// written. Recycled files leave the map for a list of their paths, as they left their folder.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "testing/wildcard.h"

namespace lz::test_support {

class MemoryFiles final : public files::Files {
public:
    std::map<std::string, std::string> files;  // path -> bytes
    std::set<std::string> folders;             // without a trailing "\"
    // Called with the path and bytes of every file written, before the write returns.
    std::function<void(const std::string&, const std::string&)> onWrite;
    std::vector<std::string> recycled;  // paths of the files moved to the bin, in order

    // Writing in this folder or below it, making folders there and deleting or recycling files
    // there included, fails from now on.
    void refuseWritesBelow(std::string folder) { refused_.push_back(withoutTrailingSeparator(std::move(folder))); }
    // Files in this folder or below it have no recycle bin from now on (a removable drive).
    void noRecycleBinBelow(std::string folder) { binless_.push_back(withoutTrailingSeparator(std::move(folder))); }

    // Names of the files directly in the pattern's folder that match its last part.
    std::vector<std::string> find(std::string_view pattern) override {
        const std::size_t separator = pattern.rfind('\\');
        const std::string folder(pattern.substr(0, separator == std::string_view::npos ? 0 : separator + 1));
        const std::string_view wildcard = pattern.substr(folder.size());
        std::vector<std::string> names;
        for (const auto& [path, bytes] : files) {
            if (!path.starts_with(folder)) continue;
            const std::string name = path.substr(folder.size());
            if (name.find('\\') == std::string::npos && matchesWildcard(wildcard, name)) names.push_back(name);
        }
        return names;
    }
    std::optional<std::int64_t> size(std::string_view path) override {
        const auto it = files.find(std::string(path));
        if (it == files.end()) return std::nullopt;
        return static_cast<std::int64_t>(it->second.size());
    }
    bool remove(std::string_view path) override {
        return !isRefused(std::string(path)) && files.erase(std::string(path)) > 0;
    }
    Recycled recycle(std::string_view path) override {
        const std::string file(path);
        if (!files.contains(file) || isRefused(file)) return Recycled::Failed;
        if (isBelow(binless_, file)) return Recycled::NoBin;
        files.erase(file);
        recycled.push_back(file);
        return Recycled::Recycled;
    }
    std::optional<std::string> readAll(std::string_view path) override {
        const auto it = files.find(std::string(path));
        if (it == files.end()) return std::nullopt;
        return it->second;
    }
    std::optional<files::HeldFile> openHeld(std::string_view) override { return std::nullopt; }

    bool writeAll(std::string_view path, std::string_view bytes) override {
        if (!writable(path)) return false;
        store(std::string(path), bytes);
        return true;
    }
    NewFile writeNew(std::string_view path, std::string_view bytes) override {
        if (files.contains(std::string(path)) || folders.contains(std::string(path))) return NewFile::Exists;
        if (!writable(path)) return NewFile::Failed;
        store(std::string(path), bytes);
        return NewFile::Written;
    }
    bool makeFolders(std::string_view path) override {
        std::string folder = withoutTrailingSeparator(std::string(path));
        if (isRefused(folder)) return false;
        for (std::size_t end = folder.find('\\'); end != std::string::npos; end = folder.find('\\', end + 1))
            folders.insert(folder.substr(0, end));
        folders.insert(folder);
        return true;
    }

private:
    static std::string withoutTrailingSeparator(std::string path) {
        while (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }
    static bool isBelow(const std::vector<std::string>& tops, const std::string& path) {
        for (const std::string& top : tops)
            if (path == top || path.starts_with(top + "\\")) return true;
        return false;
    }
    bool isRefused(const std::string& path) const { return isBelow(refused_, path); }
    bool writable(std::string_view path) const {
        const std::string file(path);
        const std::size_t separator = file.rfind('\\');
        return separator != std::string::npos && folders.contains(file.substr(0, separator)) && !isRefused(file);
    }
    void store(const std::string& path, std::string_view bytes) {
        files[path] = std::string(bytes);
        if (onWrite) onWrite(path, files[path]);
    }

    std::vector<std::string> refused_;
    std::vector<std::string> binless_;
};

}  // namespace lz::test_support
