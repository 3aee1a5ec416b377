#include "editor/layouts.h"

#include "platform/ui/builders.h"

namespace lz::editor {

using namespace ui;
using namespace ui::build;

namespace {

ControlLayout schemeDialog(std::string_view name, std::string_view title) {
    ControlLayout d = control(ControlKind::FileDialog, name, title, {});
    d.filter = "方案文件（*.lzvt）|*.lzvt|注册表文件（*.reg）|*.reg";
    d.defaultExtension = ".lzvt";
    return d;
}

WindowLayout makeMain() {
    using namespace main_window;
    WindowLayout w;
    w.caption = "LZ 优化方案编辑器";
    w.width = 366;
    w.height = 284;
    w.icon = true;

    ControlLayout steps = list(kSteps, {{"步骤", 327}}, {16, 48, 328, 100});
    steps.fullRowSelect = true;
    steps.cells = CellEncoding::Gbk;

    ControlLayout name = edit(kSchemeName, "MY 方案", {96, 224, 248, 20});
    name.limit = 20;

    ControlLayout textHolder = control(ControlKind::RichEdit, kTextHolder, {}, {136, 288, 32, 24});
    textHolder.multiline = true;
    textHolder.holder = true;
    ControlLayout pathHolder = edit(kPathHolder, "", {56, 288, 80, 20});
    pathHolder.holder = true;

    ControlLayout open = schemeDialog(kOpenDialog, "选择方案文件LZVT");
    open.fileMustExist = true;
    open.pathMustExist = true;
    ControlLayout saveAs = schemeDialog(kSaveAsDialog, "另存为路径");
    saveAs.pathMustExist = true;
    saveAs.promptCreate = true;

    w.controls = {
        button(kOpen, "打开文件", {16, 8, 80, 32}),
        button(kSave, "保存文件", {136, 8, 80, 32}),
        button(kSaveAs, "另存为", {264, 8, 80, 32}),
        steps,
        button(kAddStep, "添加步骤", {16, 152, 80, 32}),
        button(kDeleteStep, "删除步骤", {136, 152, 80, 32}),
        button(kCopyStep, "复制步骤", {264, 152, 80, 32}),
        button(kAssociate, "关联方案文件", {16, 192, 80, 24}),
        disabled(button(kTranslateSteps, "中文化步骤", {136, 192, 80, 24})),
        disabled(button(kMoreSettings, "更多设置", {264, 192, 80, 24})),
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
    using namespace add_step_window;
    WindowLayout w;
    w.caption = "添加步骤";
    w.width = 247;
    w.height = 182;

    ControlLayout tab = control(ControlKind::Tab, kPages, {}, {0, 0, 240, 152});
    tab.pages = {"添加注册表操作", "添加提示操作"};

    ControlLayout type = control(ControlKind::ComboBox, kTypeList, {}, {56, 120, 120, 20});
    type.items = {"二进制数值", "双字节值", "字串值"};
    type.prompt = "选择添加的值的类型";

    ControlLayout hint = edit(kHintBox, "", {72, 30, 160, 115});
    hint.multiline = true;
    hint.vscroll = true;

    const std::string_view t = kPages;
    w.controls = {
        tab,
        onPage(radio(kDeleteChoice, "删除注册表", {8, 24, 80, 24}, true), t, kRegistryStepPage),
        onPage(radio(kWriteChoice, "添加/编辑注册表", {120, 24, 112, 24}, false), t, kRegistryStepPage),
        onPage(label("标签1", "注册表项：", {8, 56, 64, 24}), t, kRegistryStepPage),
        onPage(edit(kPathBox, "", {72, 56, 160, 20}), t, kRegistryStepPage),
        onPage(label("标签2", "添加的值：", {8, 80, 64, 24}), t, kRegistryStepPage),
        onPage(edit(kValueBox, "", {72, 80, 160, 20}), t, kRegistryStepPage),
        onPage(label("标签3", "值类型：", {8, 120, 48, 24}), t, kRegistryStepPage),
        onPage(type, t, kRegistryStepPage),
        onPage(button(kAddRegistryStep, "添加", {184, 116, 48, 23}), t, kRegistryStepPage),
        onPage(label("标签4", "提示文本：", {8, 24, 80, 24}), t, kHintStepPage),
        onPage(hint, t, kHintStepPage),
        onPage(button(kAddHint, "添加", {8, 120, 56, 24}), t, kHintStepPage),
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
