// The controls a UI team drives `kivhost serve` with, over HTTP on loopback: a manual session
// recorded and replayed by `kivhost run` to the same timeline, reset to a new instance, the clock
// set, jumped, paused and resumed, the state polled, the request log, and the OpenAPI description
// held against `describe`.
#include "law_server_fixture.h"

#include "kivhost/core/json_text.h"

#include <algorithm>
#include <sstream>
#include <thread>

namespace kiv::test {
namespace {

using namespace std::chrono_literals;

class ServeControlsTest : public LawServerTest {
  protected:
    using LawServerTest::LawServerTest;

    Value state() { return parsed(call("GET", "/kivhost/state").body); }

    // The timeline lines written alike, without the request log and the answers to GETs (which
    // `run` records for its steps and the server does not for its clients).
    static std::vector<std::string> lawLines(const std::vector<std::string>& lines) {
        std::vector<std::string> kept;
        for (const std::string& line : lines) {
            const Value value = parsed(line);
            const std::string_view type = value["type"].getString("");
            if (type != "http" && type != "response") {
                kept.push_back(kivhost::toJson(value));
            }
        }
        return kept;
    }
};

// A session of PUTs, GETs and clock moves, some at fractions of a minute, replays under `kivhost
// run` to the timeline the server wrote, line for line; run then only ends the play.
TEST_F(ServeControlsTest, ARecordedSessionReplaysToTheSameTimeline) {
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=180.5").status, 200);
    EXPECT_EQ(call("GET", kLaw + "queue-status/450").body, R"({"isDisabled":true})");
    EXPECT_EQ(
        call("PUT", "/kivhost/resources/kiv-game-queues/v1/queues", R"([{"id": 450}, {"id": 7}])").status,
        200);
    EXPECT_EQ(call("POST", "/kivhost/clock/next").status, 200);
    EXPECT_EQ(call("GET", kLaw + "disabled-queues").status, 200);
    EXPECT_EQ(call("DELETE", "/kivhost/resources/kiv-game-queues/v1/queues").status, 200);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=200").status, 200);

    const RawAnswer recording = call("GET", "/kivhost/scenario");
    ASSERT_EQ(recording.status, 200);
    const ScenarioFile replay("replay.json", recording.body);
    std::vector<std::string> replayed;
    std::istringstream lines(
        outputOf({KIVHOST_BINARY, "run", replay.path(), "--plugin", KIVHOST_PLUGIN, "--json"}));
    for (std::string line; std::getline(lines, line);) {
        replayed.push_back(line);
    }
    const Value served = state();
    std::vector<std::string> servedLines;
    for (std::size_t i = 0; i < served["timeline"].size(); ++i) {
        servedLines.push_back(kivhost::toJson(served["timeline"][i]));
    }
    const std::vector<std::string> expected = lawLines(servedLines);
    std::vector<std::string> got = lawLines(replayed);
    ASSERT_GE(got.size(), expected.size()) << recording.body;
    const std::vector<std::string> tail(got.begin() + static_cast<std::ptrdiff_t>(expected.size()),
                                        got.end());
    got.resize(expected.size());
    EXPECT_EQ(got, expected) << recording.body;
    for (const std::string& line : tail) {
        const Value value = parsed(line);
        EXPECT_TRUE(value["type"].getString("") == "unsubscribe" || value["type"].getString("") == "unload")
            << line;
    }
}

// A reset starts a new instance: the scenario's world again (or the one sent), the clock at 0, a
// fresh timeline and recording; an open stream is told of the new instance.
TEST_F(ServeControlsTest, AResetStartsANewInstanceThatOpenStreamsAreToldOf) {
    const Value before = state();
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=60").status, 200);
    RawHttp stream(serve_.port());
    stream.send(rawRequest(serve_.port(), "GET", "/events"));
    ASSERT_TRUE(stream.waitFor("event: instance", 5s));

    EXPECT_EQ(call("POST", "/kivhost/reset").status, 200);
    const Value after = state();
    EXPECT_NE(after["instance"].getString(""), before["instance"].getString(""));
    EXPECT_EQ(after["t"].getUnsigned(1), 0u);
    EXPECT_EQ(call("GET", "/kivhost/resources").body.find("login-data-packet"), std::string::npos);
    EXPECT_EQ(parsed(call("GET", "/kivhost/scenario").body)["steps"].size(), 0u);
    const std::string announced =
        "event: instance\ndata: {\"instance\":\"" + std::string(after["instance"].getString(""));
    EXPECT_TRUE(stream.waitFor(announced, 5s));

    // A reset with a scenario of its own, and one that is no scenario.
    const std::string withLogin =
        R"({"resources": {"/kiv-login/v1/login-data-packet": )" + kLoginPacket + "}}";
    EXPECT_EQ(call("POST", "/kivhost/reset", withLogin).status, 200);
    EXPECT_NE(call("GET", "/kivhost/resources").body.find("login-data-packet"), std::string::npos);
    EXPECT_EQ(call("POST", "/kivhost/reset", R"({"steps": 5})").status, 400);
}

// The clock set to a moment, jumped to the next timer, and refused where it cannot go.
TEST_F(ServeControlsTest, TheClockIsSetAndJumpedForwardOnly) {
    EXPECT_EQ(call("POST", "/kivhost/clock/next").status, 409); // no timer before the login
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    const Value set = parsed(call("POST", "/kivhost/clock/set?minutes=100").body);
    EXPECT_EQ(set["t"].getUnsigned(0), 6000u);
    EXPECT_EQ(call("POST", "/kivhost/clock/set?minutes=99").status, 409);
    const std::uint64_t due = set["timers"][0]["due"].getUnsigned(0);
    EXPECT_EQ(parsed(call("POST", "/kivhost/clock/next").body)["t"].getUnsigned(0), due);
    EXPECT_EQ(call("POST", "/kivhost/clock/pause").status, 409); // the virtual clock runs only when moved
    EXPECT_EQ(call("GET", "/kivhost/clock/next").status, 405);
}

// A client polling the state with the last answer's `next` reads each timeline entry once: the
// answer since a position is the whole state's timeline from there on. A position the feed no
// longer keeps (a reset drops the entries of the instance before) says how many are gone.
TEST_F(ServeControlsTest, PollingTheStateSinceAPositionReadsEachEntryOnce) {
    const std::uint64_t start = state()["next"].getUnsigned(0);
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    EXPECT_EQ(call("POST", "/kivhost/clock/advance?minutes=200").status, 200);
    const Value polled = parsed(call("GET", "/kivhost/state?since=" + std::to_string(start)).body);
    const Value whole = state();
    const std::uint64_t first = whole["first"].getUnsigned(0);
    ASSERT_EQ(polled["first"].getUnsigned(1), first);
    EXPECT_EQ(polled["dropped"].getUnsigned(1), 0u);
    ASSERT_GT(polled["timeline"].size(), 3u);
    ASSERT_EQ(polled["next"].getUnsigned(0), start + polled["timeline"].size());
    for (std::size_t i = 0; i < polled["timeline"].size(); ++i) {
        EXPECT_EQ(kivhost::toJson(polled["timeline"][i]),
                  kivhost::toJson(whole["timeline"][start - first + i]));
    }
    // The next poll brings only the request log's lines of the requests in between.
    const std::string next = std::to_string(polled["next"].getUnsigned(0));
    const Value again = parsed(call("GET", "/kivhost/state?since=" + next).body);
    ASSERT_EQ(again["timeline"].size(), 2u);
    EXPECT_EQ(again["timeline"][0]["type"].getString(""), "http");
    EXPECT_EQ(parsed(call("GET", "/kivhost/state?since=99999999").body)["timeline"].size(), 0u);

    EXPECT_EQ(call("POST", "/kivhost/reset").status, 200);
    const Value afterReset = parsed(call("GET", "/kivhost/state?since=" + next).body);
    EXPECT_EQ(afterReset["dropped"].getUnsigned(0), afterReset["first"].getUnsigned(0) - std::stoul(next));
    for (const char* bad : {"", "x", "-1", "1.5"}) {
        EXPECT_EQ(call("GET", std::string("/kivhost/state?since=") + bad).status, 400) << bad;
    }
}

// On the real clock, a pause stops the clock and its timers; a resume goes on from where it stood.
class ServePausedClockTest : public ServeControlsTest {
  protected:
    static constexpr int kSpeed = 600; // ten simulated minutes a second
    ServePausedClockTest() : ServeControlsTest({"--clock", "real", "--speed", std::to_string(kSpeed)}) {}
};

// Seconds as the state writes them: whole ones as integers.
double secondsOf(const Value& value) {
    return value.getFloat(static_cast<double>(value.getUnsigned(0)));
}

TEST_F(ServePausedClockTest, APausedClockStandsStillAndResumesWhereItStood) {
    EXPECT_EQ(call("PUT", kLoginControl, kLoginPacket).status, 201);
    const Value paused = parsed(call("POST", "/kivhost/clock/pause").body);
    ASSERT_TRUE(paused["paused"].getBool(false));
    ASSERT_GT(paused["timers"].size(), 0u);
    // A minute before the next timer: running, the clock would reach it within a tenth of a second.
    const double due = secondsOf(paused["timers"][0]["due"]);
    const Value set = parsed(call("POST", "/kivhost/clock/set?minutes=" + std::to_string(due / 60 - 1)).body);
    const auto pausedSince = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(2s);
    const Value still =
        parsed(call("GET", "/kivhost/state?since=" + std::to_string(set["next"].getUnsigned(0))).body);
    EXPECT_EQ(secondsOf(still["t"]), secondsOf(set["t"]));
    EXPECT_EQ(kivhost::toJson(still["timers"]), kivhost::toJson(set["timers"]));
    for (std::size_t i = 0; i < still["timeline"].size(); ++i) {
        EXPECT_EQ(still["timeline"][i]["type"].getString(""), "http")
            << kivhost::toJson(still["timeline"][i]);
    }

    RawHttp stream(serve_.port());
    stream.send(rawRequest(serve_.port(), "GET", "/events"));
    ASSERT_TRUE(stream.waitFor("event: instance", 5s));
    const double pausedFor =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - pausedSince).count();
    const Value resumed = parsed(call("POST", "/kivhost/clock/resume").body);
    EXPECT_FALSE(resumed["paused"].getBool(true));
    // The paused time is not made up for: the clock goes on from where it stood.
    EXPECT_GE(secondsOf(resumed["t"]), secondsOf(set["t"]));
    EXPECT_LT(secondsOf(resumed["t"]) - secondsOf(set["t"]), pausedFor * kSpeed);
    EXPECT_TRUE(stream.waitFor("event: fire", 60s)) << "the timer a minute away never fired";
}

class ServeRequestLogTest : public ServeControlsTest {
  protected:
    ServeRequestLogTest() : ServeControlsTest({"--log-requests"}) {}
};

// Every request is logged with its status: on the standard output and in the stream's `http`
// entries, refusals included.
TEST_F(ServeRequestLogTest, EveryRequestIsLoggedWithItsStatus) {
    call("GET", "/kivhost/state");
    call("GET", "/nothing/here?x=1");
    RawHttp foreign(serve_.port());
    foreign.send("GET /kivhost/state HTTP/1.1\r\nHost: evil.example\r\n\r\n");
    ASSERT_TRUE(foreign.answer());
    EXPECT_EQ(serve_.readLine(), "GET /kivhost/state 200");
    EXPECT_EQ(serve_.readLine(), "GET /nothing/here?x=1 404");
    EXPECT_EQ(serve_.readLine(), "GET /kivhost/state 421");
    const Value timeline = state()["timeline"];
    std::vector<std::string> logged;
    for (std::size_t i = 0; i < timeline.size(); ++i) {
        if (timeline[i]["type"].getString("") == "http") {
            logged.push_back(std::string(timeline[i]["target"].getString("")) + " " +
                             std::to_string(timeline[i]["status"].getUnsigned(0)));
        }
    }
    EXPECT_EQ(logged, (std::vector<std::string>{"/kivhost/state 200", "/nothing/here?x=1 404",
                                                "/kivhost/state 421"}));
}

// The OpenAPI description has a path for every function `describe` lists, each $ref names a schema
// it defines, and the events are its webhooks.
TEST_F(ServeControlsTest, TheOpenApiDescriptionAgreesWithDescribe) {
    const Value api = parsed(call("GET", "/kivhost/openapi.json").body);
    const Value described = parsed(outputOf({KIVHOST_BINARY, "describe", "--plugin", KIVHOST_PLUGIN}));
    EXPECT_EQ(api["openapi"].getString(""), "3.1.0");
    for (std::size_t i = 0; i < described["functions"].size(); ++i) {
        const Value& function = described["functions"][i];
        std::string method = std::string(function["method"].getString(""));
        std::transform(method.begin(), method.end(), method.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const Value& operation = api["paths"][function["path"].getString("")][method];
        EXPECT_EQ(operation["operationId"].getString(""), function["name"].getString(""));
        EXPECT_EQ(operation["parameters"].size(), function["arguments"].size());
    }
    EXPECT_EQ(api["webhooks"].size(), described["events"].size());
    // The schemas are the plugin's types that its routes and events name, and the server's own
    // four (that every one is used is check_openapi.py's to say).
    std::size_t pluginTypes = 0;
    for (std::size_t i = 0; i < described["types"].size(); ++i) {
        pluginTypes += api["components"]["schemas"].find(described["types"][i]["name"].getString("")) ? 1 : 0;
    }
    EXPECT_GT(pluginTypes, 0u);
    EXPECT_EQ(pluginTypes + 4, api["components"]["schemas"].size());
    // Every reference resolves.
    const std::string text = call("GET", "/kivhost/openapi.json").body;
    const std::string marker = "\"$ref\":\"#/components/schemas/";
    std::size_t references = 0;
    for (std::size_t at = text.find(marker); at != std::string::npos; at = text.find(marker, at + 1)) {
        const std::size_t start = at + marker.size();
        const std::string name = text.substr(start, text.find('"', start) - start);
        EXPECT_FALSE(api["components"]["schemas"][name].isEmpty()) << name;
        ++references;
    }
    EXPECT_GT(references, 0u);
}

} // namespace
} // namespace kiv::test
