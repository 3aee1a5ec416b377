#include "testing/wildcard.h"

#include <string>

#include "platform/text.h"

namespace lz::test_support {
namespace {

// The characters of a UTF-8 name as the match compares them: a byte that does not start a
// well-formed character stands for itself, as an unpaired low surrogate (never a real
// character); ASCII letters are folded to lower case.
std::u32string characters(std::string_view utf8) {
    std::u32string result;
    for (std::size_t pos = 0; pos < utf8.size();) {
        const text::Utf8Character c = text::readUtf8(utf8, pos);
        char32_t value = c.wellFormed ? c.codePoint : 0xDC00 + static_cast<unsigned char>(utf8[pos]);
        pos += c.wellFormed ? c.size : 1;
        if (value >= U'A' && value <= U'Z') value += U'a' - U'A';
        result.push_back(value);
    }
    return result;
}

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
    const std::u32string p = characters(pattern);
    const std::u32string n = characters(name);
    // Greedy matching that goes back to the last "*" on a mismatch: linear in practice,
    // never worse than the product of the lengths.
    std::size_t pi = 0, ni = 0;
    std::size_t starAt = std::u32string::npos, resumeAt = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == U'?' || (p[pi] != U'*' && p[pi] == n[ni]))) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == U'*') {
            starAt = pi++;
            resumeAt = ni;
        } else if (starAt != std::u32string::npos) {
            pi = starAt + 1;
            ni = ++resumeAt;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'*') ++pi;
    return pi == p.size();
}

}  // namespace lz::test_support
