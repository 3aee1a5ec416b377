// What the program sends to the debugger's output while a test runs: the system raises an
// exception for each line, which a first handler sees before anything else. The lines come in
// the ANSI code page and are kept as UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace lz::win32 {

class DebugOutput {
public:
    DebugOutput() {
        lines_ = &captured_;
        handler_ = AddVectoredExceptionHandler(1, &DebugOutput::seen);
    }
    ~DebugOutput() {
        RemoveVectoredExceptionHandler(handler_);
        lines_ = nullptr;
    }
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    const std::vector<std::string>& lines() const { return captured_; }
    bool anyLineHas(const std::string& part) const {
        for (const auto& line : captured_) {
            if (line.find(part) != std::string::npos) return true;
        }
        return false;
    }

private:
    static LONG CALLBACK seen(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD& record = *info->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2 && lines_) {
            const std::string ansi(reinterpret_cast<const char*>(record.ExceptionInformation[1]),
                                   static_cast<std::size_t>(record.ExceptionInformation[0]));
            lines_->push_back(utf8(ansi));
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    static std::string utf8(const std::string& ansi) {
        const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(), n);
        return text::fromWide(wide);
    }

    static inline std::vector<std::string>* lines_ = nullptr;
    std::vector<std::string> captured_;
    PVOID handler_ = nullptr;
};

}  // namespace lz::win32
