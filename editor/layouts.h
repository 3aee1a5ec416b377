// The editor's two windows as layout tables.
#pragma once

#include "platform/ui/layout.h"

namespace lz::editor {

const ui::WindowLayout& mainWindowLayout();
const ui::WindowLayout& addStepWindowLayout();

enum AddStepPage { kRegistryStepPage = 0, kHintStepPage = 1 };

}  // namespace lz::editor
