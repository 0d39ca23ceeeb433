#include "binding/registry_initialization.h"

#include "binding/async_types.h"
#include "binding/binding_registry.h"
#include "binding/help_types.h"

namespace kiv {

void initializeRegistry(BindingRegistry& registry) {
    registry.clear();
    registerHelpTypes(registry);
    registerAsyncTypes(registry);
    registry.markInitialized();
}

} // namespace kiv
