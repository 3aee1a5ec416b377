// The handle owners and the failure traces, on the real system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/win32/handle.h"
#include "platform/win32/trace.h"
#include "tests/e2e/debug_output.h"

namespace {

using namespace lz::win32;

bool isOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnceWhateverWayOwnershipGoes) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        UniqueHandle first(event);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), event);
        UniqueHandle third;
        third = std::move(second);
        EXPECT_TRUE(isOpen(event));
    }
    EXPECT_FALSE(isOpen(event));

    // Taking a new handle closes the old one; release gives one up unclosed.
    HANDLE a = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    UniqueHandle held(a);
    EXPECT_TRUE(held.reset(b));
    EXPECT_FALSE(isOpen(a));
    HANDLE kept = held.release();
    EXPECT_FALSE(held);
    EXPECT_TRUE(isOpen(kept));
    CloseHandle(kept);
}

TEST(UniqueHandle, FilesAndFindsUseTheInvalidValueAsNone) {
    UniqueFile none;
    EXPECT_FALSE(none);
    EXPECT_EQ(none.get(), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(none.reset());  // nothing to close is no failure

    UniqueFile missing(CreateFileW(L"C:\\no such folder\\x.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);

    WIN32_FIND_DATAW found;
    UniqueFind find(FindFirstFileW(L"C:\\windows\\*", &found));
    EXPECT_TRUE(find);
    EXPECT_TRUE(find.reset());
    EXPECT_FALSE(find);
}

TEST(ComPtr, MovesItsReferenceAndReleasesItOnce) {
    // A stream on global memory: a COM object whose reference count can be watched.
    ComPtr<IUnknown> stream;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 16);
    ASSERT_NE(memory, nullptr);
    using CreateStream = HRESULT(WINAPI*)(HGLOBAL, BOOL, IStream**);
    const auto create = reinterpret_cast<CreateStream>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"ole32.dll"), "CreateStreamOnHGlobal")));
    ASSERT_NE(create, nullptr);
    ASSERT_EQ(create(memory, TRUE, reinterpret_cast<IStream**>(stream.put())), S_OK);
    IUnknown* raw = stream.get();
    raw->AddRef();  // a reference of the test's own, to count with

    ComPtr<IUnknown> moved(std::move(stream));
    EXPECT_FALSE(stream);
    ComPtr<IUnknown> assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.get(), raw);
    assigned.reset();
    EXPECT_EQ(raw->Release(), 0u);  // the owners' one reference went exactly once
}

bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines) {
        if (line.find(part) != std::string::npos) return true;
    }
    return false;
}

TEST(Trace, NamesTheCallTheSubjectAndTheErrorCodeAndKeepsTheLastError) {
    DebugOutput output;
    SetLastError(ERROR_ACCESS_DENIED);
    traceLastError("CreateFileW", L"C:\\x.lzvt");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(succeeded("RegOpenKeyExW", ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(succeeded("RegSetValueExW", ERROR_SUCCESS));
    traceResult("OleInitialize", RPC_E_CHANGED_MODE);

    ASSERT_FALSE(output.lines().empty()) << "no debug output reached the handler";
    EXPECT_TRUE(anyLineHas(output.lines(), "LzVantor: CreateFileW (C:\\x.lzvt) failed, error 5"));
    EXPECT_TRUE(anyLineHas(output.lines(), "LzVantor: RegOpenKeyExW failed, error 2"));
    EXPECT_TRUE(anyLineHas(output.lines(), "LzVantor: OleInitialize failed, error 0x80010106"));
    EXPECT_FALSE(anyLineHas(output.lines(), "RegSetValueExW")) << "a success is no failure";
}

TEST(Trace, AnExceptionIsTracedWithWhatItSays) {
    DebugOutput output;
    try {
        throw std::runtime_error("the list has no row 7");
    } catch (...) {
        traceException("window procedure");
    }
    traceException("window procedure", std::make_exception_ptr(42));
    EXPECT_TRUE(anyLineHas(output.lines(), "LzVantor: window procedure: exception: the list has no row 7"));
    EXPECT_TRUE(anyLineHas(output.lines(), "LzVantor: window procedure: exception: unknown exception"));
}

}  // namespace
