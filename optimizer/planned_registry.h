// The registry as a run will have left it, worked out before the run changes anything.
//
// A run without windows notes the way back from all its changes before it makes the first. A
// step meets the registry as the steps before it leave it, not as it is at the start: a delete
// step may name a value that an earlier step wrote, a write may land in a key an earlier step
// deleted. So the run executes its steps first on this registry, which reads through to the
// real one and keeps every change to itself; each step's way back is read from it, and so is
// the state it meets, exactly as the window's run reads them step by step from the real registry.
//
// A write here fails as the real one will where the user has no right to write the key (or to
// make keys below the deepest one there is), and so does deleting a value: the real registry is asked whether the key
// opens for writing, which changes nothing, once a key. So the most common failure of a run, tweaks of
// HKEY_LOCAL_MACHINE run without rights, is foreseen, and the run need not work out its way back
// again after each of them. Every other change here succeeds when the names are valid; what
// else the real registry refuses is found out only when the change is really made.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "platform/registry.h"

namespace lz::optimizer {

class PlannedRegistry final : public registry::Registry {
public:
    explicit PlannedRegistry(registry::Registry& real) : real_(real) {}
    PlannedRegistry(const PlannedRegistry&) = delete;
    PlannedRegistry& operator=(const PlannedRegistry&) = delete;

    registry::Key openForWrite(registry::Root root, std::u16string_view subKey) override;
    registry::Key create(registry::Root root, std::u16string_view subKey) override;
    bool setValue(const registry::Key& key, std::u16string_view name, registry::ValueKind type,
                  std::span<const std::uint8_t> data) override;
    registry::Existence valueExists(registry::Root root, std::u16string_view subKey, std::u16string_view name) override;
    registry::Existence keyExists(registry::Root root, std::u16string_view subKey) override;
    registry::ValueState readValue(registry::Root root, std::u16string_view subKey, std::u16string_view name) override;
    registry::KeyContents readKey(registry::Root root, std::u16string_view subKey) override;
    registry::Change deleteValue(registry::Root root, std::u16string_view subKey, std::u16string_view name) override;
    registry::Change deleteKey(registry::Root root, std::u16string_view subKey) override;

private:
    using Path = std::pair<registry::Root, std::u16string>;  // root and case-folded key path
    // A key the planned changes touched.
    struct Touched {
        std::u16string path;  // as named
        bool exists = true;
        // The real key's contents at and below this path do not show any more: the key was
        // deleted (and maybe made again), or made where the real registry has none.
        bool hidesReal = false;
        // Values set (a value) or deleted (nothing), by case-folded name.
        std::map<std::u16string, std::optional<registry::NamedValue>> values;
    };

    void closeToken(std::uintptr_t token) noexcept override;
    // Whether the real key at `path` shows: no key at or above it hides the real one.
    bool realShows(const Path& path) const;
    Touched& touch(registry::Root root, std::u16string_view subKey);
    // Whether the real key at `path` (named `subKey`) opens for writing, as asked of the real
    // registry the first time.
    bool realWritable(const Path& path, std::u16string_view subKey);

    registry::Registry& real_;
    std::map<Path, Touched> touched_;
    std::map<Path, bool> writable_;
    // The one key open for writing (a step opens one at a time), as named.
    std::optional<Path> open_;
};

}  // namespace lz::optimizer
