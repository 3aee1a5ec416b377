#include "testing/memory_registry.h"

#include <algorithm>

namespace lz::registry {
namespace {

// The names of a key path ("a\b\c"), or nothing when one of them is empty, too long or holds
// a NUL. The empty path (the root itself) has no names.
std::optional<std::vector<std::u16string_view>> keyNames(std::u16string_view path) {
    std::vector<std::u16string_view> names;
    if (path.empty()) return names;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = std::min(path.find(u'\\', start), path.size());
        const std::u16string_view name = path.substr(start, end - start);
        if (!isValidKeyName(name)) return std::nullopt;
        names.push_back(name);
        if (end == path.size()) return names;
        start = end + 1;
    }
}

bool validValueName(std::u16string_view name) {
    return name.find(u'\0') == name.npos;
}

bool isSameOrBelow(const std::u16string& path, const std::u16string& top) {
    if (top.empty()) return true;
    return path.starts_with(top) && (path.size() == top.size() || path[top.size()] == u'\\');
}

}  // namespace

Key MemoryRegistry::openExisting(const Path& path) {
    const std::uintptr_t token = nextToken_++;
    open_.emplace(token, path);
    return makeKey(token);
}

bool MemoryRegistry::refused(const std::vector<Path>& list, const Path& path) const {
    return std::any_of(list.begin(), list.end(), [&](const Path& top) {
        return top.first == path.first && isSameOrBelow(path.second, top.second);
    });
}

Key MemoryRegistry::openForWrite(Root root, std::u16string_view subKey) {
    if (!isValidKeyPath(subKey)) return {};
    Path path{root, foldedName(subKey)};
    if (!hasKey(root, subKey) || refused(refusedKeys_, path)) return {};
    return openExisting(path);
}

MemoryRegistry::KeyData* MemoryRegistry::createPath(Root root, std::u16string_view subKey, bool record) {
    const auto names = keyNames(subKey);
    if (!names) return nullptr;
    std::u16string path;
    KeyData* key = &keys_[{root, std::u16string()}];  // the root always exists
    for (std::u16string_view name : *names) {
        if (!path.empty()) path += u'\\';
        path += name;
        auto [it, inserted] = keys_.try_emplace({root, foldedName(path)});
        if (inserted) {
            it->second.path = path;
            if (record) writes_.push_back({Write::Kind::KeyCreated, root, path, {}, {}});
        }
        key = &it->second;
    }
    return key;
}

Key MemoryRegistry::create(Root root, std::u16string_view subKey) {
    if (!isValidKeyPath(subKey)) return {};
    Path path{root, foldedName(subKey)};
    // A refused key refuses its whole subtree, so nothing on the way is created either.
    if (refused(refusedKeys_, path)) return {};
    createPath(root, subKey, true);
    return openExisting(path);
}

bool MemoryRegistry::setValue(const Key& key, std::u16string_view name, ValueType type,
                              std::span<const std::uint8_t> data) {
    const auto open = open_.find(key.token());
    if (!key || open == open_.end() || !validValueName(name)) return false;
    const Path& path = open->second;
    if (refused(refusedValues_, path)) return false;
    KeyData& target = keys_[path];  // a root's entry appears with its first value
    Value stored{type, std::vector<std::uint8_t>(data.begin(), data.end())};
    auto [it, inserted] = target.values.try_emplace(foldedName(name), NamedValue{std::u16string(name), stored});
    if (!inserted) it->second.value = stored;
    writes_.push_back({Write::Kind::ValueSet, path.first, target.path, std::u16string(name), std::move(stored)});
    return true;
}

Existence MemoryRegistry::valueExists(Root root, std::u16string_view subKey, std::u16string_view name) {
    if (failExistence_) return Existence::Failed;
    return value(root, subKey, name) ? Existence::Present : Existence::Absent;
}

Existence MemoryRegistry::keyExists(Root root, std::u16string_view subKey) {
    if (failKeyTests_) return Existence::Failed;
    return hasKey(root, subKey) ? Existence::Present : Existence::Absent;
}

ValueState MemoryRegistry::readValue(Root root, std::u16string_view subKey, std::u16string_view name) {
    if (isValidKeyPath(subKey) && refused(refusedReads_, {root, foldedName(subKey)})) return {Existence::Failed, {}};
    std::optional<Value> found = value(root, subKey, name);
    if (!found) return {Existence::Absent, {}};
    return {Existence::Present, std::move(*found)};
}

void MemoryRegistry::closeToken(std::uintptr_t token) noexcept {
    open_.erase(token);
}

std::optional<Value> MemoryRegistry::value(Root root, std::u16string_view subKey, std::u16string_view name) const {
    const auto key = keys_.find({root, foldedName(subKey)});
    if (key == keys_.end()) return std::nullopt;
    const auto found = key->second.values.find(foldedName(name));
    if (found == key->second.values.end()) return std::nullopt;
    return found->second.value;
}

bool MemoryRegistry::hasKey(Root root, std::u16string_view subKey) const {
    return subKey.empty() || keys_.contains({root, foldedName(subKey)});
}

bool MemoryRegistry::putValue(Root root, std::u16string_view subKey, std::u16string_view name, Value value) {
    KeyData* key = validValueName(name) ? createPath(root, subKey, false) : nullptr;
    if (key == nullptr) return false;
    auto [it, inserted] = key->values.try_emplace(foldedName(name), NamedValue{std::u16string(name), value});
    if (!inserted) it->second.value = std::move(value);
    return true;
}

void MemoryRegistry::refuseKeyWrites(Root root, std::u16string_view subKey) {
    refusedKeys_.push_back({root, foldedName(subKey)});
}

void MemoryRegistry::refuseValueWrites(Root root, std::u16string_view subKey) {
    refusedValues_.push_back({root, foldedName(subKey)});
}

void MemoryRegistry::refuseReads(Root root, std::u16string_view subKey) {
    refusedReads_.push_back({root, foldedName(subKey)});
}

}  // namespace lz::registry
