// One registry step written in one call: what the tests of the registry step rules run. The
// programs prepare the write and apply it in two calls (the runner keeps the way back between
// them), so this has a translation unit of its own that they do not link.
#include "steps/registry_steps.h"

namespace lz::steps {

bool applyRegistryStep(registry::Registry& registry, std::string_view gbkPath, std::string_view gbkValue,
                       std::string_view typeCode) {
    const auto write = prepareRegistryWrite(gbkPath, gbkValue, typeCode);
    return write && applyRegistryWrite(registry, *write) == registry::Change::Done;
}

}  // namespace lz::steps
