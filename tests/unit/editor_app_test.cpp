// The editor's windows over real files in a temporary folder, an in-memory registry and
// clipboard: what a scheme author does, and the bytes that end up on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor/app.h"
#include "editor/layouts.h"
#include "platform/text.h"
#include "testing/fixed_clock.h"
#include "testing/memory_clipboard.h"
#include "testing/memory_process.h"
#include "testing/memory_registry.h"
#include "testing/portable_files.h"
#include "testing/ui/memory_window.h"

namespace lz::editor {
namespace {

namespace fs = std::filesystem;
using registry::MemoryRegistry;
using registry::Root;
using ui::MemoryDesktop;
using ui::MemoryWindow;

std::string gbk(std::string_view utf8) {
    return text::utf8ToGbk(utf8);
}

// Paths are UTF-8 in the program; std::filesystem needs to be told so (on Windows its narrow
// strings are in the ANSI code page).
fs::path fsPath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}
std::string utf8Of(const fs::path& p) {
    const std::u8string u = p.u8string();
    return std::string(u.begin(), u.end());
}

// Files whose scheme cannot be opened for writing (a read-only file on Windows): reading works,
// holding and writing fail.
class ReadOnlyFiles final : public files::Files {
public:
    std::vector<std::string> find(std::string_view p) override { return real.find(p); }
    std::optional<std::int64_t> size(std::string_view p) override { return real.size(p); }
    bool remove(std::string_view) override { return false; }
    Recycled recycle(std::string_view) override { return Recycled::Failed; }
    std::optional<std::string> readAll(std::string_view p) override { return real.readAll(p); }
    std::optional<files::HeldFile> openHeld(std::string_view) override { return std::nullopt; }
    bool writeAll(std::string_view, std::string_view) override { return false; }
    NewFile writeNew(std::string_view, std::string_view) override { return NewFile::Failed; }
    bool makeFolders(std::string_view) override { return false; }
    test_support::PortableFiles real;
};

class EditorApp : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() /
                ("lz-editor-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override {
        // A handler that threw would otherwise only leave its record behind.
        EXPECT_TRUE(desktop_.stoppedExceptions.empty()) << desktop_.stoppedExceptions.front();
        state_.held.close();  // Windows does not delete a file that is still open
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    std::string path(const std::string& name) const { return utf8Of(root_ / fsPath(name)); }
    void put(const std::string& name, const std::string& bytes) {
        std::ofstream(root_ / fsPath(name), std::ios::binary) << bytes;
    }
    std::string bytesOf(const std::string& name) const {
        std::ifstream in(root_ / fsPath(name), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    // Starts the editor with the given command line (UTF-8, handed over in UTF-16 as the system
    // does), over `files`.
    MemoryWindow& start(const std::string& commandLine = "lzvtEditor.exe", files::Files* files = nullptr) {
        process_.commandLineUtf16 = text::utf8ToUtf16(commandLine);
        Services services{registry_, files ? *files : files_, process_, clipboard_, clock_};
        return desktop_.open(mainWindowLayout(), mainWindowHandlers(state_, services));
    }
    std::vector<std::string> rows(MemoryWindow& w) {
        std::vector<std::string> r;
        for (int i = 0; i < w.rowCount(main_window::kSteps); ++i) r.push_back(w.cell(main_window::kSteps, i, 0));
        return r;
    }
    // Opens the add-step window and lets `script` act in it.
    void addStep(MemoryWindow& main, std::function<void(MemoryWindow&)> script) {
        desktop_.whenModalOpens(std::move(script));
        ASSERT_TRUE(main.click(main_window::kAddStep));
    }

    fs::path root_;
    MemoryDesktop desktop_;
    MemoryRegistry registry_;
    test_support::PortableFiles files_;
    process::MemoryProcess process_;
    clipboard::MemoryClipboard clipboard_;
    test_support::FixedClock clock_;
    EditorState state_;
};

TEST_F(EditorApp, StartsEmptyAndCannotSaveWithoutAFile) {
    MemoryWindow& w = start();
    EXPECT_EQ(w.rowCount(main_window::kSteps), 0);
    EXPECT_EQ(w.text(main_window::kSchemeName), "MY 方案");
    EXPECT_EQ(state_.typeCode, "EJZSZ");
    w.click(main_window::kSave);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kNoFileMessage}));
}

TEST_F(EditorApp, CommandLineOpensTheFirstArgument) {
    put("甲 乙.lzvt", gbk("TSWB|提示\r\nZCBSC|HKEY_CURRENT_USER\\a|SC\r\n我的方案"));
    struct Case {
        std::string argument;
        bool opens;
    };
    const Case cases[] = {
        {"\"" + path("甲 乙.lzvt") + "\" second-argument-ignored", true},
        {path("甲 乙.lzvt"), false},  // unquoted: cut at the blank
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        desktop_ = MemoryDesktop();
        state_ = EditorState();
        MemoryWindow& w = start("lzvtEditor.exe " + c.argument);
        if (c.opens) {
            EXPECT_EQ(rows(w), (std::vector<std::string>{gbk("TSWB|提示"), "ZCBSC|HKEY_CURRENT_USER\\a|SC"}));
            EXPECT_EQ(w.text(main_window::kSchemeName), "我的方案");
            EXPECT_EQ(state_.currentPath, path("甲 乙.lzvt"));
            EXPECT_TRUE(state_.held.isOpen());
        } else {
            EXPECT_EQ(w.rowCount(main_window::kSteps), 0);
            EXPECT_EQ(w.text(main_window::kSchemeName), "") << "a missing file empties the name";
            EXPECT_EQ(state_.currentPath, path("甲"));
        }
        state_.held.close();
    }
}

// Folder and file names that GBK cannot hold (hangul, an emoji beyond the Basic Multilingual
// Plane): the path reaches the file calls whole, so the scheme opens and saves in place.
TEST_F(EditorApp, CommandLinePathKeepsCharactersGbkCannotHold) {
    const std::string bytes = gbk("TSWB|提示\r\nZCBSC|HKEY_CURRENT_USER\\b|SC\r\n") + "\xB7\xBD\xB0\xB8 \x81\x5C";
    const struct {
        const char* what;
        std::string folder, file;
        bool quoted;
    } cases[] = {
        {"hangul", "사용자", "한글.lzvt", false},
        {"surrogate pair", "emoji", "😀.lzvt", false},
        {"quoted, with blanks", "내 폴더 😀", "방안 😀 乗.lzvt", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.folder + "/" + c.file;
        ASSERT_NE(text::utf8ToGbk(name).find('?'), std::string::npos) << "the name must not survive GBK";
        fs::create_directories(root_ / fsPath(c.folder));
        put(name, bytes);
        desktop_ = MemoryDesktop();
        state_ = EditorState();
        const std::string argument = c.quoted ? "\"" + path(name) + "\"" : path(name);
        MemoryWindow& w = start("\"C:\\LZ Vantor\\lzvtEditor.exe\" " + argument);
        EXPECT_EQ(rows(w), (std::vector<std::string>{gbk("TSWB|提示"), "ZCBSC|HKEY_CURRENT_USER\\b|SC"}));
        EXPECT_EQ(w.text(main_window::kSchemeName), "方案 乗");
        EXPECT_EQ(state_.currentPath, path(name));
        EXPECT_TRUE(state_.held.isOpen());
        w.click(main_window::kSave);
        EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kSavedMessage}));
        EXPECT_EQ(bytesOf(name), bytes);
        EXPECT_EQ(std::distance(fs::directory_iterator(root_ / fsPath(c.folder)), fs::directory_iterator()), 1)
            << "nothing saved beside it";
        state_.held.close();
    }
}

TEST_F(EditorApp, LoadAndSaveGiveBackTheSameBytes) {
    // Rows of any content, invalid GBK among them, and bare line feeds.
    const std::string original = std::string("TSWB|a|b\r\n\r\nsecond line\r\nXX|\xFF\x81\r\n") +
                                 "ZCBTJ|HKEY_CURRENT_USER\\x|1\nmore\r\nname \x81\x5C\xFF";
    const std::string expected = std::string("TSWB|a|b\r\n\r\nsecond line\r\nXX|\xFF\x81\r\n") +
                                 "ZCBTJ|HKEY_CURRENT_USER\\x|1\r\nmore\r\nname \x81\x5C\xFF";
    put("any.lzvt", original);
    MemoryWindow& w = start("e \"" + path("any.lzvt") + "\"");
    EXPECT_EQ(w.rowCount(main_window::kSteps), 6);
    w.click(main_window::kSave);
    EXPECT_EQ(desktop_.messages.back(), kSavedMessage);
    EXPECT_EQ(bytesOf("any.lzvt"), expected);
    w.click(main_window::kSave);
    EXPECT_EQ(bytesOf("any.lzvt"), expected) << "each save composes the text afresh";
}

TEST_F(EditorApp, EmptyFilesAndTrailingLineBreaksRoundTrip) {
    for (const char* bytes : {"", "A\r\nB\r\n", "only a name"}) {
        put("s.lzvt", bytes);
        desktop_ = MemoryDesktop();
        state_ = EditorState();
        MemoryWindow& w = start("e " + path("s.lzvt"));
        w.click(main_window::kSave);
        EXPECT_EQ(bytesOf("s.lzvt"), bytes);
        state_.held.close();
    }
}

TEST_F(EditorApp, AddedStepIsSavedAfterTheOldOnes) {
    put("s.lzvt", "TSWB|old\r\nname");
    MemoryWindow& w = start("e " + path("s.lzvt"));
    addStep(w, [](MemoryWindow& add) {
        add.switchPage(add_step_window::kPages, add_step_window::kHintStepPage);
        add.type(add_step_window::kHintBox, "新的提示");
        add.click(add_step_window::kAddHint);
    });
    w.setText(main_window::kSchemeName, "新名字");
    w.click(main_window::kSave);
    EXPECT_EQ(bytesOf("s.lzvt"), "TSWB|old\r\n" + gbk("TSWB|新的提示\r\n新名字"));
}

TEST_F(EditorApp, OpeningAppendsAndTheLastOpenedFileIsCurrent) {
    put("a.lzvt", "TSWB|a1\r\nTSWB|a2\r\nA");
    put("b.lzvt", "TSWB|b1\r\nB");
    MemoryWindow& w = start("e " + path("a.lzvt"));
    desktop_.answerFileDialog(std::nullopt);
    w.click(main_window::kOpen);  // cancelled: nothing changes
    EXPECT_EQ(state_.currentPath, path("a.lzvt"));
    desktop_.answerFileDialog(path("b.lzvt"));
    w.click(main_window::kOpen);
    EXPECT_EQ(rows(w), (std::vector<std::string>{"TSWB|a1", "TSWB|a2", "TSWB|b1"}));
    EXPECT_EQ(w.text(main_window::kSchemeName), "B");
    EXPECT_EQ(state_.currentPath, path("b.lzvt"));
    EXPECT_EQ(desktop_.dialogsShown,
              (std::vector<std::string>{std::string(main_window::kOpenDialog), std::string(main_window::kOpenDialog)}));
    w.click(main_window::kSave);
    EXPECT_EQ(bytesOf("b.lzvt"), "TSWB|a1\r\nTSWB|a2\r\nTSWB|b1\r\nB");
    EXPECT_EQ(bytesOf("a.lzvt"), "TSWB|a1\r\nTSWB|a2\r\nA");
}

TEST_F(EditorApp, SavingUnderANewNameNeverTouchesTheHeldFile) {
    put("held.lzvt", "TSWB|h\r\nH");
    MemoryWindow& w = start("e " + path("held.lzvt"));
    desktop_.answerFileDialog(path("held.lzvt"));
    w.click(main_window::kSaveAs);
    EXPECT_EQ(desktop_.messages.back(), kWriteFailedMessage) << "the editor itself holds that file";
    EXPECT_EQ(bytesOf("held.lzvt"), "TSWB|h\r\nH");

    desktop_.answerFileDialog(path("copy.lzvt"));
    w.click(main_window::kSaveAs);
    EXPECT_EQ(desktop_.messages.back(), kSavedMessage);
    EXPECT_EQ(bytesOf("copy.lzvt"), "TSWB|h\r\nH");
    EXPECT_EQ(state_.currentPath, path("held.lzvt")) << "save-as does not change the current file";

    desktop_.answerFileDialog(std::nullopt);
    const size_t before = desktop_.messages.size();
    w.click(main_window::kSaveAs);
    EXPECT_EQ(desktop_.messages.size(), before) << "a cancelled dialog says nothing";

    w.click(main_window::kSave);  // closes the held file first, so it succeeds
    EXPECT_EQ(desktop_.messages.back(), kSavedMessage);
    desktop_.answerFileDialog(path("held.lzvt"));
    w.click(main_window::kSaveAs);
    EXPECT_EQ(desktop_.messages.back(), kSavedMessage);
}

TEST_F(EditorApp, ReadOnlySchemeOpensAndSavingItFailsHonestly) {
    put("ro.lzvt", "TSWB|x\r\nRO");
    ReadOnlyFiles readOnly;
    MemoryWindow& w = start("e " + path("ro.lzvt"), &readOnly);
    EXPECT_EQ(rows(w), (std::vector<std::string>{"TSWB|x"}));
    EXPECT_EQ(w.text(main_window::kSchemeName), "RO");
    EXPECT_FALSE(state_.held.isOpen());
    w.click(main_window::kSave);
    EXPECT_EQ(desktop_.messages.back(), kWriteFailedMessage);
    EXPECT_EQ(bytesOf("ro.lzvt"), "TSWB|x\r\nRO");
}

TEST_F(EditorApp, ALongNameFromAFileIsShownWhole) {
    const std::string name(30, 'n');
    put("long.lzvt", "TSWB|x\r\n" + name);
    MemoryWindow& w = start("e " + path("long.lzvt"));
    EXPECT_EQ(w.text(main_window::kSchemeName), name);
}

TEST_F(EditorApp, DeleteAndCopySteps) {
    MemoryWindow& w = start();
    w.appendRows(main_window::kSteps, {"TSWB|1", gbk("TSWB|第二"), "TSWB|3"});
    w.click(main_window::kDeleteStep);
    w.click(main_window::kCopyStep);
    EXPECT_EQ(w.rowCount(main_window::kSteps), 3) << "delete without a selection does nothing";
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kNothingSelectedMessage}));

    w.selectRow(main_window::kSteps, 1);
    w.click(main_window::kCopyStep);
    EXPECT_EQ(clipboard_.content, "TSWB|第二") << "the characters, without a line break";
    EXPECT_EQ(w.rowCount(main_window::kSteps), 3);
    EXPECT_EQ(desktop_.messages.back(), kCopiedMessage);

    clipboard_.refuse = true;
    w.click(main_window::kCopyStep);
    EXPECT_EQ(desktop_.messages.back(), kCopyFailedMessage);

    w.click(main_window::kDeleteStep);
    EXPECT_EQ(rows(w), (std::vector<std::string>{"TSWB|1", "TSWB|3"}));
}

TEST_F(EditorApp, AddStepWindowOpensInDeleteMode) {
    MemoryWindow& w = start();
    for (int opening = 0; opening < 2; ++opening) {
        addStep(w, [](MemoryWindow& add) {
            EXPECT_EQ(add.currentPage(add_step_window::kPages), add_step_window::kRegistryStepPage);
            EXPECT_TRUE(add.checked(add_step_window::kDeleteChoice));
            EXPECT_FALSE(add.enabled(add_step_window::kValueBox));
            EXPECT_FALSE(add.enabled(add_step_window::kTypeList));
            EXPECT_EQ(add.text(add_step_window::kValueBox), kDeleteModeText);
            add.click(add_step_window::kWriteChoice);
            EXPECT_TRUE(add.enabled(add_step_window::kValueBox));
            EXPECT_TRUE(add.enabled(add_step_window::kTypeList));
            EXPECT_EQ(add.text(add_step_window::kValueBox), kDeleteModeText);
            add.switchPage(add_step_window::kPages, add_step_window::kHintStepPage);
            add.pressEsc();
        });
    }
    EXPECT_EQ(w.rowCount(main_window::kSteps), 0) << "closing adds nothing";
}

TEST_F(EditorApp, ComposedStepLines) {
    MemoryWindow& w = start();
    addStep(w, [](MemoryWindow& add) { add.click(add_step_window::kAddRegistryStep); });
    addStep(w, [](MemoryWindow& add) {
        add.click(add_step_window::kWriteChoice);
        add.type(add_step_window::kPathBox, "HKEY_CURRENT_USER\\路径");
        add.click(add_step_window::kAddRegistryStep);  // value untouched, type never picked
    });
    addStep(w, [](MemoryWindow& add) {
        add.click(add_step_window::kWriteChoice);
        add.type(add_step_window::kPathBox, "P");
        add.type(add_step_window::kValueBox, "1");
        add.pick(add_step_window::kTypeList, 1);
        add.click(add_step_window::kAddRegistryStep);
    });
    addStep(w, [](MemoryWindow& add) {
        EXPECT_FALSE(add.pick(add_step_window::kTypeList, 2)) << "the list is disabled in delete mode";
        add.click(add_step_window::kWriteChoice);
        add.pick(add_step_window::kTypeList, 2);  // picked, then the window is closed
    });
    addStep(w, [](MemoryWindow& add) {
        add.click(add_step_window::kWriteChoice);
        add.click(add_step_window::kAddRegistryStep);  // the type picked in an earlier opening still holds
    });
    addStep(w, [](MemoryWindow& add) {
        add.click(add_step_window::kWriteChoice);
        add.click(add_step_window::kDeleteChoice);
        add.type(add_step_window::kPathBox, "D");
        add.click(add_step_window::kAddRegistryStep);
    });
    for (const char* hint : {"abc", "", "first\r\nsecond"}) {
        addStep(w, [hint](MemoryWindow& add) {
            add.switchPage(add_step_window::kPages, add_step_window::kHintStepPage);
            add.type(add_step_window::kHintBox, hint);
            add.click(add_step_window::kAddHint);
        });
    }
    EXPECT_EQ(rows(w), (std::vector<std::string>{
                           "ZCBSC||SC",
                           gbk("ZCBTJ|HKEY_CURRENT_USER\\路径|删除模式禁用|EJZSZ"),
                           "ZCBTJ|P|1|SZJZ",
                           gbk("ZCBTJ||删除模式禁用|ZCZ"),
                           "ZCBSC|D|SC",
                           "TSWB|abc",
                           "TSWB|",
                           "TSWB|first\r\nsecond",
                       }));
}

// ---- Registry files in and out ---------------------------------------------------------------

// A 5.00 registry file in UTF-16LE with its mark, from lines given in UTF-8.
std::string regFileBytes(std::initializer_list<std::string_view> lines) {
    std::string bytes = "\xFF\xFE";
    for (std::string_view line : lines) {
        for (char16_t unit : text::utf8ToUtf16(std::string(line) + "\r\n")) {
            bytes += static_cast<char>(unit & 0xFF);
            bytes += static_cast<char>(unit >> 8);
        }
    }
    return bytes;
}

TEST_F(EditorApp, ARegistryFileOpenedIsImportedAfterTheRowsAndNamesWhatItLeavesOut) {
    put("a.lzvt", "TSWB|first\r\nname");
    put("调整.REG", regFileBytes({"Windows Registry Editor Version 5.00", "[HKEY_CURRENT_USER\\T]",
                                  "\"n\"=dword:00000005", "\"e\"=hex(2):25,00,00,00", "\"gone\"=-"}));
    MemoryWindow& w = start("lzvtEditor.exe \"" + path("a.lzvt") + "\"");
    desktop_.answerFileDialog(path("调整.REG"));
    w.click(main_window::kOpen);
    EXPECT_EQ(rows(w), (std::vector<std::string>{"TSWB|first", "ZCBTJ|HKEY_CURRENT_USER\\T\\n|5|SZJZ",
                                                 "ZCBSC|HKEY_CURRENT_USER\\T\\gone|SC"}));
    EXPECT_EQ(w.text(main_window::kSchemeName), "调整");
    const std::string list = bytesOf("调整.REG.txt");
    EXPECT_EQ(list,
              "\xEF\xBB\xBF"
              "第 4 行：数据类型 hex(2) 在方案中没有对应的类型\r\n");
    ASSERT_EQ(desktop_.messages.size(), 1u);
    EXPECT_EQ(desktop_.messages[0],
              importedMessage(2, std::vector<LeftOut>{{4, "数据类型 hex(2) 在方案中没有对应的类型"}},
                              path("调整.REG.txt"), true));
    EXPECT_NE(desktop_.messages[0].find("第 4 行"), std::string::npos);

    // The steps came from no scheme file: 保存文件 writes nothing, and never into the .reg.
    const std::string regBytes = bytesOf("调整.REG");
    w.click(main_window::kSave);
    EXPECT_EQ(desktop_.messages.back(), kNoFileMessage);
    EXPECT_EQ(bytesOf("调整.REG"), regBytes);
    EXPECT_EQ(bytesOf("a.lzvt"), "TSWB|first\r\nname");
}

TEST_F(EditorApp, ARegistryFileOnTheCommandLineIsImportedAndANonRegistryFileSaidSo) {
    put("t.reg", regFileBytes({"REGEDIT4", "[HKEY_CURRENT_USER\\T]", "@=\"x\""}));
    put("junk.reg", "not a registry file");
    MemoryWindow& w = start("lzvtEditor.exe \"" + path("t.reg") + "\"");
    EXPECT_EQ(rows(w), (std::vector<std::string>{"ZCBTJ|HKEY_CURRENT_USER\\T\\|x|ZCZ"}));
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{"已导入 1 个步骤。"}));
    EXPECT_FALSE(fs::exists(root_ / "t.reg.txt")) << "nothing left out, no list";
    desktop_.answerFileDialog(path("junk.reg"));
    w.click(main_window::kOpen);
    EXPECT_EQ(desktop_.messages.back(), kNotARegFileMessage);
    EXPECT_EQ(w.rowCount(main_window::kSteps), 1);
}

TEST_F(EditorApp, SaveAsARegistryFileExportsTheSchemeAndSaysWhatItLeftOut) {
    put("s.lzvt", "ZCBTJ|HKEY_CURRENT_USER\\T\\v|7|SZJZ\r\nZCBTJ|HKEY_CURRENT_USER\\T\\w|seven|SZJZ\r\n" + gbk("方案"));
    MemoryWindow& w = start("lzvtEditor.exe \"" + path("s.lzvt") + "\"");
    desktop_.answerFileDialog(path("out.reg"));
    w.click(main_window::kSaveAs);
    const std::string exported = bytesOf("out.reg");
    ASSERT_EQ(exported.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(exported.find(std::string("d\0w\0o\0r\0d\0:\0", 12)), std::string::npos) << "the DWORD step";
    ASSERT_EQ(desktop_.messages.size(), 1u);
    EXPECT_TRUE(desktop_.messages[0].starts_with(kSavedMessage));
    EXPECT_NE(desktop_.messages[0].find("第 2 行"), std::string::npos) << desktop_.messages[0];
    EXPECT_EQ(bytesOf("s.lzvt").substr(0, 5), "ZCBTJ") << "the scheme file is untouched";
}

// ---- The file-type association ----------------------------------------------------------------

TEST_F(EditorApp, AssociationWritesFourEntriesInOrder) {
    process_.directory = path("LZ Vantor");
    MemoryWindow& w = start();
    w.click(main_window::kAssociate);
    w.click(main_window::kAssociate);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kAssociatedMessage, kAssociatedMessage}));
    std::vector<std::pair<std::u16string, std::u16string>> set;
    for (const registry::Write& write : registry_.writes()) {
        if (write.kind != registry::Write::Kind::ValueSet) continue;
        EXPECT_EQ(write.root, Root::ClassesRoot);
        EXPECT_EQ(write.name, u"");
        EXPECT_EQ(write.value.type, registry::ValueKind::String);
        const std::vector<std::uint8_t>& data = write.value.data;
        ASSERT_GE(data.size(), 2u);
        EXPECT_EQ(data[data.size() - 2] | data[data.size() - 1], 0) << "the terminating zero is counted";
        std::u16string value;
        for (size_t i = 0; i + 2 < data.size(); i += 2)
            value.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
        set.emplace_back(write.key, value);
    }
    const std::u16string exe = text::utf8ToUtf16(process_.directory + "\\lzvtEditor.exe");
    const std::vector<std::pair<std::u16string, std::u16string>> once = {
        {u".lzvt", u"lzvtfile"},
        {u"lzvtfile", u"lzvt"},
        {u"lzvtfile\\DefaultIcon", exe + u",0"},
        {u"lzvtfile\\shell\\open\\command", u"\"" + exe + u"\" \"%1\""},
    };
    ASSERT_EQ(set.size(), 8u);
    EXPECT_EQ(std::vector(set.begin(), set.begin() + 4), once);
    EXPECT_EQ(std::vector(set.begin() + 4, set.end()), once);
}

TEST_F(EditorApp, AssociationStopsAtTheFirstRefusedEntry) {
    process_.directory = path("LZ Vantor");
    registry_.refuseKeyWrites(Root::ClassesRoot, u"lzvtfile");
    MemoryWindow& w = start();
    w.click(main_window::kAssociate);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kAssociationFailedMessage}));
    EXPECT_TRUE(registry_.value(Root::ClassesRoot, u".lzvt", u"").has_value()) << "nothing is rolled back";
    EXPECT_FALSE(registry_.hasKey(Root::ClassesRoot, u"lzvtfile\\DefaultIcon"));
    EXPECT_FALSE(registry_.hasKey(Root::ClassesRoot, u"lzvtfile\\shell\\open\\command"));
}

// The lines of a UTF-16LE file with a byte-order mark, without their CR LF.
std::vector<std::u16string> regFileLines(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text +=
            static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) | static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    std::vector<std::u16string> lines;
    for (std::size_t start = 0, end; (end = text.find(u"\r\n", start)) != text.npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST_F(EditorApp, AssociationKeepsWhatItReplacesInAnUndoFileFirst) {
    process_.directory = path("LZ Vantor");
    registry_.putValue(Root::ClassesRoot, u".lzvt", u"", {registry::ValueKind::String, {'o', 0, 'l', 0, 'd', 0, 0, 0}});
    registry_.putValue(Root::ClassesRoot, u".lzvt", u"Content Type", {registry::ValueKind::String, {'x', 0, 0, 0}});
    registry_.putKey(Root::ClassesRoot, u"lzvtfile\\shell");  // there, without a default value
    MemoryWindow& w = start();
    w.click(main_window::kAssociate);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kAssociatedMessage}));
    const std::string undo = bytesOf("LZ Vantor/Undo/文件关联 2026-12-09 08-07-06.reg");
    ASSERT_FALSE(undo.empty());
    EXPECT_EQ(undo.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(regFileLines(undo), (std::vector<std::u16string>{
                                      u"Windows Registry Editor Version 5.00",
                                      u"",
                                      u"[-HKEY_CLASSES_ROOT\\lzvtfile\\shell\\open]",
                                      u"",
                                      u"[-HKEY_CLASSES_ROOT\\lzvtfile\\DefaultIcon]",
                                      u"",
                                      u"[HKEY_CLASSES_ROOT\\lzvtfile]",
                                      u"@=-",
                                      u"",
                                      u"[HKEY_CLASSES_ROOT\\.lzvt]",
                                      u"@=\"old\"",
                                      u"",
                                  }));
    // A second association in the same second gets a file of its own.
    w.click(main_window::kAssociate);
    EXPECT_FALSE(bytesOf("LZ Vantor/Undo/文件关联 2026-12-09 08-07-06 (2).reg").empty());
}

TEST_F(EditorApp, AssociationWithoutAWayBackWritesNothing) {
    process_.directory = path("LZ Vantor");
    ReadOnlyFiles readOnly;  // no folder can be written
    MemoryWindow& w = start("lzvtEditor.exe", &readOnly);
    w.click(main_window::kAssociate);
    registry_.failKeyTests();  // the registry cannot tell what is there
    MemoryWindow& again = start();
    again.click(main_window::kAssociate);
    EXPECT_EQ(desktop_.messages, (std::vector<std::string>{kAssociationFailedMessage, kAssociationFailedMessage}));
    EXPECT_TRUE(registry_.writes().empty());
    EXPECT_FALSE(fs::exists(root_ / "LZ Vantor" / "Undo" / fsPath("文件关联 2026-12-09 08-07-06.reg")));
}

}  // namespace
}  // namespace lz::editor
