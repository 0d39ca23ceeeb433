// Calls across the boundary in both directions between C++ and a host written in C: every entry
// of the host's table reaches its own function with its arguments intact, and a C host can load
// a plugin and drive its callbacks through the load record.
#include "c_host.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kiv {
namespace {

struct HostEntryCall {
    std::string name;
    int entry;
    std::function<void(HostApi*)> call;
};

std::vector<HostEntryCall> hostEntryCalls() {
    static HostResponse response;
    static HostRequest request;
    static HostEventRecord event;
    return {
        {"sendRequest", 0, [](HostApi* api) { api->sendRequest(api, &response, &request); }},
        {"hostOperation1", 1, [](HostApi* api) { api->hostOperation1(api, 1, 2); }},
        {"sendEvent", 2, [](HostApi* api) { api->sendEvent(api, &event); }},
        {"subscribeEvent", 3,
         [](HostApi* api) {
             api->subscribeEvent(
                 api, "OnJsonApiEvent", 1, [](const HostEventRecord*) {}, nullptr, 0);
         }},
        {"unsubscribeEvent", 4, [](HostApi* api) { api->unsubscribeEvent(api, "OnJsonApiEvent", 1); }},
        {"scheduleTimer", 5,
         [](HostApi* api) {
             api->scheduleTimer(
                 api, "job", [](void*) {}, nullptr, 0.0, 0);
         }},
        {"yieldToHost", 6, [](HostApi* api) { api->yieldToHost(api); }},
        {"beginWait", 7, [](HostApi* api) { api->beginWait(api, "Wait: yield", 0); }},
        {"endWait", 8, [](HostApi* api) { api->endWait(api); }},
        {"writeLog", 9, [](HostApi* api) { api->writeLog(api, KIV_LOG_LEVEL_ALWAYS, "line"); }},
    };
}

void PrintTo(const HostEntryCall& call, std::ostream* out) {
    *out << call.name;
}

class HostTableEntry : public testing::TestWithParam<HostEntryCall> {};

TEST_P(HostTableEntry, ReachesItsOwnFunctionWithTheTableFirst) {
    HostApi* api = cHostInterface()->api;
    GetParam().call(api);
    EXPECT_EQ(cHostLastCall()->entry, GetParam().entry);
    EXPECT_EQ(cHostLastCall()->api, api);
}

INSTANTIATE_TEST_SUITE_P(CHost, HostTableEntry, testing::ValuesIn(hostEntryCalls()),
                         [](const testing::TestParamInfo<HostEntryCall>& info) { return info.param.name; });

struct Delivered {
    const HostEventRecord* event = nullptr;
    void* timerData = nullptr;
};
Delivered delivered;

TEST(HostTable, ScheduleTimerPassesTheDelayBetweenPointersAndTheTrailingWord) {
    HostApi* api = cHostInterface()->api;
    int job = 0;
    api->scheduleTimer(
        api, "kiv-kr-shutdown-law.cut-off", [](void* data) { delivered.timerData = data; }, &job, 5400.125,
        0);
    const CHostCall* call = cHostLastCall();
    EXPECT_STREQ(call->text, "kiv-kr-shutdown-law.cut-off");
    EXPECT_EQ(call->pointers[0], &job);
    EXPECT_EQ(call->delaySeconds, 5400.125);
    EXPECT_EQ(call->words[0], 0u);
    EXPECT_EQ(delivered.timerData, &job);
}

TEST(HostTable, SubscribeEventHandsTheCallbackAndUserDataToTheHost) {
    HostApi* api = cHostInterface()->api;
    int plugin = 0;
    delivered.event = nullptr;
    api->subscribeEvent(
        api, "OnServiceProxyUuidEvent", 0x5EED,
        [](const HostEventRecord* event) {
            delivered.event = event;
            EXPECT_STREQ(event->name, "OnServiceProxyUuidEvent");
            EXPECT_EQ(event->payload.kind, static_cast<std::uint32_t>(KIV_FLAT_BOOL));
            EXPECT_EQ(event->payload.a, 1u);
        },
        &plugin, KIV_EVENT_KIND_SERVICE_PROXY);
    const CHostCall* call = cHostLastCall();
    ASSERT_NE(delivered.event, nullptr);
    EXPECT_EQ(call->words[0], 0x5EEDu);
    EXPECT_EQ(call->words[1], static_cast<std::uintptr_t>(KIV_EVENT_KIND_SERVICE_PROXY));
    EXPECT_EQ(call->pointers[0], &plugin);
}

TEST(HostTable, WriteLogPassesLevelAndText) {
    HostApi* api = cHostInterface()->api;
    api->writeLog(api, KIV_LOG_LEVEL_ERROR, "a line");
    EXPECT_EQ(cHostLastCall()->words[0], static_cast<std::uintptr_t>(KIV_LOG_LEVEL_ERROR));
    EXPECT_STREQ(cHostLastCall()->text, "a line");
}

// A stand-in plugin whose export and callbacks are C++ functions with the boundary's types.
struct FakePlugin {
    PluginCallbacks callbacks;
    std::uint32_t coreVersion[3] = {};
    const HostInterface* host = nullptr;
    bool unloaded = false;
};
FakePlugin fakePlugin;

void KIV_CDECL fakeLoad(PluginLoadInfo* info) {
    fakePlugin = {};
    fakePlugin.coreVersion[0] = info->apiMajor;
    fakePlugin.coreVersion[1] = info->apiMinor;
    fakePlugin.coreVersion[2] = info->apiPatch;
    fakePlugin.callbacks.initialize = [](void* plugin, HostInterface* host) -> std::uint8_t {
        static_cast<FakePlugin*>(plugin)->host = host;
        return 1;
    };
    fakePlugin.callbacks.unload = [](void* plugin) { static_cast<FakePlugin*>(plugin)->unloaded = true; };
    fakePlugin.callbacks.getMemoryStatistics = [](void*, MemoryStatistics* statistics) {
        *statistics = {4096, 3, 8192, 10, 4096, 7, 0};
    };
    *info = {18, 0, 0, &fakePlugin.callbacks, &fakePlugin, "kiv-kr-shutdown-law", nullptr};
}

TEST(PluginCallbacks, CHostLoadsInitialisesQueriesAndUnloadsThePlugin) {
    PluginLoadInfo info;
    MemoryStatistics statistics = {};
    const PluginLoadFn load = fakeLoad;
    EXPECT_EQ(cHostRunPlugin(load, &info, &statistics), 1);
    EXPECT_EQ(fakePlugin.coreVersion[0], 18u);
    EXPECT_EQ(fakePlugin.coreVersion[1], 2u);
    EXPECT_EQ(fakePlugin.coreVersion[2], 5u);
    EXPECT_EQ(info.apiMajor, 18u);
    EXPECT_STREQ(info.shortName, "kiv-kr-shutdown-law");
    EXPECT_EQ(fakePlugin.host, cHostInterface());
    EXPECT_EQ(fakePlugin.host->hostContext, 0x5EEDu);
    EXPECT_EQ(statistics.peakLiveBytes, 4096u);
    EXPECT_EQ(statistics.freeCount, 7u);
    EXPECT_TRUE(fakePlugin.unloaded);
}

} // namespace
} // namespace kiv
