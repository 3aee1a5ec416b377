// One registry step written in one call, for the tests of the registry step rules. The
// programs prepare the write and make it in two calls (the runner keeps the way back between
// them): steps::prepareRegistryWrite, then steps::applyRegistryWrite.
#pragma once

#include <string_view>

#include "platform/registry.h"

namespace lz::test_support {

// Writes the value a step names, as prepareRegistryWrite reads the step and applyRegistryWrite
// makes the write. True exactly when the value was set; nothing is touched for a step that
// writes nothing (a path without "\", a "SZJZ" text that is not a number).
bool applyRegistryStep(registry::Registry& registry, std::string_view gbkPath, std::string_view gbkValue,
                       std::string_view typeCode);

}  // namespace lz::test_support
