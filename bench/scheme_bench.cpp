// Reading a large scheme, measured against the cheapest possible pass over it: counting its
// lines with memchr. Prints both times and their ratio at the end.
//
//   scheme_bench [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "scheme/scheme.h"

namespace {

namespace sc = lz::scheme;

constexpr int kSteps = 100'000;

// A scheme of kSteps steps (about 10 MB): registry writes of all three types, deletes and
// hints, some hints over several lines, Chinese text in GBK; CRLF and a name, as saved.
const std::string& bigScheme() {
    static const std::string text = [] {
        std::mt19937 random(20240601);
        const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        // GBK bytes of "优化", "注册表", "提示", "系统" and an ASCII word or two.
        const char* const words[] = {"\xD3\xC5\xBB\xAF", "\xD7\xA2\xB2\xE1\xB1\xED",
                                     "\xCC\xE1\xCA\xBE", "\xCF\xB5\xCD\xB3",
                                     "Explorer",         "Desktop",
                                     "Advanced",         "Policies"};
        const auto phrase = [&](int count) {
            std::string s;
            for (int i = 0; i < count; ++i) s.append(words[pick(8)]).append(i + 1 < count ? " " : "");
            return s;
        };
        const auto path = [&] {
            std::string p = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\";
            for (int i = 0, n = 1 + pick(3); i < n; ++i) p.append(phrase(1)).append("\\");
            return p.append("Value").append(std::to_string(pick(1000)));
        };
        std::vector<std::string> rows;
        rows.reserve(kSteps * 2);
        for (int i = 0; i < kSteps; ++i) {
            const int kind = pick(10);
            if (kind < 6) {
                const char* const types[] = {"SZJZ", "ZCZ", "EJZSZ"};
                rows.push_back(sc::composeWrite(path(), std::to_string(pick(100000)), types[pick(3)]));
            } else if (kind < 7) {
                rows.push_back(sc::composeDelete(path()));
            } else {
                std::string hint = phrase(6 + pick(10));
                for (int line = 0, extra = kind == 9 ? 1 + pick(3) : 0; line < extra; ++line) {
                    hint.append("\r\n").append(phrase(4 + pick(8)));
                }
                rows.push_back(sc::composeHint(hint));
            }
        }
        return sc::serialize(rows, "\xB4\xF3\xB7\xBD\xB0\xB8");  // "大方案"
    }();
    return text;
}

std::size_t memchrLineCount(const std::string& text) {
    std::size_t count = 1;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p))) {
        ++count;
        p = static_cast<const char*>(lf) + 1;
    }
    return count;
}

void setBytes(benchmark::State& state, std::size_t size) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(size));
}

void BM_MemchrLineCount(benchmark::State& state) {
    const std::string& text = bigScheme();
    for (auto _ : state) benchmark::DoNotOptimize(memchrLineCount(text));
    setBytes(state, text.size());
    state.counters["lines"] = static_cast<double>(memchrLineCount(text));
}

void BM_SplitAndParse(benchmark::State& state) {
    const std::string& text = bigScheme();
    std::size_t steps = 0;
    for (auto _ : state) {
        const auto table = sc::StepTable::overText(text);
        steps = table.size();
        benchmark::DoNotOptimize(table.steps().data());
    }
    setBytes(state, text.size());
    state.counters["steps"] = static_cast<double>(steps);
}

void BM_SplitLinesThenParseRows(benchmark::State& state) {
    const std::string& text = bigScheme();
    for (auto _ : state) {
        auto lines = sc::splitLines(text);
        lines.pop_back();
        const auto table = sc::StepTable::fromRows(std::span<const std::string_view>(lines));
        benchmark::DoNotOptimize(table.steps().data());
    }
    setBytes(state, text.size());
}

void BM_ReadForEditor(benchmark::State& state) {
    const std::string& text = bigScheme();
    for (auto _ : state) {
        const auto scheme = sc::readForEditor(text);
        benchmark::DoNotOptimize(scheme.rows.data());
    }
    setBytes(state, text.size());
}

void BM_GbkToUtf16(benchmark::State& state) {
    const std::string& text = bigScheme();
    for (auto _ : state) benchmark::DoNotOptimize(lz::text::gbkToUtf16(text).data());
    setBytes(state, text.size());
}

void BM_GbkToUtf8(benchmark::State& state) {
    const std::string& text = bigScheme();
    for (auto _ : state) benchmark::DoNotOptimize(lz::text::gbkToUtf8(text).data());
    setBytes(state, text.size());
}

void BM_Utf8ToGbk(benchmark::State& state) {
    const std::string utf8 = lz::text::gbkToUtf8(bigScheme());
    for (auto _ : state) benchmark::DoNotOptimize(lz::text::utf8ToGbk(utf8).data());
    setBytes(state, utf8.size());
}

BENCHMARK(BM_MemchrLineCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitAndParse)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitLinesThenParseRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadForEditor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GbkToUtf16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GbkToUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Utf8ToGbk)->Unit(benchmark::kMillisecond);

// Remembers the fastest time per benchmark so that main can print the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            const double ms = run.GetAdjustedRealTime();  // in the benchmark's unit (ms)
            auto [it, inserted] = best_.try_emplace(run.run_name.function_name, ms);
            if (!inserted && ms < it->second) it->second = ms;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double best(const std::string& name) const {
        const auto it = best_.find(name);
        return it == best_.end() ? 0.0 : it->second;
    }

private:
    std::map<std::string, double> best_;
};

std::pair<double, double> interleavedBest(int rounds) {
    using Clock = std::chrono::steady_clock;
    const std::string& text = bigScheme();
    double countBest = 1e300;
    double parseBest = 1e300;
    const auto millis = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    for (int i = 0; i < rounds; ++i) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(memchrLineCount(text));
        countBest = std::min(countBest, millis(Clock::now() - start));
        start = Clock::now();
        {
            const auto table = sc::StepTable::overText(text);
            benchmark::DoNotOptimize(table.steps().data());
        }
        parseBest = std::min(parseBest, millis(Clock::now() - start));
    }
    return {countBest, parseBest};
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("scheme: %zu bytes, %zu lines, %d steps\n", bigScheme().size(), memchrLineCount(bigScheme()), kSteps);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double count = reporter.best("BM_MemchrLineCount");
    const double parse = reporter.best("BM_SplitAndParse");
    if (count > 0 && parse > 0) {
        std::printf("best of the runs above: memchr line count %.3f ms, split+parse %.3f ms, ratio %.2f\n", count,
                    parse, parse / count);
    }
    // The same two, alternating, so that both see the same machine load; fastest of each.
    const auto [countMs, parseMs] = interleavedBest(40);
    std::printf(
        "interleaved, fastest of 40: memchr line count %.3f ms, split+parse %.3f ms, ratio %.2f (target <= 2)\n",
        countMs, parseMs, parseMs / countMs);
    return 0;
}
