// Observing resources, the host subscriptions behind observers, delivery of the host's events and
// publication of the plugin's own.
#include "host/event_names.h"
#include "loaded_plugin.h"
#include "value/flat_value.h"

#include "../binding/value_builders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kiv::test {

namespace {

constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr const char* kLoginEvent = "OnJsonApiEvent_kiv-login_v1_login-data-packet";

Value resourceEvent(std::string_view uri, std::string_view type, Value data) {
    return structureOf(
        {{"uri", stringValue(uri)}, {"eventType", stringValue(type)}, {"data", std::move(data)}});
}

struct Seen {
    std::string tag;
    std::string uri;
    PluginResourceEventType type;
    std::int64_t data;
};

class Events : public ::testing::Test {
  protected:
    Events() {
        host.responder = [this](HostResponse& response, const HostRequest& request) {
            if (request.path == std::string(kLoginPath)) {
                answerValue(response, structureOf({{"minutes", signedValue(loginMinutes)}}));
            } else {
                answerError(response, "Not found", 404);
            }
        };
    }

    ResourceEventHandler recordAs(std::string tag) {
        return [this, tag](const PluginResourceEvent& event) {
            seen.push_back(
                {tag, event.uri, event.eventType, event.data["minutes"].getSigned(event.data.getSigned(-1))});
        };
    }

    FakeHost host;
    LoadedPlugin loaded{host};
    const PluginEntry entry = loaded.enter(); // the test calls the plugin's parts directly
    ProbePlugin& plugin = loaded.plugin();
    std::int64_t loginMinutes = 42;
    std::vector<Seen> seen;
};

TEST_F(Events, ObserveReadsAtOnceAndDeliversCreate) {
    (void)plugin.observers().observe(kLoginPath, recordAs("login"));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].uri, kLoginPath);
    EXPECT_EQ(seen[0].type, PluginResourceEventType::Create);
    EXPECT_EQ(seen[0].data, 42);
    EXPECT_EQ(host.requestedPaths, std::vector<std::string>{kLoginPath});
}

TEST_F(Events, AFailedFirstReadIsDroppedButChangesStillArrive) {
    (void)plugin.observers().observe("/kiv-game-queues/v1/queues", recordAs("queues"));
    EXPECT_TRUE(seen.empty());
    host.deliver("OnJsonApiEvent_kiv-game-queues_v1_queues",
                 resourceEvent("/kiv-game-queues/v1/queues", "Update", signedValue(3)));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, PluginResourceEventType::Update);
}

TEST_F(Events, ObservingTwiceSubscribesOnceAndKeepsTheSecondHandler) {
    const std::size_t before = host.subscriptions.size();
    (void)plugin.observers().observe(kLoginPath, recordAs("first"));
    (void)plugin.observers().observe(kLoginPath, recordAs("second"));
    EXPECT_EQ(plugin.observers().subscriptionCount(kLoginEvent), 2);
    ASSERT_EQ(host.subscriptions.size(), before + 1);
    const HostSubscription& subscription = host.subscriptions.back();
    EXPECT_EQ(subscription.name, kLoginEvent);
    EXPECT_EQ(subscription.kind, static_cast<std::uint32_t>(KIV_EVENT_KIND_RESOURCE));
    EXPECT_EQ(subscription.hostContext, host.hostInterface()->hostContext);
    EXPECT_EQ(subscription.userData, plugin.handle());

    seen.clear();
    host.deliver(kLoginEvent, resourceEvent(kLoginPath, "Update", signedValue(7)));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].tag, "second");
}

TEST_F(Events, UrisWithoutLeadingSlashReachTheExactObserver) {
    (void)plugin.observers().observe(kLoginPath, recordAs("login"));
    seen.clear();
    host.deliver(kLoginEvent, resourceEvent("kiv-login/v1/login-data-packet", "Delete", Value()));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, PluginResourceEventType::Delete);
}

TEST_F(Events, ExactAndPatternObserversBothRun) {
    (void)plugin.observers().observe("/kiv-game-queues/v1/queues/7", recordAs("exact"));
    (void)plugin.observers().observe("/kiv-game-queues/v1/queues/*", recordAs("pattern"));
    (void)plugin.observers().observe("/kiv-game-queues/v1/queues/7/*", recordAs("deeper"));
    const char* event = "OnJsonApiEvent_kiv-game-queues_v1_queues";
    EXPECT_EQ(plugin.observers().subscriptionCount(event), 3);
    host.deliver(event, resourceEvent("/kiv-game-queues/v1/queues/7", "Update", signedValue(1)));
    host.deliver(event, resourceEvent("/kiv-game-queues/v1/queues/7/x", "Update", signedValue(2)));
    host.deliver(event, resourceEvent("/kiv-game-queues/v1/queues/", "Update", signedValue(3)));
    std::vector<std::string> tags;
    for (const Seen& s : seen) {
        tags.push_back(s.tag + ":" + std::to_string(s.data));
    }
    EXPECT_EQ(tags, (std::vector<std::string>{"exact:1", "pattern:1", "deeper:2"}));
}

TEST_F(Events, PayloadsThatDoNotConvertAreDropped) {
    (void)plugin.observers().observe(kLoginPath, recordAs("login"));
    seen.clear();
    host.deliver(kLoginEvent, resourceEvent(kLoginPath, "Renamed", signedValue(1)));
    host.deliver(kLoginEvent, stringValue("not a structure"));
    EXPECT_TRUE(seen.empty());
}

TEST_F(Events, RecordsWithNullNamesTextsOrUserDataAreNeverDereferenced) {
    (void)plugin.observers().observe("/", recordAs("root"));
    const HostSubscription subscription = host.subscriptions.back();
    HostEventRecord record{nullptr, {}, 0, plugin.handle()};
    subscription.callback(&record);
    record.name = subscription.name.c_str();
    record.userData = nullptr;
    subscription.callback(&record);
    subscription.callback(nullptr);
    EXPECT_TRUE(seen.empty());
    // A flat text whose pointer is null reads as the empty text; a null member array as no members.
    record.userData = plugin.handle();
    FlatStructureMember members[2] = {{"uri", {KIV_FLAT_STRING_BORROWED, 0, 0}, 0},
                                      {nullptr, {KIV_FLAT_STRUCTURE, 0, 1000}, 0}};
    record.payload = {KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(members), 2};
    subscription.callback(&record);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].uri, "");
}

TEST(HostRecords, ClaimedCountsAreCheckedBeforeRoomIsTaken) {
    // Two real elements behind a count that claims a million: the second is no flat value, so
    // the conversion stops there without taking room for the million.
    FlatValue elements[2] = {{KIV_FLAT_BOOL, 1, 0}, {99, 0, 0}};
    const FlatValue lying{KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(elements), 1000000};
    Value target;
    FlatResult failure{};
    EXPECT_FALSE(flatToValue(lying, target, "<result>", failure));
    ASSERT_NE(failure.error, nullptr);
    EXPECT_STREQ(failure.error, "Couldn't assign value to '<result>' of type object because the input is of "
                                "an incompatible type ''.");
    releaseFlat(failure);
}

TEST_F(Events, UnsubscribeCountsDownAndLeavesTheHostAtZero) {
    (void)plugin.observers().observe(kLoginPath, recordAs("a"));
    (void)plugin.observers().observe("/kiv-login/v1/login-data-packet/x", recordAs("b"));
    EXPECT_EQ(plugin.observers().subscriptionCount(kLoginEvent), 2);
    plugin.observers().unsubscribe(kLoginPath);
    EXPECT_TRUE(host.unsubscriptions.empty());
    EXPECT_EQ(plugin.observers().subscriptionCount(kLoginEvent), 1);
    plugin.observers().unsubscribe(kLoginPath);
    EXPECT_EQ(host.unsubscriptions, std::vector<std::string>{kLoginEvent});
    plugin.observers().unsubscribe(kLoginPath);
    plugin.observers().unsubscribe("/never/subscribed/path");
    EXPECT_EQ(host.unsubscriptions.size(), 1u);
    EXPECT_EQ(plugin.observers().subscriptionCount(kLoginEvent), 0);
}

TEST_F(Events, AnObserverMayReplaceItselfAndObserveMoreWhileItRuns) {
    std::vector<std::string> log;
    const std::string firstName = "first observer";
    (void)plugin.observers().observe(
        "/kiv-game-queues/v1/queues/5", [&, firstName](const PluginResourceEvent&) {
            (void)plugin.observers().observe("/kiv-game-queues/v1/queues/5",
                                             [&](const PluginResourceEvent&) { log.push_back("second"); });
            for (int j = 0; j < 64; ++j) {
                (void)plugin.observers().observe("/kiv-game-queues/v1/queues/" + std::to_string(100 + j),
                                                 recordAs("more"));
            }
            // Still running on its own copy, with its captures alive.
            log.push_back(firstName);
        });
    host.deliver("OnJsonApiEvent_kiv-game-queues_v1_queues",
                 resourceEvent("/kiv-game-queues/v1/queues/5", "Update", Value()));
    host.deliver("OnJsonApiEvent_kiv-game-queues_v1_queues",
                 resourceEvent("/kiv-game-queues/v1/queues/5", "Update", Value()));
    EXPECT_EQ(log, (std::vector<std::string>{"first observer", "second"}));
}

TEST_F(Events, ShutdownUnsubscribesEveryHandledEvent) {
    (void)plugin.observers().observe(kLoginPath, recordAs("login"));
    (void)plugin.observers().observe("/kiv-game-queues/v1/queues/*", recordAs("queues"));
    loaded.unload();
    std::vector<std::string> remaining = host.subscribedNames();
    EXPECT_TRUE(remaining.empty()) << remaining.front();
    // After unload, a late event leads nowhere.
    seen.clear();
    EXPECT_EQ(host.deliver(kLoginEvent, resourceEvent(kLoginPath, "Update", signedValue(1))), 1);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Events, PublishingSendsThePathEventAndTheGenericOneWithEnumNames) {
    PluginResourceEvent event;
    event.uri = "/kiv-probe/v1/status/3";
    event.eventType = PluginResourceEventType::Update;
    event.data.setString("WARNING");
    plugin.observers().publish(kJsonApiEventName, event.uri, event.eventType, event.data);
    ASSERT_EQ(host.sentEvents.size(), 2u);
    EXPECT_EQ(host.sentEvents[0].name, "OnJsonApiEvent_kiv-probe_v1_status");
    EXPECT_EQ(host.sentEvents[1].name, "OnJsonApiEvent");
    for (const HostSentEvent& sent : host.sentEvents) {
        EXPECT_EQ(sent.payload["uri"].getString({}), "/kiv-probe/v1/status/3");
        EXPECT_EQ(sent.payload["eventType"].getString({}), "Update");
        EXPECT_EQ(sent.payload["data"].getString({}), "WARNING");
        EXPECT_EQ(sent.reserved, 0u);
        EXPECT_EQ(sent.userData, nullptr);
    }
}

TEST_F(Events, PublishingTheRootPathSendsOneEvent) {
    PluginResourceEvent event;
    event.uri = "/";
    plugin.observers().publish(kJsonApiEventName, event.uri, event.eventType, event.data);
    ASSERT_EQ(host.sentEvents.size(), 1u);
    EXPECT_EQ(host.sentEvents[0].name, "OnJsonApiEvent");
    EXPECT_EQ(host.sentEvents[0].payload["eventType"].getString({}), "Create");
}

TEST_F(Events, AnEventPublishedByThePluginReadsLikeTheResource) {
    // A plugin observing its own path receives what it publishes, as another plugin would.
    (void)plugin.observers().observe("/kiv-probe/v1/x", recordAs("self"));
    PluginResourceEvent event;
    event.uri = "/kiv-probe/v1/x";
    event.eventType = PluginResourceEventType::Delete;
    event.data.setSigned(11);
    plugin.observers().publish(kJsonApiEventName, event.uri, event.eventType, event.data);
    host.deliver(host.sentEvents.at(0).name, host.sentEvents.at(0).payload);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].type, PluginResourceEventType::Delete);
    EXPECT_EQ(seen[0].data, 11);
}

} // namespace

} // namespace kiv::test
