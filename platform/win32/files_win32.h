// The file service on the Win32 file API (W calls; paths UTF-8 in, UTF-16 at the call).
// Paths of any length work: a long absolute path is passed in its extended-length form. The
// recycle bin is the shell's, which takes paths under MAX_PATH only: recycling a longer one
// fails (the file stays).
#pragma once

#include "platform/files.h"

namespace lz::files {

class Win32Files final : public Files {
public:
    std::vector<std::string> find(std::string_view pattern) override;
    std::optional<std::int64_t> size(std::string_view path) override;
    bool remove(std::string_view path) override;
    Recycled recycle(std::string_view path) override;
    std::optional<std::string> readAll(std::string_view path) override;
    std::optional<SharedBytes> readKept(std::string_view path) override;
    std::optional<HeldFile> openHeld(std::string_view path) override;
    bool writeAll(std::string_view path, std::string_view bytes) override;
    NewFile writeNew(std::string_view path, std::string_view bytes) override;
    bool makeFolders(std::string_view path) override;
};

}  // namespace lz::files
