// The texts a request carries for argument binding: query pieces, request headers and the
// header values of the function's parameters. Host texts may be null; they read as empty.
#pragma once

#include "kiv/plugin_abi.h"
#include "router/function_http_info.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kiv {

// Texts by name, in the order in which each name first appeared; a later text under the
// same name replaces the earlier one in its place.
class NamedTexts {
  public:
    void set(std::string name, std::string value);
    const std::vector<std::pair<std::string, std::string>>& entries() const noexcept { return entries_; }
    bool empty() const noexcept { return entries_.empty(); }

  private:
    std::vector<std::pair<std::string, std::string>> entries_;
    std::unordered_map<std::string, std::size_t> positions_;
};

// A host text, empty when null.
inline std::string_view hostText(const char* text) noexcept {
    return text != nullptr ? std::string_view(text) : std::string_view();
}

// The query of a path: the text after its first "?", split at every "&" (an empty piece
// counts, with an empty name); in each piece the first "=" ends the name, and both parts
// are URL-decoded.
[[nodiscard]] NamedTexts queryValuesOf(std::string_view path);

// The request's headers by name, as delivered; a later header replaces an earlier one.
[[nodiscard]] std::map<std::string, std::string> requestHeadersOf(const HostRequest& request);

// For each parameter that may come from a header, the header named like the parameter in
// lower case, recorded under the parameter's own name.
[[nodiscard]] NamedTexts headerValuesOf(const std::map<std::string, std::string>& headers,
                                        const FunctionHttpInfo& info);

} // namespace kiv
