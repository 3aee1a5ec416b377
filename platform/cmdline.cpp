#include "platform/cmdline.h"

#include "platform/text.h"

namespace lz::cmdline {
namespace {

bool isSeparator(char16_t unit) {
    return unit <= 0x20 || unit == 0x7F;  // blank and the control characters
}

// Reads the argument that starts at `pos` (not a separator) and moves `pos` past it.
std::u16string_view readArgument(std::u16string_view line, std::size_t& pos) {
    const bool quoted = line[pos] == u'"';
    if (quoted) ++pos;
    const std::size_t start = pos;
    while (pos < line.size() && line[pos] != u'"' && (quoted || !isSeparator(line[pos]))) ++pos;
    const std::u16string_view argument = line.substr(start, pos - start);
    if (quoted && pos < line.size()) ++pos;  // the closing quote
    return argument;
}

template <class Visit>
void forEachArgument(std::u16string_view line, Visit&& visit) {
    std::size_t pos = 0;
    while (true) {
        while (pos < line.size() && isSeparator(line[pos])) ++pos;
        if (pos >= line.size()) return;
        if (!visit(readArgument(line, pos))) return;
    }
}

}  // namespace

std::optional<std::string> firstArgument(std::u16string_view line) {
    std::optional<std::string> first;
    bool programName = true;
    forEachArgument(line, [&](std::u16string_view argument) {
        if (programName) {
            programName = false;
            return true;
        }
        first = text::utf16ToUtf8(argument);
        return false;
    });
    return first;
}

std::vector<std::string> arguments(std::u16string_view line) {
    std::vector<std::string> found;
    bool programName = true;
    forEachArgument(line, [&](std::u16string_view argument) {
        if (programName) {
            programName = false;
        } else {
            found.push_back(text::utf16ToUtf8(argument));
        }
        return true;
    });
    return found;
}

bool isSwitch(std::string_view argument, std::string_view name) {
    if (argument.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = argument[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != name[i]) return false;
    }
    return true;
}

}  // namespace lz::cmdline
