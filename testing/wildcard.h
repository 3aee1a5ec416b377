// The wildcard match of file names that the system makes when it lists a folder by pattern,
// for the file services of the tests (PortableFiles, MemoryFiles).
#pragma once

#include <string_view>

namespace lz::test_support {

// True when `name` matches the wildcard `pattern`: "*" stands for any run of characters
// (none included), "?" for exactly one; other characters match themselves, ASCII letters
// without regard to case (as file names on Windows). Both are UTF-8; "?" takes one whole
// character.
bool matchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace lz::test_support
