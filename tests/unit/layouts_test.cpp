// Consistency of the window tables of both programs: the mistakes a hand-written table invites
// (a name whose kind word lies, a page control without its tab, an event bound twice or on
// the wrong control) and the few texts whose exact form matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "editor/layouts.h"
#include "optimizer/layouts.h"

namespace lz::ui {
namespace {

struct Named {
    const char* program;
    const WindowLayout& (*layout)();
};

const Named kAllWindows[] = {
    {"optimizer main", optimizer::mainWindowLayout},
    {"optimizer runner", optimizer::runnerWindowLayout},
    {"optimizer management", optimizer::managementWindowLayout},
    {"optimizer about", optimizer::aboutWindowLayout},
    {"optimizer more products", optimizer::moreProductsWindowLayout},
    {"editor main", editor::mainWindowLayout},
    {"editor add step", editor::addStepWindowLayout},
};

// A control's name is its kind word and a number; the word must match the kind.
ControlKind kindOfName(const std::string& name) {
    static const std::vector<std::pair<std::string, ControlKind>> words = {
        {"超级列表框", ControlKind::ListView},  {"超级编辑框", ControlKind::RichEdit},
        {"超文本浏览框", ControlKind::Browser}, {"通用对话框", ControlKind::FileDialog},
        {"编辑框", ControlKind::Edit},          {"按钮", ControlKind::Button},
        {"标签", ControlKind::Label},           {"组合框", ControlKind::ComboBox},
        {"单选框", ControlKind::Radio},         {"选择夹", ControlKind::Tab},
    };
    for (const auto& [word, kind] : words)
        if (name.rfind(word, 0) == 0 && name.size() > word.size() &&
            std::all_of(name.begin() + static_cast<long>(word.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; }))
            return kind;
    ADD_FAILURE() << "control name without a kind word and number: " << name;
    return ControlKind::Button;
}

TEST(Layouts, NamesAreUniqueAndTellTheKind) {
    for (const Named& n : kAllWindows) {
        std::set<std::string> seen;
        for (const ControlLayout& c : n.layout().controls) {
            EXPECT_TRUE(seen.insert(c.name).second) << n.program << ": " << c.name << " twice";
            EXPECT_EQ(kindOfName(c.name), c.kind) << n.program << ": " << c.name;
        }
    }
}

TEST(Layouts, ControlIdsAreFoundByNameBothWays) {
    for (const Named& n : kAllWindows) {
        const WindowLayout& w = n.layout();
        std::set<int> ids;
        for (const ControlLayout& c : w.controls) {
            const int id = w.idOf(c.name);
            EXPECT_TRUE(ids.insert(id).second) << n.program << ": " << c.name;
            EXPECT_EQ(w.nameOfId(id), c.name) << n.program;
        }
        EXPECT_THROW(w.idOf("按钮999"), ui::UnknownControl) << n.program;
        EXPECT_EQ(w.nameOfId(kFirstControlId - 1), "") << n.program;
        EXPECT_EQ(w.nameOfId(kFirstControlId + static_cast<int>(w.controls.size())), "") << n.program;
    }
}

TEST(Layouts, PageControlsSitOnAnEarlierTabAndAnExistingPage) {
    for (const Named& n : kAllWindows) {
        const WindowLayout& w = n.layout();
        for (size_t i = 0; i < w.controls.size(); ++i) {
            const ControlLayout& c = w.controls[i];
            if (c.tab.empty()) {
                EXPECT_EQ(c.page, -1) << n.program << ": " << c.name;
                continue;
            }
            int tab = w.indexOf(c.tab);
            ASSERT_GE(tab, 0) << n.program << ": " << c.name << " names a missing tab";
            EXPECT_LT(tab, static_cast<int>(i)) << n.program << ": the tab must be built before " << c.name;
            EXPECT_EQ(w.controls[static_cast<size_t>(tab)].kind, ControlKind::Tab);
            EXPECT_GE(c.page, 0);
            EXPECT_LT(c.page, static_cast<int>(w.controls[static_cast<size_t>(tab)].pages.size())) << c.name;
        }
    }
}

// The bound events of every window, written out once more as the list a reviewer checks
// against: any table entry that binds too much or too little shows here.
TEST(Layouts, EventsAreBoundExactlyWhereTheWindowsReact) {
    auto bound = [](const WindowLayout& w) {
        std::ostringstream out;
        if (w.onCreated) out << "created ";
        for (const ControlLayout& c : w.controls)
            for (Event e : c.events)
                out << c.name
                    << (e == Event::Clicked     ? ":click "
                        : e == Event::MouseDown ? ":down "
                        : e == Event::Selected  ? ":pick "
                                                : ":page ");
        return out.str();
    };
    EXPECT_EQ(bound(optimizer::mainWindowLayout()),
              "created 标签6:down 按钮5:click 按钮6:click 按钮7:click 按钮8:click 按钮1:click 按钮4:click "
              "按钮3:click 按钮10:click ");
    EXPECT_EQ(bound(optimizer::runnerWindowLayout()),
              "created 按钮1:click 按钮5:click 按钮2:click 按钮4:click 按钮3:click ");
    EXPECT_EQ(bound(optimizer::managementWindowLayout()), "created 按钮1:click 按钮2:click 按钮3:click ");
    EXPECT_EQ(bound(optimizer::aboutWindowLayout()), "");
    EXPECT_EQ(bound(optimizer::moreProductsWindowLayout()), "created ");
    EXPECT_EQ(bound(editor::mainWindowLayout()),
              "created 按钮4:click 按钮5:click 按钮6:click 按钮1:click 按钮2:click 按钮3:click 按钮8:click ");
    EXPECT_EQ(bound(editor::addStepWindowLayout()),
              "created 选择夹1:page 单选框1:click 单选框2:click 组合框1:pick 按钮1:click 按钮2:click ");
}

TEST(Layouts, RunnerTabStripLiesAboveTheClientArea) {
    const WindowLayout& w = optimizer::runnerWindowLayout();
    EXPECT_EQ(w.caption, std::string(21, ' ') + "方案优化");
    EXPECT_FALSE(w.closeButton);
    const ControlLayout* tab = w.find("选择夹1");
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->rect, (Rect{0, -22, 400, 176}));
    // Page controls are placed relative to the tab control.
    EXPECT_EQ(w.clientRect(*w.find("编辑框1")), (Rect{80, 26, 304, 20}));
    EXPECT_EQ(w.find("超级列表框1")->cells, CellEncoding::Gbk);
}

TEST(Layouts, AboutBannerIsThirteenLinesOf124DrawingCharacters) {
    const std::string banner = optimizer::aboutWindowLayout().find("编辑框1")->text;
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = banner.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(banner.substr(start, end - start));
    EXPECT_EQ(start, banner.size()) << "the last line ends with CR LF too";
    ASSERT_EQ(lines.size(), 13u);
    for (const std::string& line : lines) {
        EXPECT_EQ(line.size(), 124u);
        EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char c) {
            return c == '.' || c == ',' || c == ':' || c == ';' || std::isalnum(static_cast<unsigned char>(c));
        })) << line;
    }
    EXPECT_NE(banner.find_first_not_of(".\r\n"), std::string::npos) << "a banner of dots alone draws nothing";
}

TEST(Layouts, AboutTextsArePaddedAsDrawn) {
    const WindowLayout& w = optimizer::aboutWindowLayout();
    const std::string studio = w.find("编辑框3")->text;
    EXPECT_EQ(studio.substr(0, 105), std::string(90, ' ') + std::string(15, '.'));
    EXPECT_NE(studio.find("关于岚舟工作室" + std::string(72, ' ') + std::string(11, '.') + "\r\n"), std::string::npos);
    EXPECT_FALSE(w.find("编辑框3")->readOnly);
    const std::string software = w.find("编辑框2")->text;
    EXPECT_EQ(software.rfind(std::string(86, ' ') + std::string(6, '.')), software.size() - 92);
    EXPECT_NE(software.find(std::string(94, ' ') + std::string(12, '.') + " \r\n"), std::string::npos);
}

TEST(Layouts, EditorStatesThatNeverChange) {
    const WindowLayout& w = editor::mainWindowLayout();
    EXPECT_FALSE(w.find("按钮7")->enabled);
    EXPECT_FALSE(w.find("按钮9")->enabled);
    EXPECT_EQ(w.find("编辑框2")->limit, 20);
    EXPECT_EQ(w.find("编辑框2")->text, "MY 方案");
    // The text holders lie below the client area (outer height 284).
    EXPECT_GE(w.find("编辑框1")->rect.y, 284 - 30);
    EXPECT_GE(w.find("超级编辑框1")->rect.y, 284 - 30);
    for (const char* dialog : {"通用对话框1", "通用对话框2"}) {
        EXPECT_EQ(w.find(dialog)->filter, "方案文件（*.lzvt）|*.lzvt|注册表文件（*.reg）|*.reg");
        EXPECT_EQ(w.find(dialog)->defaultExtension, ".lzvt");
    }
    EXPECT_TRUE(w.find("通用对话框1")->fileMustExist);
    EXPECT_FALSE(w.find("通用对话框2")->fileMustExist);
    EXPECT_TRUE(w.find("通用对话框2")->promptCreate);
}

}  // namespace
}  // namespace lz::ui
