#include "optimizer/registry_deletes.h"

#include "steps/protected_keys.h"

namespace lz::optimizer {
namespace {

using registry::Existence;
using Kind = DeleteTarget::Kind;

DeleteTarget keyTarget(registry::Registry& registry, registry::Root root, std::u16string key) {
    const Existence existence = registry.keyExists(root, key);
    Kind kind = Kind::Unknown;
    if (existence == Existence::Absent)
        kind = Kind::Nothing;
    else if (steps::isProtectedKey(root, key))
        kind = Kind::Protected;
    else if (existence == Existence::Present)
        kind = Kind::Key;
    return {kind, {root, std::move(key), u""}};
}

}  // namespace

DeleteTarget findDeleteTarget(registry::Registry& registry, std::string_view gbkPath) {
    std::optional<steps::RegistryEntry> entry = steps::resolveRegistryEntry(gbkPath);
    if (!entry) return {};
    if (entry->valueName.empty()) return keyTarget(registry, entry->root, std::move(entry->subKey));

    // The key of the full path: the value's name taken as one more key name.
    std::u16string fullKey = entry->subKey.empty() ? entry->valueName : entry->subKey + u'\\' + entry->valueName;
    const Existence value = registry.valueExists(entry->root, entry->subKey, entry->valueName);
    const Existence key =
        registry::isValidKeyPath(fullKey) ? registry.keyExists(entry->root, fullKey) : Existence::Absent;
    if (value == Existence::Failed || key == Existence::Failed) return {Kind::Unknown, std::move(*entry)};
    if (value == Existence::Present && key == Existence::Present) return {Kind::Ambiguous, std::move(*entry)};
    if (value == Existence::Present) return {Kind::Value, std::move(*entry)};
    return keyTarget(registry, entry->root, std::move(fullKey));
}

registry::Change deleteTarget(registry::Registry& registry, const DeleteTarget& target) {
    switch (target.kind) {
        case Kind::Value:
            return registry.deleteValue(target.entry.root, target.entry.subKey, target.entry.valueName);
        case Kind::Key:
            return registry.deleteKey(target.entry.root, target.entry.subKey);
        default:
            return registry::Change::Absent;
    }
}

registry::Existence lookUpTarget(registry::Registry& registry, const DeleteTarget& target) {
    if (target.kind == Kind::Value)
        return registry.valueExists(target.entry.root, target.entry.subKey, target.entry.valueName);
    return registry.keyExists(target.entry.root, target.entry.subKey);
}

}  // namespace lz::optimizer
