#include "editor/reg_export.h"

#include <optional>

#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/writer.h"
#include "scheme/scheme.h"
#include "steps/protected_keys.h"
#include "steps/registry_steps.h"

namespace lz::editor {
namespace {

constexpr const char* kNoBackslash = "路径中没有“\\”，优化程序不会执行此步骤";
constexpr const char* kNotANumber = "双字节值不是 0 到 4294967295 之间的整数，优化程序不会写入";
constexpr const char* kProtected = "系统关键项，优化程序不会删除";
constexpr const char* kLineBreakInName = "项名或值名含有换行，注册表文件无法表示";

std::u16string lineNumber(int line) {
    const std::string number = std::to_string(line);
    return std::u16string(number.begin(), number.end());
}

// The scheme line each step starts on (counted from 1): a line starts a step when, read alone,
// it is one; other lines continue the step before them or are ignored.
std::vector<int> stepLines(std::span<const std::string> rows) {
    std::vector<int> lines;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string_view row = rows[r];
        if (!scheme::StepTable::fromRows(std::span(&row, 1)).empty()) lines.push_back(static_cast<int>(r + 1));
    }
    return lines;
}

class Exporter {
public:
    void hint(std::string_view textGbk) { writer_.comment(text::gbkToUtf16(textGbk)); }

    void write(const scheme::Step& step, int line) {
        const auto write = steps::prepareRegistryWrite(step.text, step.value, step.typeCode());
        if (!write) {
            leaveOut(line, steps::resolveRegistryEntry(step.text) ? kNotANumber : kNoBackslash);
            return;
        }
        const steps::RegistryEntry& entry = write->entry;
        if (!regfile::fitsOnALine(entry.subKey) || !regfile::fitsOnALine(entry.valueName)) {
            leaveOut(line, kLineBreakInName);
            return;
        }
        writer_.section(registry::keyPath(entry.root, entry.subKey));
        writer_.value(entry.valueName, {static_cast<std::uint32_t>(write->type), write->data});
    }

    void remove(const scheme::Step& step, int line) {
        const std::optional<steps::RegistryEntry> entry = steps::resolveRegistryEntry(step.text);
        if (!entry) {
            leaveOut(line, kNoBackslash);
            return;
        }
        if (!regfile::fitsOnALine(entry->subKey) || !regfile::fitsOnALine(entry->valueName)) {
            leaveOut(line, kLineBreakInName);
            return;
        }
        if (entry->valueName.empty()) {  // a final "\": the key
            if (steps::isProtectedKey(entry->root, entry->subKey)) {
                leaveOut(line, kProtected);
                return;
            }
            writer_.deleteKey(registry::keyPath(entry->root, entry->subKey));
            return;
        }
        const std::u16string key = entry->subKey.empty() ? entry->valueName : entry->subKey + u'\\' + entry->valueName;
        const bool keyMayGo = !steps::isProtectedKey(entry->root, key);
        writer_.comment(u"第 " + lineNumber(line) + u" 行删除值“" + entry->valueName +
                        u"”，没有这个值时删除同名的项；" +
                        (keyMayGo ? u"注册表文件只能两样都写" : u"同名的项是系统关键项，不删除"));
        writer_.newSection(registry::keyPath(entry->root, entry->subKey));
        writer_.deleteValue(entry->valueName);
        if (keyMayGo) writer_.deleteKey(registry::keyPath(entry->root, key));
    }

    RegExport finish() { return {regfile::fileBytes(writer_.text()), std::move(leftOut_)}; }

    regfile::Writer& writer() { return writer_; }

private:
    void leaveOut(int line, const char* reason) {
        writer_.comment(u"第 " + lineNumber(line) + u" 行的步骤未导出：" + text::utf8ToUtf16(reason));
        leftOut_.push_back({line, reason});
    }

    regfile::Writer writer_;
    std::vector<LeftOut> leftOut_;
};

}  // namespace

RegExport exportScheme(std::span<const std::string> rows, std::string_view nameGbk) {
    Exporter exporter;
    exporter.writer().comment(u"方案：" + text::gbkToUtf16(nameGbk));
    std::vector<std::string_view> views(rows.begin(), rows.end());
    const scheme::StepTable table = scheme::StepTable::fromRows(views);
    const std::vector<int> lines = stepLines(rows);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const scheme::Step& step = table[i];
        const int line = i < lines.size() ? lines[i] : 0;
        switch (step.kind) {
            case scheme::StepKind::Hint:
                exporter.hint(step.text);
                break;
            case scheme::StepKind::Write:
                exporter.write(step, line);
                break;
            case scheme::StepKind::Delete:
                exporter.remove(step, line);
                break;
        }
    }
    return exporter.finish();
}

}  // namespace lz::editor
