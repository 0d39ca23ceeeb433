// Timeline lines for each kind of happening, readable and as JSON lines, and the shapes of their
// times.
#include "kivhost/timeline/timeline.h"

#include "fake_host.h"

#include <limits>

namespace kiv::test {
namespace {

using namespace kivhost;

struct LineCase {
    Happening happening;
    std::string json;
    std::string text;
};

std::vector<LineCase> lineCases() {
    MemoryStatistics memory{};
    memory.bytesAllocated = 96;
    memory.allocationCount = 2;
    memory.bytesFreed = 96;
    memory.freeCount = 2;
    const std::string law = "kiv-kr-shutdown-law";
    return {
        {{0, law, PluginLoaded{"18.0.0", "18.3.0"}},
         R"({"t":0,"type":"load","format":1,"plugin":"kiv-kr-shutdown-law","version":"18.0.0","core":"18.3.0"})",
         "00:00:00  load         kiv-kr-shutdown-law loaded: plugin API 18.0.0 on core 18.3.0"},
        {{18000000, law, PluginUnloaded{2, memory}},
         R"({"t":18000,"type":"unload","plugin":"kiv-kr-shutdown-law","pendingTimers":2,"memory":{"peakLiveBytes":0,)"
         R"("liveAllocationsAtPeak":0,"bytesAllocated":96,"allocationCount":2,"bytesFreed":96,"freeCount":2}})",
         "05:00:00  unload       kiv-kr-shutdown-law unloaded: 2 timers dropped, 96 bytes allocated and 96 "
         "freed"},
        {{0, law, LogWritten{3, "KR Law Shutdown Enabled with the cut-off minutes: 300"}},
         R"({"t":0,"type":"log","level":3,"text":"KR Law Shutdown Enabled with the cut-off minutes: 300"})",
         "00:00:00  log          ALWAYS KR Law Shutdown Enabled with the cut-off minutes: 300"},
        {{1, law, LogWritten{7, "two\nlines"}},
         R"({"t":0.001,"type":"log","level":7,"text":"two\nlines"})",
         "00:00:00.001  log          LEVEL 7 two\\nlines"},
        {{0, law, TimerScheduled{"kiv-kr-shutdown-law.cut-off", 18000000}},
         R"({"t":0,"type":"timer","name":"kiv-kr-shutdown-law.cut-off","delay":18000})",
         "00:00:00  timer        kiv-kr-shutdown-law.cut-off in 05:00:00"},
        {{5400500, law, TimerScheduled{"late", 1500}},
         R"({"t":5400.5,"type":"timer","name":"late","delay":1.5})",
         "01:30:00.500  timer        late in 00:00:01.500"},
        {{18000000, law, TimerFired{"kiv-kr-shutdown-law.cut-off"}},
         R"({"t":18000,"type":"fire","name":"kiv-kr-shutdown-law.cut-off"})",
         "05:00:00  fire         kiv-kr-shutdown-law.cut-off"},
        {{5400000, law,
          EventSent{"OnJsonApiEvent_kiv-kr-shutdown-law_v1_notification",
                    json(R"({"uri":"/kiv-kr-shutdown-law/v1/notification","eventType":"Update",)"
                         R"("data":{"type":"WARNING"}})")}},
         R"({"t":5400,"type":"event","name":"OnJsonApiEvent_kiv-kr-shutdown-law_v1_notification","payload":)"
         R"({"data":{"type":"WARNING"},"eventType":"Update","uri":"/kiv-kr-shutdown-law/v1/notification"}})",
         R"(01:30:00  event        OnJsonApiEvent_kiv-kr-shutdown-law_v1_notification {"data":{"type":"WARNING"},)"
         R"("eventType":"Update","uri":"/kiv-kr-shutdown-law/v1/notification"})"},
        {{0, law, RequestSent{"GET", "/kiv-login/v1/login-data-packet", 200, std::nullopt}},
         R"({"t":0,"type":"request","method":"GET","path":"/kiv-login/v1/login-data-packet","status":200})",
         "00:00:00  request      GET /kiv-login/v1/login-data-packet -> 200"},
        {{0, law,
          RequestSent{"GET", "/kiv-game-queues/v1/queues", 404,
                      "No resource at '/kiv-game-queues/v1/queues'."}},
         R"({"t":0,"type":"request","method":"GET","path":"/kiv-game-queues/v1/queues","status":404,)"
         R"("error":"No resource at '/kiv-game-queues/v1/queues'."})",
         "00:00:00  request      GET /kiv-game-queues/v1/queues -> 404: No resource at "
         "'/kiv-game-queues/v1/queues'."},
        {{18000000, "",
          ResponseReceived{"GET", "/kiv-kr-shutdown-law/v1/queue-status/450", 200,
                           json(R"({"isDisabled":true})"), std::nullopt}},
         R"({"t":18000,"type":"response","path":"/kiv-kr-shutdown-law/v1/queue-status/450","status":200,)"
         R"("value":{"isDisabled":true}})",
         R"(05:00:00  response     GET /kiv-kr-shutdown-law/v1/queue-status/450 -> 200 {"isDisabled":true})"},
        {{0, "",
          ResponseReceived{"GET", "/kiv-kr-shutdown-law/v1/queue-status/-1", 404, Value(),
                           "Unknown queueId: -1"}},
         R"({"t":0,"type":"response","path":"/kiv-kr-shutdown-law/v1/queue-status/-1","status":404,)"
         R"("error":"Unknown queueId: -1"})",
         "00:00:00  response     GET /kiv-kr-shutdown-law/v1/queue-status/-1 -> 404: Unknown queueId: -1"},
        {{0, law, Subscribed{"OnJsonApiEvent_kiv-login_v1_login-data-packet"}},
         R"({"t":0,"type":"subscribe","name":"OnJsonApiEvent_kiv-login_v1_login-data-packet"})",
         "00:00:00  subscribe    OnJsonApiEvent_kiv-login_v1_login-data-packet"},
        {{0, law, Unsubscribed{"OnJsonApiEvent_kiv-login_v1_login-data-packet"}},
         R"({"t":0,"type":"unsubscribe","name":"OnJsonApiEvent_kiv-login_v1_login-data-packet"})",
         "00:00:00  unsubscribe  OnJsonApiEvent_kiv-login_v1_login-data-packet"},
        {{600000, "",
          ResourceChanged{ResourceChangeKind::Update, "/a/v1/b", "OnJsonApiEvent_a_v1_b", json("[1]")}},
         R"({"t":600,"type":"update","path":"/a/v1/b","name":"OnJsonApiEvent_a_v1_b","value":[1]})",
         "00:10:00  update       /a/v1/b [1]"},
        {{600000, "",
          ResourceChanged{ResourceChangeKind::Delete, "/a/v1/b", "OnJsonApiEvent_a_v1_b", Value()}},
         R"({"t":600,"type":"delete","path":"/a/v1/b","name":"OnJsonApiEvent_a_v1_b"})",
         "00:10:00  delete       /a/v1/b"},
        {{0, "fake", HostFault{"sendEvent came without an event name"}},
         R"({"t":0,"type":"fault","plugin":"fake","text":"sendEvent came without an event name"})",
         "00:00:00  fault        fake: sendEvent came without an event name"},
    };
}

TEST(TimelineTest, EachHappeningAsAJsonLineAndAReadableLine) {
    for (const LineCase& line : lineCases()) {
        EXPECT_EQ(timelineJson(line.happening), line.json);
        EXPECT_EQ(timelineText(line.happening), line.text);
        // Every JSON line reads back as one object.
        EXPECT_TRUE(json(line.json).isStructure()) << line.json;
    }
}

TEST(TimelineTest, ClockTexts) {
    const struct {
        std::int64_t ms;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},
        {999, "00:00:00.999"},
        {59 * 60000 + 59000, "00:59:59"},
        {90000000, "25:00:00"},
        {std::numeric_limits<std::int64_t>::max(), "2562047788015:12:55.807"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clockText(c.ms), c.text);
    }
}

} // namespace
} // namespace kiv::test
