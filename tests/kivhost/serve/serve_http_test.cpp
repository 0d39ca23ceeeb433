// `kivhost serve` end to end over real HTTP on loopback: the plugin's routes before and after the
// login data, the control routes, the event stream (names, payloads, order), the refusals, and
// many concurrent clients while the clock moves.
#include "law_scenario.h"
#include "serve_process.h"

#include "kivhost/core/json_text.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <sys/wait.h>
#include <thread>

namespace kiv::test {
namespace {

// The server's limits, as its clients meet them.
constexpr std::size_t kMaxBody = 1u << 20;
constexpr std::size_t kOpenConnections = 64;

struct SseMessage {
    std::size_t id = 0;
    std::string event;
    std::string data;
};

// Reads /events from `since` on a thread of its own until `last` accepts a message, or gives up
// after a minute (keep-alive comments would otherwise hold a stream open for good).
class EventReader {
  public:
    EventReader(int port, std::size_t since, std::function<bool(const SseMessage&)> last)
        : thread_([this, port, since, last = std::move(last)] {
              httplib::Client client("127.0.0.1", port);
              client.set_read_timeout(30, 0);
              std::string pending;
              const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
              client.Get(("/events?since=" + std::to_string(since)).c_str(),
                         [&](const char* data, std::size_t size) {
                             if (std::chrono::steady_clock::now() > giveUp) {
                                 return false;
                             }
                             pending.append(data, size);
                             for (std::size_t end; (end = pending.find("\n\n")) != std::string::npos;) {
                                 const std::string block = pending.substr(0, end);
                                 pending.erase(0, end + 2);
                                 if (block.starts_with(":") || !block.starts_with("id: ")) {
                                     continue; // a keep-alive comment, or a notice about the stream
                                 }
                                 messages_.push_back(parseBlock(block));
                                 if (last(messages_.back())) {
                                     return false;
                                 }
                             }
                             return true;
                         });
          }) {}

    std::vector<SseMessage> messages() {
        thread_.join();
        return messages_;
    }

  private:
    static SseMessage parseBlock(const std::string& block) {
        SseMessage message;
        std::size_t at = 0;
        while (at < block.size()) {
            std::size_t end = block.find('\n', at);
            if (end == std::string::npos) {
                end = block.size();
            }
            const std::string line = block.substr(at, end - at);
            if (line.starts_with("id: ")) {
                message.id = std::stoul(line.substr(4));
            } else if (line.starts_with("event: ")) {
                message.event = line.substr(7);
            } else if (line.starts_with("data: ")) {
                message.data = line.substr(6);
            }
            at = end + 1;
        }
        return message;
    }

    std::vector<SseMessage> messages_;
    std::thread thread_;
};

// The messages without the request log's.
std::vector<SseMessage> withoutRequests(std::vector<SseMessage> messages) {
    std::erase_if(messages, [](const SseMessage& message) { return message.event == "http"; });
    return messages;
}

class ServeTest : public testing::Test {
  protected:
    ServeTest()
        : scenario_("scenario.yaml", kNoLoginYet), serve_({scenario_.path(), "--plugin", KIVHOST_PLUGIN}),
          client_("127.0.0.1", serve_.port()) {
        client_.set_read_timeout(30, 0);
    }

    // The body of a GET that must answer 200 with JSON.
    std::string get(const std::string& path) {
        const httplib::Result result = client_.Get(path.c_str());
        if (!result) {
            ADD_FAILURE() << "GET " << path << " failed";
            return {};
        }
        EXPECT_EQ(result->status, 200) << path << ": " << result->body;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json") << path;
        return result->body;
    }

    Value state() { return parsed(get("/kivhost/state")); }

    // The state without the request log's lines, which every request adds to.
    std::string stateWithoutRequests() {
        const Value now = state();
        std::string text =
            "t=" + std::to_string(now["t"].getUnsigned(0)) + " timers=" + kivhost::toJson(now["timers"]);
        for (std::size_t i = 0; i < now["timeline"].size(); ++i) {
            if (now["timeline"][i]["type"].getString("") != "http") {
                text += "\n" + kivhost::toJson(now["timeline"][i]);
            }
        }
        return text;
    }

    void advance(int minutes) {
        const httplib::Result result = client_.Post(
            ("/kivhost/clock/advance?minutes=" + std::to_string(minutes)).c_str(), "", "text/plain");
        ASSERT_TRUE(result);
        ASSERT_EQ(result->status, 200) << result->body;
    }

    ScenarioFile scenario_;
    ServeProcess serve_;
    httplib::Client client_;
};

TEST_F(ServeTest, RoutesAnswerBeforeAndAfterTheLoginDataAsTheClockMoves) {
    const struct {
        std::string path;
        std::string before;
        std::string afterCutOff;
    } routes[] = {
        {"notification", R"({"type":"NONE"})", R"({"type":"CUT_OFF"})"},
        {"disabled-queues", "[]", "[450,420,1090,830,-2]"},
        {"status", R"({"isAllQueuesDisabled":false})", R"({"isAllQueuesDisabled":true})"},
        {"custom-status", R"({"isDisabled":false})", R"({"isDisabled":true})"},
        {"queue-status/450", R"({"isDisabled":false})", R"({"isDisabled":true})"},
        {"queue-status/0", R"({"isDisabled":false})", R"({"isDisabled":false})"},
    };
    for (const auto& route : routes) {
        EXPECT_EQ(get(kLaw + route.path), route.before) << route.path;
    }
    EXPECT_EQ(get("/kivhost/resources").find("login-data-packet"), std::string::npos);

    const std::size_t since = state()["next"].getUnsigned(0);
    EventReader reader(serve_.port(), since, [](const SseMessage& message) {
        return message.event == "OnJsonApiEvent" && message.data.find("CUT_OFF") != std::string::npos;
    });
    const httplib::Result put = client_.Put(kLoginControl.c_str(), kLoginPacket, "application/json");
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 201);
    EXPECT_EQ(put->body, R"({"path":"/kiv-login/v1/login-data-packet","change":"Create"})");

    // 180 minutes in the first queue locks; at 210 the warning; at 300 the cut-off.
    advance(180);
    EXPECT_EQ(get(kLaw + "queue-status/450"), R"({"isDisabled":true})");
    EXPECT_EQ(get(kLaw + "notification"), R"({"type":"NONE"})");
    advance(30);
    EXPECT_EQ(get(kLaw + "notification"), R"({"type":"WARNING"})");
    EXPECT_EQ(get(kLaw + "disabled-queues"), "[450,420]");
    advance(90);
    for (const auto& route : routes) {
        EXPECT_EQ(get(kLaw + route.path), route.afterCutOff) << route.path;
    }

    const Value now = state();
    EXPECT_EQ(now["t"].getUnsigned(0), 18000u);
    EXPECT_EQ(now["timers"].size(), 0u);

    // Every message in order with consecutive ids; the plugin's events under their names with
    // their payloads, the host's happenings with their timeline lines.
    const std::vector<SseMessage> messages = reader.messages();
    ASSERT_FALSE(messages.empty());
    std::vector<std::string> pluginEvents;
    std::vector<std::string> hostTypes;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].id, since + i);
        EXPECT_EQ(parsed(messages[i].data).isStructure(), true) << messages[i].data;
        if (messages[i].event == "OnJsonApiEvent") {
            pluginEvents.push_back(messages[i].data);
        } else if (!messages[i].event.starts_with("OnJsonApiEvent_")) {
            hostTypes.push_back(messages[i].event);
        }
    }
    const SseMessage first = withoutRequests(messages).front();
    EXPECT_EQ(first.event, "create");
    EXPECT_EQ(
        first.data,
        R"({"t":0,"type":"create","path":"/kiv-login/v1/login-data-packet","name":"OnJsonApiEvent_kiv-login_v1_login-data-packet","value":{"minor":true,"minorShutdownEnforced":true,"minutesUntilMidnight":300}})");
    const std::string uri = R"(,"eventType":"Update","uri":"/kiv-kr-shutdown-law/v1/)";
    const std::vector<std::string> expected = {
        R"({"data":{"isDisabled":true})" + uri + R"(queue-status/450"})",
        R"({"data":[450])" + uri + R"(disabled-queues"})",
        R"({"data":{"isDisabled":true})" + uri + R"(queue-status/420"})",
        R"({"data":[450,420])" + uri + R"(disabled-queues"})",
        R"({"data":{"type":"WARNING"})" + uri + R"(notification"})",
        R"({"data":{"isDisabled":true})" + uri + R"(queue-status/1090"})",
        R"({"data":[450,420,1090])" + uri + R"(disabled-queues"})",
        R"({"data":{"isDisabled":true})" + uri + R"(queue-status/830"})",
        R"({"data":[450,420,1090,830])" + uri + R"(disabled-queues"})",
        R"({"data":{"isAllQueuesDisabled":true})" + uri + R"(status"})",
        R"({"data":{"isDisabled":true})" + uri + R"(queue-status/-2"})",
        R"({"data":[450,420,1090,830,-2])" + uri + R"(disabled-queues"})",
        R"({"data":{"type":"CUT_OFF"})" + uri + R"(notification"})",
    };
    EXPECT_EQ(pluginEvents, expected);
    for (const char* type : {"log", "timer", "fire", "request", "subscribe"}) {
        EXPECT_NE(std::find(hostTypes.begin(), hostTypes.end(), type), hostTypes.end()) << type;
    }
}

TEST_F(ServeTest, RefusalsAnswerJsonErrorsAndChangeNothing) {
    const std::string before = stateWithoutRequests();
    const std::string resources = get("/kivhost/resources");
    const std::string big(kMaxBody + 1, ' ');
    const struct {
        std::string method;
        std::string path;
        std::string body;
        int status;
    } cases[] = {
        {"PUT", kLoginControl, "{not json", 400},
        {"PUT", kLoginControl, "{} []", 400},
        {"PUT", kLoginControl, std::string("{}\0x", 4), 400},
        {"PUT", "/kivhost/resources/", "{}", 400},
        {"POST", "/kivhost/clock/advance?minutes=abc", "", 400},
        {"POST", "/kivhost/clock/advance?minutes=-1", "", 400},
        {"POST", "/kivhost/clock/advance?minutes=nan", "", 400},
        {"POST", "/kivhost/clock/advance?minutes=1e12", "", 400},
        {"POST", "/kivhost/clock/advance?minutes=", "", 400},
        {"POST", "/kivhost/clock/advance", "", 400},
        {"GET", "/nothing/here", "", 404},
        {"GET", "/kivhost/nothing", "", 404},
        {"DELETE", "/kivhost/resources/kiv-login/v1/login-data-packet", "", 404},
        {"PUT", kLaw + "notification", "{}", 405},
        {"DELETE", kLaw + "queue-status/450", "", 405},
        {"POST", "/kivhost/state", "", 405},
        {"GET", "/kivhost/clock/advance?minutes=1", "", 405},
        {"POST", "/events", "", 405},
        {"PUT", kLoginControl, big, 413},
    };
    for (const auto& c : cases) {
        const httplib::Result result = c.method == "GET"      ? client_.Get(c.path.c_str())
                                       : c.method == "DELETE" ? client_.Delete(c.path.c_str())
                                       : c.method == "PUT"
                                           ? client_.Put(c.path.c_str(), c.body, "application/json")
                                           : client_.Post(c.path.c_str(), c.body, "application/json");
        ASSERT_TRUE(result) << c.method << " " << c.path;
        EXPECT_EQ(result->status, c.status) << c.method << " " << c.path << ": " << result->body;
        EXPECT_EQ(result->get_header_value("Content-Type"), "application/json") << c.path;
        EXPECT_FALSE(parsed(result->body)["error"].getString("").empty()) << result->body;
        if (c.status == 405) {
            EXPECT_FALSE(result->get_header_value("Allow").empty()) << c.path;
        }
    }
    EXPECT_EQ(stateWithoutRequests(), before);
    EXPECT_EQ(get("/kivhost/resources"), resources);
    // A plugin error keeps the plugin's status, or 500 when it set none.
    const httplib::Result unknownQueue = client_.Get((kLaw + "queue-status/-2").c_str());
    ASSERT_TRUE(unknownQueue);
    EXPECT_EQ(unknownQueue->status, 404);
    EXPECT_EQ(unknownQueue->body, R"({"error":"Unknown queueId: -2"})");
    const httplib::Result badQueue = client_.Get((kLaw + "queue-status/abc").c_str());
    ASSERT_TRUE(badQueue);
    EXPECT_EQ(badQueue->status, 500);
}

TEST_F(ServeTest, ResourcesArePutUpdatedAndDeletedWithTheirEvents) {
    const std::size_t next = state()["next"].getUnsigned(0);
    EventReader reader(serve_.port(), next,
                       [](const SseMessage& message) { return message.event == "delete"; });
    const std::string path = "/kivhost/resources/kiv-game-queues/v1/queues";
    const httplib::Result update = client_.Put(path.c_str(), R"([{"id": 7}])", "application/json");
    ASSERT_TRUE(update);
    EXPECT_EQ(update->status, 200);
    EXPECT_EQ(update->body, R"({"path":"/kiv-game-queues/v1/queues","change":"Update"})");
    const httplib::Result removed = client_.Delete(path.c_str());
    ASSERT_TRUE(removed);
    EXPECT_EQ(removed->status, 200);
    EXPECT_EQ(get("/kivhost/resources").find("kiv-game-queues"), std::string::npos);
    const std::vector<SseMessage> messages = withoutRequests(reader.messages());
    ASSERT_FALSE(messages.empty());
    std::vector<std::string> events;
    for (const SseMessage& message : messages) {
        events.push_back(message.event);
    }
    EXPECT_EQ(events.front(), "update");
    EXPECT_EQ(events.back(), "delete");
}

// 200 requests at once from 20 clients while the clock is moved minute by minute: every answer is
// whole, the stream has every event once and in order, and the server stays up.
TEST_F(ServeTest, ConcurrentRequestsWhileTheClockMovesLoseNoEvent) {
    ASSERT_TRUE(client_.Put(kLoginControl.c_str(), kLoginPacket, "application/json"));
    const std::size_t since = state()["next"].getUnsigned(0);
    EventReader reader(serve_.port(), since, [](const SseMessage& message) {
        return message.event == "OnJsonApiEvent" && message.data.find("CUT_OFF") != std::string::npos;
    });
    std::atomic<int> answered{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> clients;
    for (int c = 0; c < 20; ++c) {
        clients.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", serve_.port());
            client.set_read_timeout(30, 0);
            const std::string paths[] = {"notification", "disabled-queues", "status", "custom-status",
                                         "queue-status/" + std::to_string(c)};
            for (int i = 0; i < 10; ++i) {
                const httplib::Result result = client.Get((kLaw + paths[i % 5]).c_str());
                if (result && result->status == 200 && parsed(result->body).kind() != ValueKind::Empty) {
                    ++answered;
                } else {
                    ++wrong;
                }
            }
        });
    }
    for (int minute = 0; minute < 300; minute += 5) {
        advance(5);
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(answered.load(), 200);
    EXPECT_EQ(wrong.load(), 0);

    const std::vector<SseMessage> messages = reader.messages();
    const Value now = state();
    ASSERT_FALSE(messages.empty());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        ASSERT_EQ(messages[i].id, since + i);
    }
    // The stream had everything up to its last message; what came after is the request log.
    const Value& timeline = now["timeline"];
    for (std::size_t i = messages.back().id + 1; i < timeline.size(); ++i) {
        EXPECT_EQ(timeline[i]["type"].getString(""), "http") << i;
    }
    std::size_t pluginEvents = 0;
    for (std::size_t i = since; i < timeline.size(); ++i) {
        pluginEvents += timeline[i]["type"].getString("") == "event";
    }
    std::size_t streamed = 0;
    for (const SseMessage& message : messages) {
        streamed += message.event.starts_with("OnJsonApiEvent");
    }
    EXPECT_EQ(streamed, pluginEvents);
    EXPECT_EQ(pluginEvents, 26u); // 13 changes, each under its path's name and OnJsonApiEvent
}

// Streams that clients leave mid-way give their connection back: more of them than the server
// keeps connections open one after another, and it still answers.
TEST_F(ServeTest, ClientsThatLeaveMidStreamCostNothing) {
    for (std::size_t i = 0; i < kOpenConnections + 6; ++i) {
        httplib::Client client("127.0.0.1", serve_.port());
        client.set_read_timeout(30, 0);
        bool received = false;
        client.Get("/events?since=0", [&](const char*, std::size_t) {
            received = true;
            return false; // leave after the first piece
        });
        ASSERT_TRUE(received) << "stream " << i;
    }
    EXPECT_EQ(get(kLaw + "notification"), R"({"type":"NONE"})");
}

// Any plugin: its own events stream under their names, and its errors keep its status.
TEST(ServeOtherPluginTest, EventsStreamUnderTheirOwnNamesAndErrorsKeepTheirStatus) {
    ScenarioFile scenario("fake.yaml", "resources: {/fake-input/v1/value: {n: 1}}\n");
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_FAKE_PLUGIN});
    ASSERT_NE(serve.port(), 0);
    httplib::Client client("127.0.0.1", serve.port());
    client.set_read_timeout(30, 0);
    const httplib::Result state = client.Get("/kivhost/state");
    ASSERT_TRUE(state);
    EventReader reader(serve.port(), parsed(state->body)["next"].getUnsigned(0),
                       [](const SseMessage& message) { return message.event == "OnFakeEvent"; });
    const httplib::Result sent = client.Get("/fake/v1/act/event:OnFakeEvent");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->status, 200);
    EXPECT_EQ(sent->body, R"({"done":"event:OnFakeEvent"})");
    const std::vector<SseMessage> messages = withoutRequests(reader.messages());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].data, R"({"from":"fake","n":7})");

    const httplib::Result failed = client.Get("/fake/v1/act/fail");
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 418);
    EXPECT_EQ(failed->body, R"({"error":"The fake fails on purpose"})");
    // The store's resources are not the plugin's routes.
    const httplib::Result stored = client.Get("/fake-input/v1/value");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->status, 404);
}

// On the real clock time runs by itself: at 6000 simulated seconds per real second the default
// scenario's first queue locks within two real seconds, with no client moving the clock.
TEST(ServeRealClockTest, TheClockRunsWithTheRealOneAtItsSpeed) {
    ServeProcess serve({"--plugin", KIVHOST_PLUGIN, "--clock", "real", "--speed", "6000"});
    ASSERT_NE(serve.port(), 0);
    EventReader reader(serve.port(), 0, [](const SseMessage& message) { return message.event == "fire"; });
    const std::vector<SseMessage> messages = reader.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().data,
              R"({"t":10800,"type":"fire","name":"kiv-kr-shutdown-law.disable-queue.450"})");
    httplib::Client client("127.0.0.1", serve.port());
    const httplib::Result state = client.Get("/kivhost/state");
    ASSERT_TRUE(state);
    const Value parsedState = parsed(state->body);
    EXPECT_EQ(parsedState["clock"].getString(""), "real");
    EXPECT_GE(parsedState["t"].asInteger(0), 10800);
}

// What `kivhost serve` refuses to start with: a message under the program's name and a non-zero exit.
TEST(ServeCommandTest, WhatCannotBeServedIsRefusedWithAMessage) {
    const struct {
        std::string arguments;
        std::string message; // the start of the error output
    } cases[] = {
        {"--speed 10", "kivhost: --speed paces the real clock; add --clock real\n"},
        {"--plugin /nonexistent/kiv.so", "kivhost: the plugin library is missing: /nonexistent/kiv.so\n"},
        {"/nonexistent/scenario.yaml", "kivhost: /nonexistent/scenario.yaml: cannot be read"},
        {"--clock sometimes", "kivhost: --clock: "},
        {"--port 70000", "kivhost: --port: "},
        {"--speed 0 --clock real", "kivhost: --speed: "},
    };
    const std::string errors = testing::TempDir() + "kivhost-serve-errors.txt";
    for (const auto& c : cases) {
        const std::string command =
            std::string(KIVHOST_BINARY) + " serve " + c.arguments + " >/dev/null 2>'" + errors + "'";
        const int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << c.arguments;
        std::ifstream in(errors);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.substr(0, c.message.size()), c.message) << c.arguments;
    }
}

} // namespace
} // namespace kiv::test
