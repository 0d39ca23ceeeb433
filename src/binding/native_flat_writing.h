// Native values written straight to flat records by the one flat record writer, without a tree
// in between: the records are those that valueToFlat writes of the tree that convertNative
// makes of the same value, with enumerators named through the registry.
#pragma once

#include "binding/binding_field_converter.h"
#include "kiv/plugin_abi.h"

namespace kiv {

class BindingRegistry;
class ConversionResult;

// Releases `flat` and writes the native object at `source` into it. Does nothing on an already
// failed result; on failure (an unregistered structure, no memory) the message goes into
// `result` and `flat` is left Empty.
void writeNativeFlat(ConversionResult& result, const NativeFlatNode& source, const BindingRegistry& registry,
                     FlatValue& flat) noexcept;

} // namespace kiv
