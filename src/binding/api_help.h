// The help records of a registry's API, as the builtin help types describe it.
#pragma once

#include "binding/help_types.h"

namespace kiv {

class BindingRegistry;
struct BindingTypeRef;

// How help shows a type: the kind's name or the registered enum or structure name, and for
// vectors and maps the element shown the same way.
[[nodiscard]] BindingFullTypeIdentifier describeType(const BindingTypeRef& type);

// Every listed function, every type and every event, in the registry's snapshot order.
// Help shows declared types, never the override types of the host export.
[[nodiscard]] BindingFullApiHelp describeApi(const BindingRegistry& registry);

} // namespace kiv
