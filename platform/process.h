// The process service: the program's own directory, the user's local application data folder,
// its raw command line, starting another program without waiting for it, and the standard error
// of a program run without windows (from a command prompt or a script).
//
// Win32Process (platform/win32/process_win32.h) is the real one; the tests have MemoryProcess
// (testing/memory_process.h).
#pragma once

#include <string>
#include <string_view>

namespace lz::process {

class Process {
public:
    virtual ~Process() = default;

    // The folder of the running program's executable, UTF-8, without a trailing backslash.
    virtual std::string programDirectory() = 0;

    // The full path of the running program's executable, UTF-8.
    virtual std::string programPath() = 0;

    // The folder where the user's programs keep their local data (on Windows the known folder
    // of local application data), UTF-8, without a trailing backslash; empty when the system
    // names none.
    virtual std::string localAppDataDirectory() = 0;

    // The whole command line, program name included, in UTF-16 as the system keeps it, for
    // splitting into arguments (platform/cmdline.h); nothing of it is narrowed on the way.
    virtual std::u16string commandLine() = 0;

    // Starts a program from a command line (UTF-8) with the default window state and does not
    // wait for it. An unquoted program path with blanks is resolved the system's way. False
    // when the program could not be started.
    virtual bool runDetached(std::string_view commandLine) = 0;

    // Writes text (UTF-8) where a program run from a command prompt or a script reports: its
    // standard error when it was started with one (redirected to a file or a pipe: the bytes go
    // as they are), else the console of the program that started it (the text as the console
    // shows Unicode). A program started without either (from the desktop) gets no console of
    // its own: then nothing is written and the answer is false, as it is when the write fails.
    // Every call writes to the place the first one found.
    virtual bool writeError(std::string_view utf8Text) = 0;
};

}  // namespace lz::process
