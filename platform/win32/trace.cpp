#include "platform/win32/trace.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/text.h"

namespace lz::win32 {
namespace {

// The thread's last-error value, put back when a trace ends.
class KeepLastError {
public:
    KeepLastError() : error_(GetLastError()) {}
    KeepLastError(const KeepLastError&) = delete;
    KeepLastError& operator=(const KeepLastError&) = delete;
    ~KeepLastError() { SetLastError(error_); }

private:
    DWORD error_;
};

// The system's own text for an error code, in its display language, without the line break it
// ends with; empty when it has none.
std::wstring systemText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer ? buffer : L"", buffer ? length : 0);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    return text;
}

// A number as digits of that base (10 or 16, upper case), without the C library's formatted
// output, which the programs otherwise do without.
std::wstring digits(std::uint32_t number, std::uint32_t base) {
    wchar_t buffer[16];
    wchar_t* end = buffer + 16;
    wchar_t* p = end;
    do {
        *--p = L"0123456789ABCDEF"[number % base];
        number /= base;
    } while (number != 0);
    return std::wstring(p, end);
}

std::wstring failure(std::string_view call, std::wstring_view subject, std::wstring_view code, DWORD error) {
    std::wstring line = text::toWide(call);
    if (!subject.empty()) line.append(L" (").append(subject).append(L")");
    line.append(L" failed, error ").append(code);
    const std::wstring said = systemText(error);
    if (!said.empty()) line.append(L": ").append(said);
    return line;
}

}  // namespace

void trace(std::wstring_view line) {
    const KeepLastError keep;
    std::wstring text = L"LzVantor: ";
    text.append(line).append(L"\n");
    OutputDebugStringW(text.c_str());
}

void traceError(std::string_view call, DWORD error, std::wstring_view subject) {
    const KeepLastError keep;
    trace(failure(call, subject, digits(error, 10), error));
}

void traceLastError(std::string_view call, std::wstring_view subject) {
    traceError(call, GetLastError(), subject);
}

void traceResult(std::string_view call, HRESULT result, std::wstring_view subject) {
    const KeepLastError keep;
    std::wstring code = digits(static_cast<std::uint32_t>(result), 16);
    code.insert(0, 8 - std::min<std::size_t>(code.size(), 8), L'0').insert(0, L"0x");
    trace(failure(call, subject, code, static_cast<DWORD>(result)));
}

bool succeeded(std::string_view call, LSTATUS status, std::wstring_view subject) {
    if (status == ERROR_SUCCESS) return true;
    traceError(call, static_cast<DWORD>(status), subject);
    return false;
}

void traceException(std::string_view where, std::exception_ptr error) {
    const KeepLastError keep;
    std::wstring line = text::toWide(where);
    line.append(L": exception: ");
    try {
        if (error) std::rethrow_exception(error);
        line.append(L"none");
    } catch (const std::exception& e) {
        line.append(text::toWide(e.what()));
    } catch (...) {
        line.append(L"unknown exception");
    }
    trace(line);
}

}  // namespace lz::win32
