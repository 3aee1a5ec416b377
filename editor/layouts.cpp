#include "editor/layouts.h"

#include "platform/ui/builders.h"

namespace lz::editor {

using namespace ui;
using namespace ui::build;

namespace {

ControlLayout schemeDialog(std::string name, std::string title) {
    ControlLayout d = control(ControlKind::FileDialog, std::move(name), std::move(title), {});
    d.filter = "方案文件（*.lzvt）|*.lzvt|注册表文件（*.reg）|*.reg";
    d.defaultExtension = ".lzvt";
    return d;
}

WindowLayout makeMain() {
    WindowLayout w;
    w.caption = "LZ 优化方案编辑器";
    w.width = 366;
    w.height = 284;
    w.icon = true;
    w.onCreated = true;

    ControlLayout steps = list("超级列表框1", {{"步骤", 327}}, {16, 48, 328, 100});
    steps.fullRowSelect = true;
    steps.cells = CellEncoding::Gbk;

    ControlLayout name = edit("编辑框2", "MY 方案", {96, 224, 248, 20});
    name.limit = 20;

    ControlLayout textHolder = control(ControlKind::RichEdit, "超级编辑框1", {}, {136, 288, 32, 24});
    textHolder.multiline = true;
    textHolder.holder = true;
    ControlLayout pathHolder = edit("编辑框1", "", {56, 288, 80, 20});
    pathHolder.holder = true;

    ControlLayout open = schemeDialog("通用对话框1", "选择方案文件LZVT");
    open.fileMustExist = true;
    open.pathMustExist = true;
    ControlLayout saveAs = schemeDialog("通用对话框2", "另存为路径");
    saveAs.pathMustExist = true;
    saveAs.promptCreate = true;

    w.controls = {
        button("按钮4", "打开文件", {16, 8, 80, 32}),
        button("按钮5", "保存文件", {136, 8, 80, 32}),
        button("按钮6", "另存为", {264, 8, 80, 32}),
        steps,
        button("按钮1", "添加步骤", {16, 152, 80, 32}),
        button("按钮2", "删除步骤", {136, 152, 80, 32}),
        button("按钮3", "复制步骤", {264, 152, 80, 32}),
        button("按钮8", "关联方案文件", {16, 192, 80, 24}),
        disabled(button("按钮9", "中文化步骤", {136, 192, 80, 24}, false)),
        disabled(button("按钮7", "更多设置", {264, 192, 80, 24}, false)),
        label("标签1", "方案名称：", {16, 224, 80, 24}),
        name,
        pathHolder,
        textHolder,
        open,
        saveAs,
    };
    return w;
}

WindowLayout makeAddStep() {
    WindowLayout w;
    w.caption = "添加步骤";
    w.width = 247;
    w.height = 182;
    w.onCreated = true;

    ControlLayout tab = control(ControlKind::Tab, "选择夹1", {}, {0, 0, 240, 152});
    tab.pages = {"添加注册表操作", "添加提示操作"};
    tab.events = {Event::PageChanged};

    ControlLayout type = control(ControlKind::ComboBox, "组合框1", {}, {56, 120, 120, 20});
    type.items = {"二进制数值", "双字节值", "字串值"};
    type.prompt = "选择添加的值的类型";
    type.events = {Event::Selected};

    ControlLayout hint = edit("编辑框3", "", {72, 30, 160, 115});
    hint.multiline = true;
    hint.vscroll = true;

    const std::string t = "选择夹1";
    w.controls = {
        tab,
        onPage(radio("单选框1", "删除注册表", {8, 24, 80, 24}, true), t, kRegistryStepPage),
        onPage(radio("单选框2", "添加/编辑注册表", {120, 24, 112, 24}, false), t, kRegistryStepPage),
        onPage(label("标签1", "注册表项：", {8, 56, 64, 24}), t, kRegistryStepPage),
        onPage(edit("编辑框1", "", {72, 56, 160, 20}), t, kRegistryStepPage),
        onPage(label("标签2", "添加的值：", {8, 80, 64, 24}), t, kRegistryStepPage),
        onPage(edit("编辑框2", "", {72, 80, 160, 20}), t, kRegistryStepPage),
        onPage(label("标签3", "值类型：", {8, 120, 48, 24}), t, kRegistryStepPage),
        onPage(type, t, kRegistryStepPage),
        onPage(button("按钮1", "添加", {184, 116, 48, 23}), t, kRegistryStepPage),
        onPage(label("标签4", "提示文本：", {8, 24, 80, 24}), t, kHintStepPage),
        onPage(hint, t, kHintStepPage),
        onPage(button("按钮2", "添加", {8, 120, 56, 24}), t, kHintStepPage),
    };
    return w;
}

}  // namespace

const WindowLayout& mainWindowLayout() {
    static const WindowLayout w = makeMain();
    return w;
}
const WindowLayout& addStepWindowLayout() {
    static const WindowLayout w = makeAddStep();
    return w;
}

}  // namespace lz::editor
