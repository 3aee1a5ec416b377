// The file service on the standard library (std::filesystem and C streams), for the tests of
// the handlers and the benchmarks on real files in a temporary folder.
//
// Its HeldFile does not keep others from replacing or deleting the file on Linux (the file
// system has no such lock); on Windows it follows what the C runtime's file opening allows. It
// has no recycle bin: recycle answers NoBin for a file that is there (and Failed for anything
// else), so a caller asks before it removes the file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files.h"

namespace lz::test_support {

class PortableFiles final : public files::Files {
public:
    std::vector<std::string> find(std::string_view pattern) override;
    std::optional<std::int64_t> size(std::string_view path) override;
    bool remove(std::string_view path) override;
    Recycled recycle(std::string_view path) override { return size(path) ? Recycled::NoBin : Recycled::Failed; }
    std::optional<std::string> readAll(std::string_view path) override;
    std::optional<files::HeldFile> openHeld(std::string_view path) override;
    bool writeAll(std::string_view path, std::string_view bytes) override;
    NewFile writeNew(std::string_view path, std::string_view bytes) override;
    bool makeFolders(std::string_view path) override;

private:
    // Paths of the files held open through this service: replacing or deleting one fails, as
    // on Windows.
    std::shared_ptr<std::set<std::string>> held_ = std::make_shared<std::set<std::string>>();
};

}  // namespace lz::test_support
