// Request methods and argument locations: the codes shared with the host, and the words that
// name them in function names and messages.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <string_view>

namespace kiv {

enum class HttpMethod : std::uint32_t {
    None = KIV_HTTP_METHOD_NONE,
    Delete = KIV_HTTP_METHOD_DELETE,
    Get = KIV_HTTP_METHOD_GET,
    Head = KIV_HTTP_METHOD_HEAD,
    Options = KIV_HTTP_METHOD_OPTIONS,
    Patch = KIV_HTTP_METHOD_PATCH,
    Post = KIV_HTTP_METHOD_POST,
    Put = KIV_HTTP_METHOD_PUT,
    Custom = KIV_HTTP_METHOD_CUSTOM, // the request carries the method's own name
};

// Where a function argument may be taken from.
enum class ArgumentLocation : std::uint32_t {
    Any = KIV_ARGUMENT_LOCATION_ANY,
    Query = KIV_ARGUMENT_LOCATION_QUERY,
    Path = KIV_ARGUMENT_LOCATION_PATH,
    Unbound = KIV_ARGUMENT_LOCATION_UNBOUND, // published to the host; no request source binds it
    Header = KIV_ARGUMENT_LOCATION_HEADER,
    Body = KIV_ARGUMENT_LOCATION_BODY,
};

// "DELETE", "GET", ... "PUT"; "" for None, Custom and unknown codes.
std::string_view httpMethodWord(HttpMethod method) noexcept;

// The method of a host code: 1 to 8 as they are, anything else None.
HttpMethod httpMethodFromHost(std::uint32_t code) noexcept;

// The code published to the host: locations above Body are published as Any.
std::uint32_t publishedLocationCode(ArgumentLocation location) noexcept;

} // namespace kiv
