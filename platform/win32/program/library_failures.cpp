// What a program of the suite does when the C++ library fails: the library's reports of a
// failed allocation and of a length or index out of range, and its handler for an exception that escapes everything
// (std::terminate).
//
// The library's own versions build their exceptions' messages in reference-counted strings
// and format them with a printf of its own, and its terminate handler writes the exception's
// demangled type to the console (a windowed program has none) with the demangler and a full
// printf: together about 100 KB, a third of the program. This file defines those functions
// itself, so the library's definitions are never linked:
//  - each report throws as before, an exception derived from std::exception whose what() is
//    the library's message (of a formatted message, the function it names, or else its
//    format, unformatted); a failed allocation is still std::bad_alloc.
//    The programs catch nothing by these types: a handler's exception stops at the window
//    procedure, whatever its type;
//  - the terminate handler traces the exception for the system's debug viewer (under Wine:
//    WINEDEBUG=warn+seh) and aborts, as the library's does.
//
// Linked into each program as an object file (lz_win32_program), not from a static library:
// the library's definitions are looked for, and found, before a static library of ours would
// be.
#include <windows.h>

#include <cstdarg>
#include <cstdlib>
#include <exception>
#include <new>
#include <typeinfo>

#include "platform/win32/trace.h"

namespace {

// An exception with a message that lives as long as the program: the library's messages are
// string literals.
class LibraryFailure : public std::exception {
public:
    explicit LibraryFailure(const char* message) noexcept : message_(message ? message : "library failure") {}
    const char* what() const noexcept override { return message_; }

private:
    const char* message_;
};

}  // namespace

// Every report the library keeps in one place, so that none of its own is ever linked (one
// of them would bring all, and clash with these).
namespace std {

void __throw_bad_alloc() {
    throw std::bad_alloc();
}
void __throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}
void __throw_bad_cast() {
    throw std::bad_cast();
}
void __throw_bad_typeid() {
    throw std::bad_typeid();
}
void __throw_bad_exception() {
    throw std::bad_exception();
}
void __throw_logic_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_domain_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_invalid_argument(const char* message) {
    throw LibraryFailure(message);
}
void __throw_length_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_out_of_range(const char* message) {
    throw LibraryFailure(message);
}
void __throw_out_of_range_fmt(const char* format, ...) {
    // "%s: __pos (which is %zu) > ...": the first argument is the function's name, a literal.
    const char* message = format;
    if (format && format[0] == '%' && format[1] == 's') {
        va_list arguments;
        va_start(arguments, format);
        message = va_arg(arguments, const char*);
        va_end(arguments);
    }
    throw LibraryFailure(message);
}
void __throw_runtime_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_range_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_overflow_error(const char* message) {
    throw LibraryFailure(message);
}
void __throw_underflow_error(const char* message) {
    throw LibraryFailure(message);
}

}  // namespace std

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    if (std::current_exception()) {
        lz::win32::traceException("ended by an exception");
    } else {
        lz::win32::trace(L"ended by std::terminate");
    }
    std::abort();
}

}  // namespace __gnu_cxx
