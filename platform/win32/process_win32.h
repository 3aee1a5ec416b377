// The process service on Win32: GetModuleFileNameW, SHGetFolderPathW, GetCommandLineW,
// CreateProcessW, ExitProcess; and for the standard error, GetStdHandle, AttachConsole,
// WriteConsoleW and WriteFile.
#pragma once

#include <memory>

#include "platform/process.h"

namespace lz::process {

class Win32Process final : public Process {
public:
    Win32Process();
    ~Win32Process() override;
    Win32Process(const Win32Process&) = delete;
    Win32Process& operator=(const Win32Process&) = delete;

    std::string programDirectory() override;
    std::string programPath() override;
    std::string localAppDataDirectory() override;
    std::u16string commandLine() override;
    bool runDetached(std::string_view commandLine) override;
    bool writeError(std::string_view utf8Text) override;

    // Where writeError writes, found by its first call (defined with the calls that find it).
    struct ErrorOutput;

private:
    std::unique_ptr<ErrorOutput> errorOutput_;
};

}  // namespace lz::process
