// What the way back costs: a scheme run's registry writes made bare, and made the way the
// runner makes them, each after its state has been read and the run's undo file saved whole.
// Natively over the in-memory registry and real files; in the Windows build over the real
// registry and file system (scripts/bench-wine.sh runs it under Wine). Prints the figures.
//
//   undo_bench [--steps N] [--repeat N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "optimizer/registry_deletes.h"
#include "optimizer/undo.h"
#include "steps/registry_steps.h"

#ifdef _WIN32
#include <windows.h>

#include "platform/win32/files_win32.h"
#include "platform/win32/registry_win32.h"
#else
#include "testing/memory_registry.h"
#include "testing/portable_files.h"
#endif

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lz::steps::RegistryWrite;

#ifdef _WIN32
using Registry = lz::registry::Win32Registry;
using Files = lz::files::Win32Files;
const char* const kPlatform = "Win32 registry and files";
void clearBenchKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\LzBench");
}
#else
using Registry = lz::registry::MemoryRegistry;
using Files = lz::test_support::PortableFiles;
const char* const kPlatform = "in-memory registry, real files";
void clearBenchKey() {}
#endif

// The writes of a scheme of `steps` registry steps, as a scheme author writes them: DWORDs and
// strings in a few dozen keys, a tenth of them in keys the run creates, some values written
// twice.
std::vector<RegistryWrite> schemeWrites(int steps) {
    std::vector<RegistryWrite> writes;
    for (int i = 0; i < steps; ++i) {
        const int value = i % 10 == 9 ? i - 5 : i;  // every tenth step writes an earlier value again
        std::string path = "HKEY_CURRENT_USER\\Software\\LzBench\\";
        path += i % 10 == 3 ? "New" + std::to_string(i) + "\\Deep\\" : "Key" + std::to_string(value % 40) + "\\";
        path += "Value" + std::to_string(value);
        const bool dword = i % 2 == 0;
        auto write = lz::steps::prepareRegistryWrite(path, dword ? std::to_string(i) : "text " + std::to_string(i),
                                                     dword ? "SZJZ" : "ZCZ");
        if (!write) std::abort();
        writes.push_back(std::move(*write));
    }
    return writes;
}

// Half of the keys hold values before the run, so the undo file restores data and absences.
void seed(Registry& registry, const std::vector<RegistryWrite>& writes) {
    for (std::size_t i = 0; i < writes.size(); i += 2)
        if (writes[i].entry.subKey.find(u"New") == std::u16string::npos)
            lz::steps::applyRegistryWrite(registry, writes[i]);
}

struct Timing {
    double totalMs = 0;
    double firstTenthMs = 0;  // the first tenth of the writes
    double lastTenthMs = 0;   // the last tenth
    std::uintmax_t fileBytes = 0;
};

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

Timing run(const std::vector<RegistryWrite>& writes, bool withUndo, const fs::path& folder) {
    clearBenchKey();
    Registry registry;
    seed(registry, writes);
    Files files;
    std::error_code error;
    fs::remove_all(folder, error);
    const std::u8string folderText = (folder / "").u8string();
    lz::optimizer::UndoJournal undo(files, {std::string(folderText.begin(), folderText.end())}, "bench.lzvt",
                                    {2026, 1, 1, 0, 0, 0});
    const std::size_t tenth = std::max<std::size_t>(1, writes.size() / 10);
    Timing timing;
    const Clock::time_point start = Clock::now();
    Clock::time_point tenthStart = start;
    for (std::size_t i = 0; i < writes.size(); ++i) {
        if (i == writes.size() - tenth) tenthStart = Clock::now();
        if (withUndo && !undo.recordBefore(registry, writes[i].entry)) {
            std::fprintf(stderr, "the undo record of write %zu could not be saved\n", i);
            std::exit(1);
        }
        if (lz::steps::applyRegistryWrite(registry, writes[i]) != lz::registry::Change::Done) {
            std::fprintf(stderr, "write %zu failed\n", i);
            std::exit(1);
        }
        if (i + 1 == tenth) timing.firstTenthMs = millisSince(start);
    }
    timing.totalMs = millisSince(start);
    timing.lastTenthMs = millisSince(tenthStart);
    const std::string& file = undo.filePath();
    if (withUndo) timing.fileBytes = fs::file_size(fs::path(std::u8string(file.begin(), file.end())), error);
    clearBenchKey();
    fs::remove_all(folder, error);
    return timing;
}

// A key of `keys` subkeys below it, `valuesPerKey` values in each (DWORDs and strings), and
// the time of deleting it whole: bare, or the way the runner deletes it, after reading it all
// into the run's undo file.
double deleteTree(int keys, int valuesPerKey, bool withUndo, const fs::path& folder) {
    clearBenchKey();
    Registry registry;
    for (int k = 0; k < keys; ++k) {
        const std::string key = "HKEY_CURRENT_USER\\Software\\LzBench\\Tree\\Key" + std::to_string(k) + "\\";
        for (int v = 0; v < valuesPerKey; ++v) {
            const bool dword = v % 2 == 0;
            const auto write = lz::steps::prepareRegistryWrite(key + "Value" + std::to_string(v),
                                                               dword ? std::to_string(v) : "text " + std::to_string(v),
                                                               dword ? "SZJZ" : "ZCZ");
            if (!write || lz::steps::applyRegistryWrite(registry, *write) != lz::registry::Change::Done) std::abort();
        }
    }
    Files files;
    std::error_code error;
    fs::remove_all(folder, error);
    const std::u8string folderText = (folder / "").u8string();
    lz::optimizer::UndoJournal undo(files, {std::string(folderText.begin(), folderText.end())}, "bench.lzvt",
                                    {2026, 1, 1, 0, 0, 0});
    const Clock::time_point start = Clock::now();
    const lz::optimizer::DeleteTarget target =
        lz::optimizer::findDeleteTarget(registry, "HKEY_CURRENT_USER\\Software\\LzBench\\Tree\\");
    if (withUndo) {
        const auto snapshot = lz::optimizer::readKeySnapshot(registry, target.entry.root, target.entry.subKey);
        if (!snapshot || snapshot->valueCount() != static_cast<std::size_t>(keys * valuesPerKey) ||
            !undo.recordBefore(target.entry.root, *snapshot)) {
            std::fprintf(stderr, "the key could not be recorded\n");
            std::exit(1);
        }
    }
    if (lz::optimizer::deleteTarget(registry, target) != lz::registry::Change::Done) {
        std::fprintf(stderr, "the key could not be deleted\n");
        std::exit(1);
    }
    const double ms = millisSince(start);
    clearBenchKey();
    fs::remove_all(folder, error);
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int steps = 1000;
    int repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--steps") steps = std::max(10, std::atoi(argv[i + 1]));
        if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    const std::vector<RegistryWrite> writes = schemeWrites(steps);
    const fs::path folder = fs::temp_directory_path() / "lz-undo-bench";

    std::vector<double> bare, recorded, firstTenth, lastTenth;
    std::uintmax_t fileBytes = 0;
    for (int r = 0; r < repeat; ++r) {  // the two sides alternate, so both meet the same load
        bare.push_back(run(writes, false, folder).totalMs);
        const Timing withUndo = run(writes, true, folder);
        recorded.push_back(withUndo.totalMs);
        firstTenth.push_back(withUndo.firstTenthMs);
        lastTenth.push_back(withUndo.lastTenthMs);
        fileBytes = withUndo.fileBytes;
    }
    const double perStep = 1000.0 / steps;  // ms per run -> us per write
    const double tenth = static_cast<double>(std::max(1, steps / 10));
    std::printf("Undo record of a scheme run: %d registry writes, %s, median of %d runs\n", steps, kPlatform, repeat);
    std::printf("  write alone                 %9.1f us per write\n", median(bare) * perStep);
    std::printf("  write with its undo record  %9.1f us per write  (%.1fx the write alone)\n",
                median(recorded) * perStep, median(recorded) / median(bare));
    std::printf("    first tenth of the run    %9.1f us per write\n", median(firstTenth) * 1000.0 / tenth);
    std::printf("    last tenth of the run     %9.1f us per write  (the file is saved whole each time)\n",
                median(lastTenth) * 1000.0 / tenth);
    std::printf("  undo file at the end        %9llu bytes\n", static_cast<unsigned long long>(fileBytes));

    constexpr int kTreeKeys = 1000;
    constexpr int kTreeValuesPerKey = 10;
    std::vector<double> bareDelete, recordedDelete;
    for (int r = 0; r < repeat; ++r) {
        bareDelete.push_back(deleteTree(kTreeKeys, kTreeValuesPerKey, false, folder));
        recordedDelete.push_back(deleteTree(kTreeKeys, kTreeValuesPerKey, true, folder));
    }
    std::printf("Deleting a key of %d subkeys and %d values, median of %d runs\n", kTreeKeys,
                kTreeKeys * kTreeValuesPerKey, repeat);
    std::printf("  delete alone                %9.1f ms\n", median(bareDelete));
    std::printf("  delete with its undo record %9.1f ms  (%.1fx the delete alone)\n", median(recordedDelete),
                median(recordedDelete) / median(bareDelete));
    return 0;
}
