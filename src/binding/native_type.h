// What the binding layer makes of a C++ type: its kind, the element of a vector or map, and
// the enum or structure whose registered descriptor it needs.
//
//   bool, the integer types by width and sign, float, double  -> the scalar kinds
//   std::string -> string      kiv::Value -> object      std::vector<std::uint8_t> -> blob
//   std::vector<T> -> vector   std::map<std::string, T> -> map
//   enums of 32 bits -> enum   every other class -> a registered structure
#pragma once

#include "binding/binding_type_kind.h"

#include <cstdint>
#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace kiv {

class Value;

template <class T> struct NativeVectorOf {
    static constexpr bool value = false;
};
template <class E> struct NativeVectorOf<std::vector<E>> {
    static constexpr bool value = true;
    using Element = E;
};

template <class T> struct NativeStringMapOf {
    static constexpr bool value = false;
};
template <class E> struct NativeStringMapOf<std::map<std::string, E>> {
    static constexpr bool value = true;
    using Element = E;
};

template <class T> constexpr BindingTypeKind integerKind() noexcept {
    constexpr bool isSigned = std::is_signed_v<T>;
    switch (sizeof(T)) {
    case 1:
        return isSigned ? BindingTypeKind::Int8 : BindingTypeKind::UInt8;
    case 2:
        return isSigned ? BindingTypeKind::Int16 : BindingTypeKind::UInt16;
    case 4:
        return isSigned ? BindingTypeKind::Int32 : BindingTypeKind::UInt32;
    default:
        return isSigned ? BindingTypeKind::Int64 : BindingTypeKind::UInt64;
    }
}

template <class T> constexpr BindingTypeKind nativeKindOf() noexcept {
    if constexpr (std::is_same_v<T, bool>) {
        return BindingTypeKind::Bool;
    } else if constexpr (std::is_same_v<T, char>) {
        static_assert(!std::is_same_v<T, char>,
                      "plain char has no sign of its own: use std::int8_t or std::uint8_t");
        return BindingTypeKind::None;
    } else if constexpr (std::is_integral_v<T>) {
        static_assert(sizeof(T) <= 8);
        return integerKind<T>();
    } else if constexpr (std::is_same_v<T, float>) {
        return BindingTypeKind::Float;
    } else if constexpr (std::is_same_v<T, double>) {
        return BindingTypeKind::Double;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return BindingTypeKind::String;
    } else if constexpr (std::is_same_v<T, Value>) {
        return BindingTypeKind::Object;
    } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
        return BindingTypeKind::Blob;
    } else if constexpr (NativeVectorOf<T>::value) {
        return BindingTypeKind::Vector;
    } else if constexpr (NativeStringMapOf<T>::value) {
        return BindingTypeKind::Map;
    } else if constexpr (std::is_enum_v<T>) {
        static_assert(sizeof(T) == 4, "bound enums are 32-bit");
        return BindingTypeKind::Enum;
    } else {
        static_assert(std::is_class_v<T>, "this type has no binding kind");
        return BindingTypeKind::Struct;
    }
}

// The element type of a vector or map, else T itself.
template <class T> struct NativeElement {
    using Type = T;
};
template <class T>
    requires(NativeVectorOf<T>::value && !std::is_same_v<T, std::vector<std::uint8_t>>)
struct NativeElement<T> {
    using Type = typename NativeVectorOf<T>::Element;
};
template <class T>
    requires NativeStringMapOf<T>::value
struct NativeElement<T> {
    using Type = typename NativeStringMapOf<T>::Element;
};

constexpr bool isDescribedKind(BindingTypeKind kind) noexcept {
    return kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct;
}

// The type whose registered descriptor T's conversions need: the enum or structure itself, or
// the element's; void for types that need none.
template <class T> struct NativeDescribed {
    using Element = typename NativeElement<T>::Type;
    static constexpr BindingTypeKind elementKind = nativeKindOf<Element>();
    static_assert(std::is_same_v<Element, T> ||
                      (elementKind != BindingTypeKind::Vector && elementKind != BindingTypeKind::Map),
                  "the element of a vector or map cannot be a vector or map itself");
    using Type = std::conditional_t<isDescribedKind(elementKind), Element, void>;
};

} // namespace kiv
