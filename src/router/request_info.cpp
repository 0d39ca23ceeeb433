#include "router/request_info.h"

#include <chrono>

namespace kiv {

bool isRequestInfoType(const BindingTypeId* identity) noexcept {
    return identity != nullptr && (*identity == bindingTypeIdOf<RequestInfo>() ||
                                   *identity == bindingTypeIdOf<const RequestInfo*>());
}

std::uint64_t currentReceiveTime() noexcept {
    // The system clock counts from 1970-01-01 (UTC) on every platform since C++20.
    using HundredNanoseconds = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
    const auto sinceEpoch =
        std::chrono::duration_cast<HundredNanoseconds>(std::chrono::system_clock::now().time_since_epoch());
    return sinceEpoch.count() > 0 ? static_cast<std::uint64_t>(sinceEpoch.count()) : 0;
}

} // namespace kiv
