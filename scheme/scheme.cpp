#include "scheme/scheme.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define LZ_SCHEME_SSE2 1
#endif

#if defined(__GNUC__)
#define LZ_SCHEME_FLATTEN __attribute__((flatten))
#else
#define LZ_SCHEME_FLATTEN
#endif

namespace lz::scheme {

// ---- Writing -------------------------------------------------------------------------------

std::string composeHint(std::string_view text) {
    std::string line;
    line.reserve(kHintKind.size() + 1 + text.size());
    line.append(kHintKind).append("|").append(text);
    return line;
}

std::string composeWrite(std::string_view path, std::string_view value, std::string_view typeCode) {
    std::string line;
    line.reserve(kWriteKind.size() + 3 + path.size() + value.size() + typeCode.size());
    line.append(kWriteKind).append("|").append(path).append("|").append(value).append("|").append(typeCode);
    return line;
}

std::string composeDelete(std::string_view path) {
    std::string line;
    line.reserve(kDeleteKind.size() + 2 + path.size() + kDeleteMark.size());
    line.append(kDeleteKind).append("|").append(path).append("|").append(kDeleteMark);
    return line;
}

// ---- Lines ---------------------------------------------------------------------------------

namespace {

constexpr std::size_t kBlock = 64;

// Where the kBlock bytes at `p` are `c`: bit i of `mask` for byte i, and how many there are.
// The count is taken from the comparison itself: a popcount instruction is not in every
// x86-64 processor, and the library's stand-in costs more than the rest of the block.
struct Matches {
    std::uint64_t mask;
    std::uint32_t count;
};

inline Matches matches(const char* p, char c) {
#ifdef LZ_SCHEME_SSE2
    const __m128i wanted = _mm_set1_epi8(c);
    std::uint64_t mask = 0;
    __m128i perByte = _mm_setzero_si128();  // 0 to 4 in each byte
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const __m128i equal = _mm_cmpeq_epi8(bytes, wanted);
        perByte = _mm_sub_epi8(perByte, equal);
        mask |= static_cast<std::uint64_t>(static_cast<std::uint32_t>(_mm_movemask_epi8(equal))) << (16 * i);
    }
    const __m128i sums = _mm_sad_epu8(perByte, _mm_setzero_si128());  // two halves of 8 bytes
    const auto count = static_cast<std::uint32_t>(_mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    return {mask, count};
#else
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBlock; ++i) mask |= static_cast<std::uint64_t>(p[i] == c) << i;
    return {mask, static_cast<std::uint32_t>(std::popcount(mask))};
#endif
}

// Writes `offset` + the place of each match to `out`, in order: the first `Always` of them
// whether there or not (past the real ones they are written anyway and overwritten later), so
// that the common block takes no branch on how many it has.
template <std::uint32_t Always>
inline void storeOffsets(std::uint32_t* out, const Matches& found, std::uint32_t offset) {
    // The lowest bit of what is left; any offset once nothing is left.
    const auto lowest = [](std::uint64_t bits) {
        return static_cast<std::uint32_t>(std::countr_zero(bits | std::uint64_t{1} << 63));
    };
    std::uint64_t rest = found.mask;
#pragma GCC unroll 4
    for (std::uint32_t i = 0; i < Always; ++i, rest &= rest - 1) out[i] = offset + lowest(rest);
    if (found.count > Always) [[unlikely]] {
        for (std::uint32_t i = Always; i < found.count; ++i, rest &= rest - 1) out[i] = offset + lowest(rest);
    }
}

// Calls f(offset, block) for the text's blocks of kBlock bytes in order; the last, shorter
// one is passed as a copy padded with zero bytes (neither a line feed nor a "|").
template <class F>
LZ_SCHEME_FLATTEN void forEachBlock(const char* data, std::size_t size, F&& f) {
    std::size_t offset = 0;
    for (; offset + kBlock <= size; offset += kBlock) f(offset, data + offset);
    if (offset < size) {
        char tail[kBlock] = {};
        std::memcpy(tail, data + offset, size - offset);
        f(offset, static_cast<const char*>(tail));
    }
}

// A line ending at a line feed at `lf` loses one carriage return directly before it.
std::string_view lineBefore(std::string_view text, std::size_t start, std::size_t lf) {
    std::size_t end = lf;
    if (end > start && text[end - 1] == '\r') --end;
    return text.substr(start, end - start);
}

}  // namespace

std::size_t countLines(std::string_view text) {
    std::size_t count = 1;
    forEachBlock(text.data(), text.size(),
                 [&](std::size_t, const char* block) { count += matches(block, '\n').count; });
    return count;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    lines.reserve(countLines(text));  // one allocation: growing a large table costs more than counting
    std::size_t start = 0;
    forEachBlock(text.data(), text.size(), [&](std::size_t offset, const char* block) {
        for (std::uint64_t lineFeeds = matches(block, '\n').mask; lineFeeds != 0; lineFeeds &= lineFeeds - 1) {
            const std::size_t lf = offset + static_cast<std::size_t>(std::countr_zero(lineFeeds));
            lines.push_back(lineBefore(text, start, lf));
            start = lf + 1;
        }
    });
    lines.push_back(text.substr(start));  // the last line keeps a carriage return of its own
    return lines;
}

// ---- The editor's reading ------------------------------------------------------------------

EditorScheme readForEditor(std::string_view text) {
    EditorScheme scheme;
    scheme.rows = splitLines(text);
    scheme.name = scheme.rows.back();
    scheme.rows.pop_back();
    return scheme;
}

// ---- The optimizer's reading ---------------------------------------------------------------

std::string_view kindCode(StepKind kind) {
    switch (kind) {
        case StepKind::Hint:
            return kHintKind;
        case StepKind::Write:
            return kWriteKind;
        case StepKind::Delete:
            return kDeleteKind;
    }
    return {};
}

std::string_view typeCode(StepValueType type) {
    switch (type) {
        case StepValueType::None:
            return kNone;
        case StepValueType::Binary:
            return kBinaryCode;
        case StepValueType::Dword:
            return kDwordCode;
        case StepValueType::String:
            return kStringCode;
    }
    return {};
}

// Adds lines to a step table. Every line must lie in one buffer that outlives the table, the
// lines in order. A continuation usually follows its step directly with "\r\n" in that buffer,
// so the joined text is just a longer view; only otherwise (a bare line feed, a continuation of
// a registry path, a line with "|") is the text copied and joined.
//
// The rules are applied without branching on the kind of line, so that a scheme whose kinds
// of steps alternate at random reads as fast as one of a single kind; only continuation lines
// take a branch of their own.
class StepTableBuilder {
public:
    static constexpr std::size_t kMaxBars = 4;  // the fourth "|" ends f4

    explicit StepTableBuilder(StepTable& table) : table_(table) {}

    // The line [base + start, base + end) with `count` "|", the first of them (up to kMaxBars)
    // at base + bars[0], base + bars[1], ...; entries past `count` are not looked at.
    void addLine(const char* base, std::size_t start, std::size_t end, std::size_t count, const std::size_t* bars) {
        // Where fields f1..f4 end, and where f2..f4 start; a missing field is empty at the end.
        const std::size_t end1 = count > 0 ? bars[0] : end;
        const std::size_t end2 = count > 1 ? bars[1] : end;
        const std::size_t end3 = count > 2 ? bars[2] : end;
        const std::size_t end4 = count > 3 ? bars[3] : end;
        const std::size_t start2 = end1 + (count > 0);
        const std::size_t start3 = end2 + (count > 1);
        const std::size_t start4 = end3 + (count > 2);

        const std::uint64_t head = peek(base + start);
        const std::uint64_t code = peek(base + start4);
        const std::size_t size1 = end1 - start;
        const std::size_t size4 = end4 - start4;
        const bool hint = (size1 == kHintKind.size()) & is<kHintKind>(head);
        const bool del = (size1 == kDeleteKind.size()) & is<kDeleteKind>(head);
        const bool write = !(hint | del) & (count >= 3);
        if (!(hint | del | write)) [[unlikely]] {
            continueLast(std::string_view(base + start, size1), end > start);
            return;
        }
        const bool binary = (size4 == kBinaryCode.size()) & is<kBinaryCode>(code);
        const bool dword = (size4 == kDwordCode.size()) & is<kDwordCode>(code);
        static_assert(static_cast<int>(StepValueType::String) - static_cast<int>(StepValueType::Binary) == 2 &&
                      static_cast<int>(StepValueType::String) - static_cast<int>(StepValueType::Dword) == 1);
        const unsigned type = write * (static_cast<unsigned>(StepValueType::String) - 2 * binary - dword);
        static_assert(static_cast<int>(StepKind::Hint) == 0 && static_cast<int>(StepKind::Write) == 1 &&
                      static_cast<int>(StepKind::Delete) == 2);
        const unsigned kind = !hint * (1 + del);
        const auto valueData = select(write, reinterpret_cast<std::uintptr_t>(base + start3),
                                      reinterpret_cast<std::uintptr_t>(kNone.data()));
        const std::size_t valueSize = select(write, end3 - start3, kNone.size());

        table_.joining_ = false;  // a new step: the last one is complete
        table_.steps_.push_back({static_cast<StepKind>(kind), static_cast<StepValueType>(type),
                                 std::string_view(base + start2, end2 - start2),
                                 std::string_view(reinterpret_cast<const char*>(valueData), valueSize)});
    }

    // The lines of [begin, begin + size), each of them ending with a line feed; size is at
    // most kReadAhead. `scratch` has room for 2 * (kReadAhead + kBlock) entries.
    LZ_SCHEME_FLATTEN void addLines(const char* begin, std::size_t size, std::uint32_t* scratch) {
        // Pass 1, a block at a time: the offsets of every "|" and every line feed.
        std::uint32_t* const bars = scratch;
        std::uint32_t* const lineFeeds = scratch + StepTable::kReadAhead + kBlock;
        std::uint32_t barCount = 0;
        std::uint32_t lineCount = 0;
        forEachBlock(begin, size, [&](std::size_t blockOffset, const char* block) {
            const auto offset = static_cast<std::uint32_t>(blockOffset);
            const Matches barsHere = matches(block, '|');
            const Matches lineFeedsHere = matches(block, '\n');
            storeOffsets<4>(bars + barCount, barsHere, offset);
            storeOffsets<2>(lineFeeds + lineCount, lineFeedsHere, offset);
            barCount += barsHere.count;
            lineCount += lineFeedsHere.count;
        });
        // Past the last "|", offsets beyond every line.
        for (std::uint32_t i = 0; i < kMaxBars; ++i) bars[barCount + i] = static_cast<std::uint32_t>(size);

        // Pass 2, a line at a time. A line's "|" are those from `firstBar` on that lie before its
        // line feed: the first kMaxBars are counted without a branch, more are rare.
        std::size_t start = 0;
        std::uint32_t firstBar = 0;
        for (std::uint32_t line = 0; line < lineCount; ++line) {
            const std::uint32_t lf = lineFeeds[line];
            const std::uint32_t* const lineBars = bars + firstBar;
            const std::size_t barOffsets[kMaxBars] = {lineBars[0], lineBars[1], lineBars[2], lineBars[3]};
            const std::uint32_t count =
                (lineBars[0] < lf) + (lineBars[1] < lf) + (lineBars[2] < lf) + (lineBars[3] < lf);
            firstBar += count;
            if (count == kMaxBars) {
                while (bars[firstBar] < lf) ++firstBar;
            }
            const std::size_t end = lf > start && begin[lf - 1] == '\r' ? lf - 1 : lf;
            addLine(begin, start, end, count, barOffsets);
            start = std::size_t{lf} + 1;
        }
    }

    // One line of any length, [line, line + size), without its line break.
    void addLongLine(const char* line, std::size_t size) {
        std::size_t bars[kMaxBars];
        std::size_t count = 0;
        for (const char* p = line; count < kMaxBars;) {
            const void* bar = std::memchr(p, '|', static_cast<std::size_t>(line + size - p));
            if (!bar) break;
            p = static_cast<const char*>(bar);
            bars[count++] = static_cast<std::size_t>(p++ - line);
        }
        addLine(line, 0, size, count, bars);
    }

    static StepTable fromRows(std::span<const std::string_view> rows) {
        // The rows are copied into one buffer, one after the other with "\r\n" between them, so
        // that the rows of a multi-line hint join without a further copy. Each row is still parsed
        // as exactly the row it is.
        std::size_t size = 0;
        for (const auto& row : rows) size += row.size() + kLineBreak.size();
        auto source = std::make_unique<std::string>();
        source->reserve(size);
        for (const auto& row : rows) source->append(row).append(kLineBreak);

        StepTable table;
        table.steps_.reserve(rows.size());
        table.limit_ = source->data() + source->size();
        StepTableBuilder builder(table);
        const char* line = source->data();
        for (const auto& row : rows) {
            builder.addLongLine(line, row.size());
            line += row.size() + kLineBreak.size();
        }
        table.source_ = std::move(source);
        return table;
    }

private:
    // The 8 bytes at `p` as a word in memory order, or those of them before the end of the
    // text and zeros after.
    std::uint64_t peek(const char* p) const {
        const auto room = static_cast<std::size_t>(table_.limit_ - p);
        std::uint64_t word = 0;
        if (room >= 8) [[likely]] {
            std::memcpy(&word, p, 8);
        } else {
            std::memcpy(&word, p, room);
        }
        return word;
    }

    // A text of at most 8 bytes as a peeked word of it would hold it, and the bits of its bytes.
    static constexpr std::uint64_t wordOf(std::string_view text, bool maskOnly = false) {
        std::uint64_t word = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const std::uint64_t byte = maskOnly ? 0xFF : static_cast<unsigned char>(text[i]);
            word |= byte << (std::endian::native == std::endian::little ? 8 * i : 56 - 8 * i);
        }
        return word;
    }

    // Whether a peeked word starts with `code`.
    template <const std::string_view& code>
    static bool is(std::uint64_t word) {
        static_assert(code.size() <= 8);
        constexpr std::uint64_t wanted = wordOf(code);
        constexpr std::uint64_t mask = wordOf(code, true);
        return (word & mask) == wanted;
    }

    // `yes` or `no` without a branch, whichever way the condition goes from line to line.
    template <class T>
    static T select(bool condition, T yes, T no) {
        return no ^ ((yes ^ no) & (T{0} - static_cast<T>(condition)));
    }

    void continueLast(std::string_view f1, bool lineHasBytes) {
        if (table_.steps_.empty()) return;  // nothing to continue
        Step& last = table_.steps_.back();
        if (!lineHasBytes && last.kind != StepKind::Hint) return;
        if (table_.joining_) {
            std::string& joined = table_.joined_->back();
            joined.append(kLineBreak).append(f1);
            last.text = joined;
            return;
        }
        // Both views lie in the source buffer and f1 comes later in it.
        const auto gap = static_cast<std::size_t>(f1.data() - last.text.data());
        if (gap == last.text.size() + kLineBreak.size() &&
            std::memcmp(last.text.data() + last.text.size(), kLineBreak.data(), kLineBreak.size()) == 0) {
            last.text = std::string_view(last.text.data(), gap + f1.size());
            return;
        }
        if (!table_.joined_) table_.joined_ = std::make_unique<std::deque<std::string>>();
        std::string& joined = table_.joined_->emplace_back(last.text);
        joined.append(kLineBreak).append(f1);
        last.text = joined;
        table_.joining_ = true;
    }

    StepTable& table_;
};

namespace {

std::unique_ptr<std::uint32_t[]> readingScratch() {
    return std::make_unique_for_overwrite<std::uint32_t[]>(2 * (StepTable::kReadAhead + kBlock));
}

}  // namespace

StepTable StepTable::fromRows(std::span<const std::string_view> rows) {
    return StepTableBuilder::fromRows(rows);
}

StepTable StepTable::overTextOnDemand(std::string_view text) {
    StepTable table;
    const char* const data = text.data();
    std::size_t end = text.size();
    while (end > 0 && data[end - 1] != '\n') --end;  // the name has no line feed
    table.next_ = data;
    table.end_ = data + end;
    table.limit_ = data + text.size();
    return table;
}

StepTable StepTable::overText(std::string_view text) {
    StepTable table = overTextOnDemand(text);
    // Room for the steps of a scheme whose lines are 64 bytes long on average, so that a large
    // scheme is not copied while the table grows.
    table.steps_.reserve(text.size() / 64);
    table.readOn(SIZE_MAX);
    return table;
}

void StepTable::readTo(std::size_t count) {
    if (!complete() && steps_.size() <= count) readOn(count);
}

// Reads a block of lines at a time until `count` steps are complete or the lines end.
void StepTable::readOn(std::size_t count) {
    const auto scratch = readingScratch();
    StepTableBuilder builder(*this);
    while (!complete() && steps_.size() <= count) {
        const char* const begin = next_;
        auto size = static_cast<std::size_t>(end_ - begin);
        if (size > kReadAhead) {
            // Up to the last line feed among the next kReadAhead bytes.
            const char* lineEnd = begin + kReadAhead;
            while (lineEnd > begin && lineEnd[-1] != '\n') --lineEnd;
            if (lineEnd == begin) {
                // A line longer than a block: found on its own (there is a line feed at end_ - 1).
                const auto lf = static_cast<const char*>(
                    std::memchr(begin + kReadAhead, '\n', static_cast<std::size_t>(end_ - begin) - kReadAhead));
                const std::size_t lineSize = static_cast<std::size_t>(lf - begin);
                builder.addLongLine(begin, lineSize - (lineSize > 0 && lf[-1] == '\r'));
                next_ = lf + 1;
                continue;
            }
            size = static_cast<std::size_t>(lineEnd - begin);
        }
        builder.addLines(begin, size, scratch.get());
        next_ = begin + size;
    }
}

}  // namespace lz::scheme
