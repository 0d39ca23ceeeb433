// `kivhost serve` as a UI team uses it through a day, over raw sockets on loopback: large PUTs,
// many resources, resets, a clock pushed to its end, clients that stop reading or sit idle. The
// server's memory is read from /proc; every load is bounded in count and stops by itself.
#include "law_server_fixture.h"
#include "process_memory.h"

#include "kivhost/serve/serve_limits.h"

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace kiv::test::day {
namespace {

using namespace std::chrono_literals;

// A JSON array of zeros of at most `bytes` (just under the body limit by default): the densest tree
// a body can make.
std::string zeros(std::size_t bytes = (1u << 20) - 2) {
    std::string array = "[";
    while (array.size() + 4 <= bytes) {
        array += "0,";
    }
    return array + "0]";
}

// Whether `kivhost run` plays the recording to its end.
bool replays(const std::string& recording) {
    const ScenarioFile file("day-replay.json", recording);
    ChildProcess run({KIVHOST_BINARY, "run", file.path(), "--plugin", KIVHOST_PLUGIN});
    for (char c = 0; run.read(c);) {
    }
    return run.wait() == 0;
}

// Everything the server sent until it closed the connection, or nullopt when it is still open
// after `wait`.
std::optional<std::string> untilClosed(RawHttp& client, std::chrono::milliseconds wait) {
    if (!client.closedWithin(wait)) {
        return std::nullopt;
    }
    return client.receive(0, 0ms);
}

using ServeDayTest = LawServerTest;

// 48 PUTs of a megabyte of zeros used to hold 16 MB each (the host's journal, the recording's
// trees); now the server stays small, and the recording, bounded, starts from the resources as
// they stood at its first kept step and still replays. (Sanitized builds, whose memory is not
// measured, put a megabyte of text instead: one node, which they convert in a fraction of the time.)
TEST_F(ServeDayTest, LargePutsKeepMemoryBoundedAndTheRecordingReplaysFromASnapshot) {
    ASSERT_EQ(call("PUT", "/kivhost/resources/t/v1/first", R"({"n": 1})").status, 201);
    ASSERT_EQ(call("POST", "/kivhost/clock/advance?minutes=5").status, 200);
    const std::string big = kPlainMemory ? zeros() : "\"" + std::string((1u << 20) - 8, 'z') + "\"";
    for (int i = 0; i < 48; ++i) {
        ASSERT_EQ(call("PUT", "/kivhost/resources/t/v1/big", big).status, i == 0 ? 201 : 200) << i;
    }
    const long resident = residentMb(pid());
    EXPECT_TRUE(!kPlainMemory || resident < 300) << resident;
    std::printf("after 48 PUTs of 1 MB: %ld MB resident, %ld MB at the peak\n", resident,
                statusMb(pid(), "VmHWM"));

    const RawAnswer recording = call("GET", "/kivhost/scenario");
    ASSERT_EQ(recording.status, 200);
    const std::string& text = recording.body;
    EXPECT_LE(text.size(), kivhost::kRecordingMaxBytes + (2u << 20));
    const std::size_t steps = text.find("\"steps\"");
    ASSERT_NE(steps, std::string::npos);
    EXPECT_LT(text.find(R"("/t/v1/first":{"n":1})"), steps) << "the snapshot lacks the dropped step's change";
    EXPECT_EQ(text.find(R"("create":"/t/v1/first")"), std::string::npos);
    EXPECT_NE(text.find(R"({"at":5,"update":"/t/v1/big")"), std::string::npos);
    EXPECT_TRUE(replays(text));
}

// The store holds at most kMaxResources paths: one below and at the limit are taken, one above
// is refused with 507 until a resource is deleted; updates at the limit are taken.
TEST_F(ServeDayTest, TheResourceStoreHoldsAtMostItsLimit) {
    const std::size_t stored = parsed(call("GET", "/kivhost/resources").body).size();
    for (std::size_t i = stored; i < kivhost::kMaxResources; ++i) {
        ASSERT_EQ(call("PUT", "/kivhost/resources/t/v1/r" + std::to_string(i), "1").status, 201) << i;
    }
    const RawAnswer above = call("PUT", "/kivhost/resources/t/v1/one-more", "1");
    EXPECT_EQ(above.status, 507) << above.body;
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/r" + std::to_string(stored), "2").status, 200);
    EXPECT_EQ(call("DELETE", "/kivhost/resources/t/v1/r" + std::to_string(stored)).status, 200);
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/one-more", "1").status, 201);

    // The stored JSON is bounded too: after a reset (which leaves the scenario's two small
    // resources), eight values of an eighth of the limit less a kilobyte are taken, a ninth is not.
    ASSERT_EQ(call("POST", "/kivhost/reset").status, 200);
    const std::string eighth = zeros(kivhost::kMaxResourceBytes / 8 - 1024);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/big" + std::to_string(i), eighth).status, 201) << i;
    }
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/big8", eighth).status, 507);
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/big0", "0").status, 200);
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/big8", eighth).status, 201);
}

// 64 keep-alive clients that sent one GET and then idle, and 64 streams that never read, used to
// keep everyone else out for a minute and more: now the longest-idle connection makes room, and
// streams are capped below the connection limit, so a control route, a script and a browser
// tab's several streams all get in.
TEST_F(ServeDayTest, IdleKeepAlivesAndSilentStreamsLockNobodyOut) {
    std::vector<std::unique_ptr<RawHttp>> idle;
    for (int i = 0; i < 64; ++i) {
        idle.push_back(std::make_unique<RawHttp>(port()));
        idle.back()->send(rawRequest(port(), "GET", "/kivhost/state"));
        ASSERT_TRUE(idle.back()->answer()) << i;
    }
    RawHttp late(port());
    late.send(rawRequest(port(), "GET", "/kivhost/state"));
    EXPECT_EQ(late.answer(30s).value_or(RawAnswer{}).status, 200) << "locked out by idle keep-alives";

    std::vector<std::unique_ptr<RawHttp>> silent;
    for (int i = 0; i < 64; ++i) {
        silent.push_back(std::make_unique<RawHttp>(port()));
        silent.back()->send(rawRequest(port(), "GET", "/events"));
    }
    std::vector<std::unique_ptr<RawHttp>> tab;
    for (int i = 0; i < 3; ++i) {
        tab.push_back(std::make_unique<RawHttp>(port()));
        tab.back()->send(rawRequest(port(), "GET", "/events"));
        EXPECT_TRUE(tab.back()->waitFor("event: instance", 30s)) << "stream " << i << " of the tab";
    }
    RawHttp script(port());
    script.send(rawRequest(port(), "PUT", kLoginControl, "", kLoginPacket));
    EXPECT_EQ(script.answer(30s).value_or(RawAnswer{}).status, 201) << "locked out by silent streams";
    for (auto& stream : tab) {
        EXPECT_TRUE(stream->waitFor("kiv-kr-shutdown-law", 30s));
    }
}

// Clients that stop reading: 60 that asked for a 20 MB state used to hold two copies of it each
// for good; a stream that fell behind went on for ever. Now large answers are bounded while they
// wait, a write that makes no progress for kWriteTime ends its connection, and a stream that
// falls more than kStreamMaxLag entries behind gets a final `dropped` notice and is closed.
TEST_F(ServeDayTest, ClientsThatStopReadingAreDropped) {
    const std::string megabyte = "\"" + std::string(1000000, 's') + "\"";
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(call("PUT", "/kivhost/resources/t/v1/state-filler", megabyte).status, i == 0 ? 201 : 200);
    }
    std::vector<std::unique_ptr<RawHttp>> stalled;
    for (int i = 0; i < 60; ++i) {
        stalled.push_back(std::make_unique<RawHttp>(port()));
        stalled.back()->send(rawRequest(port(), "GET", "/kivhost/state", "Connection: close\r\n"));
    }
    RawHttp behind(port());     // reads again after the flood
    RawHttp neverReads(port()); // never reads again
    for (RawHttp* stream : {&behind, &neverReads}) {
        // The server is making sixty large answers meanwhile: a sanitized build on a busy
        // machine takes its time.
        stream->send(rawRequest(port(), "GET", "/events"));
        ASSERT_TRUE(stream->waitFor("event: instance", 60s));
    }
    const std::string piece = "\"" + std::string(8000, 'f') + "\"";
    for (std::size_t i = 0; i < kivhost::kStreamMaxLag; ++i) {
        ASSERT_EQ(call("PUT", "/kivhost/resources/t/v1/flood", piece).status, i == 0 ? 201 : 200) << i;
    }
    const long resident = residentMb(pid());
    EXPECT_TRUE(!kPlainMemory || resident < 400) << resident;
    std::printf("60 stalled readers of a 20 MB state: %ld MB resident\n", resident);

    const std::optional<std::string> caughtUp = untilClosed(behind, 20s);
    ASSERT_TRUE(caughtUp) << "a stream far behind is still open";
    EXPECT_NE(caughtUp->rfind("event: dropped\ndata: {\"dropped\":"), std::string::npos);

    std::this_thread::sleep_for(kivhost::kWriteTime + 5s);
    std::size_t cut = 0;
    for (auto& reader : stalled) {
        const std::optional<std::string> got = untilClosed(*reader, 30s);
        ASSERT_TRUE(got) << "a reader that took nothing for longer than the write deadline is still open";
        // Those answered 200 were dropped part-way through a state of more than 20 MB; the others
        // were told to come back.
        if (got->starts_with("HTTP/1.1 200")) {
            ++cut;
            EXPECT_LT(got->size(), 20000000u);
        } else {
            EXPECT_TRUE(got->starts_with("HTTP/1.1 503")) << got->substr(0, 80);
        }
    }
    EXPECT_GT(cut, 0u);
    EXPECT_TRUE(untilClosed(neverReads, 30s));
    EXPECT_EQ(call("GET", "/kivhost/resources").status, 200);
}

// Resets give back what the instance they end held: 500 of them, each starting a plugin that
// reads a login packet, leave the address space and the resident memory where they were (each
// used to keep 64 KB and 8 KB: the plugin's tree pages, mapped anew with each load).
TEST_F(ServeDayTest, ResetsLeakNothing) {
    const std::string withLogin =
        std::string(kNoLoginYet) + "  /kiv-login/v1/login-data-packet: " + kLoginPacket + "\n";
    const auto resets = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(call("POST", "/kivhost/reset", withLogin).status, 200) << i;
        }
    };
    resets(50);
    const long virtualBefore = statusMb(pid(), "VmSize");
    const long residentBefore = residentMb(pid());
    resets(500);
    const long virtualAfter = statusMb(pid(), "VmSize");
    const long residentAfter = residentMb(pid());
    std::printf("500 resets: %ld -> %ld MB of address space, %ld -> %ld MB resident\n", virtualBefore,
                virtualAfter, residentBefore, residentAfter);
    EXPECT_TRUE(!kPlainMemory || virtualAfter - virtualBefore < 8);
    EXPECT_TRUE(!kPlainMemory || residentAfter - residentBefore < 2);
}

// The clock stops at the last moment a scenario can name: what it records always replays.
TEST_F(ServeDayTest, TheClockStopsWhereRecordingsCanFollow) {
    ASSERT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=999999999").status, 200);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=1").status, 200); // to the end, not past it
    const RawAnswer past = call("POST", "/kivhost/clock/advance?minutes=0.001");
    EXPECT_EQ(past.status, 409) << past.body;
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=1000000000").status, 409);
    EXPECT_EQ(call("PUT", "/kivhost/resources/t/v1/late", "1").status, 201);
    EXPECT_EQ(parsed(call("GET", "/kivhost/state").body)["t"].getUnsigned(0), 60000000000u);
    EXPECT_TRUE(replays(call("GET", "/kivhost/scenario").body));
}

// The plugin runs in a child process: a plugin that ends its process (here it aborts while
// loading on a core version it refuses) leaves the server answering, its routes 502 with the
// report, the dashboard and its stream showing it, until a reset starts a new child.
TEST_F(ServeDayTest, APluginThatDiesLeavesTheServerAnsweringUntilAReset) {
    RawHttp stream(port());
    stream.send(rawRequest(port(), "GET", "/events"));
    ASSERT_TRUE(stream.waitFor("event: instance", 30s));
    const RawAnswer died = call("POST", "/kivhost/reset", "core: 17.0.0\n");
    EXPECT_EQ(died.status, 502);
    EXPECT_NE(died.body.find("SIGABRT"), std::string::npos) << died.body;
    EXPECT_NE(died.body.find("ALE-EECF0606"), std::string::npos) << "the report quotes what it wrote";
    for (const std::string& target : {kLaw + "notification", std::string("/kivhost/state")}) {
        const RawAnswer refused = call("GET", target);
        EXPECT_EQ(refused.status, 502) << target;
        EXPECT_EQ(refused.body, died.body) << target;
    }
    EXPECT_EQ(call("GET", "/").status, 200);
    EXPECT_TRUE(stream.waitFor("event: fault", 30s));

    EXPECT_EQ(call("POST", "/kivhost/reset").status, 200);
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    EXPECT_EQ(call("GET", kLaw + "notification").status, 200);
    EXPECT_TRUE(stream.waitFor("login-data-packet", 30s));
}

class ServeDayRealClockTest : public ServeDayTest {
  protected:
    ServeDayRealClockTest() : LawServerTest({"--clock", "real"}) {}
};

// A reset starts the new instance as a fresh server would, running, unless it asks to stay paused.
TEST_F(ServeDayRealClockTest, AResetRunsTheClockUnlessAskedToStayPaused) {
    ASSERT_EQ(call("POST", "/kivhost/clock/pause").status, 200);
    EXPECT_FALSE(parsed(call("POST", "/kivhost/reset").body)["paused"].getBool(true));
    ASSERT_EQ(call("POST", "/kivhost/clock/pause").status, 200);
    EXPECT_TRUE(parsed(call("POST", "/kivhost/reset?paused=true").body)["paused"].getBool(false));
}

} // namespace
} // namespace kiv::test::day
