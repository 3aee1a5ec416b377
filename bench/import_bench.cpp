// What importing a registry file costs in the editor, against opening a scheme of as many
// steps: the editor's own handlers over the in-memory window and real files, each file read
// from disk, mapped or split, and listed. Prints the figures and their ratio.
//
//   import_bench [--values N] [--repeat N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "editor/app.h"
#include "editor/layouts.h"
#include "regfile/writer.h"
#include "testing/fixed_clock.h"
#include "testing/memory_clipboard.h"
#include "testing/memory_process.h"
#include "testing/memory_registry.h"
#include "testing/portable_files.h"
#include "testing/ui/memory_window.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A registry file of `values` values in a few hundred keys, DWORDs and strings, as tweak files
// hold them.
std::string registryFile(int values) {
    lz::regfile::Writer writer;
    for (int i = 0; i < values; ++i) {
        writer.section(u"HKEY_CURRENT_USER\\Software\\LzBench\\Key" + std::u16string(1, u'A' + i / 400 % 26) +
                       std::u16string(1, u'a' + i / 10400 % 26));
        const std::string number = std::to_string(i);
        const std::u16string name = u"Value" + std::u16string(number.begin(), number.end());
        if (i % 2 == 0) {
            writer.value(name, {lz::regfile::type::kDword, {static_cast<std::uint8_t>(i), 0, 0, 0}});
        } else {
            std::vector<std::uint8_t> text;
            for (char16_t c : u"text of a value") {
                text.push_back(static_cast<std::uint8_t>(c));
                text.push_back(0);
            }
            writer.value(name, {lz::regfile::type::kString, text});
        }
    }
    return lz::regfile::fileBytes(writer.text());
}

// A scheme of `steps` steps of the same kinds.
std::string schemeFile(int steps) {
    std::string text;
    for (int i = 0; i < steps; ++i) {
        text += "ZCBTJ|HKEY_CURRENT_USER\\Software\\LzBench\\Key\\Value" + std::to_string(i) + "|";
        text += i % 2 == 0 ? std::to_string(i) + "|SZJZ\r\n" : "text of a value|ZCZ\r\n";
    }
    return text + "name";
}

// Opens `file` with 打开文件 in a fresh editor and returns the milliseconds it took, and the rows.
double open(const std::string& file, int& rows) {
    lz::ui::MemoryDesktop desktop;
    lz::registry::MemoryRegistry registry;
    lz::test_support::PortableFiles files;
    lz::process::MemoryProcess process;
    lz::clipboard::MemoryClipboard clipboard;
    lz::test_support::FixedClock clock;
    lz::editor::EditorState state;
    lz::editor::Services services{registry, files, process, clipboard, clock};
    lz::ui::MemoryWindow& w =
        desktop.open(lz::editor::mainWindowLayout(), lz::editor::mainWindowHandlers(state, services));
    desktop.answerFileDialog(file);
    const Clock::time_point start = Clock::now();
    w.click(lz::editor::main_window::kOpen);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    rows = w.rowCount(lz::editor::main_window::kSteps);
    return ms;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int values = 100000;
    int repeat = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--values") values = std::max(10, std::atoi(argv[i + 1]));
        if (option == "--repeat") repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    const fs::path folder = fs::temp_directory_path() / "lz-import-bench";
    fs::create_directories(folder);
    const std::string regBytes = registryFile(values);
    const std::string schemeBytes = schemeFile(values);
    writeFile(folder / "tweaks.reg", regBytes);
    writeFile(folder / "tweaks.lzvt", schemeBytes);
    const std::u8string regPath = (folder / "tweaks.reg").u8string();
    const std::u8string schemePath = (folder / "tweaks.lzvt").u8string();

    std::vector<double> imports, opens;
    int importedRows = 0, openedRows = 0;
    for (int r = 0; r < repeat; ++r) {  // alternating, so both meet the same load
        imports.push_back(open(std::string(regPath.begin(), regPath.end()), importedRows));
        opens.push_back(open(std::string(schemePath.begin(), schemePath.end()), openedRows));
    }
    std::error_code error;
    fs::remove_all(folder, error);
    if (importedRows != values || openedRows != values) {
        std::fprintf(stderr, "listed %d and %d rows, not %d\n", importedRows, openedRows, values);
        return 1;
    }
    std::printf("Importing a registry file against opening a scheme in the editor, %d entries, median of %d\n", values,
                repeat);
    std::printf("  open a scheme (%zu bytes)            %8.1f ms\n", schemeBytes.size(), median(opens));
    std::printf("  import a registry file (%zu bytes)  %8.1f ms  (%.2fx the scheme; goal: within 2x)\n",
                regBytes.size(), median(imports), median(imports) / median(opens));
    return 0;
}
