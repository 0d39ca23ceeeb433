#include "router/route.h"

#include "router/url_template.h"

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

PathValues makePathValues() {
    // Built afresh each time: a prepared map kept for copying would be module memory that lives
    // past the plugin's unload, and the memory statistics would never balance.
    PathValues values(8);
    values.max_load_factor(1.0f);
    return values;
}

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

void storeCaptures(const Route& route, std::span<const std::string_view> captures, PathValues& values) {
    const auto& parameters = route.pattern->parameters();
    for (std::size_t i = 0; i < captures.size(); ++i) {
        values[parameters[i].name] = UrlDecode(captures[i]);
    }
}

} // namespace

bool FindRoute(RouteMatch& match, std::span<const Route> routes, bool skipMethodCheck) {
    const Route* chosen = nullptr;
    PathValues chosenValues; // taken from the first match's values, made by makePathValues
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
        // A path without parameters has nothing to store and needs no table.
        PathValues values;
        if (!captures.empty()) {
            values = makePathValues();
            storeCaptures(route, captures, values);
        }
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
