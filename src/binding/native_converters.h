// The converters of native types, and converterFor<T>() which picks the one for T.
#pragma once

#include "binding/binding_field_converter.h"
#include "binding/binding_type_descriptor.h"
#include "binding/binding_type_id.h"
#include "binding/conversion_messages.h"
#include "binding/conversion_work.h"
#include "binding/native_type.h"
#include "binding/scalar_assign.h"
#include "value/value.h"

#include <cstdint>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace kiv {

// The converters that need no template: one each for the whole process.
const BindingFieldConverter& boolConverter() noexcept;
const BindingFieldConverter& stringConverter() noexcept;
const BindingFieldConverter& objectConverter() noexcept;
const BindingFieldConverter& blobConverter() noexcept;
const BindingFieldConverter& structConverter() noexcept;

template <class T> const BindingFieldConverter& converterFor() noexcept;

// Elements of vectors and maps: a structure queues its fields on the work, so it is queued
// itself to keep the order; every other element converts at once.
template <class E>
void assignElement(ConversionWork& work, E& element, const Value& input, std::string_view name,
                   const BindingTypeDescriptor* descriptor) {
    if constexpr (nativeKindOf<E>() == BindingTypeKind::Struct) {
        work.queueAssign(converterFor<E>(), &element, input, name, descriptor);
    } else {
        converterFor<E>().assign(work, &element, input, name, descriptor);
    }
}

template <class E>
void convertElement(ConversionWork& work, const E& element, Value& target,
                    const BindingTypeDescriptor* descriptor) {
    if constexpr (nativeKindOf<E>() == BindingTypeKind::Struct) {
        work.queueConvert(converterFor<E>(), &element, target, descriptor);
    } else {
        converterFor<E>().convert(work, &element, target, descriptor);
    }
}

template <class T> class SignedConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        if (!work.ok()) {
            return;
        }
        const NumericRange<std::int64_t> range{std::numeric_limits<T>::min(), std::numeric_limits<T>::max(),
                                               bindingTypeKindName(nativeKindOf<T>())};
        std::int64_t value = 0;
        if (assignSigned(work, input, name, range, value)) {
            *static_cast<T*>(target) = static_cast<T>(value);
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setSigned(*static_cast<const T*>(source));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::scalar(ValueKind::Signed,
                                static_cast<std::uint64_t>(std::int64_t{*static_cast<const T*>(source)}));
    }
};

template <class T> class UnsignedConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        if (!work.ok()) {
            return;
        }
        const NumericRange<std::uint64_t> range{0, std::numeric_limits<T>::max(),
                                                bindingTypeKindName(nativeKindOf<T>())};
        std::uint64_t value = 0;
        if (assignUnsigned(work, input, name, range, value)) {
            *static_cast<T*>(target) = static_cast<T>(value);
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setUnsigned(*static_cast<const T*>(source));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::scalar(ValueKind::Unsigned, std::uint64_t{*static_cast<const T*>(source)});
    }
};

template <class T> class FloatingConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor*) const override {
        if (!work.ok()) {
            return;
        }
        const NumericRange<double> range{std::numeric_limits<T>::lowest(), std::numeric_limits<T>::max(),
                                         bindingTypeKindName(nativeKindOf<T>())};
        double value = 0.0;
        if (assignFloating(work, input, name, range, value)) {
            *static_cast<T*>(target) = static_cast<T>(value);
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor*) const override {
        target.setFloat(*static_cast<const T*>(source));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::ofFloat(*static_cast<const T*>(source));
    }
};

template <class E> class EnumConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor* descriptor) const override {
        if (!work.ok()) {
            return;
        }
        std::int32_t value = 0;
        if (assignEnumerator(work, input, name, descriptor, value)) {
            *static_cast<E*>(target) = static_cast<E>(value);
        }
    }
    void convert(ConversionWork&, const void* source, Value& target,
                 const BindingTypeDescriptor* descriptor) const override {
        target.setEnum(enumValueOf(source, descriptor));
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor* descriptor) const override {
        return FlatNode::ofEnum(enumValueOf(source, descriptor));
    }

  private:
    static EnumValue enumValueOf(const void* source, const BindingTypeDescriptor* descriptor) noexcept {
        const BindingTypeId* identity = descriptor != nullptr ? descriptor->identity : &bindingTypeIdOf<E>();
        return {static_cast<std::int32_t>(*static_cast<const E*>(source)), identity};
    }
};

// A Collection, element by element; the elements carry the vector's name in messages.
template <class E> class VectorConverter final : public BindingFieldConverter {
    static_assert(!std::is_same_v<E, bool>, "std::vector<bool> has no addressable elements");

  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor* descriptor) const override {
        auto& vector = *static_cast<std::vector<E>*>(target);
        if (!vector.empty()) {
            work.keepUntilDone(std::move(vector)); // the elements stay where they are
        }
        vector.clear();
        if (!work.ok()) {
            return;
        }
        if (!input.isCollection()) {
            work.fail(conversion_messages::kNotACollection, {name});
            return;
        }
        const auto elements = input.elements();
        vector.resize(elements.size());
        for (std::size_t i = 0; i < elements.size() && work.ok(); ++i) {
            if (!elements[i].isEmpty()) {
                assignElement(work, vector[i], elements[i], name, descriptor);
            }
        }
    }
    void convert(ConversionWork& work, const void* source, Value& target,
                 const BindingTypeDescriptor* descriptor) const override {
        const auto& vector = *static_cast<const std::vector<E>*>(source);
        target.setEmpty();
        target.makeCollection();
        if (vector.empty()) {
            return;
        }
        target.element(vector.size() - 1); // all elements exist before any is referred to
        const auto elements = target.elements();
        for (std::size_t i = 0; i < vector.size() && work.ok(); ++i) {
            convertElement(work, vector[i], elements[i], descriptor);
        }
    }
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::container(ValueKind::Collection, static_cast<const std::vector<E>*>(source)->size());
    }
    void forEachFlatChild(const void* source, const BindingTypeDescriptor* descriptor,
                          NativeChildVisitor& visitor) const override {
        for (const E& element : *static_cast<const std::vector<E>*>(source)) {
            visitor.child(nullptr, {}, {&converterFor<E>(), &element, descriptor});
        }
    }
};

// A Structure, member by member: each member's key is the map's key.
template <class E> class MapConverter final : public BindingFieldConverter {
  public:
    void assign(ConversionWork& work, void* target, const Value& input, std::string_view name,
                const BindingTypeDescriptor* descriptor) const override {
        auto& map = *static_cast<std::map<std::string, E>*>(target);
        if (!map.empty()) {
            work.keepUntilDone(std::move(map));
        }
        map.clear();
        if (!work.ok()) {
            return;
        }
        if (!input.isStructure()) {
            work.fail(conversion_messages::kMapNotAStructure, {name});
            return;
        }
        const auto members = input.members();
        for (auto it = members.begin(); it != members.end() && work.ok(); ++it) {
            const ValueMember member = *it;
            E& element = map[std::string(member.key)];
            if (!member.value.isEmpty()) {
                assignElement(work, element, member.value, name, descriptor);
            }
        }
    }
    void convert(ConversionWork& work, const void* source, Value& target,
                 const BindingTypeDescriptor* descriptor) const override {
        const auto& map = *static_cast<const std::map<std::string, E>*>(source);
        target.setEmpty();
        target.makeStructure();
        for (auto it = map.begin(); it != map.end() && work.ok(); ++it) {
            convertElement(work, it->second, target.member(it->first), descriptor);
        }
    }
    // The map's order is the byte-wise order of its keys, which is a structure's member order.
    FlatNode flatNode(const void* source, const BindingTypeDescriptor*) const override {
        return FlatNode::container(ValueKind::Structure,
                                   static_cast<const std::map<std::string, E>*>(source)->size());
    }
    void forEachFlatChild(const void* source, const BindingTypeDescriptor* descriptor,
                          NativeChildVisitor& visitor) const override {
        for (const auto& [key, element] : *static_cast<const std::map<std::string, E>*>(source)) {
            visitor.child(key.data(), key, {&converterFor<E>(), &element, descriptor});
        }
    }
};

template <class T> const BindingFieldConverter& converterFor() noexcept {
    constexpr BindingTypeKind kind = nativeKindOf<T>();
    if constexpr (kind == BindingTypeKind::Bool) {
        return boolConverter();
    } else if constexpr (kind == BindingTypeKind::String) {
        return stringConverter();
    } else if constexpr (kind == BindingTypeKind::Object) {
        return objectConverter();
    } else if constexpr (kind == BindingTypeKind::Blob) {
        return blobConverter();
    } else if constexpr (kind == BindingTypeKind::Struct) {
        return structConverter();
    } else if constexpr (kind == BindingTypeKind::Float || kind == BindingTypeKind::Double) {
        static const FloatingConverter<T> converter;
        return converter;
    } else if constexpr (kind == BindingTypeKind::Enum) {
        static const EnumConverter<T> converter;
        return converter;
    } else if constexpr (kind == BindingTypeKind::Vector) {
        static const VectorConverter<typename NativeVectorOf<T>::Element> converter;
        return converter;
    } else if constexpr (kind == BindingTypeKind::Map) {
        static const MapConverter<typename NativeStringMapOf<T>::Element> converter;
        return converter;
    } else if constexpr (std::is_signed_v<T>) {
        static const SignedConverter<T> converter;
        return converter;
    } else {
        static const UnsignedConverter<T> converter;
        return converter;
    }
}

} // namespace kiv
