#include "testing/memory_regedit.h"

#include <optional>

#include "regfile/reader.h"

namespace lz::registry {
namespace {

std::optional<Root> rootOf(regfile::Root root) {
    switch (root) {
        case regfile::Root::ClassesRoot:
            return Root::ClassesRoot;
        case regfile::Root::CurrentUser:
            return Root::CurrentUser;
        case regfile::Root::LocalMachine:
            return Root::LocalMachine;
        case regfile::Root::Users:
            return Root::Users;
        case regfile::Root::CurrentConfig:
            return Root::CurrentConfig;
        case regfile::Root::Unknown:
            break;
    }
    return std::nullopt;
}

}  // namespace

bool importRegFile(MemoryRegistry& registry, std::string_view fileBytes) {
    const regfile::Parsed parsed = regfile::read(fileBytes);
    if (!parsed.problems.empty()) return false;
    for (const regfile::Operation& op : parsed.operations) {
        const regfile::SplitKey split = regfile::splitRoot(op.key);
        const std::optional<Root> root = rootOf(split.root);
        // Only a root's full name names it (HKEY_USERS is the shortest).
        if (!root || op.key.size() - split.rest.size() < rootName(Root::Users).size()) return false;
        switch (op.kind) {
            case regfile::OperationKind::AddKey:
                if (!registry.create(*root, split.rest)) return false;
                break;
            case regfile::OperationKind::DeleteKey:
                registry.deleteKey(*root, split.rest);
                break;
            case regfile::OperationKind::SetValue: {
                const Key key = registry.create(*root, split.rest);
                if (!registry.setValue(key, op.name, static_cast<ValueKind>(op.data.type), op.data.bytes)) return false;
                break;
            }
            case regfile::OperationKind::DeleteValue:
                registry.deleteValue(*root, split.rest, op.name);
                break;
        }
    }
    return true;
}

}  // namespace lz::registry
