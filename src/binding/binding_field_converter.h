// Converts one native member type to and from generic values. Converters are stateless and
// shared: one exists per native member type for the whole process.
//
// A converter handles its own level only. A container (structure, vector, map) queues its
// members on the ConversionWork, which runs them afterwards, in order, from an explicit
// stack: nesting depth never grows the call stack.
#pragma once

#include <string_view>

namespace kiv {

class ConversionWork;
class Value;
struct BindingTypeDescriptor;

class BindingFieldConverter {
  public:
    // Generic value to the native object at `target`. `name` is the target's name in
    // messages; `descriptor` the enum or structure (or element) type where one is needed.
    virtual void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                        const BindingTypeDescriptor* descriptor) const = 0;
    // The native object at `source` to a generic value written into `target`.
    virtual void convert(ConversionWork& work, const void* source, Value& target,
                         const BindingTypeDescriptor* descriptor) const = 0;

  protected:
    ~BindingFieldConverter() = default;
};

} // namespace kiv
