// The system's registry importer, over the in-memory registry: what `reg import` or a double
// click on a .reg file does, for the tests of the files the programs write.
#pragma once

#include <string_view>

#include "testing/memory_registry.h"

namespace lz::registry {

// Imports a whole .reg file: a section makes its key, a value line sets or deletes a value,
// [-key] deletes the key with everything below it. False, with the registry as far as it got,
// when the file has a line the reader cannot read or a key under a root it does not know.
bool importRegFile(MemoryRegistry& registry, std::string_view fileBytes);

}  // namespace lz::registry
