// The registry delete step of a scheme: what its path names, and deleting it.
//
// A path that ends in "\" names a key: the whole key, with every key and value below it. Any
// other path names the value of that name under its parent key when there is one, else the key
// of that full path (authors write key paths without a final "\"). Where both are there, the
// step is ambiguous and deletes nothing; where neither is, there is nothing to delete.
#pragma once

#include <string>
#include <string_view>

#include "platform/registry.h"
#include "steps/registry_steps.h"

namespace lz::optimizer {

struct DeleteTarget {
    enum class Kind {
        Value,      // the value `entry` names
        Key,        // the key `entry.subKey` (valueName empty)
        Ambiguous,  // a value and a key of that name are both there
        Nothing,    // neither is there (or the path names nothing below a root)
        Protected,  // a key no scheme may delete (protected_keys.h)
        Unknown,    // the registry could not tell what is there (no right to read)
    };
    Kind kind = Kind::Nothing;
    steps::RegistryEntry entry;
};

// What a delete step's path names in the registry as it is now.
DeleteTarget findDeleteTarget(registry::Registry& registry, std::string_view gbkPath);

// Deletes what the target names (a value, or a key with everything below it).
registry::Change deleteTarget(registry::Registry& registry, const DeleteTarget& target);

// Whether what the target names is there now: Present, Absent, or Failed when the registry
// cannot tell.
registry::Existence lookUpTarget(registry::Registry& registry, const DeleteTarget& target);

}  // namespace lz::optimizer
