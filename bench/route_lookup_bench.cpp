// The choice of the route that serves a request among many templated routes, for the last
// registered one, beside one hash-map lookup of the path's literal prefix; at 10, 100 and
// 1,000 routes, to show how the choice grows with the number of routes.
#include "bench_paths.h"
#include "bench_routes.h"
#include "timed_benchmark.h"

#include "router/route.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kiv::bench {
namespace {

constexpr std::size_t kRouteCounts[] = {10, 100, 1000};

std::string routePrefix(std::size_t index) {
    return sizedName("/kiv-bench/v1/area", index) + "/queue-status/";
}

// `count` templated routes, their compiled forms in registration order, and the peer's map
// from literal prefix to route index.
struct ManyRoutes {
    explicit ManyRoutes(std::size_t count) : lastPath(routePrefix(count - 1) + "450") {
        declareQueueStatus(registry);
        for (std::size_t i = 0; i < count; ++i) {
            addQueueStatusRoute(router, routePrefix(i) + "{queue_id}");
            byPrefix.emplace(routePrefix(i), i);
        }
        for (const FunctionHttpInfo* info : router.functionInfos()) {
            routes.push_back(makeRoute(*info));
        }
    }

    // Chooses the route of the last path as the dispatch does; whether it was the last route.
    bool chooseLast() const {
        RouteMatch match;
        match.method = HttpMethod::Get;
        match.path = lastPath;
        return FindRoute(match, routes, false) && match.info == routes.back().info;
    }

    // The peer: the path's literal prefix (up to its last "/") looked up in the map.
    bool lookUpLast() const {
        const std::string_view path = lastPath;
        const auto found = byPrefix.find(std::string(path.substr(0, path.rfind('/') + 1)));
        return found != byPrefix.end() && found->second == routes.size() - 1;
    }

    BindingRegistry registry;
    Router router{registry};
    std::vector<Route> routes;
    std::unordered_map<std::string, std::size_t> byPrefix;
    std::string lastPath;
};

} // namespace

bool addRouteLookup(BenchTable& table) {
    for (const std::size_t count : kRouteCounts) {
        static std::vector<std::unique_ptr<ManyRoutes>> worlds;
        const ManyRoutes& world = *worlds.emplace_back(std::make_unique<ManyRoutes>(count));
        if (!world.chooseLast() || !world.lookUpLast()) {
            std::fprintf(stderr, "route lookup: the last of %zu routes is not found\n", count);
            return false;
        }
        const std::string name = sizedName("route-lookup", count);
        registerTimed(name + "/kiv", [&world] { benchmark::DoNotOptimize(world.chooseLast()); });
        registerTimed(name + "/hash-map", [&world] { benchmark::DoNotOptimize(world.lookUpLast()); });
        // No target: the table reports the ratio, and the growth row below bounds it.
        table.comparisons.push_back({"route lookup", std::to_string(count) + " routes, last", name + "/kiv",
                                     name + "/hash-map", "hash map", 0});
    }
    const std::size_t fewest = kRouteCounts[0], most = kRouteCounts[std::size(kRouteCounts) - 1];
    table.growths.push_back({"route lookup", sizedName("route-lookup", fewest) + "/kiv",
                             sizedName("route-lookup", most) + "/kiv", static_cast<double>(fewest),
                             static_cast<double>(most), GrowthBound::Linear});
    return true;
}

} // namespace kiv::bench
