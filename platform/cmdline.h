// Splitting a program's command line into arguments. The line is read as the system hands it
// over, in UTF-16, and each argument comes out in UTF-8, so a path keeps every character it
// has, also those that GBK cannot hold.
//
// Blanks and control characters (U+0000 to U+0020 and U+007F) separate arguments. An argument
// that begins with a double quote runs to the next double quote (or to the end of the line when
// there is none), and both quotes are removed; any other argument runs to the next blank,
// control character or double quote. The program name is read by the same rule. Separators and
// quotes are ASCII, and no UTF-16 unit of any other character is one (neither half of a
// surrogate pair either), so a character outside ASCII never cuts an argument. An unpaired
// surrogate, which UTF-8 cannot carry, becomes U+FFFD.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lz::cmdline {

// The first argument after the program name, if there is one ("" for a quoted empty one).
std::optional<std::string> firstArgument(std::u16string_view line);

// Every argument after the program name, in their order (each quoted empty one as "").
std::vector<std::string> arguments(std::u16string_view line);

// Whether `argument` is the switch `name` (written in lower case, "/run"), in any case.
bool isSwitch(std::string_view argument, std::string_view name);

}  // namespace lz::cmdline
