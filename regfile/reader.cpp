#include "regfile/reader.h"

#include <algorithm>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/text.h"

namespace lz::regfile {
namespace {

constexpr std::u16string_view kRegedit4 = u"REGEDIT4";

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

std::u16string_view trimStart(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    return text.substr(i);
}

std::u16string_view trimEnd(std::u16string_view text) {
    std::size_t n = text.size();
    while (n > 0 && isBlank(text[n - 1])) --n;
    return text.substr(0, n);
}

bool onlyBlanks(std::u16string_view text) {
    return trimStart(text).empty();
}

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Whether `text` starts with `prefix` (lower-case ASCII), in any case.
bool startsWithAnyCase(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i]) != prefix[i]) return false;
    }
    return true;
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The number of hex digits at `pos` (all of them, however many).
std::size_t hexRun(std::u16string_view text, std::size_t pos) {
    std::size_t n = 0;
    while (pos + n < text.size() && hexDigit(text[pos + n]) >= 0) ++n;
    return n;
}

std::uint32_t hexNumber(std::u16string_view digits) {
    std::uint32_t number = 0;
    for (char16_t c : digits) number = number << 4 | static_cast<std::uint32_t>(hexDigit(c));
    return number;
}

// ---- Decoding ---------------------------------------------------------------------------------

// Whether the bytes are UTF-8 text that ANSI text could not be: well-formed (no overlong form,
// surrogate or number past U+10FFFF) and not ASCII alone.
bool isUtf8(std::string_view bytes) {
    bool beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const text::Utf8Character c = text::readUtf8(bytes, i);
        if (!c.wellFormed) return false;
        beyondAscii = beyondAscii || c.size > 1;
        i += c.size;
    }
    return beyondAscii;
}

// The first line of the bytes, without blanks around it.
std::string_view firstLine(std::string_view bytes) {
    std::string_view line = bytes.substr(0, bytes.find_first_of("\r\n"));
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    return line;
}

struct Decoded {
    std::u16string text;
    Encoding encoding = Encoding::Gbk;
};

// The text of a file. A byte-order mark decides; without one a REGEDIT4 file is ANSI (GBK), any
// other one UTF-8 when it is well-formed UTF-8 beyond ASCII, else GBK. An odd byte at the end of UTF-16 text
// is no unit and is left out.
Decoded decode(std::string_view bytes) {
    if (bytes.starts_with("\xFF\xFE")) {
        Decoded decoded{{}, Encoding::Utf16};
        decoded.text.reserve(bytes.size() / 2);
        for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
            decoded.text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
        }
        return decoded;
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) return {text::utf8ToUtf16(bytes.substr(3)), Encoding::Utf8};
    if (firstLine(bytes) != "REGEDIT4" && isUtf8(bytes)) return {text::utf8ToUtf16(bytes), Encoding::Utf8};
    return {text::gbkToUtf16(bytes), Encoding::Gbk};
}

// ---- Lines ------------------------------------------------------------------------------------

// The lines of a text one at a time, numbered from 1. A line ends at CR LF, LF or CR.
class Lines {
public:
    explicit Lines(std::u16string_view text) : text_(text) {}

    bool next(std::u16string_view& line) {
        if (pos_ > text_.size()) return false;
        std::size_t end = pos_;
        while (end < text_.size() && text_[end] != u'\n' && text_[end] != u'\r') ++end;
        ++number_;
        if (end == text_.size()) {
            line = text_.substr(pos_);
            pos_ = text_.size() + 1;
        } else {
            line = text_.substr(pos_, end - pos_);
            pos_ = end + (text_[end] == u'\r' && end + 1 < text_.size() && text_[end + 1] == u'\n' ? 2 : 1);
        }
        return true;
    }

    int number() const { return number_; }

private:
    std::u16string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};

// ---- Pieces of a line -------------------------------------------------------------------------

// A quoted text at `pos` (which is at its opening quote), unescaped; `pos` ends past its closing
// quote. On failure, the reason.
bool unquote(std::u16string_view line, std::size_t& pos, std::u16string& text, Reason& failure) {
    ++pos;
    while (pos < line.size()) {
        const char16_t c = line[pos];
        if (c == u'"') {
            ++pos;
            return true;
        }
        if (c == u'\\') {
            if (pos + 1 == line.size()) break;
            const char16_t escaped = line[pos + 1];
            if (escaped != u'\\' && escaped != u'"') {
                failure = Reason::UnknownEscape;
                return false;
            }
            text += escaped;
            pos += 2;
        } else {
            text += c;
            ++pos;
        }
    }
    failure = Reason::UnterminatedString;
    return false;
}

void appendUtf16(std::vector<std::uint8_t>& bytes, std::u16string_view text) {
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
}

// The bytes of a hex list: numbers of one or two hex digits, separated by commas, with blanks
// around them; possibly none, possibly a comma after the last.
bool hexBytes(std::u16string_view list, std::vector<std::uint8_t>& bytes) {
    bytes.reserve(list.size() / 2 + 1);  // at least two characters a byte but the last
    std::size_t pos = 0;
    while (true) {
        while (pos < list.size() && isBlank(list[pos])) ++pos;
        if (pos == list.size()) return true;  // empty, or after a comma
        const std::size_t digits = hexRun(list, pos);
        if (digits == 0 || digits > 2) return false;
        bytes.push_back(static_cast<std::uint8_t>(hexNumber(list.substr(pos, digits))));
        pos += digits;
        while (pos < list.size() && isBlank(list[pos])) ++pos;
        if (pos == list.size()) return true;
        if (list[pos] != u',') return false;
        ++pos;
    }
}

// The type of hex data after "hex" (":" or "(N):"), `pos` moved past the ":".
bool hexType(std::u16string_view data, std::size_t& pos, std::uint32_t& type) {
    if (pos < data.size() && data[pos] == u':') {
        type = type::kBinary;
        ++pos;
        return true;
    }
    if (pos == data.size() || data[pos] != u'(') return false;
    const std::size_t digits = hexRun(data, pos + 1);
    const std::size_t close = pos + 1 + digits;
    if (digits == 0 || digits > 8 || close + 1 >= data.size() || data[close] != u')' || data[close + 1] != u':') {
        return false;
    }
    type = hexNumber(data.substr(pos + 1, digits));
    pos = close + 2;
    return true;
}

// ---- The reader -------------------------------------------------------------------------------

class Reader {
public:
    Reader(Parsed& out, std::u16string_view text) : out_(out), lines_(text) {}

    void readAll() {
        std::u16string_view line;
        lines_.next(line);  // the header
        while (lines_.next(line)) readLine(trimStart(line), lines_.number());
    }

private:
    enum class Section { None, Open, Deleted, Bad };

    void problem(int line, Reason reason) { out_.problems.push_back({line, reason}); }

    void readLine(std::u16string_view line, int number) {
        if (line.empty() || line.front() == u';') return;
        if (line.front() == u'[') return readSection(line, number);
        if (line.front() == u'"' || line.front() == u'@') return readValue(line, number);
        const std::u16string_view trimmed = trimEnd(line);
        if (trimmed == kHeader || trimmed == kRegedit4) return;
        problem(number, Reason::UnrecognisedLine);
    }

    void readSection(std::u16string_view line, int number) {
        section_ = Section::Bad;
        const std::size_t close = line.rfind(u']');
        if (close == line.npos) return problem(number, Reason::UnclosedSection);
        if (!onlyBlanks(line.substr(close + 1))) return problem(number, Reason::TextAfterSection);
        std::u16string_view key = line.substr(1, close - 1);
        const bool deleting = key.starts_with(u'-');
        if (deleting) key.remove_prefix(1);
        if (key.empty()) return problem(number, Reason::EmptyKey);

        Operation operation;
        operation.kind = deleting ? OperationKind::DeleteKey : OperationKind::AddKey;
        operation.key = key;
        operation.line = number;
        out_.operations.push_back(std::move(operation));
        section_ = deleting ? Section::Deleted : Section::Open;
        if (!deleting) key_ = key;
    }

    void readValue(std::u16string_view line, int number) {
        std::u16string name;
        std::size_t pos = 1;
        if (line.front() == u'"') {
            pos = 0;
            Reason failure{};
            if (!unquote(line, pos, name, failure)) return problem(number, failure);
        }
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        if (pos == line.size() || line[pos] != u'=') return problem(number, Reason::MissingEquals);
        ++pos;
        while (pos < line.size() && isBlank(line[pos])) ++pos;
        std::u16string_view data = line.substr(pos);

        // A hex list takes its continuation lines whatever else is wrong with it, so that they
        // are not read as lines of their own.
        std::u16string joined;
        if (startsWithAnyCase(data, u"hex")) data = joinContinuations(data, joined);

        if (section_ != Section::Open) {
            return problem(number, section_ == Section::None      ? Reason::ValueOutsideSection
                                   : section_ == Section::Deleted ? Reason::ValueUnderDeletedKey
                                                                  : Reason::ValueUnderBadSection);
        }

        Operation operation;
        operation.key = key_;
        operation.name = std::move(name);
        operation.line = number;
        if (const auto failure = readData(data, operation)) return problem(number, *failure);
        out_.operations.push_back(std::move(operation));
    }

    // The data with the lines it continues on joined to it: a line that ends in "\" (blanks
    // after it aside) goes on with the next line, whose leading blanks are skipped.
    std::u16string_view joinContinuations(std::u16string_view data, std::u16string& joined) {
        std::u16string_view piece = trimEnd(data);
        if (!piece.ends_with(u'\\')) return data;
        std::u16string_view next;
        // Measured first, so that a list of many lines is copied once.
        std::size_t size = piece.size();
        Lines ahead = lines_;
        for (std::u16string_view p = piece; p.ends_with(u'\\') && ahead.next(next);) {
            p = trimEnd(trimStart(next));
            size += p.size();
        }
        joined.reserve(size);
        while (piece.ends_with(u'\\')) {
            joined.append(piece.substr(0, piece.size() - 1));
            if (!lines_.next(next)) return joined;
            piece = trimEnd(trimStart(next));
        }
        joined.append(piece);
        return joined;
    }

    // Fills in the operation's kind and data, or says what is wrong with the data.
    std::optional<Reason> readData(std::u16string_view data, Operation& operation) const {
        if (data.empty()) return Reason::UnknownDataType;
        if (data.front() == u'-') {
            if (!onlyBlanks(data.substr(1))) return Reason::TextAfterData;
            operation.kind = OperationKind::DeleteValue;
            return std::nullopt;
        }
        operation.kind = OperationKind::SetValue;
        if (data.front() == u'"') {
            std::size_t pos = 0;
            std::u16string text;
            Reason failure{};
            if (!unquote(data, pos, text, failure)) return failure;
            if (!onlyBlanks(data.substr(pos))) return Reason::TextAfterData;
            operation.data.type = type::kString;
            operation.data.bytes.reserve(2 * text.size() + 2);
            appendUtf16(operation.data.bytes, text);
            operation.data.bytes.insert(operation.data.bytes.end(), 2, 0);
            return std::nullopt;
        }
        if (startsWithAnyCase(data, u"dword:")) {
            const std::size_t digits = hexRun(data, 6);
            const std::u16string_view rest = data.substr(6 + digits);
            if (digits == 0 || digits > 8 || (!rest.empty() && !isBlank(rest.front()))) return Reason::BadDword;
            if (!onlyBlanks(rest)) return Reason::TextAfterData;
            const std::uint32_t number = hexNumber(data.substr(6, digits));
            operation.data.type = type::kDword;
            operation.data.bytes = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                                    static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
            return std::nullopt;
        }
        if (startsWithAnyCase(data, u"hex")) {
            std::size_t pos = 3;
            if (pos < data.size() && data[pos] != u':' && data[pos] != u'(') return Reason::UnknownDataType;
            if (!hexType(data, pos, operation.data.type)) return Reason::BadHex;
            if (!hexBytes(data.substr(pos), operation.data.bytes)) return Reason::BadHex;
            if (out_.header == Header::Regedit4 && out_.encoding == Encoding::Gbk) convertAnsiString(operation.data);
            return std::nullopt;
        }
        return Reason::UnknownDataType;
    }

    // String data of a REGEDIT4 file, given in hex, is ANSI text, which the registry holds as
    // UTF-16.
    static void convertAnsiString(Data& data) {
        if (data.type != type::kString && data.type != type::kExpandString && data.type != type::kMultiString) return;
        const std::string ansi(data.bytes.begin(), data.bytes.end());
        data.bytes.clear();
        appendUtf16(data.bytes, text::gbkToUtf16(ansi));
    }

    Parsed& out_;
    Lines lines_;
    Section section_ = Section::None;
    std::u16string key_;  // of the open section
};

}  // namespace

std::string_view reasonText(Reason reason) {
    switch (reason) {
        case Reason::NotARegistryFile:
            return "不是注册表文件";
        case Reason::UnrecognisedLine:
            return "无法识别的行";
        case Reason::UnclosedSection:
            return "项名缺少右方括号";
        case Reason::EmptyKey:
            return "项名为空";
        case Reason::TextAfterSection:
            return "右方括号后有多余的内容";
        case Reason::ValueOutsideSection:
            return "值不在任何项之下";
        case Reason::ValueUnderDeletedKey:
            return "值所在的项已删除，此行被忽略";
        case Reason::ValueUnderBadSection:
            return "值所在的项无法读取";
        case Reason::MissingEquals:
            return "缺少等号";
        case Reason::UnterminatedString:
            return "引号未闭合";
        case Reason::UnknownEscape:
            return "无法识别的转义字符";
        case Reason::UnknownDataType:
            return "无法识别的数据类型";
        case Reason::BadDword:
            return "DWORD 数据格式错误";
        case Reason::BadHex:
            return "十六进制数据格式错误";
        case Reason::TextAfterData:
            return "数据后有多余的内容";
        case Reason::UnsupportedRoot:
            return "不支持的根键";
    }
    return "无法识别的行";
}

Parsed read(std::string_view fileBytes) {
    Parsed parsed;
    const Decoded decoded = decode(fileBytes);
    parsed.encoding = decoded.encoding;

    const std::u16string_view text = decoded.text;
    const std::u16string_view header = trimEnd(trimStart(text.substr(0, text.find_first_of(u"\r\n"))));
    if (header == kHeader) {
        parsed.header = Header::Version5;
    } else if (header == kRegedit4) {
        parsed.header = Header::Regedit4;
    } else {
        parsed.problems.push_back({1, Reason::NotARegistryFile});
        return parsed;
    }
    // About one operation a line: room for them all at once spares copying them as they grow.
    parsed.operations.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), u'\n')) + 1);
    Reader(parsed, text).readAll();
    return parsed;
}

SplitKey splitRoot(std::u16string_view keyPath) {
    static constexpr struct {
        std::u16string_view name;
        Root root;
    } kRoots[] = {
        {u"hkey_classes_root", Root::ClassesRoot},
        {u"hkcr", Root::ClassesRoot},
        {u"hkey_current_user", Root::CurrentUser},
        {u"hkcu", Root::CurrentUser},
        {u"hkey_local_machine", Root::LocalMachine},
        {u"hklm", Root::LocalMachine},
        {u"hkey_users", Root::Users},
        {u"hku", Root::Users},
        {u"hkey_current_config", Root::CurrentConfig},
        {u"hkcc", Root::CurrentConfig},
    };
    for (const auto& known : kRoots) {
        if (!startsWithAnyCase(keyPath, known.name)) continue;
        const std::u16string_view rest = keyPath.substr(known.name.size());
        if (rest.empty()) return {known.root, rest};
        if (rest.front() == u'\\') return {known.root, rest.substr(1)};
    }
    return {Root::Unknown, keyPath};
}

}  // namespace lz::regfile
