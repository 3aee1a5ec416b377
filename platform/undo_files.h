// Where the programs keep their undo files, and saving a new one there.
//
// An undo file goes to the program's own folder + "\Undo\", or, where that folder cannot be
// written (a program in Program Files run by an ordinary user), to the user's local application
// data + "\LZ Vantor\Undo\". Its name carries the time of the change it undoes; a second file of
// the same second gets " (2)", and so on, so that no file is ever written over another.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/process.h"

namespace lz::undo_files {

// The folders an undo file may go to, in order.
std::vector<std::string> undoFolders(process::Process& process);

// "yyyy-mm-dd HH-MM-SS".
std::string timeStamp(const clock::LocalTime& time);

// The name's tail for the `attempt`-th name of a second: "" for the first, " (n)" after.
std::string attemptSuffix(int attempt);

// Writes `bytes` as a new file (never in place of another) in the first of `folders` that can
// be written, made when missing, under the first of the names `nameFor(1)`, `nameFor(2)`, ...
// that no file has yet. The path written, or nothing when no folder took it.
std::optional<std::string> writeNewFile(files::Files& files, const std::vector<std::string>& folders,
                                        const std::function<std::string(int attempt)>& nameFor, std::string_view bytes);

}  // namespace lz::undo_files
