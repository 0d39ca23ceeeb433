// The login-data packet of the login-packet path, driven through the library's one export by a
// host that does no more than the boundary asks: resources answered from records built once,
// subscriptions and timers recorded in vectors, everything else ignored. What this row measures
// is the plugin's own work; the kivhost row beside it adds the development host's timer queue,
// journal and JSON.
#include "bench_paths.h"
#include "timed_benchmark.h"

#include "kiv/plugin_abi.h"
#include "kivhost/platform/dynamic_library.h"
#include "value/flat_value.h"
#include "value/json_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::bench {
namespace {

constexpr std::string_view kLoginEvent = "OnJsonApiEvent_kiv-login_v1_login-data-packet";
constexpr std::string_view kTimetablePath =
    "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
constexpr std::string_view kQueueListPath = "/kiv-game-queues/v1/queues";
constexpr const char* kLoginUpdate =
    R"({"uri": "/kiv-login/v1/login-data-packet", "eventType": "Update",
        "data": {"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 300}})";

constexpr std::size_t kQueueCounts[] = {50, 500, 5000};

PluginLoadFn loadEntry() {
    static const PluginLoadFn entry = [] {
        std::string error;
        static const kivhost::DynamicLibrary library =
            kivhost::DynamicLibrary::open(KIV_SHUTDOWN_LAW_LIBRARY, error);
        if (!library.isOpen()) {
            throw std::runtime_error("the library does not open: " + error);
        }
        return reinterpret_cast<PluginLoadFn>(library.symbol(KIV_PLUGIN_ENTRY_NAME));
    }();
    return entry;
}

// A flat record built once from JSON and kept for every answer and delivery that hands it out.
struct KeptRecord {
    explicit KeptRecord(const std::string& json) {
        ConversionResult parsed = parseJson(json);
        if (!parsed.ok() || !valueToFlat(parsed.value(), flat, nullptr)) {
            throw std::runtime_error("a bench record does not build");
        }
    }
    ~KeptRecord() { releaseFlat(flat); }
    KeptRecord(const KeptRecord&) = delete;
    KeptRecord& operator=(const KeptRecord&) = delete;

    FlatValue flat{};
};

// The resources of a world of `queues` queues, as the platform serves them.
struct LoginResources {
    static std::string timetableJson(std::size_t queues) {
        std::string text = "{";
        for (std::size_t i = 0; i < queues; ++i) {
            text.append(i > 0 ? ", \"" : "\"").append(std::to_string(100 + i)).append("\": ");
            text.append(std::to_string(10 + i % 200));
        }
        return text + "}";
    }
    static std::string queueListJson(std::size_t queues) {
        std::string text = "[";
        for (std::size_t i = 0; i < queues; ++i) {
            text.append(i > 0 ? ", {\"id\": " : "{\"id\": ").append(std::to_string(100 + i)).append("}");
        }
        return text + "]";
    }

    explicit LoginResources(std::size_t queues)
        : timetable(timetableJson(queues)), queueList(queueListJson(queues)) {}

    const KeptRecord timetable;
    const KeptRecord queueList;
    const KeptRecord loginUpdate{kLoginUpdate};
};

struct RecordedSubscription {
    std::string name;
    PluginEventCallbackFn callback;
    void* userData;
};

struct RecordedTimer {
    PluginTimerCallbackFn callback;
    void* userData;
    double delaySeconds;
};

// The host: one plugin loaded through the export and initialised with this host's table.
class MinimalHost {
  public:
    explicit MinimalHost(const LoginResources& resources) : resources_(resources) {
        table_.owner = this;
        HostApi& api = table_.api;
        api.sendRequest = [](HostApi* self, HostResponse* response, const HostRequest* request) {
            of(self).answer(*response, request->path ? request->path : "");
        };
        api.hostOperation1 = [](HostApi*, std::uint32_t, std::uint32_t) {};
        api.sendEvent = [](HostApi*, const HostEventRecord*) {};
        api.subscribeEvent = [](HostApi* self, const char* name, std::uintptr_t,
                                PluginEventCallbackFn callback, void* userData, std::uint32_t) {
            of(self).subscriptions.push_back({name, callback, userData});
        };
        api.unsubscribeEvent = [](HostApi*, const char*, std::uintptr_t) {};
        api.scheduleTimer = [](HostApi* self, const char*, PluginTimerCallbackFn callback, void* userData,
                               double delaySeconds, std::uint32_t) {
            of(self).timers.push_back({callback, userData, delaySeconds});
        };
        api.yieldToHost = [](HostApi*) {};
        api.beginWait = [](HostApi*, const char*, std::uint32_t) {};
        api.endWait = [](HostApi*) {};
        api.writeLog = [](HostApi*, std::uint32_t, const char*) {};
        interface_.api = &table_.api;

        PluginLoadInfo info{};
        info.apiMajor = 18;
        loadEntry()(&info);
        if (!info.callbacks || !info.plugin) {
            throw std::runtime_error("the export filled no load record");
        }
        callbacks_ = *info.callbacks;
        plugin_ = info.plugin;
        if (!callbacks_.initialize(plugin_, &interface_)) {
            throw std::runtime_error("the plugin did not initialise");
        }
        timers.reserve(2 * kQueueCounts[std::size(kQueueCounts) - 1]);
    }
    ~MinimalHost() { callbacks_.unload(plugin_); }
    MinimalHost(const MinimalHost&) = delete;
    MinimalHost& operator=(const MinimalHost&) = delete;

    // Delivers the login update to the plugin's subscription of its event; false without one.
    bool receivePacket() {
        HostEventRecord event{nullptr, resources_.loginUpdate.flat, 0, nullptr};
        for (const RecordedSubscription& subscription : subscriptions) {
            if (subscription.name == kLoginEvent) {
                event.name = subscription.name.c_str();
                event.userData = subscription.userData;
                subscription.callback(&event);
                return true;
            }
        }
        return false;
    }

    std::vector<RecordedSubscription> subscriptions;
    std::vector<RecordedTimer> timers;

  private:
    struct Table {
        HostApi api; // first: the plugin hands back the table's address
        MinimalHost* owner;
    };
    static MinimalHost& of(HostApi* api) noexcept { return *reinterpret_cast<Table*>(api)->owner; }

    // The kept records are lent: their release only clears the response.
    static void KIV_CDECL releaseLent(HostResponse* response) { std::memset(response, 0, sizeof *response); }

    void answer(HostResponse& response, std::string_view path) {
        static char notFound[] = "Not found";
        const KeptRecord* record = path == kTimetablePath   ? &resources_.timetable
                                   : path == kQueueListPath ? &resources_.queueList
                                                            : nullptr;
        if (record) {
            response.result.value = record->flat;
            response.status = 200;
        } else {
            response.result.error = notFound;
            response.result.failed = 1;
            response.status = 404;
        }
        response.release = releaseLent;
    }

    const LoginResources& resources_;
    Table table_{};
    HostInterface interface_{};
    PluginCallbacks callbacks_{};
    void* plugin_ = nullptr;
};

struct LoginBoundaryWorld {
    explicit LoginBoundaryWorld(const LoginResources& resources) : host(resources) {}
    MinimalHost host;
};

// Every queue gets its job, and the custom queue, the all-queues, warning and cut-off jobs come
// on top.
bool schedulesEveryQueue(const LoginResources& resources, std::size_t queues) {
    try {
        MinimalHost host(resources);
        const std::size_t before = host.timers.size();
        return host.receivePacket() && host.timers.size() >= before + queues + 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "login packet on the boundary: %s\n", error.what());
        return false;
    }
}

} // namespace

bool addLoginBoundary(BenchTable& table) {
    for (const std::size_t queues : kQueueCounts) {
        // Shared by the benchmark's fixtures and kept until the process ends, as registered
        // benchmarks are.
        const auto resources = std::make_shared<const LoginResources>(queues);
        if (!schedulesEveryQueue(*resources, queues)) {
            std::fprintf(stderr, "login packet on the boundary: %zu queues are not all scheduled\n", queues);
            return false;
        }
        const std::string name = sizedName("login-boundary", queues);
        registerPrepared(
            name, [resources] { return std::make_unique<LoginBoundaryWorld>(*resources); },
            [](LoginBoundaryWorld& world) { benchmark::DoNotOptimize(world.host.receivePacket()); }, 20);
        table.comparisons.push_back(
            {"login packet, minimal host", std::to_string(queues) + " queues", name, "", "", 0});
    }
    const std::string fewest = sizedName("login-boundary", kQueueCounts[0]);
    for (std::size_t i = 1; i < std::size(kQueueCounts); ++i) {
        table.growths.push_back(
            {"login packet, minimal host", fewest, sizedName("login-boundary", kQueueCounts[i]),
             static_cast<double>(kQueueCounts[0]), static_cast<double>(kQueueCounts[i]), GrowthBound::NLogN});
    }
    return true;
}

} // namespace kiv::bench
