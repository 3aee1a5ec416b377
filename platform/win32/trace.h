// Traces of failures. Where a system call fails, the programs go on with a plain failure and
// the user sees only the program's own message ("文件写入失败！"); the trace says which call
// failed and with what error code, so that a report of that message can be followed up. It
// goes to the debugger's output: the system's debug viewer shows it, and so does Wine with
// WINEDEBUG=warn+seh. Each trace line starts with "LzVantor: ".
//
// Every function here leaves the thread's last-error value as it found it.
#pragma once

#include <windows.h>

#include <exception>
#include <string_view>

namespace lz::win32 {

// "LzVantor: <call> failed, error <code>: <the system's text for it>", with ` (<subject>)` after
// the call when a subject (a path, a key) is given.
void traceError(std::string_view call, DWORD error, std::wstring_view subject = {});
// The same for the thread's last-error value: call it right after the failed call.
void traceLastError(std::string_view call, std::wstring_view subject = {});
// The same for a COM result.
void traceResult(std::string_view call, HRESULT result, std::wstring_view subject = {});
// A registry call's result (an error code it returns rather than sets), traced when it is not
// ERROR_SUCCESS; returns whether it was.
bool succeeded(std::string_view call, LSTATUS status, std::wstring_view subject = {});

// "LzVantor: <where>: exception: <what()>" for an exception stopped at `where`; the current
// exception when none is given ("unknown exception" when it is no std::exception).
void traceException(std::string_view where, std::exception_ptr error = std::current_exception());

// Any line of text, "LzVantor: " put before it.
void trace(std::wstring_view line);

}  // namespace lz::win32
