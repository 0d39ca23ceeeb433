// A working day of `kivhost serve` over loopback: a script sends requests of every kind (PUTs of
// sizes up to the body limit, ever new paths, DELETEs, resets, clock moves), 64 misbehaving
// clients (readers that stall, idle keep-alive connections, senders of a byte at a time) come back
// each time they are dropped, and a real client polls the state and the law throughout. The real
// client must get every answer, and the server's resident memory must stay under kMaxResidentMb.
//
// `make test` runs a short day; `make soak` (KIV_FULL_VOLUME set) the full one. Both are bounded in
// requests and in time, and print their figures.
#include "law_scenario.h"
#include "process_memory.h"
#include "raw_http.h"
#include "serve_process.h"
#include "volume_counts.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kiv::test::endurance {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr long kMaxResidentMb = 300;
// How long the real client may wait for an answer: a client locked out waits for the idle time of
// the connections that hold the slots (60 s) or for ever; a busy sanitized build needs its time.
constexpr auto kAnswerDeadline = 30s;

struct DayLength {
    std::size_t requests; // of the script
    std::chrono::minutes bound;
};

DayLength dayLength() {
    if (testing_volume::fullVolume()) {
        return {40000, std::chrono::minutes(40)};
    }
    return {3000, std::chrono::minutes(4)};
}

// A request of the script's n-th turn: mostly small PUTs to a rolling set of paths (more than the
// store holds, so that it fills and is refused and emptied by DELETEs), now and then a large one,
// a DELETE, a clock move, a GET of the law, and every 500th a reset.
std::string scriptRequest(int port, std::size_t n, const std::vector<std::string>& bodies) {
    const std::string path = "/kivhost/resources/day/v1/r" + std::to_string(n % 1500);
    if (n % 500 == 499) {
        return rawRequest(port, "POST", "/kivhost/reset");
    }
    switch (n % 10) {
    case 0:
        return rawRequest(port, "DELETE", "/kivhost/resources/day/v1/r" + std::to_string((n * 7) % 1500));
    case 1:
        return rawRequest(port, "POST", "/kivhost/clock/advance?minutes=" + std::to_string(n % 13));
    case 2:
        return rawRequest(port, "GET", kLaw + "status");
    case 3:
        return rawRequest(port, "PUT", kLoginControl, "", kLoginPacket);
    default:
        return rawRequest(port, "PUT", path, "", bodies[n % bodies.size()]);
    }
}

// The bodies the script puts: small ones, and a megabyte of zeros (the densest tree a body makes)
// one turn in 64; in sanitized builds, whose memory is not measured, a megabyte of text instead.
std::vector<std::string> scriptBodies() {
    const std::string small[] = {"1", R"({"small": true})", "[" + std::string(100, '7') + "]",
                                 "\"" + std::string(10000, 'x') + "\""};
    std::vector<std::string> bodies;
    for (std::size_t i = 0; i < 63; ++i) {
        bodies.push_back(small[i % std::size(small)]);
    }
    std::string zeros = "[";
    while (zeros.size() < (1u << 20) - 4) {
        zeros += "0,";
    }
    bodies.push_back(kPlainMemory ? zeros + "0]" : "\"" + std::string((1u << 20) - 8, 'z') + "\"");
    return bodies;
}

// The 64 clients that misbehave, each kind a third: a stalled reader asks for the state or the
// stream and never reads, an idle one asks once and sits, a slow one sends a byte at a time. An
// idle or slow one that the server closed comes back at once; a stalled reader, which cannot see
// its connection closed without reading, is replaced once the server's write deadline is past.
class Mischief {
  public:
    explicit Mischief(int port) : port_(port) {
        for (int i = 0; i < 64; ++i) {
            clients_.push_back(start(i));
        }
    }

    // One round: slow senders send their next byte, and clients the server closed come back.
    void round() {
        for (std::size_t i = 0; i < clients_.size(); ++i) {
            Client& client = clients_[i];
            const bool gone = i % 3 == 0   ? Clock::now() - client.since > kStalledFor
                              : i % 3 == 1 ? client.socket->closedWithin(0ms)
                                           : !client.socket->send("x");
            if (gone) {
                ++replaced_;
                client = start(static_cast<int>(i));
            }
        }
    }
    std::size_t replaced() const { return replaced_; }

  private:
    static constexpr auto kStalledFor = 40s;

    struct Client {
        std::unique_ptr<RawHttp> socket;
        Clock::time_point since;
    };

    Client start(int i) {
        Client client{std::make_unique<RawHttp>(port_), Clock::now()};
        switch (i % 3) {
        case 0:
            client.socket->send(rawRequest(port_, "GET", i % 2 == 0 ? "/kivhost/state" : "/events?since=0"));
            break;
        case 1:
            client.socket->send(rawRequest(port_, "GET", kLaw + "notification"));
            client.socket->answer(2s);
            break;
        default: // a byte at a time after the first line
            client.socket->send("PUT /kivhost/resources/day/v1/slow HTTP/1.1\r\n");
            break;
        }
        return client;
    }

    int port_;
    std::vector<Client> clients_;
    std::size_t replaced_ = 0;
};

struct RealClientFigures {
    std::size_t requests = 0;
    std::size_t failed = 0;
    std::size_t reconnects = 0;
    Clock::duration longestWait{};
    long peakResidentMb = 0;
};

TEST(ServeEnduranceTest, AWorkingDayKeepsMemoryBoundedAndTheRealClientServed) {
    const DayLength day = dayLength();
    ScenarioFile scenario("day.yaml", kNoLoginYet);
    ServeProcess serve({scenario.path(), "--plugin", KIVHOST_PLUGIN});
    const int port = serve.port();
    ASSERT_NE(port, 0);
    const auto end = Clock::now() + day.bound;
    std::atomic<bool> done{false};

    std::size_t scriptAnswered = 0;
    std::vector<int> unexpected;
    std::thread script([&] {
        const std::vector<std::string> bodies = scriptBodies();
        auto client = std::make_unique<RawHttp>(port);
        for (std::size_t n = 0; n < day.requests && Clock::now() < end; ++n) {
            client->send(scriptRequest(port, n, bodies));
            const std::optional<RawAnswer> answer = client->answer(60s);
            if (!answer || answer->header("Connection") == "close") {
                client = std::make_unique<RawHttp>(port);
            }
            if (answer) {
                ++scriptAnswered;
                const int status = answer->status;
                const bool expected = (status >= 200 && status < 300) || status == 404 || status == 409 ||
                                      status == 503 || status == 507;
                if (!expected) {
                    unexpected.push_back(status);
                }
            }
        }
        done = true;
    });
    std::thread mischief([&] {
        Mischief clients(port);
        while (!done) {
            clients.round();
            std::this_thread::sleep_for(200ms);
        }
        std::printf("misbehaving clients replaced: %zu\n", clients.replaced());
    });

    RealClientFigures real;
    {
        auto client = std::make_unique<RawHttp>(port);
        const std::string targets[] = {"/kivhost/state?since=1000000000", kLaw + "notification",
                                       kLaw + "disabled-queues"};
        while (!done) {
            const std::string& target = targets[real.requests % std::size(targets)];
            const std::string request = rawRequest(port, "GET", target);
            const auto asked = Clock::now();
            client->send(request);
            std::optional<RawAnswer> answer = client->answer(kAnswerDeadline);
            if (!answer && client->closedWithin(0ms) && client->receive(0, 0ms).empty()) {
                // The kept-alive connection was closed before the request reached the server: as a
                // browser does, the request goes again on a new connection, within the same time.
                ++real.reconnects;
                client = std::make_unique<RawHttp>(port);
                client->send(request);
                answer = client->answer(kAnswerDeadline);
            }
            real.longestWait = std::max(real.longestWait, Clock::now() - asked);
            ++real.requests;
            if (!answer || answer->status != 200) {
                ADD_FAILURE() << "the real client's GET " << target << " got "
                              << (answer ? std::to_string(answer->status) : "no answer");
                ++real.failed;
                client = std::make_unique<RawHttp>(port);
            }
            real.peakResidentMb = std::max(real.peakResidentMb, residentMb(serve.pid()));
            std::this_thread::sleep_for(50ms);
        }
    }
    script.join();
    mischief.join();
    const long peak = std::max(real.peakResidentMb, statusMb(serve.pid(), "VmHWM"));
    std::printf("a working day: %zu script requests answered, %zu of the real client (%zu on a new "
                "connection), longest wait of the real client %lld ms, peak resident memory %ld MB\n",
                scriptAnswered, real.requests, real.reconnects,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(real.longestWait).count()),
                peak);
    EXPECT_EQ(real.failed, 0u);
    EXPECT_TRUE(!kPlainMemory || peak < kMaxResidentMb) << peak;
    EXPECT_TRUE(unexpected.empty()) << unexpected.size() << " unexpected statuses, the first "
                                    << unexpected.front();
    EXPECT_GE(scriptAnswered, day.requests * 9 / 10);
}

} // namespace
} // namespace kiv::test::endurance
