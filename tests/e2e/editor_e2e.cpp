// The scheme editor driven from outside, the way its user works it: opening schemes from the
// command line and the open dialog, composing steps in "添加步骤", saving byte for byte, the
// clipboard, the file-type association, the disabled buttons and the name's length limit.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <iostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/layouts.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/outside_gbk.h"

namespace lz::e2e {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kMainCaption = L"LZ 优化方案编辑器";
constexpr const wchar_t* kAddStepCaption = L"添加步骤";
constexpr const wchar_t* kMessageCaption = L"信息：";
constexpr const wchar_t* kOpenDialogTitle = L"选择方案文件LZVT";
constexpr const wchar_t* kSaveAsDialogTitle = L"另存为路径";
// How long "nothing appears" is watched before it counts as nothing.
constexpr Millis kQuietPeriod{700};

// ---- Text -----------------------------------------------------------------------------

// Scheme files are code page 936; the test composes its expected bytes the same way a
// scheme author's typing ends up in them.
std::string Gbk(std::wstring_view text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

// The file a list of rows and a name make: each row, "\r\n", then the name with no break.
std::string SchemeBytes(const std::vector<std::wstring>& rows, std::wstring_view name) {
    std::string bytes;
    for (const std::wstring& row : rows) bytes += Gbk(row) + "\r\n";
    return bytes + Gbk(name);
}

std::wstring Quoted(const fs::path& path) {
    return L"\"" + path.wstring() + L"\"";
}

// Shows where two byte strings part, for a failure message worth reading.
std::string FirstDifference(const std::string& got, const std::string& want) {
    size_t i = 0;
    while (i < got.size() && i < want.size() && got[i] == want[i]) ++i;
    return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size()) +
           ", first difference at byte " + std::to_string(i);
}

#define EXPECT_BYTES(got, want) EXPECT_TRUE((got) == (want)) << FirstDifference((got), (want))

// ---- Messages and input -----------------------------------------------------------------

LRESULT SendTo(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 5000, &result) == 0)
        throw DriverError("window did not answer message 0x" + std::to_string(message));
    return static_cast<LRESULT>(result);
}

// Types into an edit box character by character, as the keyboard would; L'\r' is Enter.
void Type(HWND edit, std::wstring_view text) {
    for (wchar_t c : text) SendTo(edit, WM_CHAR, c, 1);
}

void ClearAndType(HWND edit, std::wstring_view text) {
    SetText(edit, L"");
    Type(edit, text);
}

void WaitFor(const std::function<bool()>& done, const std::string& what, Millis timeout = kDefaultTimeout) {
    if (!PollUntil(done, timeout)) throw DriverError("waited in vain for " + what);
}

// A visible dialog (#32770) of the process that is none of `known`.
HWND WaitForNewDialog(const Process& process, const std::set<HWND>& known, Millis timeout = kDefaultTimeout) {
    HWND found = nullptr;
    WaitFor(
        [&] {
            for (HWND window : process.Windows()) {
                if (IsWindowVisible(window) && ClassName(window) == L"#32770" && !known.contains(window)) {
                    found = window;
                    return true;
                }
            }
            return false;
        },
        "a new dialog", timeout);
    return found;
}

// Waits for the editor's message box, returns its text and closes it with OK.
std::wstring TakeMessage(const Process& editor, Millis timeout = kDefaultTimeout) {
    HWND box = editor.WaitForDialog(kMessageCaption, timeout);
    const std::wstring text = MessageBoxText(box);
    DismissMessageBox(box);
    return text;
}

// True when no dialog of the process shows up during the quiet period.
bool StaysQuiet(const Process& editor) {
    return !PollUntil([&] { return editor.FindDialog() != nullptr; }, kQuietPeriod);
}

void CancelFileDialog(const Process& editor, const wchar_t* title) {
    HWND dialog = editor.WaitForDialog(title);
    Click(GetDlgItem(dialog, IDCANCEL));
    WaitForDestroyed(dialog);
}

// ---- Clipboard --------------------------------------------------------------------------

bool OpenClipboardSoon() {
    return PollUntil([] { return OpenClipboard(nullptr) != FALSE; }, Millis{2000});
}

std::optional<std::wstring> ClipboardText() {
    if (!OpenClipboardSoon()) throw DriverError("the clipboard stays busy");
    std::optional<std::wstring> text;
    if (HANDLE block = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(block))) {
            text = std::wstring(units, wcsnlen(units, GlobalSize(block) / sizeof(wchar_t)));
            GlobalUnlock(block);
        }
    }
    CloseClipboard();
    return text;
}

void SetClipboardText(std::wstring_view text) {
    if (!OpenClipboardSoon()) throw DriverError("the clipboard stays busy");
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (block != nullptr) {
        std::memcpy(GlobalLock(block), text.data(), text.size() * sizeof(wchar_t));
        GlobalUnlock(block);
        if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);
    }
    CloseClipboard();
}

// ---- The editor's windows ----------------------------------------------------------------

struct MainWindow {
    HWND window = nullptr;
    HWND open = nullptr, save = nullptr, saveAs = nullptr, steps = nullptr, addStep = nullptr, deleteStep = nullptr,
         copyStep = nullptr, associate = nullptr, chineseSteps = nullptr, moreSettings = nullptr, name = nullptr;

    static MainWindow Of(HWND window) {
        using namespace editor::main_window;
        auto at = [&](std::string_view name) {
            HWND control = ControlById(window, editor::mainWindowLayout().idOf(name));
            if (control == nullptr) throw DriverError("main window control " + std::string(name) + " is missing");
            return control;
        };
        return {window,         at(kOpen),           at(kSave),         at(kSaveAs),
                at(kSteps),     at(kAddStep),        at(kDeleteStep),   at(kCopyStep),
                at(kAssociate), at(kTranslateSteps), at(kMoreSettings), at(kSchemeName)};
    }
};

struct AddStepWindow {
    HWND window = nullptr;
    HWND tab = nullptr, deleteMode = nullptr, writeMode = nullptr, path = nullptr, value = nullptr, type = nullptr,
         addRegistry = nullptr, hint = nullptr, addHint = nullptr;

    static AddStepWindow Of(HWND window) {
        using namespace editor::add_step_window;
        auto at = [&](std::string_view name) {
            HWND control = ControlById(window, editor::addStepWindowLayout().idOf(name));
            if (control == nullptr) throw DriverError("add-step control " + std::string(name) + " is missing");
            return control;
        };
        return {window,        at(kPages),    at(kDeleteChoice),    at(kWriteChoice), at(kPathBox),
                at(kValueBox), at(kTypeList), at(kAddRegistryStep), at(kHintBox),     at(kAddHint)};
    }

    bool Checked(HWND radio) const { return SendTo(radio, BM_GETCHECK) == BST_CHECKED; }
    int TypeIndex() const { return static_cast<int>(SendTo(type, CB_GETCURSEL)); }

    void SwitchToAddMode() const {
        Click(writeMode);
        WaitFor([&] { return IsEnabled(value) && IsEnabled(type); }, "the value box and type list to be enabled");
    }

    // Picks an entry of the value-type list with the keyboard (Home, then Down), as a user
    // does with the closed list; each move raises the list's selection change.
    void PickType(int index) const {
        SendTo(type, WM_KEYDOWN, VK_HOME, 1);
        for (int i = 0; i < index; ++i) SendTo(type, WM_KEYDOWN, VK_DOWN, 1);
        WaitFor([&] { return TypeIndex() == index; }, "value type " + std::to_string(index) + " to be picked");
    }

    void ShowHintPage() const {
        SendTo(tab, WM_KEYDOWN, VK_RIGHT, 1);
        WaitFor([&] { return TabCurrentPage(tab) == 1 && IsVisible(hint); }, "the hint page");
    }
};

class EditorE2E : public ::testing::Test {
protected:
    EditorE2E() = default;
    // The program folder is made inside `parent` instead of the temp folder.
    explicit EditorE2E(const fs::path& parent) : folder_({}, parent) {}

    void TearDown() override {
        if (!HasFailure()) return;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const fs::path shot = SaveArtifactScreenshot(std::string(test->test_suite_name()) + "." + test->name());
        if (!shot.empty()) std::cerr << "screen at the failure: " << Narrow(shot.wstring()) << "\n";
    }

    fs::path File(std::wstring_view name) const { return folder_.Dir() / name; }

    fs::path WriteScheme(std::wstring_view name, const std::string& bytes) const {
        const fs::path file = File(name);
        fs::create_directories(file.parent_path());
        WriteFileBytes(file, bytes);
        return file;
    }

    void Start(std::wstring_view arguments = {}, Millis timeout = kDefaultTimeout) {
        editor_ = Process::Launch(folder_.Editor(), arguments, folder_.Dir(), timeout);
        main_ = MainWindow::Of(editor_.WaitForWindow(kMainCaption, timeout));
        RequireExpectedLocale(editor_);
    }

    std::vector<std::wstring> Rows() const { return ListRows(main_.steps); }
    std::wstring Name() const { return Text(main_.name); }

    AddStepWindow OpenAddStep() const {
        Click(main_.addStep);
        return AddStepWindow::Of(editor_.WaitForWindow(kAddStepCaption));
    }

    // Clicks one of the add-step window's "添加" buttons and waits for the row it appends.
    void Add(const AddStepWindow& dialog, HWND button) const {
        const int before = ListRowCount(main_.steps);
        Click(button);
        WaitForDestroyed(dialog.window);
        WaitFor([&] { return ListRowCount(main_.steps) == before + 1; }, "the new row");
    }

    std::wstring ClickAndTakeMessage(HWND button) const {
        Click(button);
        return TakeMessage(editor_);
    }

    ProgramFolder folder_;
    Process editor_;
    MainWindow main_;
};

// A scheme as an author wrote it: Chinese hint, a continuation line, a name longer than the
// 20 characters the name box lets the user type.
const std::vector<std::wstring> kRowsA = {
    L"TSWB|欢迎使用：本方案让菜单弹出更快",
    L"ZCBTJ|HKEY_CURRENT_USER\\Control Panel\\Desktop\\MenuShowDelay|0|ZCZ",
    L"ZCBSC|HKEY_CURRENT_USER\\Software\\旧软件\\|SC",
    L"第二行提示（续行）",
};
const std::wstring kNameA = L"系统加速与界面优化综合方案 第二版 LZ2024";

const std::vector<std::wstring> kRowsB = {
    L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzTest\\数值|1|SZJZ",
    L"TSWB|方案B的提示",
};
const std::wstring kNameB = L"方案B";

// ---- 1. Command line ------------------------------------------------------------------

TEST_F(EditorE2E, CommandLineOpensTheSchemeInAnyQuotedForm) {
    ASSERT_GT(kNameA.size(), 20u) << "the name must be longer than the typing limit";
    const std::string bytesA = SchemeBytes(kRowsA, kNameA);
    const std::string bytesB = SchemeBytes(kRowsB, kNameB);
    const fs::path plain = WriteScheme(L"plain.lzvt", bytesA);
    const fs::path blank = WriteScheme(L"带 空格\\测试 方案.lzvt", bytesA);
    const fs::path second = WriteScheme(L"second.lzvt", bytesB);

    struct Case {
        const char* what;
        std::wstring arguments;
    };
    const Case cases[] = {
        {"a plain path", plain.wstring()},
        {"a quoted path with blanks and Chinese", Quoted(blank)},
        {"a second argument is ignored", Quoted(plain) + L" " + Quoted(second)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool first = &c == &cases[0];
        Start(c.arguments);
        EXPECT_EQ(Rows(), kRowsA);
        EXPECT_EQ(Name(), kNameA) << "a name read from the file is shown whole";
        if (first) SaveArtifactScreenshot("editor-main");
        PressEscape(main_.window);
        EXPECT_EQ(editor_.WaitForExit(), 0u);
    }
    EXPECT_BYTES(ReadFileBytes(plain), bytesA);
    EXPECT_BYTES(ReadFileBytes(blank), bytesA);
}

TEST_F(EditorE2E, UnquotedPathIsCutAtTheBlankAndSaveCreatesTheCutPath) {
    const std::string bytes = SchemeBytes(kRowsA, kNameA);
    const fs::path whole = WriteScheme(L"my scheme.lzvt", bytes);
    Start(whole.wstring());
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Name(), L"") << "a missing file empties the name";

    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
    EXPECT_EQ(ReadFileBytes(File(L"my")), "") << "no rows and an empty name make an empty file";
    EXPECT_BYTES(ReadFileBytes(whole), bytes);
}

// ---- 2. Composing steps ------------------------------------------------------------------

TEST_F(EditorE2E, AddStepWindowOpensInDeleteModeAndEscAddsNothing) {
    Start();
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE("opening " + std::to_string(opening + 1));
        const AddStepWindow dialog = OpenAddStep();
        EXPECT_EQ(TabCurrentPage(dialog.tab), 0);
        EXPECT_TRUE(dialog.Checked(dialog.deleteMode));
        EXPECT_FALSE(dialog.Checked(dialog.writeMode));
        EXPECT_FALSE(IsEnabled(dialog.value));
        EXPECT_EQ(Text(dialog.value), L"删除模式禁用");
        EXPECT_FALSE(IsEnabled(dialog.type));
        EXPECT_EQ(dialog.TypeIndex(), -1) << "no value type shown as picked";
        EXPECT_TRUE(IsEnabled(dialog.path));
        // Leave it in another state than it opened in: the next opening must not show it.
        dialog.SwitchToAddMode();
        dialog.PickType(2);
        dialog.ShowHintPage();
        Type(dialog.hint, L"丢弃");
        PressEscape(dialog.window);
        WaitForDestroyed(dialog.window);
        EXPECT_EQ(ListRowCount(main_.steps), 0) << "Esc adds no step";
    }
    EXPECT_TRUE(IsWindow(main_.window)) << "Esc in the add-step window leaves the editor running";
}

TEST_F(EditorE2E, EveryKindOfStepIsComposedAndSavedByteForByte) {
    const fs::path file = File(L"新方案.lzvt");
    Start(Quoted(file));
    ASSERT_EQ(Name(), L"") << "started on a file that does not exist yet";

    const std::wstring root = L"HKEY_CURRENT_USER\\Software\\LzTest\\";
    {
        SCOPED_TRACE("delete step");
        const AddStepWindow d = OpenAddStep();
        Type(d.path, root + L"旧值");
        Add(d, d.addRegistry);
    }
    struct WriteStep {
        const char* what;
        int pick;              // entry of the value-type list, or -1 to leave it alone
        const wchar_t* value;  // nullptr keeps the text the window opened with
        const wchar_t* code;
    };
    const WriteStep writes[] = {
        {"no type ever picked", -1, L"0a1b", L"EJZSZ"},
        {"双字节值", 1, L"1", L"SZJZ"},
        {"字串值", 2, L"中文 字串|值", L"ZCZ"},
        {"the type picked last time is remembered", -1, nullptr, L"ZCZ"},
        {"二进制数值", 0, L"binary", L"EJZSZ"},
    };
    std::vector<std::wstring> expected = {L"ZCBSC|" + root + L"旧值|SC"};
    for (const WriteStep& w : writes) {
        SCOPED_TRACE(w.what);
        const AddStepWindow d = OpenAddStep();
        ASSERT_EQ(d.TypeIndex(), -1) << "the list opens without a pick, whatever was picked before";
        d.SwitchToAddMode();
        EXPECT_EQ(Text(d.value), L"删除模式禁用") << "switching the mode keeps the value text";
        const std::wstring path = root + L"值" + w.code;
        Type(d.path, path);
        if (w.value != nullptr) ClearAndType(d.value, w.value);
        if (w.pick >= 0) d.PickType(w.pick);
        if (w.pick == 1) SaveArtifactScreenshot("add-step");
        Add(d, d.addRegistry);
        expected.push_back(L"ZCBTJ|" + path + L"|" + (w.value ? w.value : L"删除模式禁用") + L"|" + w.code);
    }
    {
        SCOPED_TRACE("two-line hint");
        const AddStepWindow d = OpenAddStep();
        d.ShowHintPage();
        Type(d.hint, L"第一行：请先关闭程序\rsecond line");
        EXPECT_EQ(Text(d.hint), L"第一行：请先关闭程序\r\nsecond line") << "Enter breaks the line with \\r\\n";
        Add(d, d.addHint);
        expected.push_back(L"TSWB|第一行：请先关闭程序\r\nsecond line");
    }
    const std::wstring name = L"我的方案 v2";
    ClearAndType(main_.name, name);

    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
    const std::string want = SchemeBytes(expected, name);
    // Spelled out once in bytes, so a wrong encoding or line break cannot hide behind Gbk().
    ASSERT_TRUE(want.starts_with("ZCBSC|HKEY_CURRENT_USER\\Software\\LzTest\\\xBE\xC9\xD6\xB5|SC\r\n"));
    ASSERT_TRUE(want.ends_with("second line\r\n\xCE\xD2\xB5\xC4\xB7\xBD\xB0\xB8 v2"));
    EXPECT_BYTES(ReadFileBytes(file), want);

    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
    EXPECT_BYTES(ReadFileBytes(file), want) << "a second save writes the same bytes";
}

TEST_F(EditorE2E, AwkwardGbkCharactersAreShownAndSavedBackByteForByte) {
    // Double-byte characters whose second byte is "\" or "|", characters of GBK beyond GB2312,
    // the euro sign's single byte, full-width punctuation and space, and a name longer than the
    // name box lets the user type.
    const std::string awkward = "\x81\x5C\x81\x7C\x95\x7C\xFE\x4F";
    const std::wstring awkward_text = L"乗亅晐﨩";
    ASSERT_EQ(Gbk(awkward_text), awkward);
    ASSERT_EQ(Gbk(L"€"), "\x80");
    const std::vector<std::wstring> rows = {
        L"TSWB|提示：请先关闭“所有”程序　（全角空格）€",
        L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzTest\\" + awkward_text + L"\\" + awkward_text + L"|值" + awkward_text +
            L"|ZCZ",
        L"ZCBSC|HKEY_CURRENT_USER\\Software\\" + awkward_text + L"\\|SC",
        L"第二行：续行｜不是分隔符",
    };
    const std::wstring name = L"往返测试方案：" + awkward_text + L"与全角｜竖线，共二十余字";
    ASSERT_GT(name.size(), 20u);
    const std::string bytes = SchemeBytes(rows, name);
    const fs::path file = WriteScheme(L"往返 方案.lzvt", bytes);

    Start(Quoted(file));
    EXPECT_EQ(Rows(), rows) << "each row decoded from GBK";
    EXPECT_EQ(Name(), name);
    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
    EXPECT_BYTES(ReadFileBytes(file), bytes);
}

// ---- 3. Open dialog ----------------------------------------------------------------------

TEST_F(EditorE2E, OpenFileAppendsTheRowsAndTakesTheNameAndThePath) {
    const std::string bytesA = SchemeBytes(kRowsA, kNameA);
    const fs::path a = WriteScheme(L"a.lzvt", bytesA);
    const fs::path b = WriteScheme(L"b.lzvt", SchemeBytes(kRowsB, kNameB));
    Start(a.wstring());

    Click(main_.open);
    CancelFileDialog(editor_, kOpenDialogTitle);
    EXPECT_TRUE(StaysQuiet(editor_)) << "cancelling shows nothing";
    EXPECT_EQ(Rows(), kRowsA);

    Click(main_.open);
    HWND dialog = ChooseInFileDialog(editor_, kOpenDialogTitle, b);
    WaitForDestroyed(dialog);
    std::vector<std::wstring> both = kRowsA;
    both.insert(both.end(), kRowsB.begin(), kRowsB.end());
    WaitFor([&] { return ListRowCount(main_.steps) == static_cast<int>(both.size()); }, "the rows of both schemes");
    EXPECT_EQ(Rows(), both);
    EXPECT_EQ(Name(), kNameB);

    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
    EXPECT_BYTES(ReadFileBytes(b), SchemeBytes(both, kNameB)) << "the opened file is the one saved to";
    EXPECT_BYTES(ReadFileBytes(a), bytesA);
}

TEST_F(EditorE2E, OpenDialogRefusesAMissingFile) {
    const fs::path a = WriteScheme(L"a.lzvt", SchemeBytes(kRowsA, kNameA));
    Start(a.wstring());
    Click(main_.open);
    HWND dialog = ChooseInFileDialog(editor_, kOpenDialogTitle, File(L"missing.lzvt"));
    // The dialog answers with a message of its own and stays open.
    HWND complaint = WaitForNewDialog(editor_, {dialog});
    Click(GetDlgItem(complaint, IDOK));
    WaitForDestroyed(complaint);
    EXPECT_TRUE(IsWindowVisible(dialog));
    Click(GetDlgItem(dialog, IDCANCEL));
    WaitForDestroyed(dialog);
    EXPECT_EQ(Rows(), kRowsA);
    EXPECT_EQ(Name(), kNameA);
    EXPECT_FALSE(fs::exists(File(L"missing.lzvt")));
}

// ---- 4. Save as --------------------------------------------------------------------------

TEST_F(EditorE2E, SaveAsAsksBeforeCreatingAndCannotReplaceTheHeldFile) {
    const std::string bytesA = SchemeBytes(kRowsA, kNameA);
    const fs::path a = WriteScheme(L"a.lzvt", bytesA);
    const fs::path existing = WriteScheme(L"existing.lzvt", "old bytes");
    const fs::path fresh = File(L"另存 新.lzvt");
    Start(a.wstring());
    {
        const AddStepWindow d = OpenAddStep();
        d.ShowHintPage();
        Type(d.hint, L"另存的提示");
        Add(d, d.addHint);
    }
    std::vector<std::wstring> rows = kRowsA;
    rows.push_back(L"TSWB|另存的提示");

    {
        SCOPED_TRACE("the held file");
        Click(main_.saveAs);
        WaitForDestroyed(ChooseInFileDialog(editor_, kSaveAsDialogTitle, a));
        EXPECT_EQ(TakeMessage(editor_), L"文件写入失败！");
        EXPECT_BYTES(ReadFileBytes(a), bytesA);
        EXPECT_EQ(Rows(), rows) << "a failed write leaves the list alone";
    }
    {
        SCOPED_TRACE("a new file");
        Click(main_.saveAs);
        HWND dialog = ChooseInFileDialog(editor_, kSaveAsDialogTitle, fresh);
        HWND question = WaitForNewDialog(editor_, {dialog});
        EXPECT_FALSE(fs::exists(fresh)) << "nothing is written before the user agrees";
        HWND yes = GetDlgItem(question, IDYES);
        ASSERT_NE(yes, nullptr) << "the dialog asks a yes-or-no question: " << Narrow(MessageBoxText(question));
        Click(yes);
        WaitForDestroyed(dialog);
        EXPECT_EQ(TakeMessage(editor_), L"成功！");
        EXPECT_BYTES(ReadFileBytes(fresh), SchemeBytes(rows, kNameA));
    }
    {
        SCOPED_TRACE("an existing file is replaced without a question");
        Click(main_.saveAs);
        WaitForDestroyed(ChooseInFileDialog(editor_, kSaveAsDialogTitle, existing));
        HWND box = editor_.WaitForDialog(kMessageCaption);
        EXPECT_EQ(MessageBoxText(box), L"成功！");
        DismissMessageBox(box);
        EXPECT_BYTES(ReadFileBytes(existing), SchemeBytes(rows, kNameA));
    }
    {
        SCOPED_TRACE("保存文件 still writes the file opened, and closes it first");
        ClearAndType(main_.name, L"改名后");
        EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
        EXPECT_BYTES(ReadFileBytes(a), SchemeBytes(rows, L"改名后"));
        EXPECT_BYTES(ReadFileBytes(existing), SchemeBytes(rows, kNameA)) << "save-as did not move the current path";
        EXPECT_BYTES(ReadFileBytes(fresh), SchemeBytes(rows, kNameA));
    }
}

// ---- 5. Clipboard ------------------------------------------------------------------------

TEST_F(EditorE2E, CopyStepPutsTheSelectedRowOnTheClipboard) {
    Start(WriteScheme(L"a.lzvt", SchemeBytes(kRowsA, kNameA)).wstring());
    SetClipboardText(L"before");

    EXPECT_EQ(ClickAndTakeMessage(main_.copyStep), L"未选中...");
    EXPECT_EQ(ClipboardText(), L"before") << "nothing is copied without a selection";

    Click(main_.deleteStep);
    EXPECT_TRUE(StaysQuiet(editor_)) << "deleting without a selection says nothing";
    EXPECT_EQ(Rows(), kRowsA) << "and removes nothing";

    for (int row : {2, 0}) {
        SCOPED_TRACE("row " + std::to_string(row));
        ListSelectRow(main_.steps, row);
        WaitFor([&] { return ListSelectedRow(main_.steps) == row; }, "the selection");
        EXPECT_EQ(ClickAndTakeMessage(main_.copyStep), L"复制成功！");
        EXPECT_EQ(ClipboardText(), kRowsA[static_cast<size_t>(row)]);
        EXPECT_EQ(Rows(), kRowsA) << "copying does not duplicate the step";
    }

    ListSelectRow(main_.steps, 1);
    Click(main_.deleteStep);
    WaitFor([&] { return ListRowCount(main_.steps) == 3; }, "the row to go");
    EXPECT_EQ(Rows(), (std::vector<std::wstring>{kRowsA[0], kRowsA[2], kRowsA[3]}));
}

// ---- 6. File-type association ------------------------------------------------------------

TEST_F(EditorE2E, AssociationWritesTheFourClassesValuesEveryTime) {
    Start();
    const std::wstring program = folder_.Editor().wstring();
    struct Entry {
        const wchar_t* key;
        std::wstring value;
    };
    const Entry entries[] = {
        {L".lzvt", L"lzvtfile"},
        {L"lzvtfile", L"lzvt"},
        {L"lzvtfile\\DefaultIcon", program + L",0"},
        {L"lzvtfile\\shell\\open\\command", L"\"" + program + L"\" \"%1\""},
    };
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        EXPECT_EQ(ClickAndTakeMessage(main_.associate), L"成功！以后双击LZVT文件即可打开啦");
        for (const Entry& e : entries) {
            SCOPED_TRACE(Narrow(e.key));
            const auto classes = RegistryString(HKEY_CLASSES_ROOT, e.key, L"");
            ASSERT_TRUE(classes.has_value());
            // Paths compare without regard to case, as the file system does.
            EXPECT_EQ(_wcsicmp(classes->c_str(), e.value.c_str()), 0)
                << Narrow(*classes) << " instead of " << Narrow(e.value);
            // This Wine keeps HKEY_CLASSES_ROOT in HKLM\Software\Classes: the same value there.
            EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + std::wstring(e.key), L""), classes);
        }
    }
}

TEST_F(EditorE2E, AssociationUndoFileGivesBackTheClassesItReplaced) {
    RegistrySetString(HKEY_CLASSES_ROOT, L".lzvt", L"", L"旧类型");
    RegistrySetString(HKEY_CLASSES_ROOT, L".lzvt", L"Content Type", L"text/plain");
    RegistryCreateKey(HKEY_CLASSES_ROOT, L"lzvtfile\\shell");  // there, without a default value
    const auto extension = RegistryTree(HKEY_CLASSES_ROOT, L".lzvt");
    const auto file_type = RegistryTree(HKEY_CLASSES_ROOT, L"lzvtfile");
    ASSERT_EQ(file_type.size(), 2u);

    Start();
    EXPECT_EQ(ClickAndTakeMessage(main_.associate), L"成功！以后双击LZVT文件即可打开啦");
    EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".lzvt", L""), L"lzvtfile");
    std::vector<fs::path> undo_files;
    for (const auto& entry : fs::directory_iterator(folder_.Dir() / L"Undo")) undo_files.push_back(entry.path());
    ASSERT_EQ(undo_files.size(), 1u);
    const std::wstring name = undo_files[0].filename().wstring();
    EXPECT_TRUE(name.starts_with(L"文件关联 ") && name.ends_with(L".reg")) << Narrow(name);

    EXPECT_EQ(RunToEnd(L"regedit.exe /s \"" + undo_files[0].wstring() + L"\"", Millis{30000}), 0u);
    EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, L".lzvt"), extension);
    EXPECT_EQ(RegistryTree(HKEY_CLASSES_ROOT, L"lzvtfile"), file_type);
}

// ---- 7. Disabled buttons, name limit, Esc, save without a file ------------------------------

TEST_F(EditorE2E, DisabledButtonsStayInertAndTheNameTakesTwentyCharacters) {
    Start();
    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"未打开文件");

    for (HWND button : {main_.moreSettings, main_.chineseSteps}) {
        SCOPED_TRACE(Narrow(Text(button)));
        EXPECT_FALSE(IsEnabled(button));
        Click(button);
        EXPECT_TRUE(StaysQuiet(editor_));
        EXPECT_EQ(editor_.FindTopWindow(kAddStepCaption), nullptr);
    }

    const std::wstring typed = L"一二三四五六七八九十abcdefghij超出的字数";
    ASSERT_EQ(typed.size(), 25u);
    ClearAndType(main_.name, typed);
    EXPECT_EQ(Name(), typed.substr(0, 20));

    // Whatever happened, the two stay greyed.
    EXPECT_FALSE(IsEnabled(main_.moreSettings));
    EXPECT_FALSE(IsEnabled(main_.chineseSteps));
}

TEST_F(EditorE2E, EscEndsTheEditorWithoutSaving) {
    const std::string bytes = SchemeBytes(kRowsA, kNameA);
    const fs::path a = WriteScheme(L"a.lzvt", bytes);
    Start(a.wstring());
    {
        const AddStepWindow d = OpenAddStep();
        Add(d, d.addRegistry);
    }
    ClearAndType(main_.name, L"未保存");
    PressEscape(main_.window);
    EXPECT_EQ(editor_.WaitForExit(), 0u);
    EXPECT_BYTES(ReadFileBytes(a), bytes);
}

// ---- 8. A large scheme -------------------------------------------------------------------

TEST_F(EditorE2E, HundredThousandRowsOpenAndSaveUnchanged) {
    constexpr int kRows = 100000;
    std::string bytes;
    bytes.reserve(kRows * 64);
    for (int i = 0; i < kRows; ++i) {
        bytes += Gbk(L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzTest\\值" + std::to_wstring(i) + L"|" + std::to_wstring(i) +
                     L"|SZJZ\r\n");
    }
    bytes += Gbk(L"十万步");
    const fs::path big = WriteScheme(L"big.lzvt", bytes);
    Start(big.wstring(), Millis{60000});

    ASSERT_EQ(ListRowCount(main_.steps), kRows);
    for (int row : {0, kRows / 2, kRows - 1}) {
        EXPECT_EQ(ListItemText(main_.steps, row), L"ZCBTJ|HKEY_CURRENT_USER\\Software\\LzTest\\值" +
                                                      std::to_wstring(row) + L"|" + std::to_wstring(row) + L"|SZJZ");
    }
    EXPECT_EQ(Name(), L"十万步");

    Click(main_.save);
    EXPECT_EQ(TakeMessage(editor_, Millis{60000}), L"成功！");
    EXPECT_BYTES(ReadFileBytes(big), bytes);
}

// ---- 9. A scheme locked by another program ----------------------------------------------

TEST_F(EditorE2E, LockedSchemeOpensForReadingAndItsSaveFails) {
    const std::string bytes = SchemeBytes(kRowsA, kNameA);
    const fs::path file = WriteScheme(L"locked.lzvt", bytes);
    // Held open for reading, sharing reading only: nobody may write, replace or delete it.
    HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    struct Unlock {
        HANDLE& handle;
        ~Unlock() {
            if (handle != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle, INVALID_HANDLE_VALUE));
        }
    } unlock{lock};

    Start(file.wstring());
    EXPECT_EQ(Rows(), kRowsA) << "a file that cannot be held is still read";
    EXPECT_EQ(Name(), kNameA);
    {
        const AddStepWindow d = OpenAddStep();
        Add(d, d.addRegistry);
    }
    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"文件写入失败！");
    std::vector<std::wstring> rows = kRowsA;
    rows.push_back(L"ZCBSC||SC");
    EXPECT_EQ(Rows(), rows);

    CloseHandle(std::exchange(lock, INVALID_HANDLE_VALUE));
    EXPECT_BYTES(ReadFileBytes(file), bytes) << "the failed save left the file as it was";
    EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！") << "once the lock is gone the same save works";
    EXPECT_BYTES(ReadFileBytes(file), SchemeBytes(rows, kNameA));
}

// ---- 10. Names GBK cannot hold ---------------------------------------------------------

// The editor in a program folder whose name GBK cannot hold, on a scheme in a folder and under
// a file name that GBK cannot hold either.
class EditorOutsideGbk : public EditorE2E {
protected:
    EditorOutsideGbk() : EditorE2E(fs::path(L"C:\\") / kOutsideGbk) {}

    void SetUp() override {
        // Narrowed by the programs' own conversion, the names would lose their characters.
        const std::string lost(kOutsideGbkNarrowed);
        ASSERT_EQ(ProgramsGbk(folder_.Dir().parent_path().filename().wstring()), lost);
        ASSERT_EQ(ProgramsGbk(scheme_name_), lost + "\\" + lost + " " + Gbk(L"方案") + ".lzvt");
    }

    fs::path WriteOutsideGbkScheme() const { return WriteScheme(scheme_name_, SchemeBytes(kRowsA, kNameA)); }

    // The editor that was started on `file` lists its rows and name and saves it back unchanged.
    void ExpectOpenedAndSavedBack(const fs::path& file) {
        const std::string bytes = ReadFileBytes(file);
        PollUntil([&] { return ListRowCount(main_.steps) == static_cast<int>(kRowsA.size()); });
        EXPECT_EQ(Rows(), kRowsA);
        EXPECT_EQ(Name(), kNameA);
        EXPECT_EQ(ClickAndTakeMessage(main_.save), L"成功！");
        EXPECT_BYTES(ReadFileBytes(file), bytes);
    }

    // Below the program folder: a subfolder and a file, both named outside GBK.
    const std::wstring scheme_name_ = kOutsideGbk + L"\\" + kOutsideGbk + L" 方案.lzvt";
};

TEST_F(EditorOutsideGbk, QuotedCommandLineOpensTheSchemeAndSavesItBack) {
    const fs::path file = WriteOutsideGbkScheme();
    Start(Quoted(file));
    ExpectOpenedAndSavedBack(file);
}

TEST_F(EditorOutsideGbk, DoubleClickAfterTheAssociationOpensTheSchemeAndSavesItBack) {
    const fs::path file = WriteOutsideGbkScheme();
    Start();
    EXPECT_EQ(ClickAndTakeMessage(main_.associate), L"成功！以后双击LZVT文件即可打开啦");
    const std::wstring command = L"\"" + folder_.Editor().wstring() + L"\" \"%1\"";
    const auto registered = RegistryString(HKEY_CLASSES_ROOT, L"lzvtfile\\shell\\open\\command", L"");
    ASSERT_TRUE(registered.has_value());
    EXPECT_EQ(_wcsicmp(registered->c_str(), command.c_str()), 0) << Narrow(*registered);
    PressEscape(main_.window);
    EXPECT_EQ(editor_.WaitForExit(), 0u);

    // What a double click on the file does: the shell opens it by its type's open command.
    const auto opened =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    ASSERT_GT(opened, 32) << "the shell could not open the scheme";
    editor_ = Process::WaitForProcessWithWindow(kMainCaption);
    EXPECT_EQ(_wcsicmp(editor_.ImagePath().c_str(), folder_.Editor().c_str()), 0)
        << Narrow(editor_.ImagePath().wstring());
    main_ = MainWindow::Of(editor_.WaitForWindow(kMainCaption));
    ExpectOpenedAndSavedBack(file);
}

}  // namespace
}  // namespace lz::e2e
