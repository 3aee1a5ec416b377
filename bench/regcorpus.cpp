// Reads every .reg file under a folder, a collection of real files people share, and prints what
// the reader made of them: files read and not recognised, operations by kind and value type,
// key roots, problems by reason (with the first place each was seen), the slowest file and any
// that took suspiciously long. Then times reading a generated file of many values, in both
// versions of the format, against one pass that only counts its line breaks.
// Prints figures; never fails a build.
//
//   regcorpus [folder] [--values N]     (folder: ../shared/regcorpus beside the source tree)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "editor/reg_import.h"
#include "platform/text.h"
#include "regfile/reader.h"
#include "regfile/writer.h"

namespace {

namespace fs = std::filesystem;
namespace rf = lz::regfile;
using Clock = std::chrono::steady_clock;

// A file read slower than this is worth a look: the reader takes some tens of nanoseconds a
// byte, so this is a reading far from linear, or stuck. Small files, whose time is mostly the
// fixed cost of a read, are not judged.
constexpr double kSuspiciousNsPerByte = 1000.0;
constexpr double kJudgedFromMs = 5.0;

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string fileText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool isRegFile(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".reg";
}

const char* kindName(rf::OperationKind kind) {
    switch (kind) {
        case rf::OperationKind::AddKey:
            return "add key";
        case rf::OperationKind::DeleteKey:
            return "delete key";
        case rf::OperationKind::SetValue:
            return "set value";
        case rf::OperationKind::DeleteValue:
            return "delete value";
    }
    return "?";
}

std::string typeName(std::uint32_t type) {
    switch (type) {
        case rf::type::kNone:
            return "REG_NONE";
        case rf::type::kString:
            return "REG_SZ";
        case rf::type::kExpandString:
            return "REG_EXPAND_SZ";
        case rf::type::kBinary:
            return "REG_BINARY";
        case rf::type::kDword:
            return "REG_DWORD";
        case rf::type::kMultiString:
            return "REG_MULTI_SZ";
        case rf::type::kQword:
            return "REG_QWORD";
    }
    return "type " + std::to_string(type);
}

const char* rootName(rf::Root root) {
    switch (root) {
        case rf::Root::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
        case rf::Root::CurrentUser:
            return "HKEY_CURRENT_USER";
        case rf::Root::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case rf::Root::Users:
            return "HKEY_USERS";
        case rf::Root::CurrentConfig:
            return "HKEY_CURRENT_CONFIG";
        case rf::Root::Unknown:
            break;
    }
    return "unknown root";
}

const char* formName(const rf::Parsed& parsed) {
    if (parsed.header == rf::Header::None) return "not a registry file";
    const bool v4 = parsed.header == rf::Header::Regedit4;
    switch (parsed.encoding) {
        case rf::Encoding::Utf16:
            return v4 ? "REGEDIT4, UTF-16" : "5.00, UTF-16";
        case rf::Encoding::Utf8:
            return v4 ? "REGEDIT4, UTF-8" : "5.00, UTF-8";
        case rf::Encoding::Gbk:
            return v4 ? "REGEDIT4, ANSI" : "5.00, ANSI";
    }
    return "?";
}

template <typename Key>
void printCounts(const char* title, const std::map<Key, int>& counts, auto name) {
    std::vector<std::pair<Key, int>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    std::printf("%s\n", title);
    for (const auto& [key, count] : sorted) std::printf("  %8d  %s\n", count, name(key).c_str());
}

struct ReasonSeen {
    int count = 0;
    int files = 0;
    std::string first;  // file:line
};

void readCorpus(const fs::path& folder) {
    std::vector<fs::path> paths;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file(error) && isRegFile(it->path())) paths.push_back(it->path());
    }
    if (error || paths.empty()) {
        std::printf("no .reg files under %s\n", folder.string().c_str());
        return;
    }
    std::sort(paths.begin(), paths.end());

    std::map<std::string, int> forms, kinds, types, roots;
    std::map<rf::Reason, ReasonSeen> reasons;
    int filesWithProblems = 0, filesWhole = 0;
    long long importedSteps = 0, leftOutEntries = 0;
    std::map<std::string, int> leftOutReasons;
    long long operations = 0, bytes = 0;
    double totalMs = 0, slowestMs = 0;
    fs::path slowest;
    std::vector<std::pair<fs::path, double>> suspicious;

    for (const fs::path& path : paths) {
        const std::string content = fileText(path);
        const Clock::time_point start = Clock::now();
        const rf::Parsed parsed = rf::read(content);
        const double ms = millisSince(start);
        totalMs += ms;
        bytes += static_cast<long long>(content.size());
        if (ms > slowestMs) slowestMs = ms, slowest = path;
        if (ms > kJudgedFromMs && ms * 1e6 > kSuspiciousNsPerByte * static_cast<double>(content.size())) {
            suspicious.emplace_back(path, ms);
        }

        ++forms[formName(parsed)];
        operations += static_cast<long long>(parsed.operations.size());
        for (const rf::Operation& operation : parsed.operations) {
            ++kinds[kindName(operation.kind)];
            if (operation.kind == rf::OperationKind::SetValue) ++types[typeName(operation.data.type)];
            ++roots[rootName(rf::splitRoot(operation.key).root)];
        }
        if (!parsed.problems.empty()) ++filesWithProblems;

        // What the editor's import makes of the file: steps, and entries left out with a reason.
        const lz::editor::RegImport imported = lz::editor::importRegistryFile(content);
        if (imported.isRegistryFile) {
            importedSteps += static_cast<long long>(imported.rows.size());
            leftOutEntries += static_cast<long long>(imported.leftOut.size());
            if (imported.leftOut.empty()) ++filesWhole;
            for (const lz::editor::LeftOut& entry : imported.leftOut) ++leftOutReasons[entry.reason];
        }
        std::map<rf::Reason, bool> inThisFile;
        for (const rf::Problem& problem : parsed.problems) {
            ReasonSeen& seen = reasons[problem.reason];
            if (seen.count++ == 0) {
                seen.first = fs::relative(path, folder, error).string() + ":" + std::to_string(problem.line);
            }
            if (!inThisFile[problem.reason]) ++seen.files, inThisFile[problem.reason] = true;
        }
    }

    const auto same = [](const std::string& s) { return s; };
    std::printf("Corpus %s\n", folder.string().c_str());
    std::printf("  %zu files, %lld bytes, read in %.1f ms in all\n", paths.size(), bytes, totalMs);
    std::printf("  not recognised as registry files: %d\n", forms["not a registry file"]);
    std::printf("  files with at least one problem: %d\n", filesWithProblems);
    printCounts("Files by form", forms, same);
    std::printf("Operations: %lld\n", operations);
    printCounts("  by kind", kinds, same);
    printCounts("  values set, by type", types, same);
    printCounts("  by root of the key", roots, same);

    std::vector<std::pair<rf::Reason, ReasonSeen>> sorted(reasons.begin(), reasons.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second.count > b.second.count; });
    std::printf("Problems by reason (lines, files, first seen)\n");
    for (const auto& [reason, seen] : sorted) {
        std::printf("  %6d  %5d  %s (%d)  %s\n", seen.count, seen.files, std::string(rf::reasonText(reason)).c_str(),
                    static_cast<int>(reason), seen.first.c_str());
    }
    const long long entries = importedSteps + leftOutEntries;
    std::printf("Imported as scheme steps: %lld of %lld entries (%.1f %%); %d files whole\n", importedSteps, entries,
                entries ? 100.0 * static_cast<double>(importedSteps) / static_cast<double>(entries) : 0.0, filesWhole);
    printCounts("  left out, by reason", leftOutReasons, same);
    std::printf("Slowest file: %.3f ms, %s (%ju bytes)\n", slowestMs,
                fs::relative(slowest, folder, error).string().c_str(), fs::file_size(slowest, error));
    if (suspicious.empty()) {
        std::printf("No file took over %.0f ms at more than %.0f ns a byte.\n", kJudgedFromMs, kSuspiciousNsPerByte);
    } else {
        std::printf("SUSPICIOUS: %zu files took over %.0f ms at more than %.0f ns a byte:\n", suspicious.size(),
                    kJudgedFromMs, kSuspiciousNsPerByte);
        for (const auto& [path, ms] : suspicious) std::printf("  %.1f ms  %s\n", ms, path.string().c_str());
    }
}

// The text of a file of `values` values in sections of 20: DWORDs, strings with Chinese text,
// binary data over several lines, expandable strings, deletions.
std::u16string generatedText(int values) {
    std::vector<rf::Operation> operations;
    operations.reserve(static_cast<std::size_t>(values + values / 20 + 1));
    std::u16string key;
    for (int i = 0; i < values; ++i) {
        if (i % 20 == 0) {
            key = u"HKEY_CURRENT_USER\\Software\\LZ Bench\\键" + lz::text::utf8ToUtf16(std::to_string(i / 20));
            operations.push_back({rf::OperationKind::AddKey, key, u"", {}, 0});
        }
        rf::Operation value{rf::OperationKind::SetValue, key, u"值" + lz::text::utf8ToUtf16(std::to_string(i)), {}, 0};
        const auto string = [](std::u16string_view text) {
            std::vector<std::uint8_t> bytes;
            for (char16_t unit : text) bytes.push_back(static_cast<std::uint8_t>(unit)), bytes.push_back(unit >> 8);
            bytes.insert(bytes.end(), 2, 0);
            return bytes;
        };
        switch (i % 5) {
            case 0:
            case 1:
                value.data = {rf::type::kDword, {static_cast<std::uint8_t>(i), 0, 1, 0}};
                break;
            case 2:
                value.data = {rf::type::kString, string(u"C:\\Program Files\\方案 \"" + value.name + u"\"")};
                break;
            case 3:
                value.data = {i % 2 ? rf::type::kBinary : rf::type::kExpandString,
                              std::vector<std::uint8_t>(static_cast<std::size_t>(i % 97), 0x5A)};
                break;
            case 4:
                value.kind = rf::OperationKind::DeleteValue;
                break;
        }
        operations.push_back(std::move(value));
    }
    return rf::writeOperations(operations);
}

// The best of a few runs of `f`, in milliseconds.
template <typename F>
double bestOf(int runs, F f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        f();
        best = std::min(best, millisSince(start));
    }
    return best;
}

void timeGenerated(int values) {
    const std::u16string text = generatedText(values);
    std::u16string regedit4Text = text;
    regedit4Text.replace(0, rf::kHeader.size(), u"REGEDIT4");
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"5.00, UTF-16", rf::fileBytes(text)},
        {"REGEDIT4, ANSI", lz::text::utf16ToGbk(regedit4Text)},
    };
    std::printf("A generated file of %d values\n", values);
    for (const auto& file : files) {
        std::size_t operations = 0, problems = 0;
        const double readMs = bestOf(5, [&] {
            const rf::Parsed parsed = rf::read(file.bytes);
            operations = parsed.operations.size();
            problems = parsed.problems.size();
        });
        std::size_t breaks = 0;
        const double countMs = bestOf(
            5, [&] { breaks = static_cast<std::size_t>(std::count(file.bytes.begin(), file.bytes.end(), '\n')); });
        std::printf(
            "  %-15s %6.2f MB: read in %7.2f ms (%zu operations, %zu problems, %zu lines); "
            "counting line breaks %.2f ms, ratio %.0f\n",
            file.name, static_cast<double>(file.bytes.size()) / 1e6, readMs, operations, problems, breaks + 1, countMs,
            readMs / std::max(countMs, 1e-6));
    }
}

}  // namespace

int main(int argc, char** argv) {
    fs::path folder = fs::path(LZ_SOURCE_DIR) / ".." / "shared" / "regcorpus";
    int values = 100'000;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--values" && i + 1 < argc) {
            values = std::max(1, std::atoi(argv[++i]));
        } else {
            folder = argument;
        }
    }
    readCorpus(folder.lexically_normal());
    timeGenerated(values);
    return 0;
}
