#include "editor/conversion.h"

#include <string>
#include <string_view>
#include <vector>

#include "editor/reg_export.h"
#include "editor/reg_import.h"
#include "platform/cmdline.h"
#include "platform/text.h"
#include "regfile/reader.h"
#include "scheme/scheme.h"

namespace lz::editor {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

enum class Direction { Import, Export };

std::optional<Direction> directionOf(std::string_view argument) {
    if (cmdline::isSwitch(argument, "/import")) return Direction::Import;
    if (cmdline::isSwitch(argument, "/export")) return Direction::Export;
    return std::nullopt;
}

// A failure is told to the standard error when there is one, and nowhere else: the exit code
// says it all the same.
int fail(process::Process& process, std::string_view message, std::string_view subject) {
    std::string text(message);
    text.append(subject).append(kLineEnd);
    process.writeError(text);
    return kNothingConverted;
}

int usageError(process::Process& process, std::string_view reason, std::string_view subject = {}) {
    std::string text(reason);
    text.append(subject).append(kLineEnd).append(kUsage);
    process.writeError(text);
    return kNothingConverted;
}

// The file name of a path without its extension: "C:\方案\加快关机.reg" gives "加快关机". A name
// that only starts with a dot keeps it.
std::string_view baseName(std::string_view path) {
    const std::size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

// Lists what was left out: on the standard error, or beside OUT when there is none.
void report(process::Process& process, files::Files& files, std::string_view in, std::string_view out,
            std::span<const LeftOut> leftOut) {
    std::string text(in);
    text.append(" 中有 ")
        .append(std::to_string(leftOut.size()))
        .append(" 项未能转换，其余已写入 ")
        .append(out)
        .append("：")
        .append(kLineEnd)
        .append(describeLeftOut(leftOut));
    if (process.writeError(text)) return;
    std::string file(kUtf8Mark);
    file.append(text);
    files.writeAll(std::string(out) + ".txt", file);
}

struct Converted {
    std::string fileBytes;
    std::vector<LeftOut> leftOut;
};

int convert(Direction direction, std::string_view in, std::string_view out, files::Files& files,
            process::Process& process) {
    const std::optional<std::string> bytes = files.readAll(in);
    if (!bytes) return fail(process, kUnreadableMessage, in);

    Converted converted;
    if (direction == Direction::Import) {
        RegImport imported = importRegistryFile(*bytes);
        // A file without the header yields nothing but that one complaint; it is no .reg file
        // at all, and no scheme is made of it.
        if (imported.rows.empty() && regfile::read(*bytes).header == regfile::Header::None)
            return fail(process, kNotARegistryFileMessage, in);
        converted.fileBytes = scheme::serialize(imported.rows, text::utf8ToGbk(baseName(in)));
        converted.leftOut = std::move(imported.leftOut);
    } else {
        const scheme::EditorScheme scheme = scheme::readForEditor(*bytes);
        const std::vector<std::string> rows(scheme.rows.begin(), scheme.rows.end());
        RegExport exported = exportScheme(rows, scheme.name);
        converted.fileBytes = std::move(exported.fileBytes);
        converted.leftOut = std::move(exported.leftOut);
    }

    if (!files.writeAll(out, converted.fileBytes)) return fail(process, kUnwritableMessage, out);
    if (converted.leftOut.empty()) return kConvertedAll;
    report(process, files, in, out, converted.leftOut);
    return kConvertedSome;
}

}  // namespace

std::optional<int> runConversion(std::span<const std::string> arguments, files::Files& files,
                                 process::Process& process) {
    if (arguments.empty()) return std::nullopt;
    const std::optional<Direction> direction = directionOf(arguments[0]);
    if (!direction) return std::nullopt;

    const std::span<const std::string> paths = arguments.subspan(1);
    // Paths on Windows are written with "\": an argument that starts with "/" is a switch, and
    // none but the first is known.
    for (const std::string& path : paths) {
        if (path.starts_with('/')) return usageError(process, kUnknownSwitchMessage, path);
    }
    if (paths.size() > 2) return usageError(process, kTooManyArgumentsMessage);
    if (paths.size() < 2 || paths[0].empty() || paths[1].empty()) return usageError(process, kMissingArgumentsMessage);
    return convert(*direction, paths[0], paths[1], files, process);
}

}  // namespace lz::editor
