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

bool matchRoute(const Route& route, std::string_view path, PathValues& values) {
    std::vector<std::string_view> captures;
    if (route.pattern == nullptr || !route.pattern->match(path, captures)) {
        return false;
    }
    const auto& parameters = route.pattern->parameters();
    for (std::size_t i = 0; i < captures.size(); ++i) {
        values[parameters[i].name] = UrlDecode(captures[i]);
    }
    return true;
}

bool FindRoute(RouteMatch& match, std::span<const Route> routes, bool skipMethodCheck) {
    const Route* chosen = nullptr;
    PathValues chosenValues = makePathValues();
    std::size_t chosenLength = 0;
    for (const Route& route : routes) {
        if (route.info == nullptr || (!skipMethodCheck && !methodQualifies(*route.info, match))) {
            continue;
        }
        PathValues values = makePathValues();
        if (!matchRoute(route, match.path, values)) {
            continue;
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
