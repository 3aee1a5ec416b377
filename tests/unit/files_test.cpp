// The portable file service on real files in a temporary folder. Paths are built the way the
// programs build them: a folder, "\" and a name.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/files.h"
#include "testing/portable_files.h"
#include "testing/wildcard.h"

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace lz::files {
namespace {

namespace fs = std::filesystem;
using test_support::matchesWildcard;
using test_support::PortableFiles;

fs::path fromUtf8(std::string_view utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const auto& name : names) joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device random;
        root_ = fs::temp_directory_path() / ("lz-files-" + std::to_string(random()));
        fs::create_directories(root_);
        const std::u8string text = root_.u8string();
        dir_ = std::string(text.begin(), text.end());
    }
    void TearDown() override {
        std::error_code error;
        fs::permissions(root_, fs::perms::owner_all, error);
        fs::remove_all(root_, error);
    }

    // The path of `name` in the temporary folder, with a backslash the way the programs write it.
    std::string at(std::string_view name) const { return dir_ + "\\" + std::string(name); }

    void put(std::string_view name, std::string_view bytes) const {
        std::ofstream out(root_ / fromUtf8(name), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        ASSERT_TRUE(out.good()) << name;
    }
    std::string content(std::string_view name) const {
        std::ifstream in(root_ / fromUtf8(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Everything in the temporary folder, folders included, sorted.
    std::string listing() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_)) {
            const std::u8string name = entry.path().filename().u8string();
            names.emplace_back(name.begin(), name.end());
        }
        return sorted(names);
    }

    fs::path root_;
    std::string dir_;
    PortableFiles files_;
};

struct WildcardCase {
    const char* pattern;
    const char* name;
    bool matches;
};

TEST(Wildcard, MatchesLikeWindowsFileNames) {
    const WildcardCase cases[] = {
        {"*.lzvt", "a.lzvt", true},
        {"*.lzvt", ".lzvt", true},
        {"*.lzvt", "a.LZVT", true},
        {"*.lzvt", "a.lzvtx", false},
        {"*.lzvt", "a.lzv", false},
        {"*.lzvt", "a.lzvt.txt", false},
        {"*.lzvt", "x.lzvt.lzvt", true},
        {"*.lzvt", "优化方案.lzvt", true},
        {"?.lzvt", "优.lzvt", true},  // one character, three bytes
        {"?.lzvt", "ab.lzvt", false},
        {"a?c", "ac", false},
        {"a*b*c", "axxbyybc", true},
        {"a*b*c", "axxbyyb", false},
        {"*", "", true},
        {"", "", true},
        {"", "a", false},
        {"**a", "ba", true},
        {"Ä*", "ä", false},  // only ASCII letters fold
        // A byte that starts no well-formed character is one character, itself and no other.
        {"?", "\xFF", true},
        {"a??", "a\xE4\xB8", true},     // cut short: two bytes
        {"???", "\xED\xA0\x80", true},  // an encoded surrogate: three bytes
        {"\xFF", "\xFE", false},
        {"\xE9", "é", false},  // not the character of the same number
        {"*\xE4", "中", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(matchesWildcard(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
}

TEST_F(FilesTest, FindListsMatchingFilesOnlyByName) {
    put("a.lzvt", "1");
    put("方案二.lzvt", "2");
    put("notes.txt", "3");
    fs::create_directory(root_ / "x.lzvt");
    fs::create_directory(root_ / "sub");
    put("sub/deep.lzvt", "4");

    EXPECT_EQ(sorted(files_.find(at("*.lzvt"))), "a.lzvt,方案二.lzvt");
    EXPECT_EQ(sorted(files_.find(at("*"))), "a.lzvt,notes.txt,方案二.lzvt");
    EXPECT_EQ(sorted(files_.find(at("*.txt"))), "notes.txt");
    EXPECT_TRUE(files_.find(at("sub\\*.txt")).empty());
    EXPECT_TRUE(files_.find(at("missing\\*.lzvt")).empty());
    EXPECT_TRUE(files_.find(at("a.lzvt\\*.lzvt")).empty());  // a file is not a folder
}

TEST_F(FilesTest, SizeInBytesOfFilesOnly) {
    put("empty.lzvt", "");
    put("mid.lzvt", std::string(1536, 'x'));
    fs::create_directory(root_ / "folder.lzvt");

    EXPECT_EQ(files_.size(at("empty.lzvt")), 0);
    EXPECT_EQ(files_.size(at("mid.lzvt")), 1536);
    EXPECT_EQ(files_.size(at("missing.lzvt")), std::nullopt);
    EXPECT_EQ(files_.size(at("folder.lzvt")), std::nullopt);
}

TEST_F(FilesTest, RemoveDeletesFilesButNeverFolders) {
    put("方案.lzvt", "x");
    fs::create_directory(root_ / "Optimal");

    EXPECT_TRUE(files_.remove(at("方案.lzvt")));
    EXPECT_FALSE(fs::exists(root_ / fromUtf8("方案.lzvt")));
    EXPECT_FALSE(files_.remove(at("方案.lzvt")));  // already gone
    // The path made from an empty selection ends in a backslash: the folder itself.
    EXPECT_FALSE(files_.remove(at("Optimal\\")));
    EXPECT_FALSE(files_.remove(at("Optimal")));
    EXPECT_TRUE(fs::is_directory(root_ / "Optimal"));
}

// Linux has no recycle bin: the file is left for the caller to delete for good, never deleted
// here, and what could not be removed either is refused.
TEST_F(FilesTest, RecycleFindsNoBinAndLeavesTheFileAlone) {
    put("方案.lzvt", "x");
    fs::create_directory(root_ / "Optimal");

    EXPECT_EQ(files_.recycle(at("方案.lzvt")), Files::Recycled::NoBin);
    EXPECT_EQ(content("方案.lzvt"), "x");
    EXPECT_EQ(files_.recycle(at("missing.lzvt")), Files::Recycled::Failed);
    EXPECT_EQ(files_.recycle(at("Optimal\\")), Files::Recycled::Failed);
    EXPECT_EQ(files_.recycle(at("Optimal")), Files::Recycled::Failed);
    EXPECT_EQ(listing(), "Optimal,方案.lzvt");
}

TEST_F(FilesTest, ReadAllGivesTheExactBytes) {
    const std::string bytes = std::string("TSWB|\xC4\xE3\xBA\xC3\r\n\0name", 16);
    put("a.lzvt", bytes);
    fs::create_directory(root_ / "folder.lzvt");

    EXPECT_EQ(files_.readAll(at("a.lzvt")), bytes);
    EXPECT_EQ(files_.readAll(at("missing.lzvt")), std::nullopt);
    EXPECT_EQ(files_.readAll(at("folder.lzvt")), std::nullopt);
}

TEST_F(FilesTest, HeldFileReadsTheContentAndStaysReadable) {
    put("held.lzvt", "step\r\nname");
    std::optional<HeldFile> held = files_.openHeld(at("held.lzvt"));
    ASSERT_TRUE(held.has_value());
    EXPECT_TRUE(held->isOpen());
    EXPECT_EQ(held->content(), "step\r\nname");
    // The optimizer can still run a scheme the editor holds.
    EXPECT_EQ(files_.readAll(at("held.lzvt")), "step\r\nname");

    HeldFile moved = std::move(*held);
    EXPECT_TRUE(moved.isOpen());
    moved.close();
    EXPECT_FALSE(moved.isOpen());
    EXPECT_EQ(moved.content(), "step\r\nname");
    EXPECT_FALSE(HeldFile().isOpen());

    fs::create_directory(root_ / "folder.lzvt");
    EXPECT_FALSE(files_.openHeld(at("missing.lzvt")).has_value());
    EXPECT_FALSE(files_.openHeld(at("folder.lzvt")).has_value());
    EXPECT_FALSE(fs::exists(root_ / "missing.lzvt"));  // opening does not create it
}

TEST_F(FilesTest, WriteAllCreatesAndReplacesLeavingNoTemporaryFile) {
    EXPECT_TRUE(files_.writeAll(at("新方案.lzvt"), "first version, long\r\nname"));
    EXPECT_EQ(content("新方案.lzvt"), "first version, long\r\nname");
    EXPECT_TRUE(files_.writeAll(at("新方案.lzvt"), "short"));
    EXPECT_EQ(content("新方案.lzvt"), "short");
    EXPECT_TRUE(files_.writeAll(at("新方案.lzvt"), ""));
    EXPECT_EQ(content("新方案.lzvt"), "");
    EXPECT_EQ(listing(), "新方案.lzvt");
}

TEST_F(FilesTest, WriteAllOntoAFolderOrIntoAMissingOneFailsAndChangesNothing) {
    fs::create_directory(root_ / "x.lzvt");
    put("x.lzvt/inside.txt", "kept");
    EXPECT_FALSE(files_.writeAll(at("x.lzvt"), "bytes"));
    EXPECT_EQ(content("x.lzvt/inside.txt"), "kept");
    EXPECT_EQ(listing(), "x.lzvt");
    EXPECT_FALSE(files_.writeAll(at(""), "bytes"));  // a folder path ending in a backslash
    EXPECT_FALSE(files_.writeAll(at("missing\\a.lzvt"), "bytes"));
    EXPECT_EQ(listing(), "x.lzvt");
}

TEST_F(FilesTest, WriteNewNeverTakesTheNameOfAnotherFileOrFolder) {
    EXPECT_EQ(files_.writeNew(at("撤销.reg"), "first"), Files::NewFile::Written);
    EXPECT_EQ(files_.writeNew(at("撤销.reg"), "second"), Files::NewFile::Exists);
    EXPECT_EQ(content("撤销.reg"), "first");
    fs::create_directory(root_ / "folder.reg");
    EXPECT_EQ(files_.writeNew(at("folder.reg"), "x"), Files::NewFile::Exists);
    EXPECT_EQ(files_.writeNew(at("missing\\a.reg"), "x"), Files::NewFile::Failed);
    EXPECT_EQ(listing(), "folder.reg,撤销.reg") << "no temporary file is left";
}

TEST_F(FilesTest, MakeFoldersMakesEveryMissingFolderOnThePath) {
    EXPECT_TRUE(files_.makeFolders(at("a\\撤销\\c\\")));
    EXPECT_TRUE(fs::is_directory(root_ / "a" / fromUtf8("撤销") / "c"));
    EXPECT_TRUE(files_.makeFolders(at("a\\撤销"))) << "a folder that is there";
    put("file", "x");
    EXPECT_FALSE(files_.makeFolders(at("file")));
    EXPECT_FALSE(files_.makeFolders(at("file\\below")));
    EXPECT_EQ(content("file"), "x");
}

#ifndef _WIN32
// A write that breaks off half way (here: over the process's file-size limit, as when the disk
// is full) must leave the old file whole and take its temporary file away.
TEST_F(FilesTest, WriteAllThatBreaksOffKeepsTheOldFile) {
    put("a.lzvt", "old bytes");
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = files_.writeAll(at("a.lzvt"), std::string(100000, 'n'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(content("a.lzvt"), "old bytes");
    EXPECT_EQ(listing(), "a.lzvt");
}

TEST_F(FilesTest, WriteAllIntoAReadOnlyFolderFails) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    put("a.lzvt", "old bytes");
    fs::permissions(root_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(files_.writeAll(at("a.lzvt"), "new"));
    fs::permissions(root_, fs::perms::owner_all);
    EXPECT_EQ(content("a.lzvt"), "old bytes");
    EXPECT_EQ(listing(), "a.lzvt");
}
#endif

}  // namespace
}  // namespace lz::files
