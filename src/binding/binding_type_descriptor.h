// Descriptors of registered structures and enums, with their fields and enumerators.
#pragma once

#include "binding/binding_type_id.h"
#include "binding/binding_type_ref.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class BindingFieldConverter;
class BindingRegistry;
struct BindingTypeDescriptor;

// Conversion flags of a field.
enum class BindingFieldFlags : std::uint32_t {
    None = 0,
    OmitWhenEmpty = 1, // converting leaves the member out when its value is empty, false or 0
    Required = 2,      // assigning fails when the input lacks the member or holds it Empty
};

constexpr BindingFieldFlags operator|(BindingFieldFlags a, BindingFieldFlags b) noexcept {
    return static_cast<BindingFieldFlags>(static_cast<std::uint32_t>(a) | static_cast<std::uint32_t>(b));
}
constexpr bool hasFlag(BindingFieldFlags flags, BindingFieldFlags flag) noexcept {
    return (static_cast<std::uint32_t>(flags) & static_cast<std::uint32_t>(flag)) != 0;
}

// One member of a structure.
struct BindingField {
    std::string name;
    std::uint32_t nameHash = 0;              // FNV-1a of the name
    const BindingTypeId* identity = nullptr; // of the member's native type
    std::string description;
    std::uint32_t offset = 0;    // inside the native structure
    BindingTypeRef type;         // what help and conversion use
    BindingTypeRef overrideType; // what the host export shows, when its kind is not None
    BindingFieldFlags flags = BindingFieldFlags::None;
    const BindingFieldConverter* converter = nullptr;
    bool optional = false;

    const BindingTypeRef& exportedType() const noexcept {
        return overrideType.kind != BindingTypeKind::None ? overrideType : type;
    }
};

// The member that `field` describes inside the native structure at `structure`.
inline void* fieldIn(void* structure, const BindingField& field) noexcept {
    return static_cast<std::byte*>(structure) + field.offset;
}
inline const void* fieldIn(const void* structure, const BindingField& field) noexcept {
    return static_cast<const std::byte*>(structure) + field.offset;
}

// A field in member order: writers walk a structure's members this way without sorting per call.
struct BindingFieldByName {
    std::uint32_t index = 0; // into the descriptor's fields
    bool lastOfName = false; // no field after it has the same name
};

struct BindingEnumerator {
    std::int32_t value = 0;
    std::string name;
    std::string description;
    const BindingTypeDescriptor* owner = nullptr;
};

// One registered structure or enum. Built by a BindingTypeBuilder and not changed after.
struct BindingTypeDescriptor {
    std::uint32_t size = 0; // of the native type
    bool isEnum = false;
    std::string name;
    const BindingTypeId* identity = nullptr;
    std::uint32_t identityHash = 0;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingField> fields;             // declaration order
    std::vector<BindingFieldByName> fieldsByName; // byte-wise name order, ties in declaration order
    // Every field converts to a scalar member (bool, number) under a name of its own and is never
    // left out: the structure's records are one member array and its names, whatever its value.
    bool scalarMembersOnly = true;
    std::size_t memberNameBytes = 0; // the fields' names with their terminators
    std::map<std::string, BindingEnumerator, std::less<>> enumerators; // name order
    const BindingRegistry* registry = nullptr;

    [[nodiscard]] const BindingEnumerator* enumeratorNamed(std::string_view enumeratorName) const noexcept;
    // The first enumerator in name order whose value is `value`.
    [[nodiscard]] const BindingEnumerator* enumeratorWithValue(std::int64_t value) const noexcept;
};

// The type as messages and help show it: the registered name of an enum or structure
// descriptor when one is attached, else the kind's name ("int32", "vector", "enum").
[[nodiscard]] std::string_view bindingTypeName(BindingTypeKind kind,
                                               const BindingTypeDescriptor* descriptor) noexcept;

} // namespace kiv
