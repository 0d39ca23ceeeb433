#include "router/route.h"

#include "router/url_template.h"

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

namespace kiv {
namespace {

bool methodQualifies(const FunctionHttpInfo& info, const RouteMatch& match) noexcept {
    return info.method == HttpMethod::None ||
           (info.method == match.method && info.customMethod == match.customMethod);
}

std::size_t totalLength(const PathValues& values) noexcept {
    std::size_t total = 0;
    for (const auto& [name, value] : values) {
        total += value.size();
    }
    return total;
}

} // namespace

Route makeRoute(const BindingFunction& function, const FunctionHttpInfo& info, std::string_view pathOrName) {
    return Route{&function, &info, std::make_shared<const PathPattern>(PathPattern::compile(pathOrName))};
}

Route makeRoute(const FunctionHttpInfo& info) {
    return Route{&info.function(), &info, info.pattern()};
}

namespace {

// Whether the route's pattern matches the whole path; `captures` receives the raw captures.
bool patternMatches(const Route& route, std::string_view path, std::vector<std::string_view>& captures) {
    return route.pattern != nullptr && route.pattern->match(path, captures);
}

// One entry per parameter name, in the pattern's order; a name the pattern repeats keeps its
// first place and the value of its last capture.
void storeCaptures(const Route& route, std::span<const std::string_view> captures, PathValues& values) {
    const auto& parameters = route.pattern->parameters();
    values.reserve(captures.size());
    for (std::size_t i = 0; i < captures.size(); ++i) {
        const std::string& name = parameters[i].name;
        const auto named = std::find_if(values.begin(), values.end(),
                                        [&](const auto& entry) { return entry.first == name; });
        if (named != values.end()) {
            named->second = UrlDecode(captures[i]);
        } else {
            values.emplace_back(name, UrlDecode(captures[i]));
        }
    }
}

} // namespace

bool FindRoute(RouteMatch& match, std::span<const Route> routes, bool skipMethodCheck) {
    const Route* chosen = nullptr;
    PathValues chosenValues;
    std::size_t chosenLength = 0;
    // Shared by every route tried: a route whose pattern does not match costs no allocation.
    std::vector<std::string_view> captures;
    for (const Route& route : routes) {
        if (route.info == nullptr || (!skipMethodCheck && !methodQualifies(*route.info, match))) {
            continue;
        }
        if (!patternMatches(route, match.path, captures)) {
            continue;
        }
        PathValues values;
        storeCaptures(route, captures, values);
        const std::size_t length = totalLength(values);
        if (chosen == nullptr || length < chosenLength) {
            chosen = &route;
            chosenValues = std::move(values);
            chosenLength = length;
            if (chosenValues.empty()) {
                break; // nothing can beat a route without path values
            }
        }
    }
    if (chosen == nullptr) {
        return false;
    }
    match.function = chosen->function;
    match.info = chosen->info;
    match.pathValues = std::move(chosenValues);
    return true;
}

} // namespace kiv
