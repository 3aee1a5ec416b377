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

namespace {

template <class Row>
std::string serializeRows(std::span<const Row> rows, std::string_view name) {
  std::size_t size = name.size();
  for (const auto& row : rows) size += row.size() + kLineBreak.size();
  std::string text;
  text.reserve(size);
  for (const auto& row : rows) text.append(row).append(kLineBreak);
  text.append(name);
  return text;
}

}  // namespace

std::string serialize(std::span<const std::string> rows, std::string_view name) { return serializeRows(rows, name); }

std::string serialize(std::span<const std::string_view> rows, std::string_view name) {
  return serializeRows(rows, name);
}

// ---- Lines ---------------------------------------------------------------------------------

std::size_t countLines(std::string_view text) {
  std::size_t count = 1;
  const char* p = text.data();
  const char* const end = p + text.size();
  while (p < end) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    if (!lf) break;
    ++count;
    p = static_cast<const char*>(lf) + 1;
  }
  return count;
}

namespace {

// A line ending at a line feed at `lf` loses one carriage return directly before it.
std::string_view lineBefore(std::string_view text, std::size_t start, std::size_t lf) {
  std::size_t end = lf;
  if (end > start && text[end - 1] == '\r') --end;
  return text.substr(start, end - start);
}

}  // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  lines.reserve(countLines(text));  // one allocation: growing a large table costs more than counting
  std::size_t start = 0;
  while (true) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) break;
    lines.push_back(lineBefore(text, start, lf));
    start = lf + 1;
  }
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
    case StepKind::Hint: return kHintKind;
    case StepKind::Write: return kWriteKind;
    case StepKind::Delete: return kDeleteKind;
  }
  return {};
}

std::string_view typeCode(ValueType type) {
  switch (type) {
    case ValueType::None: return kNone;
    case ValueType::Binary: return kBinaryCode;
    case ValueType::Dword: return kDwordCode;
    case ValueType::String: return kStringCode;
  }
  return {};
}

// Builds a step table line by line. Every line must be a view into one buffer that outlives
// the table, in order. A continuation usually follows its step directly with "\r\n" in that
// buffer, so the joined text is just a longer view; only otherwise (a bare line feed, a
// continuation of a registry path, a line with "|") is the text copied and joined.
class StepTableBuilder {
 public:
  static constexpr unsigned kMaxBars = 4;  // the fourth "|" ends f4

  explicit StepTableBuilder(StepTable& table) : table_(table) {}

  // `bars`: positions in `line` of its first `barCount` "|" (at most kMaxBars); the array has
  // room for one more entry, which this call uses as the end of the last field.
  void addLine(std::string_view line, std::size_t* bars, unsigned barCount) {
    bars[barCount] = line.size();
    const char* const data = line.data();
    const auto field = [&](unsigned k) {  // field k + 1, empty at the end of the line if absent
      if (k > barCount) return std::string_view(data + line.size(), 0);
      const std::size_t start = k == 0 ? 0 : bars[k - 1] + 1;
      return std::string_view(data + start, bars[k] - start);
    };
    const std::string_view f1(data, bars[0]);
    if (f1 == kHintKind) {
      push({StepKind::Hint, ValueType::None, field(1), kNone});
    } else if (f1 == kDeleteKind) {
      push({StepKind::Delete, ValueType::None, field(1), kNone});
    } else if (barCount >= 3) {
      push({StepKind::Write, normalisedType(field(3)), field(1), field(2)});
    } else if (!table_.steps_.empty() && (!line.empty() || table_.steps_.back().kind == StepKind::Hint)) {
      continueLast(f1);
    }
  }

  // The table keeps the buffer the lines came from.
  void adoptSource(std::unique_ptr<std::string> source) { table_.source_ = std::move(source); }

  void finish() {
    flushJoined();
    if (fixups_.empty()) return;
    const std::string& joined = *table_.joined_;
    for (const auto& fixup : fixups_) {
      table_.steps_[fixup.step].text = std::string_view(joined).substr(fixup.offset, fixup.size);
    }
  }

 private:
  struct Fixup {
    std::size_t step;
    std::size_t offset;
    std::size_t size;
  };

  static ValueType normalisedType(std::string_view code) {
    if (code == kBinaryCode) return ValueType::Binary;
    if (code == kDwordCode) return ValueType::Dword;
    return ValueType::String;
  }

  void push(const Step& step) {
    flushJoined();
    table_.steps_.push_back(step);
  }

  void continueLast(std::string_view f1) {
    Step& last = table_.steps_.back();
    if (joining_) {
      joining_->append(kLineBreak).append(f1);
      return;
    }
    // Both views lie in the source buffer and f1 comes later in it.
    const auto gap = static_cast<std::size_t>(f1.data() - last.text.data());
    if (gap == last.text.size() + kLineBreak.size() &&
        std::memcmp(last.text.data() + last.text.size(), kLineBreak.data(), kLineBreak.size()) == 0) {
      last.text = std::string_view(last.text.data(), gap + f1.size());
      return;
    }
    joining_ = &scratch_;
    scratch_.assign(last.text).append(kLineBreak).append(f1);
  }

  // The last step's text is complete: move it into the table's joined storage.
  void flushJoined() {
    if (!joining_) return;
    if (!table_.joined_) table_.joined_ = std::make_unique<std::string>();
    fixups_.push_back({table_.steps_.size() - 1, table_.joined_->size(), scratch_.size()});
    table_.joined_->append(scratch_);
    joining_ = nullptr;
  }

  StepTable& table_;
  std::string scratch_;
  std::string* joining_ = nullptr;  // &scratch_ while the last step's text is being joined
  std::vector<Fixup> fixups_;
};

namespace {

// Feeds every line that ends with a line feed to the builder; the text after the last line
// feed is the scheme name and is not parsed. One pass finds both the line feeds and the "|".
LZ_SCHEME_FLATTEN void parseLines(std::string_view text, StepTableBuilder& builder) {
  std::size_t bars[StepTableBuilder::kMaxBars + 1];
  unsigned barCount = 0;
  std::size_t lineStart = 0;
  const char* const data = text.data();
  const auto lineFeedAt = [&](std::size_t pos) {
    builder.addLine(lineBefore(text, lineStart, pos), bars, barCount);
    lineStart = pos + 1;
    barCount = 0;
  };
  const auto barAt = [&](std::size_t pos) {
    if (barCount < StepTableBuilder::kMaxBars) bars[barCount++] = pos - lineStart;
  };

  std::size_t pos = 0;
#ifdef LZ_SCHEME_SSE2
  // 32 bytes at a time: one bit per byte for line feeds and one for "|".
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i bar = _mm_set1_epi8('|');
  const auto masks = [&](const char* p, std::uint32_t& lineFeeds, std::uint32_t& bars) {
    const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    lineFeeds = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(lo, lineFeed))) |
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(hi, lineFeed))) << 16;
    bars = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(lo, bar))) |
           static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(hi, bar))) << 16;
  };
  for (; pos + 32 <= text.size(); pos += 32) {
    std::uint32_t lineFeeds;
    std::uint32_t barBits;
    masks(data + pos, lineFeeds, barBits);
    // Line feeds are few; the "|" before each of them are taken in a run of their own, so
    // the loop does not branch on which kind of byte comes next.
    for (; lineFeeds != 0; lineFeeds &= lineFeeds - 1) {
      const int bit = std::countr_zero(lineFeeds);
      for (std::uint32_t before = barBits & ((1u << bit) - 1); before != 0; before &= before - 1) {
        barAt(pos + static_cast<std::size_t>(std::countr_zero(before)));
      }
      barBits &= ~((2u << bit) - 1);
      lineFeedAt(pos + static_cast<std::size_t>(bit));
    }
    for (; barBits != 0; barBits &= barBits - 1) {
      barAt(pos + static_cast<std::size_t>(std::countr_zero(barBits)));
    }
  }
#endif
  for (; pos < text.size(); ++pos) {
    if (data[pos] == '\n') lineFeedAt(pos);
    if (data[pos] == '|') barAt(pos);
  }
}

unsigned findBars(std::string_view line, std::size_t* bars) {
  unsigned count = 0;
  std::size_t pos = 0;
  while (count < StepTableBuilder::kMaxBars) {
    pos = line.find('|', pos);
    if (pos == std::string_view::npos) break;
    bars[count++] = pos++;
  }
  return count;
}

template <class Row>
StepTable tableFromRows(std::span<const Row> rows) {
  // The rows are copied into one buffer, one after the other with "\r\n" between them, so
  // that the rows of a multi-line hint join without a further copy. Each row is still parsed
  // as exactly the row it is.
  std::size_t size = 0;
  for (const auto& row : rows) size += row.size() + kLineBreak.size();
  auto source = std::make_unique<std::string>();
  source->reserve(size);
  for (const auto& row : rows) source->append(row).append(kLineBreak);

  StepTable table;
  StepTableBuilder builder(table);
  std::size_t start = 0;
  std::size_t bars[StepTableBuilder::kMaxBars + 1];
  for (const auto& row : rows) {
    const std::string_view line = std::string_view(*source).substr(start, row.size());
    builder.addLine(line, bars, findBars(line, bars));
    start += row.size() + kLineBreak.size();
  }
  builder.finish();
  builder.adoptSource(std::move(source));
  return table;
}

}  // namespace

StepTable StepTable::fromRows(std::span<const std::string> rows) { return tableFromRows(rows); }

StepTable StepTable::fromRows(std::span<const std::string_view> rows) { return tableFromRows(rows); }

StepTable StepTable::overText(std::string_view text) {
  StepTable table;
  // Room for the steps of a scheme whose lines are 64 bytes long on average, so that a large
  // scheme is not copied while the table grows.
  table.steps_.reserve(text.size() / 64);
  StepTableBuilder builder(table);
  parseLines(text, builder);
  builder.finish();
  return table;
}

StepTable StepTable::fromText(std::string text) {
  auto source = std::make_unique<std::string>(std::move(text));
  StepTable table;
  table.steps_.reserve(source->size() / 64);  // as in overText
  StepTableBuilder builder(table);
  parseLines(*source, builder);
  builder.finish();
  builder.adoptSource(std::move(source));
  return table;
}

}  // namespace lz::scheme
