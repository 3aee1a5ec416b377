// The optimizer's five windows as layout tables.
#pragma once

#include "platform/ui/layout.h"

namespace lz::optimizer {

const ui::WindowLayout& mainWindowLayout();
const ui::WindowLayout& runnerWindowLayout();
const ui::WindowLayout& managementWindowLayout();
const ui::WindowLayout& aboutWindowLayout();
const ui::WindowLayout& moreProductsWindowLayout();

// Page indexes of the runner's tab control.
enum RunnerPage { kRegistryPage = 0, kHintPage = 1, kRowListPage = 2 };

}  // namespace lz::optimizer
