// What passes between the test plugin and the development host while it runs: the observed
// resource and its events, the plugin's own events, jobs on the host's timer, streamed bodies,
// forwarded log lines and service-proxy messages.
#include "test_plugin_host.h"

namespace kiv::test {

namespace {

using kivhost::HostOptions;
using kivhost::ResourceChangeKind;

constexpr const char* kStatusEvent = "OnJsonApiEvent_kiv-test-plugin_v1_status";

TEST(Observation, ReadsAtOnceAndAnnouncesItsStatusTwice) {
    TestPluginHost plugin;
    std::vector<std::string> requested;
    for (const kivhost::RequestSent& request : happeningsOf<kivhost::RequestSent>(plugin.host)) {
        requested.push_back(request.method + " " + request.path);
    }
    EXPECT_EQ(requested, (std::vector<std::string>{"GET /kiv-login/v1/login-data-packet",
                                                   "GET /kiv-test-config/v1/settings"}));

    const std::vector<kivhost::EventSent> sent = happeningsOf<kivhost::EventSent>(plugin.host);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].name, kStatusEvent);
    EXPECT_EQ(sent[1].name, "OnJsonApiEvent");
    for (const kivhost::EventSent& event : sent) {
        EXPECT_EQ(event.payload["uri"].getString({}), kStatusPath);
        // Enumerations travel as their names in events, as in responses.
        EXPECT_EQ(event.payload["eventType"].getString({}), "Update");
        EXPECT_EQ(event.payload["data"]["state"].getString({}), "SEEN");
        EXPECT_EQ(event.payload["data"]["loginMinutes"].asInteger(0), 42);
    }
    EXPECT_EQ(plugin.status()["state"].getString({}), "SEEN");
}

TEST(Observation, ChangesArriveAsEvents) {
    TestPluginHost plugin;
    plugin.host.changeResource(ResourceChangeKind::Update, kLoginPath, json(R"({"minutes": 5})"));
    EXPECT_EQ(plugin.status()["loginMinutes"].asInteger(0), 5);
    plugin.host.changeResource(ResourceChangeKind::Delete, kLoginPath);
    EXPECT_EQ(plugin.status()["loginMinutes"].asInteger(0), 5);
    EXPECT_EQ(happeningsOf<kivhost::EventSent>(plugin.host).size(), 4u);
}

TEST(Jobs, FireOnTheHostsTimer) {
    TestPluginHost plugin;
    const std::vector<kivhost::TimerScheduled> scheduled = happeningsOf<kivhost::TimerScheduled>(plugin.host);
    ASSERT_EQ(scheduled.size(), 1u);
    EXPECT_EQ(scheduled[0].name, "kiv-test-plugin.tick");
    EXPECT_EQ(scheduled[0].delayMs, 42 * 60 * 1000);
    plugin.host.runUntil(*plugin.host.nextDueMs());
    EXPECT_EQ(plugin.status()["state"].getString({}), "TICKED");
    EXPECT_EQ(plugin.status()["ticks"].asInteger(0), 1);
}

TEST(Jobs, ATimerFiredTwiceRunsOnce) {
    TestPluginHost plugin;
    plugin.host.runUntil(*plugin.host.nextDueMs());
    plugin.host.replayTimer(0);
    plugin.host.replayTimer(0);
    EXPECT_EQ(plugin.status()["ticks"].asInteger(0), 1);
    EXPECT_EQ(plugin.host.counters().faults, 0u);
}

TEST(Jobs, ATimerFiredAfterUnloadDoesNothing) {
    TestPluginHost plugin;
    ASSERT_EQ(plugin.host.pendingTimers(), 1u);
    plugin.host.unload(plugin.id);
    const std::size_t eventsBefore = happeningsOf<kivhost::EventSent>(plugin.host).size();
    plugin.host.replayTimer(0);
    EXPECT_EQ(happeningsOf<kivhost::EventSent>(plugin.host).size(), eventsBefore);
    EXPECT_EQ(plugin.host.counters().faults, 0u);
}

TEST(StreamedBodies, AreReadInChunksWithYieldsAndReleasedOnce) {
    kivhost::HostOptions options;
    options.streamChunkBytes = 5;
    kivhost::PluginHost host(options);
    host.putResource(kLoginPath, json(R"({"minutes": 42})"));
    host.putResource(kSettingsPath, json(R"({"names": ["alpha", "beta", "gamma"]})"));
    const kivhost::PluginId id = host.load(kTestPluginLibrary, kEntryName);
    ASSERT_TRUE(host.initialize(id));
    const kivhost::HostCounters counters = host.counters();
    EXPECT_GT(counters.yields, 0u);
    EXPECT_EQ(counters.waitsBegun, counters.yields);
    EXPECT_EQ(counters.waitsEnded, counters.yields);
    EXPECT_EQ(counters.lastWaitLabel, "Wait: yield");
    EXPECT_EQ(counters.openBodyStreams, 0u);
    EXPECT_EQ(counters.openResponses, 0u);
    EXPECT_EQ(counters.strayReleases, 0u);
    const kivhost::Response status = host.request(KIV_HTTP_METHOD_GET, kStatusPath);
    ASSERT_EQ(status.value["settings"].size(), 3u);
    EXPECT_EQ(status.value["settings"][2].getString({}), "gamma");
    EXPECT_EQ(status.value["loginMinutes"].asInteger(0), 42);
}

TEST(LogForwarding, ThePluginsLinesReachWriteLog) {
    TestPluginHost plugin;
    EXPECT_EQ(logTexts(plugin.host, KIV_LOG_LEVEL_ALWAYS),
              std::vector<std::string>{"Test plugin saw login minutes: 42"});
}

TEST(ServiceProxy, AsyncMessagesWithoutAHandlerAreLogged) {
    TestPluginHost plugin;
    plugin.host.publish("OnServiceProxyAsyncEvent",
                        json(R"({"uuid": "u-1", "serviceName": "a", "methodName": "b", "payload": "{}"})"));
    EXPECT_EQ(
        logTexts(plugin.host, KIV_LOG_LEVEL_ERROR),
        std::vector<std::string>{"kiv-test-plugin: Could not find registered handler for async service proxy "
                                 "event a.b"});
}

} // namespace

} // namespace kiv::test
