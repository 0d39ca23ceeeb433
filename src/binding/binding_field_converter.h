// Converts one native member type to and from generic values, and reads it for the flat record
// writer. Converters are stateless and shared: one exists per native member type for the whole
// process.
//
// A converter handles its own level only. A container (structure, vector, map) queues its
// members on the ConversionWork, which runs them afterwards, in order, from an explicit
// stack, and the flat record writer keeps its own stack of the children a container names:
// nesting depth never grows the call stack.
#pragma once

#include "value/flat_node.h"

#include <string_view>

namespace kiv {

class BindingFieldConverter;
class ConversionWork;
class Value;
struct BindingTypeDescriptor;

// A native object with the converter that reads it: one node of an outgoing flat record.
struct NativeFlatNode {
    const BindingFieldConverter* converter = nullptr;
    const void* object = nullptr;
    const BindingTypeDescriptor* descriptor = nullptr; // the enum or structure (or element) type
};

// Receives the children of a native container, in record order. Elements have no name; a
// member's name identity is the address that every member under that name shares.
class NativeChildVisitor {
  public:
    virtual void child(const void* nameIdentity, std::string_view name, const NativeFlatNode& node) = 0;

  protected:
    ~NativeChildVisitor() = default;
};

// Thrown by flatNode of a structure whose type is not registered: the writer cannot name its
// members. The conversion that meets it fails with the message convertNative gives.
struct UnregisteredNativeStructure {};

class BindingFieldConverter {
  public:
    // Generic value to the native object at `target`. `name` is the target's name in
    // messages; `descriptor` the enum or structure (or element) type where one is needed.
    virtual void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                        const BindingTypeDescriptor* descriptor) const = 0;
    // The native object at `source` to a generic value written into `target`.
    virtual void convert(ConversionWork& work, const void* source, Value& target,
                         const BindingTypeDescriptor* descriptor) const = 0;

    // The native object at `source` as the node that convert() would make of it.
    virtual FlatNode flatNode(const void* source, const BindingTypeDescriptor* descriptor) const = 0;
    // The children of a Collection or Structure node, exactly flatNode().count of them, in the
    // order of the records convert() and valueToFlat would give. Scalars have none.
    virtual void forEachFlatChild(const void*, const BindingTypeDescriptor*, NativeChildVisitor&) const {}

  protected:
    ~BindingFieldConverter() = default;
};

} // namespace kiv
