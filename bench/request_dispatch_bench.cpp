// A GET through the HttpFunctionRecord's dispatch entry as a host calls it (request record
// in, HostResponse out and released), beside the floor: the same handler called through
// std::function, its argument parsed by strtol and its result written by hand as JSON.
#include "bench_paths.h"
#include "bench_routes.h"
#include "timed_benchmark.h"

#include "kiv/plugin_abi.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace kiv::bench {
namespace {

constexpr std::string_view kLiteralPath = "/kiv-kr-shutdown-law/v1/queue-status/all";
constexpr std::string_view kTemplatePrefix = "/kiv-kr-shutdown-law/v1/queue-status/";
const std::string kTemplatedPath = std::string(kTemplatePrefix) + "450";

// A router with the two routes and their published records.
struct DispatchWorld {
    DispatchWorld() {
        declareQueueStatus(registry);
        router.addGet(std::string(kLiteralPath), [](CallContext&) { return queueStatusOf(450); });
        addQueueStatusRoute(router, std::string(kTemplatePrefix) + "{queue_id}");
        published = &router.exportApi();
    }

    const HttpFunctionRecord* record(std::string_view templ) const {
        const auto* records = reinterpret_cast<const HttpFunctionRecord*>(published->functions);
        for (std::uint32_t i = 0; i < published->functionCount; ++i) {
            if (templ == records[i].pathTemplate) {
                return &records[i];
            }
        }
        return nullptr;
    }

    BindingRegistry registry;
    Router router{registry};
    const ApiExport* published = nullptr;
};

// Serves one GET of `path` through the record, as a host does, and releases the response.
// Returns whether it succeeded.
bool dispatchGet(const HttpFunctionRecord& record, const std::string& path) {
    HostRequest request{};
    request.method = KIV_HTTP_METHOD_GET;
    request.path = path.c_str();
    request.context = record.function.context;
    request.contentType = "";
    HostResponse response{};
    const HttpDispatchFn dispatch = record.dispatch;
    dispatch(&response, &request);
    const bool ok = response.result.failed == 0;
    if (const ResponseReleaseFn release = response.release; release != nullptr) {
        release(&response);
    }
    return ok;
}

std::string writeQueueStatusJson(const QueueStatus& status) {
    char text[64];
    const int length = std::snprintf(text, sizeof text, "{\"queueId\":%d,\"isDisabled\":%s}",
                                     static_cast<int>(status.queueId), status.isDisabled ? "true" : "false");
    return std::string(text, static_cast<std::size_t>(length));
}

} // namespace

bool addRequestDispatch(BenchTable& table) {
    static const DispatchWorld world;
    const HttpFunctionRecord* literal = world.record(kLiteralPath);
    const HttpFunctionRecord* templated = world.record(std::string(kTemplatePrefix) + "{queue_id}");
    const std::string literalPath(kLiteralPath);
    if (literal == nullptr || templated == nullptr || !dispatchGet(*literal, literalPath) ||
        !dispatchGet(*templated, kTemplatedPath)) {
        std::fprintf(stderr, "request dispatch: the routes do not answer\n");
        return false;
    }

    registerTimed("dispatch/literal/kiv",
                  [literal, literalPath] { benchmark::DoNotOptimize(dispatchGet(*literal, literalPath)); });
    registerTimed("dispatch/templated/kiv",
                  [templated] { benchmark::DoNotOptimize(dispatchGet(*templated, kTemplatedPath)); });

    static const std::function<QueueStatus()> literalHandler = [] { return queueStatusOf(450); };
    static const std::function<QueueStatus(std::int32_t)> templatedHandler = queueStatusOf;
    registerTimed("dispatch/literal/floor",
                  [] { benchmark::DoNotOptimize(writeQueueStatusJson(literalHandler())); });
    registerTimed("dispatch/templated/floor", [] {
        const std::string& path = kTemplatedPath;
        benchmark::DoNotOptimize(path.data());
        const auto queueId =
            static_cast<std::int32_t>(std::strtol(path.c_str() + kTemplatePrefix.size(), nullptr, 10));
        benchmark::DoNotOptimize(writeQueueStatusJson(templatedHandler(queueId)));
    });

    table.comparisons.push_back({"dispatch", "literal route", "dispatch/literal/kiv",
                                 "dispatch/literal/floor", "std::function", 1.0 / 3});
    table.comparisons.push_back({"dispatch", "templated route", "dispatch/templated/kiv",
                                 "dispatch/templated/floor", "std::function", 1.0 / 5});
    return true;
}

} // namespace kiv::bench
