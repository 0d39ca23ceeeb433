// Routes and the choice of the route that serves a request.
#pragma once

#include "router/function_http_info.h"
#include "router/http_method.h"
#include "router/path_pattern.h"

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

// Decoded path parameters as (name, value) in the pattern's order, one entry per name: arguments
// are bound, and a bad one reported, in that order. The decoded texts keep their length, so a
// value that decodes to a NUL byte stays whole in every later stage.
using PathValues = std::vector<std::pair<std::string, std::string>>;

// One function's compiled path. The pattern is shared with the function's FunctionHttpInfo,
// which compiled it once.
struct Route {
    const BindingFunction* function = nullptr;
    const FunctionHttpInfo* info = nullptr;
    std::shared_ptr<const PathPattern> pattern;
};

// The route of a function from a path (or name) of the caller's choice, compiled here.
[[nodiscard]] Route makeRoute(const BindingFunction& function, const FunctionHttpInfo& info,
                              std::string_view pathOrName);
// The route of a function from its binding: its template, or its name when the template
// is empty, as compiled when the template was set.
[[nodiscard]] Route makeRoute(const FunctionHttpInfo& info);

// One request being matched.
struct RouteMatch {
    HttpMethod method = HttpMethod::None;
    // The request's own texts, which outlive the match.
    std::string_view customMethod; // only with HttpMethod::Custom
    std::string_view path;         // as the host delivered it
    const BindingFunction* function = nullptr;
    const FunctionHttpInfo* info = nullptr;
    PathValues pathValues; // filled once a route with parameters is chosen
};

// Chooses among the routes, in list order, one whose path matches and (unless the method
// check is skipped) whose method is None or equals the request's, custom name included. A
// later match wins only when its decoded values are strictly shorter in total; a match
// without any path value ends the search. Fills the RouteMatch with the choice.
[[nodiscard]] bool FindRoute(RouteMatch& match, std::span<const Route> routes, bool skipMethodCheck);

} // namespace kiv
