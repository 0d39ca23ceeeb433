#include "binding/binding_type_kind.h"

#include <array>

namespace kiv {

namespace {

constexpr std::array<std::string_view, 20> kKindNames = {
    "",      "bool",   "int8",   "uint8",  "int16", "uint16", "int32", "uint32", "int64",    "uint64",
    "float", "double", "string", "object", "blob",  "vector", "enum",  "struct", "callback", "map",
};

} // namespace

std::uint32_t exportedKindCode(BindingTypeKind kind) noexcept {
    const auto code = static_cast<std::uint32_t>(kind);
    return code < kKindNames.size() ? code : 0;
}

std::string_view bindingTypeKindName(BindingTypeKind kind) noexcept {
    return kKindNames[exportedKindCode(kind)];
}

} // namespace kiv
