#include "testing/registry_step.h"

#include "steps/registry_steps.h"

namespace lz::test_support {

bool applyRegistryStep(registry::Registry& registry, std::string_view gbkPath, std::string_view gbkValue,
                       std::string_view typeCode) {
    const auto write = steps::prepareRegistryWrite(gbkPath, gbkValue, typeCode);
    return write && steps::applyRegistryWrite(registry, *write) == registry::Change::Done;
}

}  // namespace lz::test_support
