// Splitting a program's command line (GBK bytes) into arguments.
//
// Blanks and control characters separate arguments. An argument that begins with a double
// quote runs to the next double quote (or to the end of the line when there is none), and
// both quotes are removed; any other argument runs to the next blank, control character or
// double quote. The program name is read by the same rule. A byte of a GBK double-byte
// character is never taken for a separator.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lz::cmdline {

// Every argument, the program name first. An empty command line gives no argument at all.
std::vector<std::string> splitCommandLine(std::string_view gbk);

// The first argument after the program name, if there is one ("" for a quoted empty one).
std::optional<std::string> firstArgument(std::string_view gbk);

}  // namespace lz::cmdline
