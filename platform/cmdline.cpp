#include "platform/cmdline.h"

#include "platform/text.h"

namespace lz::cmdline {
namespace {

bool isSeparator(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b <= 0x20 || b == 0x7F;  // blank and the control characters
}

// Reads the argument that starts at `pos` (not a separator) and moves `pos` past it.
std::string readArgument(std::string_view line, std::size_t& pos) {
  const bool quoted = line[pos] == '"';
  if (quoted) ++pos;
  const std::size_t start = pos;
  while (pos < line.size()) {
    const std::size_t size = text::gbkCharSize(line, pos);
    if (size == 1 && (line[pos] == '"' || (!quoted && isSeparator(line[pos])))) break;
    pos += size;
  }
  std::string argument(line.substr(start, pos - start));
  if (quoted && pos < line.size()) ++pos;  // the closing quote
  return argument;
}

template <class Visit>
void forEachArgument(std::string_view line, Visit&& visit) {
  std::size_t pos = 0;
  while (true) {
    while (pos < line.size() && isSeparator(line[pos])) ++pos;
    if (pos >= line.size()) return;
    if (!visit(readArgument(line, pos))) return;
  }
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view gbk) {
  std::vector<std::string> arguments;
  forEachArgument(gbk, [&](std::string&& argument) {
    arguments.push_back(std::move(argument));
    return true;
  });
  return arguments;
}

std::optional<std::string> firstArgument(std::string_view gbk) {
  std::optional<std::string> first;
  bool programName = true;
  forEachArgument(gbk, [&](std::string&& argument) {
    if (programName) {
      programName = false;
      return true;
    }
    first = std::move(argument);
    return false;
  });
  return first;
}

}  // namespace lz::cmdline
