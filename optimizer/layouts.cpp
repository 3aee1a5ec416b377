#include "optimizer/layouts.h"

#include <string>

#include "platform/ui/builders.h"

namespace lz::optimizer {

using namespace ui;
using namespace ui::build;

namespace {

std::string blanksAndDots(int blanks, int dots) {
    return std::string(blanks, ' ') + std::string(dots, '.');
}

WindowLayout makeMain() {
    using namespace main_window;
    WindowLayout w;
    w.caption = "LZ Vantor（岚舟智能优化）";
    w.width = 453;
    w.height = 241;
    w.icon = true;

    ControlLayout manage = label(kManageLink, "方案管理", {264, 61, 88, 22});
    manage.link = true;
    manage.textColor = Color{0, 96, 192};
    manage.font = Font{"宋体", 14, false, true, true};

    ControlLayout schemes = list(kSchemeList, {{"方案名称", 343}}, {8, 88, 344, 72});
    schemes.fullRowSelect = true;
    schemes.gridLines = true;
    schemes.editLabels = true;
    schemes.flatScrollBars = true;

    ControlLayout holder = control(ControlKind::RichEdit, kTextHolder, {}, {24, 232, 352, 100});
    holder.multiline = true;
    holder.holder = true;

    w.controls = {
        label("标签1", "软件为便携式产品做到了最大的资源节省", {8, 8, 344, 21}),
        label("标签5", "LZ VT采用解决方案的方式优化 可根据用户的需求智能优化", {8, 33, 344, 23}),
        manage,
        label("标签4", "已有解决方案" + std::string(27, '-'), {8, 64, 256, 24}),
        schemes,
        button(kMoreProducts, "更多智能软件", {360, 8, 80, 32}),
        button(kUpcoming, "即将更新", {360, 48, 80, 32}),
        button(kAboutSoftware, "关于软件", {360, 88, 80, 32}),
        button(kAboutStudio, "关于岚舟", {360, 128, 80, 32}),
        button(kStart, "启动方案", {360, 168, 80, 32}),
        button(kDownload, "下载方案", {8, 168, 80, 32}),
        disabled(button(kBuy, "购买方案", {96, 168, 80, 32})),
        button(kMake, "制作方案", {184, 168, 80, 32}),
        button(kChange, "修改方案", {272, 168, 80, 32}),
        holder,
    };
    return w;
}

WindowLayout makeRunner() {
    using namespace runner_window;
    WindowLayout w;
    w.caption = std::string(21, ' ') + "方案优化";
    w.width = 399;
    w.height = 153;
    w.closeButton = false;

    ControlLayout tab = control(ControlKind::Tab, kPages, {}, {0, -22, 400, 176});
    tab.pages = {"注册表", "提示", "列表"};

    ControlLayout path = edit(kPathBox, "HKEY_CURRENT_USER\\abc\\abd", {80, 48, 304, 20});
    path.readOnly = true;
    ControlLayout value = edit(kValueBox, "", {80, 72, 304, 20});
    value.readOnly = true;
    ControlLayout hint = edit(kHintBox, "", {8, 48, 376, 61});
    hint.readOnly = true;
    hint.multiline = true;
    hint.vscroll = true;

    ControlLayout rows = list(kSchemeLines, {{"步骤内容", 372}}, {8, 32, 376, 100});
    rows.fullRowSelect = true;
    rows.cells = CellEncoding::Gbk;

    w.controls = {
        tab,
        onPage(label("标签1", "即将进行：", {8, 24, 64, 16}), kPages, kRegistryPage),
        onPage(label("标签2", "操作注册表：", {8, 48, 72, 24}), kPages, kRegistryPage),
        onPage(path, kPages, kRegistryPage),
        onPage(label("标签3", "值变为：", {8, 72, 64, 24}), kPages, kRegistryPage),
        onPage(value, kPages, kRegistryPage),
        onPage(button(kSkip, "跳过这步", {144, 104, 80, 32}), kPages, kRegistryPage),
        onPage(button(kLeaveRegistryStep, "退出优化", {224, 104, 80, 32}), kPages, kRegistryPage),
        onPage(button(kExecute, "执行", {304, 104, 80, 32}), kPages, kRegistryPage),
        onPage(label("标签4", "作者给您提示：", {8, 24, 80, 24}), kPages, kHintPage),
        onPage(hint, kPages, kHintPage),
        onPage(button(kLeaveHint, "退出优化", {224, 113, 80, 26}), kPages, kHintPage),
        onPage(button(kNext, "下一步", {304, 113, 80, 26}), kPages, kHintPage),
        onPage(rows, kPages, kLinesPage),
    };
    return w;
}

WindowLayout makeManagement() {
    using namespace management_window;
    WindowLayout w;
    w.caption = "方案管理";
    w.width = 305;
    w.height = 140;

    // No whole-row selection: a selected row is highlighted in its first column only.
    ControlLayout schemes =
        list(kSchemeList, {{"方案名称", 100}, {"方案路径", 100}, {"方案大小[KB]", 100}}, {0, 0, 300, 80});

    w.controls = {
        schemes,
        button(kHowToInstall, "如何安装方案", {0, 80, 80, 28}),
        button(kDelete, "删除方案", {108, 80, 80, 28}),
        button(kExit, "退出", {219, 80, 80, 28}),
    };
    return w;
}

// Our banner, drawn with characters: 13 lines of 124, dots for the background.
// clang-format off
const char* const kBannerText =
        "............................................................................................................................\r\n"
        "............................................................................................................................\r\n"
        "..........::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::::..........\r\n"
        "..........88..........8888888888..........88......88......88......88......88..8888888888....888888....88888888..............\r\n"
        "..........88..................88..........88......88....88..88....8888....88......88......88......88..88......88............\r\n"
        "..........88................88............88......88..88......88..88..88..88......88......88......88..88......88............\r\n"
        "..........88..............88..............88......88..88......88..88..88..88......88......88......88..88888888..............\r\n"
        "..........88............88..................88..88....8888888888..88....8888......88......88......88..88..88................\r\n"
        "..........88..........88....................88..88....88......88..88......88......88......88......88..88....88..............\r\n"
        "..........8888888888..8888888888..............88......88......88..88......88......88........888888....88......88............\r\n"
        "..........;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;;..........\r\n"
        "............................................................................................................................\r\n"
        "............................................................................................................................\r\n";
// clang-format on

WindowLayout makeAbout() {
    using namespace about_window;
    WindowLayout w;
    w.caption = "关于";
    w.width = 757;
    w.height = 303;

    auto textBox = [](std::string_view name, std::string text, Rect r, Color fg, Color bg, bool readOnly) {
        ControlLayout c = edit(name, text, r);
        c.multiline = true;
        c.border = false;
        c.readOnly = readOnly;
        c.textColor = fg;
        c.backColor = bg;
        return c;
    };
    const Font song{"宋体", 14, false, false, false};

    ControlLayout banner = textBox(kBanner, kBannerText, {0, 0, 752, 200}, {0, 0, 0}, {115, 115, 115}, true);
    banner.font = Font{"", 10, false, false, false, true};  // a drawing of characters keeps its columns
    ControlLayout studio =
        textBox(kAboutStudio,
                blanksAndDots(90, 15) + "\r\n" + "关于岚舟工作室" + blanksAndDots(72, 11) + "\r\n" +
                    "多人一组合，轻松愉快的工作环境，激发自己的潜能，加入我们？" + blanksAndDots(15, 8),
                {0, 160, 752, 48}, {215, 215, 215}, {96, 96, 96}, false);
    studio.font = song;
    ControlLayout software =
        textBox(kAboutSoftware,
                "关于软件" + blanksAndDots(79, 8) + "\r\n" +
                    "由岚舟工作室开发与设计，创新的优化软件，让您感觉焕然一新" + blanksAndDots(34, 9) + "\r\n" +
                    blanksAndDots(90, 11) + "\r\n" + blanksAndDots(94, 12) + " \r\n" + blanksAndDots(86, 6),
                {0, 208, 752, 64}, {213, 213, 213}, {64, 64, 64}, true);
    software.font = song;

    // The studio box comes first so that it lies on top where it overlaps the banner's last
    // lines of dots.
    w.controls = {studio, banner, software};
    return w;
}

WindowLayout makeMoreProducts() {
    using namespace more_products_window;
    WindowLayout w;
    w.caption = "更多产品";
    w.width = 275;
    w.height = 250;
    // Wider than the client area: the browser is clipped at the right edge.
    w.controls = {control(ControlKind::Browser, kBrowser, "", {0, 0, 288, 216})};
    return w;
}

}  // namespace

const WindowLayout& mainWindowLayout() {
    static const WindowLayout w = makeMain();
    return w;
}
const WindowLayout& runnerWindowLayout() {
    static const WindowLayout w = makeRunner();
    return w;
}
const WindowLayout& managementWindowLayout() {
    static const WindowLayout w = makeManagement();
    return w;
}
const WindowLayout& aboutWindowLayout() {
    static const WindowLayout w = makeAbout();
    return w;
}
const WindowLayout& moreProductsWindowLayout() {
    static const WindowLayout w = makeMoreProducts();
    return w;
}

}  // namespace lz::optimizer
