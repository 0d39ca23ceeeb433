// One enabled login-data packet, from the resource event to the scheduled jobs, played
// through the development host's library on the virtual clock with the shutdown-law library
// loaded; with a timetable and a queue list of 50, 500 and 5,000 queues, to show how the
// work grows with the queues. Each packet goes to a freshly loaded plugin, as the queue jobs
// are built once per plugin life.
#include "bench_paths.h"
#include "timed_benchmark.h"

#include "kivhost/core/plugin_host.h"
#include "value/json_reader.h"

#include <cstdio>
#include <memory>
#include <string>

namespace kiv::bench {
namespace {

constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr const char* kTimetablePath = "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
constexpr const char* kQueueListPath = "/kiv-game-queues/v1/queues";
constexpr const char* kEnabledPacket =
    R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 300})";

constexpr std::size_t kQueueCounts[] = {50, 500, 5000};

// A host whose world holds a timetable and a queue list of `queues` queues, with the
// shutdown-law library loaded and initialised, and the packet it is about to receive.
struct LoginWorld {
    explicit LoginWorld(std::size_t queues) {
        std::string timetable = "{", list = "[";
        for (std::size_t i = 0; i < queues; ++i) {
            const std::string id = std::to_string(100 + i);
            if (i > 0) {
                timetable += ", ";
                list += ", ";
            }
            timetable.append("\"").append(id).append("\": ").append(std::to_string(10 + i % 200));
            list.append("{\"id\": ").append(id).append("}");
        }
        host.putResource(kTimetablePath, parseJson(timetable + "}").value());
        host.putResource(kQueueListPath, parseJson(list + "]").value());
        id = host.load(KIV_SHUTDOWN_LAW_LIBRARY);
        initialized = host.initialize(id);
    }

    void receivePacket() { host.changeResource(kivhost::ResourceChangeKind::Update, kLoginPath, packet); }

    kivhost::PluginHost host;
    kivhost::PluginId id = 0;
    bool initialized = false;
    const Value packet = std::move(parseJson(kEnabledPacket).value());
};

// Every queue gets its job, and the custom queue, the all-queues, warning and cut-off jobs
// come on top.
bool schedulesEveryQueue(std::size_t queues) {
    try {
        LoginWorld world(queues);
        const std::size_t before = world.host.pendingTimers();
        world.receivePacket();
        return world.initialized && world.host.pendingTimers() >= before + queues + 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "login packet: %s\n", error.what());
        return false;
    }
}

} // namespace

bool addLoginPacket(BenchTable& table) {
    for (const std::size_t queues : kQueueCounts) {
        if (!schedulesEveryQueue(queues)) {
            std::fprintf(stderr, "login packet: %zu queues are not all scheduled\n", queues);
            return false;
        }
        const std::string name = sizedName("login-packet", queues);
        registerPrepared(
            name, [queues] { return std::make_unique<LoginWorld>(queues); },
            [](LoginWorld& world) { world.receivePacket(); }, 20);
        table.comparisons.push_back({"login packet", std::to_string(queues) + " queues", name, "", "", 0});
    }
    const std::string fewest = sizedName("login-packet", kQueueCounts[0]);
    for (std::size_t i = 1; i < std::size(kQueueCounts); ++i) {
        table.growths.push_back({"login packet", fewest, sizedName("login-packet", kQueueCounts[i]),
                                 static_cast<double>(kQueueCounts[0]), static_cast<double>(kQueueCounts[i]),
                                 GrowthBound::NLogN});
    }
    return true;
}

} // namespace kiv::bench
