// One short declaration per native type registers it with its layout taken from the type
// itself: sizes from sizeof, member offsets and types from member pointers, converters and
// type references deduced from the members' C++ types.
//
//     declareEnum<BindingAsyncState>(registry, {"BindingAsyncState", "Possible states...", {"$builtin",
//     "async"}},
//                                    {{"None", BindingAsyncState::None, "Invalid state"}, ...});
//     declareStruct<BindingGenericEvent>(registry, {"BindingGenericEvent", "Represents...", {"$builtin"}},
//                                        {{"data", &BindingGenericEvent::data, "Event data"}});
//
// Enums and structures used by a member must be declared before it. A name the registry
// already holds leaves the registered type as it is.
#pragma once

#include "binding/binding_registry.h"
#include "binding/native_conversion.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct BindingTypeInfo {
    std::string_view name;
    std::string_view description = {};
    std::array<std::string_view, 4> tags = {}; // empty ones are skipped
    std::string_view nameSpace = {};
    std::span<const std::string> tagList = {}; // appended after `tags`, e.g. a plugin's default tags
};

// The byte offset of a member inside S, read from a member pointer.
template <class S, class M> std::uint32_t memberOffset(M S::*member) noexcept {
    // Only addresses are computed: no S is constructed or read here.
    alignas(S) std::byte storage[sizeof(S)];
    const S* object = reinterpret_cast<const S*>(storage);
    const auto* address = reinterpret_cast<const std::byte*>(&(object->*member));
    return static_cast<std::uint32_t>(address - storage);
}

// One member of a structure declaration; its C++ type decides its binding type.
struct BindingMember {
    std::string_view name;
    std::string_view description;
    std::uint32_t offset = 0;
    const BindingTypeId* identity = nullptr;
    BindingTypeRef (*typeOf)(const BindingRegistry&) = nullptr;
    const BindingFieldConverter* converter = nullptr;
    BindingFieldFlags flags = BindingFieldFlags::None;
    bool optional = false;
};

template <class S> struct BindingMemberOf : BindingMember {
    template <class M>
    BindingMemberOf(std::string_view name, M S::*member, std::string_view description = {},
                    BindingFieldFlags flags = BindingFieldFlags::None, bool optional = false)
        : BindingMember{name,
                        description,
                        memberOffset(member),
                        &bindingTypeIdOf<M>(),
                        &bindingTypeRefOf<M>,
                        &converterFor<M>(),
                        flags,
                        optional} {}
};

template <class E> struct BindingEnumeratorOf {
    std::string_view name;
    E value;
    std::string_view description = {};
};

struct BindingEnumeratorEntry {
    std::string_view name;
    std::int32_t value;
    std::string_view description;
};

const BindingTypeDescriptor& declareStructure(BindingRegistry& registry, std::uint32_t nativeSize,
                                              const BindingTypeId& identity, const BindingTypeInfo& info,
                                              std::span<const BindingMember> members);
const BindingTypeDescriptor& declareEnumeration(BindingRegistry& registry, std::uint32_t nativeSize,
                                                const BindingTypeId& identity, const BindingTypeInfo& info,
                                                std::span<const BindingEnumeratorEntry> enumerators);

template <class S>
const BindingTypeDescriptor& declareStruct(BindingRegistry& registry, const BindingTypeInfo& info,
                                           std::initializer_list<BindingMemberOf<S>> members) {
    static_assert(nativeKindOf<S>() == BindingTypeKind::Struct);
    const std::vector<BindingMember> plain(members.begin(), members.end());
    return declareStructure(registry, sizeof(S), bindingTypeIdOf<S>(), info, plain);
}

template <class E>
const BindingTypeDescriptor& declareEnum(BindingRegistry& registry, const BindingTypeInfo& info,
                                         std::initializer_list<BindingEnumeratorOf<E>> enumerators) {
    static_assert(nativeKindOf<E>() == BindingTypeKind::Enum);
    std::vector<BindingEnumeratorEntry> plain;
    plain.reserve(enumerators.size());
    for (const BindingEnumeratorOf<E>& enumerator : enumerators) {
        plain.push_back(
            {enumerator.name, static_cast<std::int32_t>(enumerator.value), enumerator.description});
    }
    return declareEnumeration(registry, sizeof(E), bindingTypeIdOf<E>(), info, plain);
}

} // namespace kiv
