// A process service for the unit tests of the handlers: it answers configured values and
// records what it was asked to start and what it wrote to the standard error, or has no
// standard error at all (a program started from the desktop).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/process.h"

namespace lz::process {

class MemoryProcess final : public Process {
public:
    std::string directory = "C:\\LZ Vantor";                     // answered by programDirectory()
    std::string executable = "lzvtEditor.exe";                   // file name in programPath()
    std::string localAppData = "C:\\Users\\LZ\\AppData\\Local";  // answered by localAppDataDirectory()
    std::u16string commandLineUtf16 = u"lzvtEditor.exe";         // answered by commandLine()
    bool startSucceeds = true;                                   // the answer of runDetached()
    std::vector<std::string> started;                            // every command line runDetached() was given, in order
    bool hasErrorOutput = true;                                  // false: writeError() finds no console
    std::string errorOutput;                                     // everything writeError() wrote

    std::string programDirectory() override { return directory; }
    std::string programPath() override { return directory + "\\" + executable; }
    std::string localAppDataDirectory() override { return localAppData; }
    std::u16string commandLine() override { return commandLineUtf16; }
    bool runDetached(std::string_view commandLine) override {
        started.emplace_back(commandLine);
        return startSucceeds;
    }
    bool writeError(std::string_view utf8Text) override {
        if (!hasErrorOutput) return false;
        errorOutput += utf8Text;
        return true;
    }
};

}  // namespace lz::process
