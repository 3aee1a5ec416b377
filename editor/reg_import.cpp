#include "editor/reg_import.h"

#include <algorithm>
#include <optional>

#include "platform/registry.h"
#include "platform/text.h"
#include "regfile/reader.h"
#include "scheme/scheme.h"

namespace lz::editor {
namespace {

using regfile::Operation;
using regfile::OperationKind;

constexpr const char* kUnknownRoot = "不支持的根键（注册表文件须写根键的全名）";
constexpr const char* kBarOrLineBreak = "含有“|”或换行，方案无法表示";
constexpr const char* kNotGbk = "含有 GBK 无法表示的字符";
constexpr const char* kBackslashInName = "值名含有“\\”，方案会把它当作项的路径";
constexpr const char* kKeyAlone = "只创建项而没有值，方案无法单独创建项";
constexpr const char* kDefaultDeleted = "删除默认值（@=-）方案无法表示";
constexpr const char* kUnterminatedString = "字符串数据不是以零结尾的文本";
constexpr const char* kBadDword = "DWORD 数据不是 4 个字节";
constexpr const char* kBinaryBreaks = "二进制数据含有换行符或“|”，方案无法表示";

// Why a step cannot be made: a reason, or nothing.
using Refusal = std::optional<std::string>;

// The root's full name, or nothing for a root the optimizer does not know.
std::optional<std::string_view> rootName(regfile::Root root) {
    switch (root) {
        case regfile::Root::ClassesRoot:
            return registry::rootName(registry::Root::ClassesRoot);
        case regfile::Root::CurrentUser:
            return registry::rootName(registry::Root::CurrentUser);
        case regfile::Root::LocalMachine:
            return registry::rootName(registry::Root::LocalMachine);
        case regfile::Root::Users:
            return registry::rootName(registry::Root::Users);
        case regfile::Root::CurrentConfig:
            return registry::rootName(registry::Root::CurrentConfig);
        case regfile::Root::Unknown:
            break;
    }
    return std::nullopt;
}

// A text as GBK bytes that stand in one field of a scheme line, or the reason it cannot.
std::optional<std::string> fieldText(std::u16string_view text, std::string& reason) {
    if (text.find_first_of(u"|\r\n") != text.npos) {
        reason = kBarOrLineBreak;
        return std::nullopt;
    }
    if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; }))
        return std::string(text.begin(), text.end());  // ASCII stands for itself in GBK
    std::string gbk = text::utf16ToGbk(text);
    if (text::gbkToUtf16(gbk) != text) {
        reason = kNotGbk;
        return std::nullopt;
    }
    return gbk;
}

// The scheme text of a key path ("HKEY_...\\key", GBK), or the reason there is none. The
// entries of one section name the same key: it is converted once for them all.
class KeyTexts {
public:
    const std::optional<std::string>& of(const std::u16string& key, std::string& reason) {
        if (key != key_ || !converted_) {
            key_ = key;
            converted_ = true;
            reason_.clear();
            text_ = convert(key, reason_);
        }
        if (!text_) reason = reason_;
        return text_;
    }

private:
    static std::optional<std::string> convert(std::u16string_view key, std::string& reason) {
        const regfile::SplitKey split = regfile::splitRoot(key);
        const std::optional<std::string_view> root = rootName(split.root);
        // The system's importer takes a root's full name only: HKCU\... is no key to it.
        const bool fullName = key.size() - split.rest.size() >= registry::rootName(registry::Root::Users).size();
        if (!root || !fullName) {
            reason = kUnknownRoot;
            return std::nullopt;
        }
        std::optional<std::string> rest = fieldText(split.rest, reason);
        if (!rest) return std::nullopt;
        std::string text(*root);
        if (!rest->empty()) text.append("\\").append(*rest);
        return text;
    }

    std::u16string key_;
    bool converted_ = false;
    std::optional<std::string> text_;
    std::string reason_;
};

// The scheme path of a key (with a final "\\" when `keyForm`) or of a value of it.
std::optional<std::string> schemePath(KeyTexts& keys, const Operation& op, bool keyForm, std::string& reason) {
    const std::optional<std::string>& key = keys.of(op.key, reason);
    if (!key) return std::nullopt;
    if (keyForm) return *key + "\\";
    if (op.name.find(u'\\') != op.name.npos) {
        reason = kBackslashInName;
        return std::nullopt;
    }
    const std::optional<std::string> name = fieldText(op.name, reason);  // empty: the default value
    if (!name) return std::nullopt;
    return *key + "\\" + *name;
}

// The text of string data holding one terminating zero at its end and no other.
std::optional<std::u16string> terminatedString(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() < 2 || bytes.size() % 2 != 0) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 2 < bytes.size(); i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8);
        if (unit == 0) return std::nullopt;
        text += unit;
    }
    if (bytes[bytes.size() - 2] != 0 || bytes[bytes.size() - 1] != 0) return std::nullopt;
    return text;
}

// The value text and type code of a value's data, or the reason there are none.
std::optional<std::pair<std::string, std::string_view>> valueOf(const regfile::Data& data, std::string& reason) {
    switch (data.type) {
        case regfile::type::kString: {
            const std::optional<std::u16string> text = terminatedString(data.bytes);
            if (!text) {
                reason = kUnterminatedString;
                return std::nullopt;
            }
            std::optional<std::string> gbk = fieldText(*text, reason);
            if (!gbk) return std::nullopt;
            return std::pair{std::move(*gbk), scheme::kStringCode};
        }
        case regfile::type::kDword: {
            if (data.bytes.size() != 4) {
                reason = kBadDword;
                return std::nullopt;
            }
            const std::uint32_t number = static_cast<std::uint32_t>(data.bytes[0]) | data.bytes[1] << 8 |
                                         data.bytes[2] << 16 | static_cast<std::uint32_t>(data.bytes[3]) << 24;
            return std::pair{std::to_string(number), scheme::kDwordCode};
        }
        case regfile::type::kBinary: {
            const auto breaks = [](std::uint8_t b) { return b == '\n' || b == '|'; };
            if (std::any_of(data.bytes.begin(), data.bytes.end(), breaks)) {
                reason = kBinaryBreaks;
                return std::nullopt;
            }
            return std::pair{std::string(data.bytes.begin(), data.bytes.end()), scheme::kBinaryCode};
        }
        default:
            break;
    }
    std::string code = "0123456789abcdef";
    std::string hex;
    for (std::uint32_t n = data.type;; n >>= 4) {
        hex.insert(hex.begin(), code[n & 0xF]);
        if (n < 16) break;
    }
    reason = "数据类型 hex(" + hex + ") 在方案中没有对应的类型";
    return std::nullopt;
}

// Whether `next` deletes the key of the value `op` deletes: how an export writes a delete step
// whose path names a value, or else a key.
bool deletesKeyOfValue(const Operation& op, const Operation* next) {
    return next != nullptr && next->kind == OperationKind::DeleteKey && !op.name.empty() &&
           registry::foldedName(next->key) == registry::foldedName(op.key + u'\\' + op.name);
}

bool isValueOf(const Operation* next, const Operation& section) {
    return next != nullptr && (next->kind == OperationKind::SetValue || next->kind == OperationKind::DeleteValue) &&
           next->key == section.key;
}

}  // namespace

RegImport importRegistryFile(std::string_view fileBytes) {
    const regfile::Parsed parsed = regfile::read(fileBytes);
    RegImport result;
    result.rows.reserve(parsed.operations.size());
    result.isRegistryFile = parsed.header != regfile::Header::None;
    for (const regfile::Problem& problem : parsed.problems)
        result.leftOut.push_back({problem.line, std::string(regfile::reasonText(problem.reason))});

    const std::vector<Operation>& ops = parsed.operations;
    KeyTexts keys;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const Operation& op = ops[i];
        const Operation* next = i + 1 < ops.size() ? &ops[i + 1] : nullptr;
        std::string reason;
        std::optional<std::string> row;
        switch (op.kind) {
            case OperationKind::AddKey:
                // A section only opens the key its values go to; alone, it creates an empty key.
                if (!isValueOf(next, op)) reason = kKeyAlone;
                break;
            case OperationKind::DeleteKey:
                if (const auto path = schemePath(keys, op, true, reason)) row = scheme::composeDelete(*path);
                break;
            case OperationKind::DeleteValue:
                if (op.name.empty()) {
                    reason = kDefaultDeleted;
                } else if (const auto path = schemePath(keys, op, false, reason)) {
                    row = scheme::composeDelete(*path);
                    if (deletesKeyOfValue(op, next)) ++i;  // one step names both
                }
                break;
            case OperationKind::SetValue:
                if (const auto path = schemePath(keys, op, false, reason)) {
                    if (const auto value = valueOf(op.data, reason))
                        row = scheme::composeWrite(*path, value->first, value->second);
                }
                break;
        }
        if (row) {
            result.rows.push_back(std::move(*row));
        } else if (!reason.empty()) {
            result.leftOut.push_back({op.line, std::move(reason)});
        }
    }
    std::stable_sort(result.leftOut.begin(), result.leftOut.end(),
                     [](const LeftOut& a, const LeftOut& b) { return a.line < b.line; });
    return result;
}

std::string describeLeftOut(std::span<const LeftOut> leftOut) {
    std::string text;
    for (const LeftOut& entry : leftOut)
        text.append("第 ").append(std::to_string(entry.line)).append(" 行：").append(entry.reason).append("\r\n");
    return text;
}

}  // namespace lz::editor
