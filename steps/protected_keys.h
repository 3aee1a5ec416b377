// Keys no scheme may delete: the roots and the keys directly below them, the shell's and COM's
// own classes, and the keys without which Windows no longer starts. An undo file is no way back
// from those: it cannot be imported on a machine that does not start, and a deleted class
// breaks every program that uses it at once.
#pragma once

#include <string_view>

#include "platform/registry.h"

namespace lz::steps {

// Whether deleting `subKey` below `root` (any spelling of case) is refused. Views of the same
// keys through other paths are refused alike: HKEY_USERS\<user>\... as HKEY_CURRENT_USER,
// the Classes keys as HKEY_CLASSES_ROOT, the 32-bit view below WOW6432Node, and every numbered
// ControlSet as CurrentControlSet.
bool isProtectedKey(registry::Root root, std::u16string_view subKey);

}  // namespace lz::steps
