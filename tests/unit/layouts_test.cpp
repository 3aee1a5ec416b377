// Consistency of the window tables of both programs: the mistakes a hand-written table invites
// (a name whose kind word lies, a page control without its tab, a purpose given to a control of
// the wrong kind) and the few texts whose exact form matters.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "editor/layouts.h"
#include "optimizer/layouts.h"
#include "platform/ui/window.h"

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

// The names handlers and tests use say what a control does; each must be the control whose
// caption says the same, so that a slip between two numbers (按钮1 for 按钮2) shows here.
TEST(Layouts, EachPurposeNamesTheControlCaptionedForIt) {
    namespace om = optimizer::main_window;
    namespace orun = optimizer::runner_window;
    namespace omg = optimizer::management_window;
    namespace em = editor::main_window;
    namespace ea = editor::add_step_window;
    struct Purpose {
        const WindowLayout& window;
        std::string_view name;
        ControlKind kind;
        std::string_view caption;
    };
    const WindowLayout& main = optimizer::mainWindowLayout();
    const WindowLayout& runner = optimizer::runnerWindowLayout();
    const WindowLayout& management = optimizer::managementWindowLayout();
    const WindowLayout& editor = editor::mainWindowLayout();
    const WindowLayout& add = editor::addStepWindowLayout();
    const Purpose purposes[] = {
        {main, om::kManageLink, ControlKind::Label, "方案管理"},
        {main, om::kMoreProducts, ControlKind::Button, "更多智能软件"},
        {main, om::kUpcoming, ControlKind::Button, "即将更新"},
        {main, om::kAboutSoftware, ControlKind::Button, "关于软件"},
        {main, om::kAboutStudio, ControlKind::Button, "关于岚舟"},
        {main, om::kStart, ControlKind::Button, "启动方案"},
        {main, om::kDownload, ControlKind::Button, "下载方案"},
        {main, om::kBuy, ControlKind::Button, "购买方案"},
        {main, om::kMake, ControlKind::Button, "制作方案"},
        {main, om::kChange, ControlKind::Button, "修改方案"},
        {runner, orun::kSkip, ControlKind::Button, "跳过这步"},
        {runner, orun::kLeaveRegistryStep, ControlKind::Button, "退出优化"},
        {runner, orun::kExecute, ControlKind::Button, "执行"},
        {runner, orun::kLeaveHint, ControlKind::Button, "退出优化"},
        {runner, orun::kNext, ControlKind::Button, "下一步"},
        {management, omg::kHowToInstall, ControlKind::Button, "如何安装方案"},
        {management, omg::kDelete, ControlKind::Button, "删除方案"},
        {management, omg::kExit, ControlKind::Button, "退出"},
        {editor, em::kOpen, ControlKind::Button, "打开文件"},
        {editor, em::kSave, ControlKind::Button, "保存文件"},
        {editor, em::kSaveAs, ControlKind::Button, "另存为"},
        {editor, em::kAddStep, ControlKind::Button, "添加步骤"},
        {editor, em::kDeleteStep, ControlKind::Button, "删除步骤"},
        {editor, em::kCopyStep, ControlKind::Button, "复制步骤"},
        {editor, em::kAssociate, ControlKind::Button, "关联方案文件"},
        {editor, em::kTranslateSteps, ControlKind::Button, "中文化步骤"},
        {editor, em::kMoreSettings, ControlKind::Button, "更多设置"},
        {editor, em::kOpenDialog, ControlKind::FileDialog, "选择方案文件LZVT"},
        {editor, em::kSaveAsDialog, ControlKind::FileDialog, "另存为路径"},
        {add, ea::kDeleteChoice, ControlKind::Radio, "删除注册表"},
        {add, ea::kWriteChoice, ControlKind::Radio, "添加/编辑注册表"},
    };
    for (const Purpose& p : purposes) {
        const ControlLayout* c = p.window.find(p.name);
        ASSERT_NE(c, nullptr) << p.window.caption << " has no " << p.name;
        EXPECT_EQ(c->kind, p.kind) << p.name;
        EXPECT_EQ(c->text, p.caption) << p.window.caption << ": " << p.name;
    }
    // The two 添加 buttons and the boxes: each on the page it serves.
    EXPECT_EQ(add.find(ea::kAddRegistryStep)->page, ea::kRegistryStepPage);
    EXPECT_EQ(add.find(ea::kValueBox)->page, ea::kRegistryStepPage);
    EXPECT_EQ(add.find(ea::kAddHint)->page, ea::kHintStepPage);
    EXPECT_EQ(add.find(ea::kHintBox)->page, ea::kHintStepPage);
    EXPECT_EQ(runner.find(orun::kPathBox)->page, orun::kRegistryPage);
    EXPECT_EQ(runner.find(orun::kHintBox)->page, orun::kHintPage);
    EXPECT_EQ(runner.find(orun::kSchemeLines)->page, orun::kLinesPage);
}

// A handler bound where nothing can raise it is refused before the window opens.
TEST(Layouts, BindingsTheWindowCannotRaiseAreRefused) {
    const WindowLayout& main = optimizer::mainWindowLayout();
    auto check = [&main](std::string_view control, Event event) {
        Handlers h;
        h.on(control, event, [](Window&) {});
        h.checkAgainst(main);
    };
    EXPECT_NO_THROW(check({}, Event::Created));
    EXPECT_NO_THROW(check(optimizer::main_window::kStart, Event::Clicked));
    EXPECT_NO_THROW(check(optimizer::main_window::kManageLink, Event::MouseDown));
    EXPECT_THROW(check("按钮99", Event::Clicked), UnknownControl);
    EXPECT_THROW(check(optimizer::main_window::kSchemeList, Event::Clicked), WrongKind);
    EXPECT_THROW(check("标签1", Event::MouseDown), WrongKind) << "a label that is not a link takes no mouse press";
    EXPECT_THROW(check(optimizer::main_window::kStart, Event::Created), WrongKind);
    EXPECT_THROW(check(optimizer::main_window::kStart, Event::Selected), WrongKind);
    const WindowLayout& add = editor::addStepWindowLayout();
    Handlers picks;
    picks.on(editor::add_step_window::kTypeList, Event::Selected, [](Window&) {});
    picks.on(editor::add_step_window::kPages, Event::PageChanged, [](Window&) {});
    picks.on(editor::add_step_window::kWriteChoice, Event::Clicked, [](Window&) {});
    EXPECT_NO_THROW(picks.checkAgainst(add));
    EXPECT_THROW(picks.checkAgainst(main), UnknownControl) << "组合框1 is not in the optimizer's main window";
}

TEST(Layouts, RunnerTabStripLiesAboveTheClientArea) {
    const WindowLayout& w = optimizer::runnerWindowLayout();
    EXPECT_EQ(w.caption, std::string(21, ' ') + "方案优化");
    EXPECT_FALSE(w.closeButton);
    const ControlLayout* tab = w.find(optimizer::runner_window::kPages);
    ASSERT_NE(tab, nullptr);
    EXPECT_EQ(tab->rect, (Rect{0, -22, 400, 176}));
    // Page controls are placed relative to the tab control.
    EXPECT_EQ(w.clientRect(*w.find(optimizer::runner_window::kPathBox)), (Rect{80, 26, 304, 20}));
    EXPECT_EQ(w.find(optimizer::runner_window::kSchemeLines)->cells, CellEncoding::Gbk);
}

TEST(Layouts, AboutBannerIsThirteenLinesOf124DrawingCharacters) {
    const std::string banner = optimizer::aboutWindowLayout().find(optimizer::about_window::kBanner)->text;
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
    const std::string studio = w.find(optimizer::about_window::kAboutStudio)->text;
    EXPECT_EQ(studio.substr(0, 105), std::string(90, ' ') + std::string(15, '.'));
    EXPECT_NE(studio.find("关于岚舟工作室" + std::string(72, ' ') + std::string(11, '.') + "\r\n"), std::string::npos);
    EXPECT_FALSE(w.find(optimizer::about_window::kAboutStudio)->readOnly);
    const std::string software = w.find(optimizer::about_window::kAboutSoftware)->text;
    EXPECT_EQ(software.rfind(std::string(86, ' ') + std::string(6, '.')), software.size() - 92);
    EXPECT_NE(software.find(std::string(94, ' ') + std::string(12, '.') + " \r\n"), std::string::npos);
}

TEST(Layouts, EditorStatesThatNeverChange) {
    using namespace editor::main_window;
    const WindowLayout& w = editor::mainWindowLayout();
    EXPECT_FALSE(w.find(kMoreSettings)->enabled);
    EXPECT_FALSE(w.find(kTranslateSteps)->enabled);
    EXPECT_EQ(w.find(kSchemeName)->limit, 20);
    EXPECT_EQ(w.find(kSchemeName)->text, "MY 方案");
    // The text holders lie below the client area (outer height 284).
    EXPECT_GE(w.find(kPathHolder)->rect.y, 284 - 30);
    EXPECT_GE(w.find(kTextHolder)->rect.y, 284 - 30);
    for (std::string_view dialog : {kOpenDialog, kSaveAsDialog}) {
        EXPECT_EQ(w.find(dialog)->filter, "方案文件（*.lzvt）|*.lzvt|注册表文件（*.reg）|*.reg");
        EXPECT_EQ(w.find(dialog)->defaultExtension, ".lzvt");
    }
    EXPECT_TRUE(w.find(kOpenDialog)->fileMustExist);
    EXPECT_FALSE(w.find(kSaveAsDialog)->fileMustExist);
    EXPECT_TRUE(w.find(kSaveAsDialog)->promptCreate);
}

}  // namespace
}  // namespace lz::ui
