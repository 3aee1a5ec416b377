// The way back from a scheme run, on the real Win32 stack: the undo file the optimizer keeps,
// imported with the system's registry editor, gives back every key, value, type and byte the
// run changed; where the program folder cannot be written the file goes to the user's local
// application data; where nothing can be written the value is not written either.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/optimizer_fixture.h"

namespace lz::e2e {
namespace {

const std::wstring kUndoKey = L"Software\\LzE2E\\Undo";
const std::wstring kUndoPath = L"HKEY_CURRENT_USER\\" + kUndoKey;

// The .reg files of a folder (none when it is missing).
std::vector<fs::path> RegFilesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file() && _wcsicmp(it->path().extension().c_str(), L".reg") == 0)
            found.push_back(it->path());
    return found;
}

// The text of a UTF-16LE file with a byte-order mark; throws when the file has none.
std::wstring ReadUtf16File(const fs::path& file) {
    const std::string bytes = ReadFileBytes(file);
    if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0)
        throw DriverError(Narrow(file.wstring()) + " is no UTF-16LE file with a byte-order mark");
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::memcpy(text.data(), bytes.data() + 2, text.size() * sizeof(wchar_t));
    return text;
}

std::vector<std::wstring> LinesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

bool HasLine(const std::wstring& text, std::wstring_view line) {
    const std::vector<std::wstring> lines = LinesOf(text);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// "<name> yyyy-mm-dd HH-MM-SS.reg"
bool IsUndoFileName(const std::wstring& file, std::wstring_view scheme_stem) {
    const std::wstring stamp = L" 0000-00-00 00-00-00.reg";
    if (file.size() != scheme_stem.size() + stamp.size() || file.compare(0, scheme_stem.size(), scheme_stem) != 0)
        return false;
    for (size_t i = 0; i < stamp.size(); ++i) {
        const wchar_t c = file[scheme_stem.size() + i];
        if (stamp[i] == L'0' ? !iswdigit(c) : c != stamp[i]) return false;
    }
    return true;
}

DWORD ImportWithRegedit(const fs::path& reg_file) {
    return RunToEnd(L"regedit.exe /s \"" + reg_file.wstring() + L"\"", Millis{30000});
}

using OptimizerUndo = OptimizerE2E;

TEST_F(OptimizerUndo, ImportingTheUndoFileGivesBackEveryKeyValueTypeAndByte) {
    // The test key before the run: a value of every type, a default value, a key below.
    const std::string terminated_quote = Utf16Bytes(L"引号\"反斜杠\\中文", true);
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Quoted", REG_SZ, terminated_quote);
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Empty", REG_SZ, Utf16Bytes(L"", true));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"NoTerminator", REG_SZ, Utf16Bytes(L"ab", false));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Number", REG_DWORD, DwordBytes(0x12345678));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Blob", REG_BINARY, std::string("\x00\x01\xFF\x7F", 4));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Expand", REG_EXPAND_SZ, Utf16Bytes(L"%SystemRoot%\\x", true));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Multi", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"a\0bc\0", 5), true));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"Big", REG_QWORD, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"", REG_SZ, Utf16Bytes(L"默认", true));
    RegistrySetRaw(HKEY_CURRENT_USER, kUndoKey, L"OneByte", REG_EXPAND_SZ, "A");
    RegistrySetDword(HKEY_CURRENT_USER, kUndoKey + L"\\Inner", L"Keep", 1);
    const auto before = RegistryTree(HKEY_CURRENT_USER, kUndoKey);
    ASSERT_EQ(before.size(), 2u);
    ASSERT_EQ(before.at(L"").size(), 10u);

    const std::vector<std::wstring> steps{
        L"ZCBTJ|" + kUndoPath + L"\\Quoted|新|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\Empty|x|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\NoTerminator|y|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\Number|1|SZJZ",
        L"ZCBTJ|" + kUndoPath + L"\\Blob|z|EJZSZ",
        L"ZCBTJ|" + kUndoPath + L"\\Expand|2|SZJZ",  // another type, too
        L"ZCBTJ|" + kUndoPath + L"\\Multi|m|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\Big|q|EJZSZ",
        L"ZCBTJ|" + kUndoPath + L"\\OneByte|o|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\|新默认|ZCZ",
        L"ZCBTJ|" + kUndoPath + L"\\Added|5|SZJZ",
        L"ZCBTJ|" + kUndoPath + L"\\层一\\层二\\层三\\深|deep|ZCZ",  // three new keys
        L"ZCBTJ|" + kUndoPath + L"\\Number|2|SZJZ",                  // written twice
        L"ZCBTJ|" + kUndoPath + L"\\层一\\层二\\再|3|SZJZ",          // in a key the run made
        L"ZCBTJ|" + kUndoPath + L"\\Inner\\Added|4|SZJZ",
    };
    std::vector<std::string> lines;
    for (const std::wstring& step : steps) lines.push_back(Gbk(step));
    Start({{L"撤销测试.lzvt", SchemeBytes(lines, Gbk(L"撤销测试"))}});
    HWND runner = OpenRunner(L"撤销测试.lzvt");
    ExpectRegistryStep(runner, kUndoPath + L"\\Quoted", L"新");
    for (size_t step = 1; step <= steps.size(); ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        Click(Part(runner, runner::kExecute));
        EXPECT_EQ(NextMessage(), kWriteSucceeded);
    }
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kUndoKey, L"Number"), 2u);
    ASSERT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, kUndoKey + L"\\层一\\层二\\层三"));
    ASSERT_NE(RegistryTree(HKEY_CURRENT_USER, kUndoKey), before);

    // One file, named after the scheme and the start, beside Optimal.
    const std::vector<fs::path> files = RegFilesIn(folder_->Dir() / L"Undo");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsUndoFileName(files[0].filename().wstring(), L"撤销测试")) << Narrow(files[0].filename().wstring());
    const std::wstring text = ReadUtf16File(files[0]);
    std::cerr << "undo file " << Narrow(files[0].filename().wstring()) << ":\n" << Narrow(text) << "\n";
    EXPECT_EQ(LinesOf(text).at(0), L"Windows Registry Editor Version 5.00");
    EXPECT_TRUE(HasLine(text, L"[-" + kUndoPath + L"\\层一]")) << "the topmost key the run made";
    EXPECT_FALSE(HasLine(text, L"[-" + kUndoPath + L"\\层一\\层二]"));
    // Wine's importer adds a terminator to such data, so these are checked as written. It stops
    // at string data of one byte, so that value comes last, after everything else.
    EXPECT_TRUE(HasLine(text, L"\"NoTerminator\"=hex(1):61,00,62,00"));
    const std::vector<std::wstring> undo_lines = LinesOf(text);
    ASSERT_GE(undo_lines.size(), 2u);
    EXPECT_EQ(undo_lines[undo_lines.size() - 2], L"\"OneByte\"=hex(2):41");

    const DWORD imported = ImportWithRegedit(files[0]);
    // Wine 8's importer ends with an access violation at OneByte, after everything else.
    EXPECT_TRUE(imported == 0 || imported == STATUS_ACCESS_VIOLATION) << "regedit ended with " << imported;
    auto after = RegistryTree(HKEY_CURRENT_USER, kUndoKey);
    auto expected = before;
    for (auto* tree : {&after, &expected})
        for (const wchar_t* name : {L"NoTerminator", L"OneByte"}) tree->at(L"").erase(name);
    EXPECT_EQ(after, expected);
    for (const auto& [key, values] : after) {
        SCOPED_TRACE(Narrow(key));
        EXPECT_TRUE(expected.contains(key)) << "a key the run made is still there";
        for (const auto& [name, value] : values) {
            const bool same =
                expected.contains(key) && expected.at(key).contains(name) && expected.at(key).at(name) == value;
            EXPECT_TRUE(same) << "value " << Narrow(name) << " (type " << value.type << ", " << value.bytes.size()
                              << " bytes) differs";
        }
    }
}

// ---- Deletes ------------------------------------------------------------------------------------

const std::wstring kDeletesKey = L"Software\\LzE2E\\Deletes";
const std::wstring kDeletesPath = L"HKEY_CURRENT_USER\\" + kDeletesKey;

// A value of every type the undo file writes, a default value, and a string without its
// terminator (which Wine's importer gives back with one: left out of the comparison).
constexpr int kSeededValues = 9;
void SeedValues(const std::wstring& key) {
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Quoted", REG_SZ, Utf16Bytes(L"引号\"反斜杠\\中文", true));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Empty", REG_SZ, Utf16Bytes(L"", true));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Number", REG_DWORD, DwordBytes(0x12345678));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Blob", REG_BINARY, std::string("\x00\x01\xFF\x7F", 4));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Expand", REG_EXPAND_SZ, Utf16Bytes(L"%SystemRoot%\\x", true));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Multi", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"a\0bc\0", 5), true));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"Big", REG_QWORD, std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"", REG_SZ, Utf16Bytes(L"默认", true));
    RegistrySetRaw(HKEY_CURRENT_USER, key, L"NoTerminator", REG_SZ, Utf16Bytes(L"ab", false));
}

TEST_F(OptimizerUndo, WritesAndDeletesOfOneRunComeBackWithTheUndoFile) {
    SeedValues(kDeletesKey);
    RegistrySetDword(HKEY_CURRENT_USER, kDeletesKey, L"Gone", 7);
    RegistrySetDword(HKEY_CURRENT_USER, kDeletesKey, L"Both", 1);
    RegistryCreateKey(HKEY_CURRENT_USER, kDeletesKey + L"\\Both");
    for (const wchar_t* key : {L"\\Tree", L"\\Tree\\L1", L"\\Tree\\L1\\L2", L"\\Tree2"}) SeedValues(kDeletesKey + key);
    RegistryCreateKey(HKEY_CURRENT_USER, kDeletesKey + L"\\Tree\\Empty");
    const auto before = RegistryTree(HKEY_CURRENT_USER, kDeletesKey);
    ASSERT_EQ(before.size(), 7u);

    struct Step {
        std::wstring line, message;
        bool stays = false;  // the step stays on display: skipped after its message
    };
    const Step steps[] = {
        {L"ZCBTJ|" + kDeletesPath + L"\\Quoted|新|ZCZ", kWriteSucceeded},
        {L"ZCBSC|" + kDeletesPath + L"\\Gone|SC", kValueDeleted},
        {L"ZCBSC|" + kDeletesPath + L"\\Tree|SC", KeyDeleted(4, 3 * kSeededValues)},
        {L"ZCBSC|" + kDeletesPath + L"\\Tree2\\|SC", KeyDeleted(1, kSeededValues)},
        {L"ZCBTJ|" + kDeletesPath + L"\\New\\Sub\\v|1|SZJZ", kWriteSucceeded},
        {L"ZCBSC|" + kDeletesPath + L"\\New\\|SC", KeyDeleted(2, 1)},  // a key the run made
        {L"ZCBSC|" + kDeletesPath + L"\\Both|SC", kAmbiguousDelete, true},
        {L"ZCBSC|" + kDeletesPath + L"\\Absent|SC", kNothingToDelete},
        {L"ZCBSC|HKEY_CURRENT_USER\\Software|SC", kProtectedKey, true},
        {L"ZCBTJ|" + kDeletesPath + L"\\Tree\\L1\\v|2|SZJZ", kWriteSucceeded},  // a deleted key made again
        {L"ZCBSC|" + kDeletesPath + L"\\Quoted|SC", kValueDeleted},             // a value written, then deleted
        {L"ZCBSC|" + kDeletesPath + L"\\Tree\\|SC", KeyDeleted(2, 1)},
    };
    std::vector<std::string> lines;
    for (const Step& step : steps) lines.push_back(Gbk(step.line));
    Start({{L"删除测试.lzvt", SchemeBytes(lines, Gbk(L"删除测试"))}});
    HWND runner = OpenRunner(L"删除测试.lzvt");
    for (const Step& step : steps) {
        SCOPED_TRACE(Narrow(step.line));
        Click(Part(runner, runner::kExecute));
        EXPECT_EQ(NextMessage(), step.message);
        if (step.stays) {
            EXPECT_TRUE(NoMessageBox(runner));
            Click(Part(runner, runner::kSkip));
        }
    }
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kDeletesKey + L"\\Tree"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kDeletesKey + L"\\Tree2"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kDeletesKey + L"\\New"));
    EXPECT_FALSE(RegistryRawValue(HKEY_CURRENT_USER, kDeletesKey, L"Gone"));
    EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, kDeletesKey + L"\\Both")) << "ambiguous: nothing deleted";
    EXPECT_TRUE(RegistryRawValue(HKEY_CURRENT_USER, kDeletesKey, L"Both"));

    const std::vector<fs::path> files = RegFilesIn(folder_->Dir() / L"Undo");
    ASSERT_EQ(files.size(), 1u);
    const std::wstring text = ReadUtf16File(files[0]);
    std::cerr << "undo file:\n" << Narrow(text) << "\n";
    EXPECT_EQ(ImportWithRegedit(files[0]), 0u);
    auto after = RegistryTree(HKEY_CURRENT_USER, kDeletesKey);
    auto expected = before;
    for (auto* tree : {&after, &expected})
        for (auto& [key, values] : *tree) values.erase(L"NoTerminator");
    EXPECT_EQ(after, expected);
    for (const auto& [key, values] : expected) {
        SCOPED_TRACE(Narrow(key));
        ASSERT_TRUE(after.contains(key)) << "a deleted key is not back";
        for (const auto& [name, value] : values)
            EXPECT_TRUE(after.at(key).contains(name) && after.at(key).at(name) == value)
                << "value " << Narrow(name) << " is not back as it was";
    }
    // The string without a terminator comes back with the bytes it had, and one terminator more.
    const auto restored = RegistryRawValue(HKEY_CURRENT_USER, kDeletesKey + L"\\Tree\\L1\\L2", L"NoTerminator");
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->bytes.substr(0, 4), Utf16Bytes(L"ab", false));
}

// ---- Folders that cannot be written ------------------------------------------------------------

// A copy of the program folder the build made (tests/e2e/fixtures/read-only-program and the
// optimizer) that belongs to root, beside the copy of this test that the ordinary user runs.
fs::path ReadOnlyProgramFolder() {
    const char* stage = std::getenv("LZ_WINE_STAGE");
    if (stage == nullptr) throw DriverError("no LZ_WINE_STAGE: run as an ordinary user by wine-run.sh");
    return FromHostPath(stage) / L"read-only-program";
}
const std::wstring kFallbackScheme = L"回退.lzvt";
const std::wstring kFallbackKey = L"Software\\LzE2E\\Fallback";
const std::wstring kFallbackPath = L"HKEY_CURRENT_USER\\" + kFallbackKey + L"\\数值";

fs::path LocalAppData() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)))
        throw DriverError("no local application data folder");
    return path;
}

class OptimizerUndoAsOrdinaryUser : public OptimizerE2E {
protected:
    void SetUp() override {
        const char* as_user = std::getenv("LZ_WINE_RUN_AS_USER");
        ASSERT_TRUE(as_user != nullptr && std::string(as_user) == "1")
            << "these cases need the programs to run as an ordinary user (wine-run.sh with LZ_WINE_USER)";
        // The folder must refuse this user, or the cases prove nothing (and would write into it).
        const fs::path probe = ReadOnlyProgramFolder() / L"probe.tmp";
        HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            DeleteFileW(probe.c_str());
        }
        ASSERT_EQ(file, INVALID_HANDLE_VALUE) << Narrow(ReadOnlyProgramFolder().wstring()) << " can be written";
        ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }

    HWND StartReadOnlyAndOpenRunner() {
        optimizer_ = Process::Launch(ReadOnlyProgramFolder() / L"optimizer.exe", {}, ReadOnlyProgramFolder());
        main_ = optimizer_.WaitForWindow(kMainCaption);
        HWND runner = OpenRunner(kFallbackScheme);
        ExpectRegistryStep(runner, kFallbackPath, L"7");
        return runner;
    }
};

TEST_F(OptimizerUndoAsOrdinaryUser, AProgramFolderThatCannotBeWrittenSendsTheFileToLocalAppData) {
    HWND runner = StartReadOnlyAndOpenRunner();
    Click(Part(runner, runner::kExecute));
    EXPECT_EQ(NextMessage(), kWriteSucceeded);
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kFallbackKey, L"数值"), 7u);

    EXPECT_FALSE(fs::exists(ReadOnlyProgramFolder() / L"Undo"));
    const std::vector<fs::path> files = RegFilesIn(LocalAppData() / L"LZ Vantor" / L"Undo");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(IsUndoFileName(files[0].filename().wstring(), L"回退")) << Narrow(files[0].filename().wstring());
    const std::wstring text = ReadUtf16File(files[0]);
    EXPECT_TRUE(HasLine(text, L"[-HKEY_CURRENT_USER\\Software\\LzE2E]")) << Narrow(text);

    EXPECT_EQ(ImportWithRegedit(files[0]), 0u);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\LzE2E"));
}

TEST_F(OptimizerUndoAsOrdinaryUser, WithNoFolderToKeepTheWayBackNothingIsWritten) {
    // A file where the local data folder would be made.
    const fs::path blocker = LocalAppData() / L"LZ Vantor";
    WriteFileBytes(blocker, "not a folder");

    HWND runner = StartReadOnlyAndOpenRunner();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        Click(Part(runner, runner::kExecute));
        EXPECT_EQ(NextMessage(), kUndoNotSaved);
        EXPECT_TRUE(NoMessageBox(runner)) << "a second message";
        ASSERT_TRUE(IsWindow(runner));
        ExpectRegistryStep(runner, kFallbackPath, L"7");
    }
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kFallbackKey)) << "the registry was changed";

    Click(Part(runner, runner::kSkip));
    EXPECT_EQ(NextMessage(), kFinished);
    WaitForDestroyed(runner);
    EXPECT_FALSE(fs::exists(ReadOnlyProgramFolder() / L"Undo"));
    EXPECT_EQ(ReadFileBytes(blocker), "not a folder");
}

// The run without windows finds no folder for its undo file either: it changes nothing, says so
// and exits with 2.
TEST_F(OptimizerUndoAsOrdinaryUser, ARunWithoutWindowsWithNoFolderForItsUndoFileChangesNothing) {
    const fs::path blocker = LocalAppData() / L"LZ Vantor";
    WriteFileBytes(blocker, "not a folder");
    const fs::path scheme = ReadOnlyProgramFolder() / L"Optimal" / kFallbackScheme;
    const RunResult result = RunToEndWith(
        L"\"" + (ReadOnlyProgramFolder() / L"optimizer.exe").wstring() + L"\" /run \"" + scheme.wstring() + L"\"",
        StandardHandles::Pipe);
    EXPECT_EQ(result.exit_code, 2u);
    EXPECT_NE(result.output.find(Narrow(L"撤销记录无法保存，未做任何更改")), std::string::npos) << result.output;
    EXPECT_TRUE(result.windows.empty());
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, kFallbackKey)) << "the registry was changed";
    EXPECT_FALSE(fs::exists(ReadOnlyProgramFolder() / L"Undo"));
}

}  // namespace
}  // namespace lz::e2e
