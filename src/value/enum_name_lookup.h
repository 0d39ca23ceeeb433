// How the value layer finds an enumerator's name without knowing the binding registry,
// which implements this interface.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kiv {

struct BindingTypeId;

class EnumNameLookup {
  public:
    // The name of the enumerator of `type` with `value`, or nothing when the type is unknown
    // or no enumerator has that value. The text stays valid while the registry holds the type.
    virtual std::optional<std::string_view> enumeratorName(const BindingTypeId* type,
                                                           std::int32_t value) const = 0;

  protected:
    ~EnumNameLookup() = default;
};

} // namespace kiv
