#include "testing/memory_registry.h"

#include <algorithm>
#include <string>

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
    if (!hasKey(root, subKey)) return {};
    if (refused(refusedKeys_, path)) {
        lastFailure_ = kDeniedText;
        return Key::denied();
    }
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
    if (refused(refusedKeys_, path)) {
        lastFailure_ = kDeniedText;
        return Key::denied();
    }
    createPath(root, subKey, true);
    return openExisting(path);
}

bool MemoryRegistry::setValue(const Key& key, std::u16string_view name, ValueKind type,
                              std::span<const std::uint8_t> data) {
    const auto open = open_.find(key.token());
    if (!key || open == open_.end() || !validValueName(name)) return false;
    const Path& path = open->second;
    if (refused(refusedValues_, path)) {
        lastFailure_ = kFailedText;
        return false;
    }
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

std::vector<MemoryRegistry::Path> MemoryRegistry::keysBelow(const Path& path) const {
    const std::u16string prefix = path.second.empty() ? std::u16string() : path.second + u'\\';
    std::vector<Path> below;
    for (auto it = keys_.lower_bound({path.first, prefix});
         it != keys_.end() && it->first.first == path.first && it->first.second.starts_with(prefix); ++it) {
        if (it->first.second.size() > prefix.size()) below.push_back(it->first);
    }
    // Deepest first: a key goes after everything below it.
    std::stable_sort(below.begin(), below.end(), [](const Path& a, const Path& b) {
        return std::count(a.second.begin(), a.second.end(), u'\\') >
               std::count(b.second.begin(), b.second.end(), u'\\');
    });
    return below;
}

KeyContents MemoryRegistry::readKey(Root root, std::u16string_view subKey) {
    if (failKeyTests_) return {Existence::Failed, {}, {}};
    if (!isValidKeyPath(subKey)) return {};
    const Path path{root, foldedName(subKey)};
    if (!hasKey(root, subKey)) return {};
    if (refused(refusedReads_, path)) return {Existence::Failed, {}, {}};
    KeyContents contents{Existence::Present, {}, {}};
    if (const auto key = keys_.find(path); key != keys_.end()) {
        for (const auto& [folded, named] : key->second.values) contents.values.push_back({named.name, named.value});
    }
    const std::size_t depth = path.second.empty() ? 0 : std::count(path.second.begin(), path.second.end(), u'\\') + 1;
    for (const Path& below : keysBelow(path)) {
        if (static_cast<std::size_t>(std::count(below.second.begin(), below.second.end(), u'\\')) != depth) continue;
        const std::u16string& stored = keys_.at(below).path;
        contents.subKeys.push_back(stored.substr(stored.rfind(u'\\') + 1));
    }
    std::sort(contents.subKeys.begin(), contents.subKeys.end());
    return contents;
}

Change MemoryRegistry::deleteValue(Root root, std::u16string_view subKey, std::u16string_view name) {
    if (!isValidKeyPath(subKey) || !validValueName(name)) return Change::Absent;
    const Path path{root, foldedName(subKey)};
    const auto key = keys_.find(path);
    if (key == keys_.end() || !key->second.values.contains(foldedName(name))) return Change::Absent;
    if (refused(refusedKeys_, path)) {
        lastFailure_ = kDeniedText;
        return Change::Denied;
    }
    if (refused(refusedValues_, path)) {
        lastFailure_ = kFailedText;
        return Change::Failed;
    }
    key->second.values.erase(foldedName(name));
    writes_.push_back({Write::Kind::ValueDeleted, root, key->second.path, std::u16string(name), {}});
    return Change::Done;
}

Change MemoryRegistry::deleteKey(Root root, std::u16string_view subKey) {
    if (subKey.empty()) return Change::Failed;  // a root is never deleted
    if (!isValidKeyPath(subKey) || !hasKey(root, subKey)) return Change::Absent;
    const Path path{root, foldedName(subKey)};
    std::vector<Path> doomed = keysBelow(path);
    doomed.push_back(path);
    // Deepest first, as the real registry does it: a key it may not delete stops the deletion
    // there, and what went before it is gone.
    for (const Path& key : doomed) {
        if (refused(refusedKeys_, key)) {
            lastFailure_ = kDeniedText;
            return Change::Denied;
        }
        writes_.push_back({Write::Kind::KeyDeleted, root, keys_.at(key).path, {}, {}});
        keys_.erase(key);
    }
    return Change::Done;
}

bool MemoryRegistry::putKey(Root root, std::u16string_view subKey) {
    return createPath(root, subKey, false) != nullptr;
}

std::vector<std::u16string> MemoryRegistry::dump(Root root, std::u16string_view subKey) const {
    std::vector<std::u16string> lines;
    const std::u16string top = foldedName(subKey);
    for (const auto& [path, key] : keys_) {
        if (path.first != root || !isSameOrBelow(path.second, top)) continue;
        lines.push_back(key.path);
        for (const auto& [folded, named] : key.values) {
            const std::string type = std::to_string(static_cast<std::uint32_t>(named.value.type));
            std::u16string line =
                key.path + u" : " + named.name + u" = " + std::u16string(type.begin(), type.end()) + u"/";
            for (std::uint8_t byte : named.value.data) line += static_cast<char16_t>(byte);
            lines.push_back(std::move(line));
        }
    }
    std::sort(lines.begin(), lines.end());
    return lines;
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
