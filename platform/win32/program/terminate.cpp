// What a program of the suite does when an exception escapes everything (std::terminate).
//
// The C++ library's own handler writes the exception's demangled type and what() to the
// console and aborts. A windowed program has no console, so the text goes nowhere, and the
// handler brings the library's demangler and a full printf into the program: about 70 KB,
// a fifth of the executable. This file defines the library's default handler itself, so the
// library's own definition is never linked: it traces the exception for the system's debug
// viewer (under Wine: WINEDEBUG=+debugstr) and aborts the same way.
//
// It must be linked into each program as an object file, not from a static library: the
// library's definition is looked for, and found, before a static library of ours would be.
#include <windows.h>

#include <cstdlib>
#include <exception>

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    if (std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& error) {
            OutputDebugStringA("LZ Vantor: ended by an exception: ");
            OutputDebugStringA(error.what());
            OutputDebugStringA("\n");
        } catch (...) {
            OutputDebugStringA("LZ Vantor: ended by an exception of an unknown kind\n");
        }
    } else {
        OutputDebugStringA("LZ Vantor: ended by std::terminate\n");
    }
    std::abort();
}

}  // namespace __gnu_cxx
