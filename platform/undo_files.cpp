#include "platform/undo_files.h"

namespace lz::undo_files {
namespace {

constexpr int kNameAttempts = 100;  // files in one second that get a name each

std::string twoDigits(int number) {
    return {static_cast<char>('0' + number / 10 % 10), static_cast<char>('0' + number % 10)};
}

}  // namespace

std::vector<std::string> undoFolders(process::Process& process) {
    std::vector<std::string> folders{process.programDirectory() + "\\Undo\\"};
    const std::string local = process.localAppDataDirectory();
    if (!local.empty()) folders.push_back(local + "\\LZ Vantor\\Undo\\");
    return folders;
}

std::string timeStamp(const clock::LocalTime& time) {
    std::string stamp = std::to_string(time.year);
    stamp.append("-").append(twoDigits(time.month)).append("-").append(twoDigits(time.day));
    stamp.append(" ").append(twoDigits(time.hour)).append("-").append(twoDigits(time.minute));
    stamp.append("-").append(twoDigits(time.second));
    return stamp;
}

std::string attemptSuffix(int attempt) {
    return attempt > 1 ? " (" + std::to_string(attempt) + ")" : std::string();
}

std::optional<std::string> writeNewFile(files::Files& files, const std::vector<std::string>& folders,
                                        const std::function<std::string(int attempt)>& nameFor,
                                        std::string_view bytes) {
    for (const std::string& folder : folders) {
        if (!files.makeFolders(folder)) continue;
        for (int attempt = 1; attempt <= kNameAttempts; ++attempt) {
            std::string path = folder + nameFor(attempt);
            const files::Files::NewFile result = files.writeNew(path, bytes);
            if (result == files::Files::NewFile::Written) return path;
            if (result == files::Files::NewFile::Failed) break;  // this folder cannot be written
        }
    }
    return std::nullopt;
}

}  // namespace lz::undo_files
