// Libraries of the system folder that only some windows need, loaded when first asked for, so
// that starting a program loads no more than its first window uses (the browser's OLE, the
// file dialog, the shell), and functions of newer Windows looked up by name.
#pragma once

#include <windows.h>

namespace lz::win32 {

// The library of that file name in the system folder, loaded the first time and kept for the
// life of the process (a later call only finds it); nullptr when the system has none.
HMODULE systemLibrary(const wchar_t* fileName);

// A function of a loaded module by name; nullptr when the module is null or lacks it.
template <typename Fn>
Fn lookUp(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// A function of a system library, the library loaded on first use. Declare the type from the
// system header, as `systemFunction<decltype(&::ShellExecuteW)>(L"shell32.dll", "ShellExecuteW")`:
// an unevaluated name brings no import of its own.
template <typename Fn>
Fn systemFunction(const wchar_t* library, const char* name) {
    return lookUp<Fn>(systemLibrary(library), name);
}

// OLE on the window thread, for what needs it (the browser control, the file dialog's shell
// view): initialised the first time it is asked for, loading ole32.dll then. False when OLE
// cannot be initialised (or COM was already set up multithreaded on this thread).
bool useOle();
// Ends what useOle started, if it did; the program calls it as its window thread ends.
void releaseOle();

}  // namespace lz::win32
