// The Win32 file, process, shell and clipboard services on the real system: Chinese names, the
// safe replace and the held file that blocks it, starting programs, the clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <optional>
#include <string>
#include <thread>

#include "platform/text.h"
#include "platform/win32/clipboard_win32.h"
#include "platform/win32/files_win32.h"
#include "platform/win32/process_win32.h"
#include "platform/win32/shell_win32.h"
#include "tests/e2e/debug_output.h"
#include "tests/e2e/wine_drive.h"

namespace {

using lz::text::fromWide;
using lz::text::toWide;

// Waits until `done` holds, for at most ten seconds.
template <typename Done>
bool waitFor(Done done) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (!done()) {
        if (GetTickCount64() > deadline) return false;
        Sleep(20);
    }
    return true;
}

std::string sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

// A fresh folder with a Chinese name under the temporary folder, removed with its content
// afterwards. Paths are UTF-8 with backslashes, as the programs make them.
class Win32FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(length, 0u);
        dir_ = fromWide(std::wstring_view(temp, length)) + "岚舟测试" + std::to_string(GetCurrentProcessId()) + "-" +
               std::to_string(GetTickCount64());
        ASSERT_TRUE(CreateDirectoryW(toWide(dir_).c_str(), nullptr));
    }
    void TearDown() override { removeTree(L"\\\\?\\" + toWide(dir_)); }

    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW data;
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                const std::wstring path = folder + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(path);
                } else {
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                    DeleteFileW(path.c_str());
                }
            } while (FindNextFileW(search, &data));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }

    std::string at(std::string_view name) const { return dir_ + "\\" + std::string(name); }

    // Writes a fixture file with plain CreateFileW, not through the service under test.
    void put(std::string_view name, std::string_view bytes) const {
        const HANDLE file = CreateFileW(toWide(at(name)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(file);
    }
    // Everything in the folder, subfolders included.
    std::string listing() const {
        std::vector<std::string> names;
        WIN32_FIND_DATAW data;
        const HANDLE search = FindFirstFileW(toWide(at("*")).c_str(), &data);
        if (search == INVALID_HANDLE_VALUE) return {};
        do {
            const std::wstring name = data.cFileName;
            if (name != L"." && name != L"..") names.push_back(fromWide(name));
        } while (FindNextFileW(search, &data));
        FindClose(search);
        return sorted(names);
    }

    // Sends what the test recycles to a bin in its own folder (under Wine), so that nothing
    // lands in the bin of whoever runs the tests. The folder the recycled files go to; nothing
    // on Windows.
    std::optional<std::string> usePrivateTrash() const {
        if (!lz::e2e::useTrashIn(toWide(dir_))) return std::nullopt;
        return dir_ + "\\Trash\\files";
    }

    std::string dir_;
    lz::files::Win32Files files_;
};

using Recycled = lz::files::Files::Recycled;

TEST_F(Win32FilesTest, FindSizeAndDeleteWithChineseNames) {
    put("优化一.lzvt", "abc");
    put("优化二.lzvt", std::string(1536, 'x'));
    put("说明.txt", "");
    ASSERT_TRUE(CreateDirectoryW(toWide(at("x.lzvt")).c_str(), nullptr));

    EXPECT_EQ(sorted(files_.find(at("*.lzvt"))), "优化一.lzvt,优化二.lzvt");
    EXPECT_EQ(sorted(files_.find(at("*"))), "优化一.lzvt,优化二.lzvt,说明.txt");
    EXPECT_TRUE(files_.find(at("没有\\*.lzvt")).empty());

    EXPECT_EQ(files_.size(at("优化一.lzvt")), 3);
    EXPECT_EQ(files_.size(at("优化二.lzvt")), 1536);
    EXPECT_EQ(files_.size(at("没有.lzvt")), std::nullopt);
    EXPECT_EQ(files_.size(at("x.lzvt")), std::nullopt);

    EXPECT_TRUE(files_.remove(at("优化一.lzvt")));
    EXPECT_FALSE(files_.remove(at("优化一.lzvt")));
    EXPECT_FALSE(files_.remove(dir_ + "\\"));  // the path of an empty selection: the folder
    EXPECT_FALSE(files_.remove(at("x.lzvt")));
    EXPECT_EQ(listing(), "x.lzvt,优化二.lzvt,说明.txt");
}

TEST_F(Win32FilesTest, RecycleMovesAFileOfAFixedDriveToTheBin) {
    const std::optional<std::string> trash = usePrivateTrash();
    put("回收的方案.lzvt", "recycled bytes");
    put("留下的方案.lzvt", "kept");
    ASSERT_EQ(GetDriveTypeW(toWide(dir_.substr(0, 3)).c_str()), static_cast<UINT>(DRIVE_FIXED)) << dir_;

    lz::e2e::DebugOutput output;
    EXPECT_EQ(files_.recycle(at("回收的方案.lzvt")), Recycled::Recycled);
    EXPECT_TRUE(output.lines().empty()) << output.lines().front();
    EXPECT_EQ(files_.size(at("回收的方案.lzvt")), std::nullopt) << "the file has left its folder";
    EXPECT_EQ(files_.readAll(at("留下的方案.lzvt")), "kept");
    if (!trash) GTEST_SKIP() << "where Windows keeps its bin is its own business";
    EXPECT_EQ(files_.readAll(*trash + "\\回收的方案.lzvt"), "recycled bytes");
    EXPECT_TRUE(files_.size(dir_ + "\\Trash\\info\\回收的方案.lzvt.trashinfo").has_value())
        << "the bin knows where the file came from";
}

// Were the bin to refuse a file (switched off, full), the shell would delete it for good: it asks
// the user first, and on No the file stays. Wine's bin refuses everything when its folder cannot
// be made.
TEST_F(Win32FilesTest, WhatTheBinRefusesIsNeverDeletedForGoodWithoutAQuestion) {
    put("不是文件夹", "");
    // No folder can be made in a file: Wine's bin finds no place.
    if (!lz::e2e::useTrashIn(toWide(at("不是文件夹")))) GTEST_SKIP() << "the bin is made to refuse through Wine";
    put("方案.lzvt", "x");

    static bool asked;
    asked = false;
    // Answers No to the first dialog this thread shows: the shell's question.
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND question = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM found) {
                wchar_t kind[16] = {};
                GetClassNameW(w, kind, 16);
                if (!IsWindowVisible(w) || std::wstring(kind) != L"#32770") return TRUE;
                *reinterpret_cast<HWND*>(found) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&question));
        if (!question) return;
        KillTimer(nullptr, id);
        asked = true;
        PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
    });
    EXPECT_EQ(files_.recycle(at("方案.lzvt")), Recycled::Failed);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(asked) << "the shell asked before deleting for good";
    EXPECT_EQ(files_.readAll(at("方案.lzvt")), "x");
}

// What the bin cannot take stays where it is. "Not there" is an answer; a folder is refused as
// remove refuses one, and a file that someone holds is a failure: both are traced.
TEST_F(Win32FilesTest, RecycleRefusesWhatItCannotTakeAndLeavesItThere) {
    usePrivateTrash();
    ASSERT_TRUE(CreateDirectoryW(toWide(at("文件夹.lzvt")).c_str(), nullptr));
    put("运行中.lzvt", "running");

    lz::e2e::DebugOutput output;
    EXPECT_EQ(files_.recycle(at("没有.lzvt")), Recycled::Failed);
    EXPECT_EQ(files_.recycle(at("没有\\方案.lzvt")), Recycled::Failed);
    EXPECT_EQ(files_.recycle(""), Recycled::Failed);
    EXPECT_TRUE(output.lines().empty()) << output.lines().front();

    EXPECT_EQ(files_.recycle(at("文件夹.lzvt")), Recycled::Failed);
    EXPECT_EQ(files_.recycle(dir_ + "\\"), Recycled::Failed);  // the path of an empty selection
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "LzVantor: CreateFileW (")) << "the folder";
    {
        // A scheme being run is kept from deletion until the run lets go.
        const std::optional<lz::files::SharedBytes> kept = files_.readKept(at("运行中.lzvt"));
        ASSERT_TRUE(kept.has_value());
        EXPECT_EQ(files_.recycle(at("运行中.lzvt")), Recycled::Failed);
        EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "failed, error 32")) << "ERROR_SHARING_VIOLATION";
    }
    EXPECT_EQ(listing(), "文件夹.lzvt,运行中.lzvt") << "nothing went, and no trash was made";
}

// A removable drive (a USB stick) has no recycle bin, nor has a network share: the file is left
// for the caller to delete for good, or not.
TEST_F(Win32FilesTest, RecycleOnADriveWithoutBinLeavesTheFileToTheCaller) {
    usePrivateTrash();
    ASSERT_TRUE(CreateDirectoryW(toWide(at("U盘")).c_str(), nullptr));
    const std::optional<std::string> folder = lz::e2e::unixPathOf(toWide(at("U盘")));
    if (!folder) GTEST_SKIP() << "a removable drive is made here with Wine's mount manager";
    for (const UINT type : {UINT{DRIVE_REMOVABLE}, UINT{DRIVE_REMOTE}}) {
        SCOPED_TRACE(type);
        const lz::e2e::WineDrive drive(*folder, type);
        ASSERT_FALSE(drive.root().empty()) << "the mount manager made no drive";
        ASSERT_EQ(GetDriveTypeW(drive.root().c_str()), type);

        const std::string file = fromWide(drive.root()) + "方案.lzvt";
        const HANDLE created = CreateFileW(toWide(file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(created, INVALID_HANDLE_VALUE);
        CloseHandle(created);
        lz::e2e::DebugOutput output;
        EXPECT_EQ(files_.recycle(file), Recycled::NoBin);
        EXPECT_TRUE(output.lines().empty()) << output.lines().front();
        EXPECT_EQ(listing(), "U盘") << "no trash was made";
        EXPECT_EQ(sorted(files_.find(at("U盘\\*"))), "方案.lzvt") << "the file is still there";
        EXPECT_TRUE(files_.remove(file));
        EXPECT_EQ(files_.recycle(file), Recycled::Failed);
    }
}

TEST_F(Win32FilesTest, WriteAllCreatesAndReplacesLeavingNoTemporaryFile) {
    const std::string gbk = "ZCBTJ|HKEY_CURRENT_USER\\\xB2\xE2\xCA\xD4|SZJZ|1\r\n\xC3\xFB";
    EXPECT_TRUE(files_.writeAll(at("方案.lzvt"), "a longer first version"));
    EXPECT_EQ(files_.readAll(at("方案.lzvt")), "a longer first version");
    EXPECT_TRUE(files_.writeAll(at("方案.lzvt"), gbk));
    EXPECT_EQ(files_.readAll(at("方案.lzvt")), gbk);
    EXPECT_EQ(listing(), "方案.lzvt");

    EXPECT_FALSE(files_.writeAll(at("没有\\方案.lzvt"), "x"));
    EXPECT_FALSE(files_.writeAll(dir_ + "\\", "x"));
    EXPECT_EQ(listing(), "方案.lzvt");
}

TEST_F(Win32FilesTest, WriteNewAndMakeFoldersWithChineseNames) {
    using NewFile = lz::files::Files::NewFile;
    EXPECT_TRUE(files_.makeFolders(at("撤销\\记录\\")));
    EXPECT_TRUE(files_.makeFolders(at("撤销\\记录")));
    const std::string file = at("撤销\\记录\\方案 2026-12-09 10-30-05.reg");
    EXPECT_EQ(files_.writeNew(file, "first"), NewFile::Written);
    EXPECT_EQ(files_.writeNew(file, "second"), NewFile::Exists);
    EXPECT_EQ(files_.readAll(file), "first");
    EXPECT_EQ(files_.writeNew(at("撤销"), "x"), NewFile::Exists) << "a folder's name";
    EXPECT_EQ(files_.writeNew(at("没有\\a.reg"), "x"), NewFile::Failed);
    put("文件", "x");
    EXPECT_FALSE(files_.makeFolders(at("文件")));
    EXPECT_FALSE(files_.makeFolders(at("文件\\下面")));
    EXPECT_EQ(listing(), "撤销,文件");
    EXPECT_EQ(sorted(files_.find(at("撤销\\记录\\*"))), "方案 2026-12-09 10-30-05.reg") << "no temporary file";
}

TEST_F(Win32FilesTest, AFailureIsTracedWithTheCallThePathAndTheErrorAndAnAnswerIsNot) {
    lz::e2e::DebugOutput output;
    EXPECT_FALSE(files_.writeAll(at("没有\\方案.lzvt"), "x"));
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "LzVantor: CreateFileW (")) << "the temporary file";
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "failed, error 3")) << "ERROR_PATH_NOT_FOUND";
    put("文件", "x");
    EXPECT_FALSE(files_.makeFolders(at("文件")));
    EXPECT_TRUE(lz::e2e::anyLineHas(output.lines(), "LzVantor: CreateDirectoryW ("));

    // Questions the programs ask, whose answer is no: nothing traced.
    const std::size_t before = output.lines().size();
    EXPECT_EQ(files_.size(at("x.lzvt")), std::nullopt);
    EXPECT_TRUE(files_.find(at("*.none")).empty());
    EXPECT_EQ(files_.writeNew(at("文件"), "y"), lz::files::Files::NewFile::Exists);
    EXPECT_EQ(output.lines().size(), before) << output.lines().back();
}

TEST_F(Win32FilesTest, LocalAppDataIsAFolderOfTheUser) {
    lz::process::Win32Process process;
    const std::string local = process.localAppDataDirectory();
    ASSERT_FALSE(local.empty());
    EXPECT_NE(local.back(), '\\');
    const DWORD attributes = GetFileAttributesW(toWide(local).c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) << local;
}

TEST_F(Win32FilesTest, HeldFileMakesTheReplaceFailAndTheOldBytesSurvive) {
    EXPECT_FALSE(files_.openHeld(at("没有.lzvt")).has_value());
    put("held.lzvt", "old bytes");
    std::optional<lz::files::HeldFile> held = files_.openHeld(at("held.lzvt"));
    ASSERT_TRUE(held.has_value());
    EXPECT_EQ(held->content(), "old bytes");

    // Others may still read it (the optimizer runs it) and write it in place...
    EXPECT_EQ(files_.readAll(at("held.lzvt")), "old bytes");
    // ...but nobody can open it exclusively, and a save by replacing fails.
    const HANDLE exclusive = CreateFileW(toWide(at("held.lzvt")).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(exclusive, INVALID_HANDLE_VALUE);
    if (exclusive != INVALID_HANDLE_VALUE) CloseHandle(exclusive);
    EXPECT_FALSE(files_.writeAll(at("held.lzvt"), "new bytes"));
    EXPECT_FALSE(files_.remove(at("held.lzvt")));
    EXPECT_EQ(files_.readAll(at("held.lzvt")), "old bytes");
    EXPECT_EQ(listing(), "held.lzvt");

    held->close();
    EXPECT_TRUE(files_.writeAll(at("held.lzvt"), "new bytes"));
    EXPECT_EQ(files_.readAll(at("held.lzvt")), "new bytes");
}

// A run keeps its scheme: mapped, unwritable, undeletable and unreplaceable until it lets go.
TEST_F(Win32FilesTest, KeptFileStaysAsReadUntilLetGo) {
    EXPECT_FALSE(files_.readKept(at("没有.lzvt")).has_value());
    put("空.lzvt", "");
    const std::optional<lz::files::SharedBytes> empty = files_.readKept(at("空.lzvt"));
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(empty->bytes, "");

    const std::string bytes = "TSWB|\xCC\xE1\xCA\xBE\r\nname";
    put("方案.lzvt", bytes);
    std::optional<lz::files::SharedBytes> kept = files_.readKept(at("方案.lzvt"));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->bytes, bytes);
    EXPECT_EQ(files_.readAll(at("方案.lzvt")), bytes) << "others may still read it";
    const HANDLE writer =
        CreateFileW(toWide(at("方案.lzvt")).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "nobody may write it while it is kept";
    if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
    EXPECT_FALSE(files_.writeAll(at("方案.lzvt"), "new"));
    EXPECT_FALSE(files_.remove(at("方案.lzvt")));
    EXPECT_EQ(kept->bytes, bytes);

    kept.reset();
    EXPECT_TRUE(files_.writeAll(at("方案.lzvt"), "new"));
    EXPECT_TRUE(files_.remove(at("方案.lzvt")));
}

// A scheme the editor holds open for writing is still read whole, as a copy.
TEST_F(Win32FilesTest, KeptFileThatSomeoneWritesIsReadAsACopy) {
    put("held.lzvt", "held bytes");
    std::optional<lz::files::HeldFile> held = files_.openHeld(at("held.lzvt"));
    ASSERT_TRUE(held.has_value());
    const std::optional<lz::files::SharedBytes> kept = files_.readKept(at("held.lzvt"));
    ASSERT_TRUE(kept.has_value());
    EXPECT_EQ(kept->bytes, "held bytes");
    held->close();
    EXPECT_TRUE(files_.writeAll(at("held.lzvt"), "new")) << "a copy holds nothing open";
    EXPECT_EQ(kept->bytes, "held bytes");
}

TEST_F(Win32FilesTest, PathsLongerThanMaxPathWork) {
    std::string folder = dir_;
    for (int level = 0; level < 6; ++level) {
        folder += "\\" + std::string(50, static_cast<char>('a' + level));
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + toWide(folder)).c_str(), nullptr)) << GetLastError();
    }
    const std::string path = folder + "\\长路径方案.lzvt";
    ASSERT_GT(toWide(path).size(), std::size_t{MAX_PATH});

    EXPECT_TRUE(files_.writeAll(path, "deep"));
    EXPECT_EQ(files_.readAll(path), "deep");
    EXPECT_EQ(files_.size(path), 4);
    EXPECT_EQ(sorted(files_.find(folder + "\\*.lzvt")), "长路径方案.lzvt");
    EXPECT_TRUE(files_.openHeld(path).has_value());
    // The shell takes no path this long: the file stays rather than being deleted another way.
    EXPECT_EQ(files_.recycle(path), Recycled::Failed);
    EXPECT_EQ(files_.size(path), 4);
    EXPECT_TRUE(files_.remove(path));
    EXPECT_TRUE(files_.find(folder + "\\*").empty());
}

TEST_F(Win32FilesTest, ProgramDirectoryHoldsTheRunningExecutable) {
    lz::process::Win32Process process;
    const std::string directory = process.programDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    EXPECT_EQ(sorted(files_.find(directory + "\\win32_tests.exe")), "win32_tests.exe");
    EXPECT_NE(process.commandLine().find(u"win32_tests"), std::u16string::npos);
}

TEST_F(Win32FilesTest, RunDetachedStartsAProgramWithoutWaiting) {
    lz::process::Win32Process process;
    EXPECT_FALSE(process.runDetached(at("没有这个程序.exe")));
    EXPECT_FALSE(process.runDetached(""));

    // cmd.exe leaves a mark, so the test sees that the whole command line reached it.
    const std::string marker = at("started.txt");
    ASSERT_TRUE(process.runDetached("cmd.exe /c echo started>\"" + marker + "\""));
    EXPECT_TRUE(waitFor([&] { return files_.readAll(marker).value_or("").starts_with("started"); }));
}

TEST_F(Win32FilesTest, OpenUrlHandsTheAddressToTheDefaultBrowser) {
    // The "browser" is cmd.exe writing the address it was given into a file.
    const std::string record = at("url.txt");
    const std::wstring command = L"cmd.exe /c echo %1>\"" + toWide(record) + L"\"";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    lz::shell::Win32Shell shell;
    EXPECT_TRUE(shell.openUrl("http://www.example.com/bbs/forum/5"));
    EXPECT_TRUE(waitFor([&] {
        return files_.readAll(record).value_or("").find("http://www.example.com/bbs/forum/5") != std::string::npos;
    }));
}

// What the clipboard holds as Unicode text, read the way any other program reads it.
std::optional<std::string> clipboardText() {
    if (!OpenClipboard(nullptr)) return std::nullopt;
    std::optional<std::string> result;
    if (const HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(block))) {
            result = fromWide(std::wstring_view(units, wcsnlen(units, GlobalSize(block) / sizeof(wchar_t))));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return result;
}

TEST(Win32Clipboard, ChineseTextRoundTripOutlivesTheWriter) {
    const std::string text = "ZCBTJ|HKEY_CURRENT_USER\\测试|ZCZ|值 €";
    {
        lz::clipboard::Win32Clipboard writer;
        ASSERT_TRUE(writer.setText(text));
        EXPECT_EQ(clipboardText(), text);
    }
    // The writer and its hidden owner window are gone; the text stays.
    lz::clipboard::Win32Clipboard reader;
    EXPECT_EQ(clipboardText(), text);
    ASSERT_TRUE(reader.setText(""));
    EXPECT_EQ(clipboardText(), "");
}

TEST(Win32Clipboard, GivesUpSoonWhileAnotherWindowHoldsIt) {
    lz::clipboard::Win32Clipboard first;
    ASSERT_TRUE(first.setText("before"));
    ASSERT_TRUE(OpenClipboard(nullptr));  // this thread holds it now

    bool written = true;
    std::chrono::milliseconds took{};
    std::thread other([&] {
        lz::clipboard::Win32Clipboard blocked;
        const auto start = std::chrono::steady_clock::now();
        written = blocked.setText("after");
        took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    });
    other.join();
    CloseClipboard();

    EXPECT_FALSE(written);
    EXPECT_LT(took.count(), 3000);
    EXPECT_EQ(clipboardText(), "before");
}

}  // namespace
