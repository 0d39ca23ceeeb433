// A request target as a client sends it ("/path%20with?minutes=5&x"), split into its decoded path
// and its query, and query parameters looked up by name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {

struct RequestTarget {
    std::string path;  // percent-decoded, without the query
    std::string query; // as sent, without the "?"
};

// nullopt when a percent sign is not followed by two hex digits, or the path decodes to a NUL.
std::optional<RequestTarget> splitTarget(std::string_view target);

// An event id as a client writes it (decimal digits only); nullopt when the text is not one.
std::optional<std::size_t> parseIndex(std::string_view text);

// The decoded value of the first parameter with the name ("+" is a space); nullopt when the
// query has no such parameter.
std::optional<std::string> queryValue(std::string_view query, std::string_view name);

} // namespace kiv::kivhost
