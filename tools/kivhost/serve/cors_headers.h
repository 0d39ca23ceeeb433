// The CORS fields of an answer to an origin named with --allow-origin: that origin exactly (never
// `*`), and credentials allowed, so that its pages' fetch(..., {credentials: "include"}) and
// EventSource withCredentials are let through.
#pragma once

#include <boost/beast/http/fields.hpp>

#include <string_view>

namespace kiv::kivhost {

inline void addCorsFor(boost::beast::http::fields& fields, std::string_view listedOrigin) {
    namespace http = boost::beast::http;
    fields.set(http::field::access_control_allow_origin, listedOrigin);
    fields.set(http::field::access_control_allow_credentials, "true");
    fields.set(http::field::vary, "Origin");
}

} // namespace kiv::kivhost
