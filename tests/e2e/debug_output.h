// What the code under test sends to the debugger's output, caught in-process: the system
// raises an exception for each line it is given, which a first vectored handler sees before
// anything else (and passes on).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace lz::e2e {

// The lines sent while one of these lives.
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
    const std::vector<std::string>& lines() const { return captured_; }

private:
    static LONG CALLBACK seen(EXCEPTION_POINTERS* info) {
        const EXCEPTION_RECORD& record = *info->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2 && lines_) {
            lines_->emplace_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]),
                                 static_cast<std::size_t>(record.ExceptionInformation[0]));
        }
        return EXCEPTION_CONTINUE_SEARCH;
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

}  // namespace lz::e2e
