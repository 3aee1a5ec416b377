// The arguments of a command line, as the programs take them (the first one, or all after the
// program name): against a reading of the splitting rules written here, and for lines built to
// hold a known argument.
//
// Input: each byte stands for one UTF-16 unit; bytes from 80 on pick a unit that matters to
// the rules (quotes, blanks, control characters, surrogates, characters outside ASCII), the
// byte 7E takes the next two bytes as any unit, and the other bytes stand for themselves.
#include "platform/cmdline.h"
#include "fuzz/fuzz_support.h"

namespace {

using lz::fuzz::Input;

constexpr char16_t kPicked[] = {u'"',   u' ',   u'\t',  u'\0',  0x7F,   0xD800, 0xDBFF, 0xDC00,
                                0xDFFF, 0x4E2D, 0xFFFD, 0x00A0, 0x3000, u'a',   u'\\',  0x20AC};

std::u16string unitsOf(Input& input) {
    std::u16string units;
    while (!input.empty()) {
        const std::uint8_t b = input.byte();
        if (b >= 0x80) {
            units += kPicked[b % std::size(kPicked)];
        } else if (b == 0x7E) {
            units += static_cast<char16_t>(input.number(2));
        } else {
            units += static_cast<char16_t>(b);
        }
    }
    return units;
}

std::string utf8Of(std::u16string_view units) {
    std::string out;
    for (const char32_t cp : lz::fuzz::decodeUtf16(units)) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | cp >> 6);
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | cp >> 12);
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | cp >> 18);
            out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool separates(char16_t unit) {
    return unit <= 0x20 || unit == 0x7F;
}

// The arguments by the rules, one unit at a time: between arguments separators are skipped; a
// quoted argument ends at the next quote, which is dropped, an unquoted one at a separator or
// a quote, which is kept for what follows.
std::vector<std::u16string> argumentsOf(std::u16string_view line) {
    enum { Between, Plain, Quoted } state = Between;
    std::vector<std::u16string> arguments;
    for (const char16_t unit : line) {
        if (state == Plain && (separates(unit) || unit == u'"')) state = Between;
        if (state == Between) {
            if (separates(unit)) continue;
            arguments.emplace_back();
            state = unit == u'"' ? Quoted : Plain;
            if (state == Quoted) continue;
        } else if (state == Quoted && unit == u'"') {
            state = Between;
            continue;
        }
        arguments.back() += unit;
    }
    return arguments;
}

// The units but those `drop` says no to.
template <class Drop>
std::u16string without(std::u16string_view units, Drop&& drop) {
    std::u16string kept;
    for (const char16_t unit : units) {
        if (!drop(unit)) kept += unit;
    }
    return kept;
}

bool isQuote(char16_t unit) {
    return unit == u'"';
}

bool separatesOrQuotes(char16_t unit) {
    return separates(unit) || isQuote(unit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    const std::uint8_t split = input.byte();
    const std::u16string line = unitsOf(input);

    const std::optional<std::string> first = lz::cmdline::firstArgument(line);
    const std::vector<std::u16string> expected = argumentsOf(line);
    LZ_FUZZ_CHECK(first.has_value() == (expected.size() >= 2));
    if (first) {
        LZ_FUZZ_CHECK(*first == utf8Of(expected[1]));
        LZ_FUZZ_CHECK(lz::fuzz::isValidUtf8(*first));
        LZ_FUZZ_CHECK(first->find('"') == std::string::npos);
    }

    // All of them: the reading's arguments after the program name, in order, and the first of
    // them is the first argument.
    const std::vector<std::string> all = lz::cmdline::arguments(line);
    LZ_FUZZ_CHECK(all.size() == (expected.empty() ? 0 : expected.size() - 1));
    for (std::size_t i = 0; i < all.size() && i + 1 < expected.size(); ++i) {
        LZ_FUZZ_CHECK(all[i] == utf8Of(expected[i + 1]));
    }
    LZ_FUZZ_CHECK(all.empty() ? !first.has_value() : first == all.front());

    // A program name and an argument of the units, quoted: the argument comes back whole,
    // whatever blanks, control characters or broken surrogates it holds.
    const std::u16string_view units = line;
    const std::size_t cut = split % (units.size() + 1);
    const std::u16string programName = u"p" + without(units.substr(0, cut), separatesOrQuotes);
    const std::u16string argument = without(units.substr(cut), isQuote);
    // The closing quote may be left out; after it, further arguments change nothing.
    const std::u16string closing = split & 2 ? u"\" more" : split & 4 ? u"\"" : u"";
    const std::u16string quotedLine =
        (split & 1 ? u"\"" + programName + u"\"" : programName) + u" \"" + argument + closing;
    LZ_FUZZ_CHECK(lz::cmdline::firstArgument(quotedLine) == utf8Of(argument));
    const std::vector<std::string> quotedAll = lz::cmdline::arguments(quotedLine);
    LZ_FUZZ_CHECK(!quotedAll.empty() && quotedAll.front() == utf8Of(argument));
    LZ_FUZZ_CHECK(quotedAll.size() == (split & 2 ? 2u : 1u));

    // Unquoted, an argument without separators comes back as it is.
    const std::u16string plain = without(argument, separates);
    const std::u16string plainLine = u"\t" + programName + u"  " + plain + (split & 8 ? u"\r\n" : u"");
    const auto plainFirst = lz::cmdline::firstArgument(plainLine);
    LZ_FUZZ_CHECK(plain.empty() ? !plainFirst.has_value() : plainFirst == utf8Of(plain));
    return 0;
}
