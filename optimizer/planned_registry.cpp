#include "optimizer/planned_registry.h"

#include <algorithm>

namespace lz::optimizer {
namespace {

using registry::Change;
using registry::Existence;

bool validValueName(std::u16string_view name) {
    return name.find(u'\0') == name.npos;
}

}  // namespace

bool PlannedRegistry::realShows(const Path& path) const {
    if (touched_.empty()) return true;
    const std::u16string& key = path.second;
    for (std::size_t end = key.empty() ? key.npos : key.find(u'\\');; end = key.find(u'\\', end + 1)) {
        const auto it = touched_.find({path.first, key.substr(0, end)});
        if (it != touched_.end() && it->second.hidesReal) return false;
        if (end == std::u16string::npos) return true;
    }
}

PlannedRegistry::Touched& PlannedRegistry::touch(registry::Root root, std::u16string_view subKey) {
    auto [it, inserted] = touched_.try_emplace({root, registry::foldedName(subKey)});
    if (inserted) it->second.path = std::u16string(subKey);
    return it->second;
}

Existence PlannedRegistry::keyExists(registry::Root root, std::u16string_view subKey) {
    if (!registry::isValidKeyPath(subKey)) return Existence::Absent;
    const Path path{root, registry::foldedName(subKey)};
    if (const auto it = touched_.find(path); it != touched_.end())
        return it->second.exists ? Existence::Present : Existence::Absent;
    return realShows(path) ? real_.keyExists(root, subKey) : Existence::Absent;
}

registry::ValueState PlannedRegistry::readValue(registry::Root root, std::u16string_view subKey,
                                                std::u16string_view name) {
    if (!registry::isValidKeyPath(subKey) || !validValueName(name)) return {};
    const Path path{root, registry::foldedName(subKey)};
    if (const auto it = touched_.find(path); it != touched_.end()) {
        if (!it->second.exists) return {};
        if (const auto value = it->second.values.find(registry::foldedName(name)); value != it->second.values.end()) {
            if (!value->second) return {};
            return {Existence::Present, value->second->value};
        }
    }
    return realShows(path) ? real_.readValue(root, subKey, name) : registry::ValueState{};
}

Existence PlannedRegistry::valueExists(registry::Root root, std::u16string_view subKey, std::u16string_view name) {
    return readValue(root, subKey, name).existence;
}

registry::KeyContents PlannedRegistry::readKey(registry::Root root, std::u16string_view subKey) {
    const Existence existence = keyExists(root, subKey);
    if (existence != Existence::Present) return {existence, {}, {}};
    const Path path{root, registry::foldedName(subKey)};
    registry::KeyContents contents{Existence::Present, {}, {}};
    if (realShows(path)) {
        contents = real_.readKey(root, subKey);
        if (contents.existence == Existence::Failed) return contents;
        contents.existence = Existence::Present;
    }
    // The values planned for the key, in place of the real ones of the same name.
    if (const auto it = touched_.find(path); it != touched_.end()) {
        for (const auto& [folded, value] : it->second.values) {
            std::erase_if(contents.values,
                          [&](const registry::NamedValue& v) { return registry::foldedName(v.name) == folded; });
            if (value) contents.values.push_back(*value);
        }
    }
    // The keys directly below: the real ones not deleted, and those made by the plan.
    const std::u16string prefix = path.second.empty() ? std::u16string() : path.second + u'\\';
    std::erase_if(contents.subKeys, [&](const std::u16string& name) {
        const auto it = touched_.find({root, prefix + registry::foldedName(name)});
        return it != touched_.end() && !it->second.exists;
    });
    for (auto it = touched_.lower_bound({root, prefix});
         it != touched_.end() && it->first.first == root && it->first.second.starts_with(prefix); ++it) {
        const std::u16string& below = it->first.second;
        if (below.size() == prefix.size() || below.find(u'\\', prefix.size()) != below.npos || !it->second.exists)
            continue;
        const std::u16string name = it->second.path.substr(it->second.path.rfind(u'\\') + 1);
        const bool listed = std::any_of(contents.subKeys.begin(), contents.subKeys.end(), [&](const std::u16string& n) {
            return registry::foldedName(n) == below.substr(prefix.size());
        });
        if (!listed) contents.subKeys.push_back(name);
    }
    return contents;
}

bool PlannedRegistry::realWritable(const Path& path, std::u16string_view subKey) {
    const auto [it, asked] = writable_.try_emplace(path, true);
    // Only a refusal for lack of rights counts: a key that has gone meanwhile is made again.
    if (asked) it->second = !real_.openForWrite(path.first, subKey).wasDenied();
    return it->second;
}

registry::Key PlannedRegistry::openForWrite(registry::Root root, std::u16string_view subKey) {
    if (keyExists(root, subKey) != Existence::Present) return {};
    Path path{root, registry::foldedName(subKey)};
    // A key the plan made or made again is the run's own; a real one may be locked.
    if (realShows(path) && !realWritable(path, subKey)) return registry::Key::denied();
    open_ = Path{root, std::u16string(subKey)};
    return makeKey(1);
}

registry::Key PlannedRegistry::create(registry::Root root, std::u16string_view subKey) {
    if (!registry::isValidKeyPath(subKey)) return {};
    // The first key missing on the path is made below the deepest one there is, which must let
    // keys be made below it.
    for (std::size_t end = subKey.empty() ? subKey.npos : subKey.find(u'\\');; end = subKey.find(u'\\', end + 1)) {
        const std::u16string_view prefix = subKey.substr(0, end);
        if (!prefix.empty() && keyExists(root, prefix) == Existence::Absent) {
            const std::size_t cut = prefix.rfind(u'\\');
            const std::u16string_view parent = cut == prefix.npos ? std::u16string_view() : prefix.substr(0, cut);
            const Path parentPath{root, registry::foldedName(parent)};
            if (realShows(parentPath) && !realWritable(parentPath, parent)) return registry::Key::denied();
            break;
        }
        if (end == std::u16string_view::npos) break;
    }
    // Every missing key on the path is made, empty, with nothing of the real registry below it.
    for (std::size_t end = subKey.empty() ? subKey.npos : subKey.find(u'\\');; end = subKey.find(u'\\', end + 1)) {
        const std::u16string_view prefix = subKey.substr(0, end);
        if (!prefix.empty() && keyExists(root, prefix) == Existence::Absent) {
            Touched& key = touch(root, prefix);
            key.exists = true;
            key.hidesReal = true;
            key.values.clear();
        }
        if (end == std::u16string_view::npos) break;
    }
    return openForWrite(root, subKey);
}

bool PlannedRegistry::setValue(const registry::Key& key, std::u16string_view name, registry::ValueKind type,
                               std::span<const std::uint8_t> data) {
    if (!key || !open_ || !validValueName(name)) return false;
    touch(open_->first, open_->second).values[registry::foldedName(name)] =
        registry::NamedValue{std::u16string(name), {type, std::vector<std::uint8_t>(data.begin(), data.end())}};
    return true;
}

Change PlannedRegistry::deleteValue(registry::Root root, std::u16string_view subKey, std::u16string_view name) {
    switch (readValue(root, subKey, name).existence) {
        case Existence::Absent:
            return Change::Absent;
        case Existence::Failed:
            return Change::Failed;
        case Existence::Present:
            break;
    }
    Path path{root, registry::foldedName(subKey)};
    if (realShows(path) && !realWritable(path, subKey)) return Change::Denied;
    touch(root, subKey).values[registry::foldedName(name)] = std::nullopt;
    return Change::Done;
}

Change PlannedRegistry::deleteKey(registry::Root root, std::u16string_view subKey) {
    if (subKey.empty()) return Change::Failed;  // a root is never deleted
    if (keyExists(root, subKey) != Existence::Present) return Change::Absent;
    const std::u16string folded = registry::foldedName(subKey);
    touch(root, subKey);
    for (auto it = touched_.lower_bound({root, folded});
         it != touched_.end() && it->first.first == root && it->first.second.starts_with(folded); ++it) {
        const std::u16string& below = it->first.second;
        if (below.size() != folded.size() && below[folded.size()] != u'\\') continue;
        it->second.exists = false;
        it->second.hidesReal = true;
        it->second.values.clear();
    }
    return Change::Done;
}

void PlannedRegistry::closeToken(std::uintptr_t) noexcept {
    open_.reset();
}

}  // namespace lz::optimizer
