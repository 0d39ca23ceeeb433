// Conversion between native values and generic values, for any bindable native type:
//
//     ConversionResult result;
//     assignNative(result, event, input, "<result>", registry);   // generic -> native
//     convertNative(result, notification, registry);              // native -> result.value()
//     writeNative(result, answer, registry, flat);                // native -> flat records
//
// Enums and structures (also as elements of vectors and maps) must be registered in the
// registry. Nothing throws: every failure, including running out of memory, ends up in the
// result, and the first failure wins.
#pragma once

#include "binding/binding_registry.h"
#include "binding/binding_type_ref.h"
#include "binding/native_converters.h"
#include "binding/native_flat_writing.h"
#include "platform/invariant.h"
#include "value/conversion_result.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <type_traits>

namespace kiv {

// The registered descriptor that T's conversions need (for a vector or map, its element's),
// or null when T needs none or its type is not registered.
template <class T> [[nodiscard]] const BindingTypeDescriptor* descriptorFor(const BindingRegistry& registry) {
    using Described = typename NativeDescribed<T>::Type;
    if constexpr (std::is_void_v<Described>) {
        return nullptr;
    } else {
        const BindingTypeDescriptor* descriptor = registry.findType(bindingTypeIdOf<Described>());
        // Converters write through the descriptor's field offsets into a native Described.
        KIV_ASSERT(descriptor == nullptr || descriptor->size == sizeof(Described),
                   "the descriptor found by a native type's identity describes that type");
        return descriptor;
    }
}

// The BindingTypeRef of T, with its descriptor looked up in the registry.
template <class T> [[nodiscard]] BindingTypeRef bindingTypeRefOf(const BindingRegistry& registry) {
    BindingTypeRef type;
    type.kind = nativeKindOf<T>();
    if (type.hasElement()) {
        type.elementKind = NativeDescribed<T>::elementKind;
    }
    type.descriptor = descriptorFor<T>(registry);
    return type;
}

// Whether `part` lies in the bytes of `whole` (one of its members, or a member's member).
template <class T> [[nodiscard]] bool liesWithin(const void* part, const T& whole) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(part);
    const auto begin = reinterpret_cast<std::uintptr_t>(&whole);
    return address >= begin && address - begin < sizeof(T);
}

// Generic to native. `name` is the target's name in messages.
template <class T>
void assignNative(ConversionResult& result, T& target, const Value& input, std::string_view name,
                  const BindingRegistry& registry) noexcept {
    result.guard([&] {
        // An input that is one of the target's own generic members is overwritten while later
        // members are still read from it, so a copy is read instead. An input further down a
        // member's tree needs none: what the target gives up is kept until the conversion ends.
        std::optional<Value> copy;
        const Value& source = liesWithin(&input, target) ? copy.emplace(input) : input;
        ConversionWork work(result, registry);
        work.assign(converterFor<T>(), &target, source, name, descriptorFor<T>(registry));
    });
}

// Native to generic, into result.value(). Does nothing on an already failed result.
template <class T>
void convertNative(ConversionResult& result, const T& source, const BindingRegistry& registry) noexcept {
    result.guard([&] {
        if (!result.ok()) {
            return;
        }
        ConversionWork work(result, registry);
        work.convert(converterFor<T>(), &source, result.value(), descriptorFor<T>(registry));
    });
}

// Native to flat records, written straight from `source` (see native_flat_writing.h).
template <class T>
void writeNative(ConversionResult& result, const T& source, const BindingRegistry& registry,
                 FlatValue& flat) noexcept {
    result.guard([&] {
        writeNativeFlat(result, {&converterFor<T>(), &source, descriptorFor<T>(registry)}, registry, flat);
    });
}

} // namespace kiv
