// What the code under test sends to the debugger's output, caught in-process: the system
// raises an exception for each line it is given, which a first vectored handler sees before
// anything else (and passes on). The lines come in the ANSI code page and are kept as UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/text.h"

namespace lz::e2e {

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
    bool anyLineHas(const std::string& part) const;

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

inline bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

inline bool DebugOutput::anyLineHas(const std::string& part) const {
    return e2e::anyLineHas(captured_, part);
}

}  // namespace lz::e2e
