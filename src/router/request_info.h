// What a handler may learn about the request it serves. A handler that takes a
// `const RequestInfo&` (or a `const RequestInfo*`) parameter receives it; the invoker names
// the form it takes by one of the two request-information identities below.
#pragma once

#include "binding/binding_type_id.h"
#include "router/http_method.h"
#include "value/value.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kiv {

class BindingRegistry;

struct RequestInfo {
    std::uintptr_t userData = 0; // the host's, unchanged
    const BindingRegistry* registry = nullptr;
    // 100-nanosecond units since 1970-01-01, taken when the handler is called.
    std::uint64_t receiveTime = 0;
    HttpMethod method = HttpMethod::None;
    std::string customMethod;
    std::string path;
    std::vector<Value> arguments;               // one per argument of the function, in order
    std::map<std::string, std::string> headers; // request headers, name to value
};

template <> struct BindingTypeIdentity<RequestInfo> {
    static constexpr std::uint32_t hash = 0x466F9860;
};
template <> struct BindingTypeIdentity<const RequestInfo*> {
    static constexpr std::uint32_t hash = 0x89462EBF;
};

// Whether `identity` is one of the two request-information identities.
bool isRequestInfoType(const BindingTypeId* identity) noexcept;

// The current time in RequestInfo::receiveTime units.
std::uint64_t currentReceiveTime() noexcept;

} // namespace kiv
