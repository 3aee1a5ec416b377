// The process service on Win32: GetModuleFileNameW, SHGetFolderPathW, GetCommandLineW,
// CreateProcessW, ExitProcess.
#pragma once

#include "platform/process.h"

namespace lz::process {

class Win32Process final : public Process {
public:
    std::string programDirectory() override;
    std::string programPath() override;
    std::string localAppDataDirectory() override;
    std::u16string commandLine() override;
    bool runDetached(std::string_view commandLine) override;
};

}  // namespace lz::process
