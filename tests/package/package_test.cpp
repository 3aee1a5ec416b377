// The download as a Windows user gets it: the folder unpacked from the zip (LZ_PACKAGE_DIR, a
// path of the build machine) is copied into the fresh Wine prefix, under a folder whose name
// GBK cannot hold, and the programs are started from there. Run by tests/package/check.sh.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"
#include "tests/e2e/optimizer_fixture.h"
#include "tests/e2e/outside_gbk.h"

namespace lz::e2e {
namespace {

const std::wstring kAdvanced = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Advanced";

// The unpacked folder, copied to the user's desktop as a user would unpack it there.
class Package : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char* unpacked = std::getenv("LZ_PACKAGE_DIR");
        ASSERT_NE(unpacked, nullptr) << "LZ_PACKAGE_DIR must name the folder unpacked from the zip";
        source_ = FromHostPath(unpacked);
        ASSERT_TRUE(fs::is_directory(source_)) << Narrow(source_.wstring());
    }

    void SetUp() override {
        wchar_t profile[MAX_PATH] = {};
        ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
        dir_ = fs::path(profile) / L"桌面" / (L"工具 " + kOutsideGbk) / source_.filename();
        fs::remove_all(dir_);
        fs::create_directories(dir_.parent_path());
        fs::copy(source_, dir_, fs::copy_options::recursive);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_.parent_path(), ignored);
    }

    // "LZVantor-1.0.0": the version the zip was named with.
    static std::wstring VersionOfName() {
        const std::wstring name = source_.filename().wstring();
        const size_t dash = name.rfind(L'-');
        return dash == std::wstring::npos ? std::wstring() : name.substr(dash + 1);
    }

    static fs::path source_;
    fs::path dir_;
};
fs::path Package::source_;

TEST_F(Package, OptimizerListsTheSampleSchemesAndRunsOneWithItsUndoFile) {
    std::vector<std::wstring> shipped;
    for (const auto& entry : fs::directory_iterator(dir_ / L"Optimal")) shipped.push_back(entry.path().filename());
    std::sort(shipped.begin(), shipped.end());
    ASSERT_GE(shipped.size(), 3u);
    ASSERT_NE(std::find(shipped.begin(), shipped.end(), L"显示文件扩展名.lzvt"), shipped.end());
    RegistrySetDword(HKEY_CURRENT_USER, kAdvanced, L"HideFileExt", 1);

    Process optimizer = Process::Launch(dir_ / L"optimizer.exe", {}, dir_);
    HWND main = optimizer.WaitForWindow(kMainCaption);
    HWND list = ControlById(main, main_window::kSchemes);
    ASSERT_NE(list, nullptr);
    std::vector<std::wstring> listed = ListRows(list);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, shipped) << "the catalogue shows the file names";

    const std::vector<std::wstring> rows = ListRows(list);
    ListSelectRow(list, static_cast<int>(std::find(rows.begin(), rows.end(), L"显示文件扩展名.lzvt") - rows.begin()));
    Click(ControlById(main, main_window::kStart));
    HWND runner = optimizer.WaitForWindow(kRunnerCaption);
    ExpectHintStep(runner, L"本方案让资源管理器显示所有文件的扩展名，便于识别伪装成文档的程序。");
    Click(ControlById(runner, runner::kNext));
    ExpectRegistryStep(runner, L"HKEY_CURRENT_USER\\" + kAdvanced + L"\\HideFileExt", L"0");
    Click(ControlById(runner, runner::kExecute));
    EXPECT_EQ(AnswerMessageBox(optimizer), kWriteSucceeded);
    ExpectHintStep(runner, L"完成后请按 F5 刷新资源管理器窗口。");
    Click(ControlById(runner, runner::kNext));
    EXPECT_EQ(AnswerMessageBox(optimizer), kFinished);
    WaitForDestroyed(runner);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, kAdvanced, L"HideFileExt"), 0u);

    // The way back lies beside the program: one file that puts the old value back.
    std::vector<fs::path> undo;
    for (const auto& entry : fs::directory_iterator(dir_ / L"Undo")) undo.push_back(entry.path());
    ASSERT_EQ(undo.size(), 1u);
    EXPECT_EQ(undo[0].filename().wstring().rfind(L"显示文件扩展名 ", 0), 0u) << Narrow(undo[0].wstring());
    const std::string reg = ReadFileBytes(undo[0]);
    const std::wstring text(reinterpret_cast<const wchar_t*>(reg.data()), reg.size() / sizeof(wchar_t));
    EXPECT_NE(text.find(L"\"HideFileExt\"=dword:00000001"), std::wstring::npos);
}

TEST_F(Package, EditorOpensASampleScheme) {
    const fs::path scheme = dir_ / L"Optimal" / L"加快关机速度.lzvt";
    Process editor = Process::Launch(dir_ / L"lzvtEditor.exe", L"\"" + scheme.wstring() + L"\"", dir_);
    HWND window = editor.WaitForWindow(kEditorCaption);
    HWND steps = ControlById(window, editor::kSteps);
    ASSERT_NE(steps, nullptr);
    EXPECT_TRUE(PollUntil([&] { return ListRowCount(steps) == 5; })) << ListRowCount(steps);
    EXPECT_EQ(ListItemText(steps, 2), L"ZCBTJ|HKEY_CURRENT_USER\\Control Panel\\Desktop\\AutoEndTasks|1|ZCZ");
    EXPECT_EQ(Text(ControlById(window, editor::kName)), L"加快关机速度");
}

// Every image of the program icon loads, the PNG-compressed large ones too.
TEST_F(Package, ProgramIconLoadsAtEverySize) {
    for (const wchar_t* exe : {L"optimizer.exe", L"lzvtEditor.exe"}) {
        HMODULE module = LoadLibraryExW((dir_ / exe).c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr) << Narrow(exe);
        for (int size : {16, 32, 48, 64, 128}) {
            SCOPED_TRACE(Narrow(exe) + " at " + std::to_string(size));
            HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            ASSERT_TRUE(info.hbmColor && GetObjectW(info.hbmColor, sizeof colour, &colour));
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            // The centre of the tile is opaque blue-ish, whatever the image's format.
            HDC dc = CreateCompatibleDC(nullptr);
            HGDIOBJ old = SelectObject(dc, info.hbmColor);
            const COLORREF centre = GetPixel(dc, size / 2, size - size / 8);
            SelectObject(dc, old);
            DeleteDC(dc);
            EXPECT_NE(centre, RGB(0, 0, 0)) << "the image is empty";
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        FreeLibrary(module);
    }
}

// The more-products window's pages are in the program, in UTF-8, about the two programs and
// about what comes next.
TEST_F(Package, OptimizerCarriesItsPages) {
    HMODULE module = LoadLibraryExW((dir_ / L"optimizer.exe").c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr);
    const auto page = [module](const wchar_t* name) {
        HRSRC found = FindResourceW(module, name, MAKEINTRESOURCEW(23));  // RT_HTML
        if (found == nullptr) return std::string();
        const char* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        return std::string(bytes, SizeofResource(module, found));
    };
    const std::string products = page(L"products.html");
    EXPECT_NE(products.find("charset=\"utf-8\""), std::string::npos);
    EXPECT_NE(products.find("optimizer.exe"), std::string::npos);
    EXPECT_NE(products.find("lzvtEditor.exe"), std::string::npos);
    EXPECT_NE(products.find(Narrow(L"岚舟智能优化")), std::string::npos);
    EXPECT_NE(page(L"upcoming.html").find(Narrow(L"即将更新")), std::string::npos);
    FreeLibrary(module);
}

// One version number: the zip's name and both programs' version information agree.
TEST_F(Package, ProgramsCarryTheVersionTheZipIsNamedWith) {
    const std::wstring version = VersionOfName();
    ASSERT_FALSE(version.empty());
    for (const wchar_t* exe : {L"optimizer.exe", L"lzvtEditor.exe"}) {
        const std::wstring path = (dir_ / exe).wstring();
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << Narrow(exe);
        std::vector<char> data(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
        wchar_t* product = nullptr;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\080404b0\\ProductVersion",
                                   reinterpret_cast<void**>(&product), &length));
        EXPECT_EQ(std::wstring(product), version) << Narrow(exe);
    }
}

}  // namespace
}  // namespace lz::e2e
