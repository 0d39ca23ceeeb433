// The ten host entries as a plugin reaches them through its table: requests to the resource
// store and to other plugins, streamed bodies, events and subscriptions, logs, the counted
// entries, and faulty records that the host must take without crashing.
#include "case_name.h"
#include "fake_host.h"

#include "kivhost/core/json_text.h"
#include "platform/thread_id.h"

#include <functional>
#include <thread>

namespace kiv::test {
namespace {

using kivhost::HostOptions;

constexpr const char* kInput = "/fake-input/v1/value";

struct StoreCase {
    std::string name;
    std::uint32_t chunkBytes;
    bool stored;
    std::string expected; // the plugin's journal line for its GET at initialize
    std::uint64_t yields;
};

class StoreAnswerTest : public testing::TestWithParam<StoreCase> {};

TEST_P(StoreAnswerTest, TheStoreAnswersWholeOrStreamedInChunks) {
    FakeHost fake(HostOptions{{}, kivhost::ClockKind::Virtual, GetParam().chunkBytes});
    if (GetParam().stored) {
        fake.host.putResource(kInput, json(R"({"a":1,"b":[true,"x"]})"));
    }
    fake.start();
    EXPECT_EQ(fake.journalLines("got ").size() + fake.journalLines("error ").size(), 1u);
    const std::vector<std::string> lines = fake.journalLines(GetParam().stored ? "got " : "error ");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], GetParam().expected);

    const kivhost::HostCounters counters = fake.host.counters();
    EXPECT_EQ(counters.yields, GetParam().yields);
    EXPECT_EQ(counters.waitsBegun, GetParam().yields);
    EXPECT_EQ(counters.waitsEnded, GetParam().yields);
    if (GetParam().yields > 0) {
        EXPECT_EQ(counters.lastWaitLabel, "Wait: yield");
    }
    EXPECT_EQ(counters.openResponses, 0u);
    EXPECT_EQ(counters.openBodyStreams, 0u);

    const auto requests = happeningsOfType(fake.host, "request");
    ASSERT_EQ(requests.size(), 1u);
    const auto& request = std::get<kivhost::RequestSent>(requests[0].detail);
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.path, kInput);
    EXPECT_EQ(request.status, GetParam().stored ? 200u : 404u);
    EXPECT_EQ(request.error.has_value(), !GetParam().stored);
}

// The JSON text is 22 bytes long: a chunk of c bytes takes ceil(22 / c) reads, and the plugin
// yields after every short read that announces more.
INSTANTIATE_TEST_SUITE_P(
    Chunks, StoreAnswerTest,
    testing::Values(StoreCase{"Flat", 0, true, R"(got 200 {a:1,b:[true,"x"]})", 0},
                    StoreCase{"FlatAbsent", 0, false, "error 404 No resource at '/fake-input/v1/value'.", 0},
                    StoreCase{"OneByte", 1, true, R"(got 200 body {"a":1,"b":[true,"x"]})", 21},
                    StoreCase{"ThreeBytes", 3, true, R"(got 200 body {"a":1,"b":[true,"x"]})", 7},
                    StoreCase{"WholeTextInOneChunk", 22, true, R"(got 200 body {"a":1,"b":[true,"x"]})", 0},
                    StoreCase{"BufferSized", 4096, true, R"(got 200 body {"a":1,"b":[true,"x"]})", 0},
                    StoreCase{"StreamedAbsent", 3, false, "error 404 No resource at '/fake-input/v1/value'.",
                              0}),
    CaseName());

TEST(RoutingTest, RequestsReachTheFunctionsOfOtherPluginsAsThePlatformRoutesThem) {
    FakeHost fake;
    fake.start();
    fake.start("load_kivhost_fake_peer");
    fake.act("get:/peer/v1/act/log:1:hello");
    fake.act("get:/peer/v1/stream/5");
    fake.act("get:/peer/v1/act/fail");
    fake.act("get:/nowhere/v1/x");
    EXPECT_EQ(fake.journalLines("got "),
              (std::vector<std::string>{R"(got 200 {done:"log:1:hello"})", "got 200 body [0,1,2,3,4]"}));
    EXPECT_EQ(fake.journalLines("error "),
              (std::vector<std::string>{"error 404 No resource at '/fake-input/v1/value'.",
                                        "error 418 The fake fails on purpose",
                                        "error 404 No resource at '/nowhere/v1/x'."}));
    // The peer's log line came through its own table; its 3-byte chunks made the reader yield.
    const auto logs = happeningsOfType(fake.host, "log");
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[2].plugin, "peer");
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[2].detail).text, "hello");
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[2].detail).level, 1u);
    EXPECT_EQ(fake.host.counters().yields, 3u);
    const kivhost::Response releases = fake.act("releases", "/peer/v1");
    EXPECT_EQ(kivhost::toJson(releases.value), R"({"openResponses":0,"openStreams":0,"strays":0})");
}

// A client outside the platform (kivhost serve) reaches the plugins' functions only: never the
// store, and without a response in the timeline. Routing looks at the path, not the query.
TEST(RoutingTest, ClientRequestsReachOnlyThePluginsFunctionsAndAreNotRecorded) {
    FakeHost fake;
    fake.host.putResource("/fake-input/v1/value", json(R"({"n": 1})"));
    fake.start();
    const std::size_t recorded = fake.host.happenings().size();

    const std::optional<kivhost::Response> act =
        fake.host.callFunction(KIV_HTTP_METHOD_GET, "/fake/v1/act/log:1:x");
    ASSERT_TRUE(act);
    EXPECT_EQ(kivhost::toJson(act->value), R"({"done":"log:1:x"})");
    const std::optional<kivhost::Response> failed =
        fake.host.callFunction(KIV_HTTP_METHOD_GET, "/fake/v1/act/fail");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 418u);
    EXPECT_EQ(failed->error.value_or(""), "The fake fails on purpose");
    EXPECT_FALSE(fake.host.callFunction(KIV_HTTP_METHOD_GET, "/fake-input/v1/value"))
        << "the store is not asked";
    EXPECT_FALSE(fake.host.callFunction(KIV_HTTP_METHOD_POST, "/fake/v1/journal"));

    const std::vector<std::uint32_t> get = {KIV_HTTP_METHOD_GET};
    EXPECT_EQ(fake.host.methodsAt("/fake/v1/journal"), get);
    EXPECT_EQ(fake.host.methodsAt("/fake/v1/journal?since=3"), get);
    EXPECT_EQ(fake.host.methodsAt("/fake/v1/stream/4"), get);
    EXPECT_TRUE(fake.host.methodsAt("/fake/v1/stream/4/5").empty());
    EXPECT_TRUE(fake.host.methodsAt("/fake-input/v1/value").empty());

    // The one log line the action wrote is all that was recorded: no response.
    const std::vector<kivhost::Happening> after = fake.host.happenings();
    ASSERT_EQ(after.size(), recorded + 1);
    EXPECT_STREQ(kivhost::happeningType(after.back().detail), "log");
}

struct HostRequestCase {
    std::string name;
    std::string path;
    std::uint32_t method;
    std::uint32_t status;
    std::string valueJson;
    std::string error; // empty when none
    bool faulted;
};

class HostRequestTest : public testing::TestWithParam<HostRequestCase> {};

TEST_P(HostRequestTest, TheHostReadsAndReleasesWhatThePluginAnswers) {
    FakeHost fake;
    fake.start();
    fake.host.putResource("/stored/v1/value", json("[1,2]"));
    const kivhost::Response response = fake.host.request(GetParam().method, GetParam().path);
    EXPECT_EQ(response.status, GetParam().status);
    EXPECT_EQ(kivhost::toJson(response.value), GetParam().valueJson);
    EXPECT_EQ(response.error.value_or(""), GetParam().error);
    EXPECT_EQ(fake.host.counters().faults, GetParam().faulted ? 1u : 0u);

    const auto responses = happeningsOfType(fake.host, "response");
    ASSERT_EQ(responses.size(), 1u);
    EXPECT_EQ(std::get<kivhost::ResponseReceived>(responses[0].detail).path, GetParam().path);
    const kivhost::Response releases = fake.act("releases");
    EXPECT_EQ(kivhost::toJson(releases.value), R"({"openResponses":0,"openStreams":0,"strays":0})");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HostRequestTest,
    testing::Values(
        HostRequestCase{"Action", "/fake/v1/act/op1", KIV_HTTP_METHOD_GET, 200, R"({"done":"op1"})", "",
                        false},
        HostRequestCase{"Stream", "/fake/v1/stream/12", KIV_HTTP_METHOD_GET, 200,
                        "[0,1,2,3,4,5,6,7,8,9,10,11]", "", false},
        HostRequestCase{"EmptyStream", "/fake/v1/stream/0", KIV_HTTP_METHOD_GET, 200, "[]", "", false},
        HostRequestCase{"ErrorText", "/fake/v1/act/fail", KIV_HTTP_METHOD_GET, 418, "null",
                        "The fake fails on purpose", false},
        HostRequestCase{"UnknownAction", "/fake/v1/act/nothing", KIV_HTTP_METHOD_GET, 404, "null",
                        "Unknown action: nothing", false},
        HostRequestCase{"BadFlatKind", "/fake/v1/act/bad-response", KIV_HTTP_METHOD_GET, 200, "null",
                        "Couldn't assign value to '<response>' of type object because the input is of an "
                        "incompatible type ''.",
                        true},
        HostRequestCase{"OversizedChunk", "/fake/v1/act/oversized-chunk", KIV_HTTP_METHOD_GET, 200, "null",
                        "Stream read error", true},
        HostRequestCase{"NoRoute", "/fake/v1/journal/x", KIV_HTTP_METHOD_GET, 404, "null",
                        "No resource at '/fake/v1/journal/x'.", false},
        HostRequestCase{"NotGet", "/fake/v1/journal", KIV_HTTP_METHOD_POST, 405, "null",
                        "The resource store answers GET requests only", false},
        HostRequestCase{"Stored", "/stored/v1/value", KIV_HTTP_METHOD_GET, 200, "[1,2]", "", false}),
    CaseName());

TEST(EventBusTest, EventsReachEverySubscriberWithItsOwnUserData) {
    FakeHost fake;
    fake.start();
    fake.start("load_kivhost_fake_peer");
    fake.act("subscribe:OnFakeEvent:first");
    fake.act("subscribe:OnFakeEvent:second", "/peer/v1");
    fake.act("event:OnFakeEvent");
    fake.act("subscribe:OnFakeEvent:renamed"); // a second subscription replaces the first
    fake.act("event:OnFakeEvent", "/peer/v1");
    fake.act("unsubscribe:OnFakeEvent", "/peer/v1");
    fake.act("event:OnFakeEvent");

    EXPECT_EQ(fake.journalLines("event OnFakeEvent"),
              (std::vector<std::string>{R"(event OnFakeEvent first kind 0 {from:"fake",n:7})",
                                        R"(event OnFakeEvent renamed kind 0 {from:"peer",n:7})",
                                        R"(event OnFakeEvent renamed kind 0 {from:"fake",n:7})"}));
    EXPECT_EQ(fake.journalLines("event OnFakeEvent", "/peer/v1"),
              (std::vector<std::string>{R"(event OnFakeEvent second kind 0 {from:"fake",n:7})",
                                        R"(event OnFakeEvent second kind 0 {from:"peer",n:7})"}));
    const auto sent = happeningsOfType(fake.host, "event");
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[1].plugin, "peer");
    EXPECT_EQ(std::get<kivhost::EventSent>(sent[1].detail).name, "OnFakeEvent");
    EXPECT_EQ(kivhost::toJson(std::get<kivhost::EventSent>(sent[1].detail).payload),
              R"({"from":"peer","n":7})");
}

TEST(EventBusTest, ResourceChangesAndPublishedEventsReachTheirSubscribers) {
    FakeHost fake;
    fake.start();
    fake.host.changeResource(kivhost::ResourceChangeKind::Create, kInput, json(R"({"x":1})"));
    fake.host.changeResource(kivhost::ResourceChangeKind::Update, kInput, json("[2]"));
    fake.host.changeResource(kivhost::ResourceChangeKind::Delete, kInput);
    fake.host.publish("OnJsonApiEvent_fake-input_v1_value", json(R"({"uri":"/x"})"));
    fake.host.changeResource(kivhost::ResourceChangeKind::Update, "/fake-input/v1/other", json("3"));

    const std::string prefix = "event OnJsonApiEvent_fake-input_v1_value fake:init kind 0 ";
    EXPECT_EQ(fake.journalLines("event "),
              (std::vector<std::string>{
                  prefix + R"({data:{x:1},eventType:"Create",uri:"/fake-input/v1/value"})",
                  prefix + R"({data:[2],eventType:"Update",uri:"/fake-input/v1/value"})",
                  prefix + R"({data:null,eventType:"Delete",uri:"/fake-input/v1/value"})",
                  prefix + R"({uri:"/x"})",
              }))
        << "/fake-input/v1/other has an event name of its own";
    EXPECT_FALSE(fake.host.resource(kInput).has_value());
    EXPECT_EQ(kivhost::toJson(*fake.host.resource("/fake-input/v1/other")), "3");
    const auto changes = happeningsOfType(fake.host, "delete");
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(std::get<kivhost::ResourceChanged>(changes[0].detail).eventName,
              "OnJsonApiEvent_fake-input_v1_value");
}

TEST(HostEntryTest, LogsAndCountedEntries) {
    FakeHost fake;
    fake.start();
    fake.act("log:2:broken");
    fake.act("null-log");
    fake.act("op1");
    fake.act("op1");
    const auto logs = happeningsOfType(fake.host, "log");
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[0].detail).text, "fake initialized");
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[0].detail).level, 3u);
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[1].detail).text, "broken");
    EXPECT_EQ(std::get<kivhost::LogWritten>(logs[2].detail).text, "");
    EXPECT_EQ(fake.host.counters().hostOperation1Calls, 2u);
    EXPECT_EQ(fake.host.counters().faults, 0u);
}

struct FaultCase {
    std::string name;
    std::string action;
    std::string fault;
};

class FaultyRecordTest : public testing::TestWithParam<FaultCase> {};

TEST_P(FaultyRecordTest, TheHostNamesTheFaultAndCarriesOn) {
    FakeHost fake;
    fake.start();
    EXPECT_EQ(fake.act(GetParam().action).status, 200u);
    const std::vector<std::string> faults = faultTexts(fake.host);
    ASSERT_EQ(faults.size(), 1u);
    EXPECT_NE(faults[0].find(GetParam().fault), std::string::npos) << faults[0];
    EXPECT_EQ(happeningsOfType(fake.host, "fault")[0].plugin, "fake");
    // The host still serves the plugin.
    fake.act("log:3:after");
    EXPECT_EQ(std::get<kivhost::LogWritten>(happeningsOfType(fake.host, "log").back().detail).text, "after");
    EXPECT_EQ(fake.host.counters().openResponses, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Records, FaultyRecordTest,
    testing::Values(
        FaultCase{"BadPayload", "bad-payload", "sendEvent: the payload of OnFakeEvent does not convert"},
        FaultCase{"NoEventName", "no-name-event", "sendEvent came without an event name"},
        FaultCase{"NoEvent", "no-event", "sendEvent came without an event name"},
        FaultCase{"NullTimerCallback", "null-timer",
                  "scheduleTimer came without a callback for job 'fake.null'"},
        FaultCase{"NanDelay", "nan-timer", "the delay of job 'fake.nan' is not a number"},
        FaultCase{"NoPath", "no-path", "sendRequest came without a request path"},
        FaultCase{"NoResponse", "no-response", "sendRequest came without a response record"},
        FaultCase{"WrongContext", "wrong-context", "unsubscribeEvent came with host context 1001"},
        FaultCase{"NullSubscription", "null-subscription", "subscribeEvent came without an event name"}),
    CaseName());

TEST(DeliveryThreadTest, EveryEntryIntoAPluginRunsOnOneHostThread) {
    FakeHost fake;
    const kivhost::PluginId id = fake.start();
    fake.act("timers:1,2");
    fake.host.runUntil(5000);
    fake.host.changeResource(kivhost::ResourceChangeKind::Update, kInput, json("1"));
    std::vector<std::uint32_t> threads;
    std::thread([&] {
        // A host driven from another thread still enters the plugin on its own.
        const kivhost::Response response = fake.act("threads");
        for (const Value& thread : response.value.elements()) {
            threads.push_back(static_cast<std::uint32_t>(thread.getSigned(0)));
        }
    }).join();
    fake.host.unload(id);
    ASSERT_EQ(threads.size(), 1u);
    EXPECT_NE(threads[0], platform::currentThreadId());
}

TEST(ReleaseTest, EachRecordIsReleasedOnceAndStrayReleasesAreCounted) {
    FakeHost fake(HostOptions{{}, kivhost::ClockKind::Virtual, 4});
    fake.host.putResource(kInput, json("[1,2,3]"));
    fake.start();
    const std::uint64_t straysBefore = fake.host.counters().strayReleases;
    fake.act(std::string("get-twice:") + kInput);
    EXPECT_EQ(fake.host.counters().strayReleases, straysBefore + 1);
    EXPECT_EQ(fake.host.counters().openResponses, 0u);
    fake.act(std::string("get-kept:") + kInput);
    EXPECT_EQ(fake.host.counters().openResponses, 1u);
    EXPECT_EQ(fake.host.counters().openBodyStreams, 0u);
    EXPECT_EQ(fake.journalLines("got 200 body [1,2,3]").size(), 3u);
}

} // namespace
} // namespace kiv::test
