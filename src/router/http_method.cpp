#include "router/http_method.h"

namespace kiv {

std::string_view httpMethodWord(HttpMethod method) noexcept {
    switch (method) {
    case HttpMethod::Delete:
        return "DELETE";
    case HttpMethod::Get:
        return "GET";
    case HttpMethod::Head:
        return "HEAD";
    case HttpMethod::Options:
        return "OPTIONS";
    case HttpMethod::Patch:
        return "PATCH";
    case HttpMethod::Post:
        return "POST";
    case HttpMethod::Put:
        return "PUT";
    default:
        return "";
    }
}

HttpMethod httpMethodFromHost(std::uint32_t code) noexcept {
    if (code < KIV_HTTP_METHOD_DELETE || code > KIV_HTTP_METHOD_CUSTOM) {
        return HttpMethod::None;
    }
    return static_cast<HttpMethod>(code);
}

std::uint32_t publishedLocationCode(ArgumentLocation location) noexcept {
    const auto code = static_cast<std::uint32_t>(location);
    return code <= std::uint32_t{KIV_ARGUMENT_LOCATION_BODY} ? code
                                                             : std::uint32_t{KIV_ARGUMENT_LOCATION_ANY};
}

} // namespace kiv
