#include "platform/win32/system_library.h"

#include <ole2.h>

#include <string>

#include "platform/win32/trace.h"

namespace lz::win32 {

HMODULE systemLibrary(const wchar_t* fileName) {
    // Already loaded (by the program or by another system library): no search at all.
    if (HMODULE loaded = GetModuleHandleW(fileName)) return loaded;
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        traceLastError("GetSystemDirectoryW");
        return nullptr;
    }
    // A full path: a library of that name in the program's folder is never taken instead.
    const std::wstring path = std::wstring(folder, length) + L"\\" + fileName;
    // Kept for the life of the process, as the functions looked up in it are.
    const HMODULE library = LoadLibraryW(path.c_str());
    if (!library) traceLastError("LoadLibraryW", path);
    return library;
}

namespace {
enum class Ole { NotAsked, Ready, Failed };
Ole gOle = Ole::NotAsked;
}  // namespace

bool useOle() {
    if (gOle == Ole::NotAsked) {
        const auto initialise = systemFunction<decltype(&::OleInitialize)>(L"ole32.dll", "OleInitialize");
        const HRESULT result = initialise ? initialise(nullptr) : E_NOINTERFACE;
        if (FAILED(result)) traceResult("OleInitialize", result);
        gOle = SUCCEEDED(result) ? Ole::Ready : Ole::Failed;
    }
    return gOle == Ole::Ready;
}

void releaseOle() {
    if (gOle != Ole::Ready) return;
    if (const auto end = systemFunction<decltype(&::OleUninitialize)>(L"ole32.dll", "OleUninitialize")) end();
    gOle = Ole::NotAsked;
}

}  // namespace lz::win32
