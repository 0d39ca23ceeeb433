#include "binding/binding_type_id.h"

namespace kiv {

namespace {
constexpr std::array<char, 10> kReservedName = bindingTypeNumberName(kReservedBindingTypeHash);
constexpr BindingTypeId kReservedId{kReservedBindingTypeHash, kReservedName.data()};
} // namespace

const BindingTypeId& reservedBindingTypeId() noexcept {
    return kReservedId;
}

} // namespace kiv
