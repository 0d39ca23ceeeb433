// `kivhost serve` against clients that push its limits, over raw sockets on loopback: huge header
// blocks, chunked and oversized bodies, many streams replaying a long history, bodiless POSTs,
// parallel connects, a second server on the same port, and a stop with idle connections open.
// Each load is bounded in count and stops by itself.
#include "law_scenario.h"
#include "process_memory.h"
#include "raw_http.h"
#include "serve_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <vector>

namespace kiv::test {
namespace {

using namespace std::chrono_literals;

// The descriptor of the server's end of a loopback connection, found as the socket whose local
// port is `serverPort` and whose remote port is `clientPort` in the server's /proc tables.
std::optional<int> serverEndOf(int pid, int serverPort, int clientPort) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream table(proc + "/net/tcp");
    const auto portOf = [](const std::string& address) { // "0100007F:1F90": hexadecimal port
        const std::size_t colon = address.find(':');
        return colon == std::string::npos ? -1 : std::stoi(address.substr(colon + 1), nullptr, 16);
    };
    std::string inode;
    for (std::string line; inode.empty() && std::getline(table, line);) {
        // "sl local_address rem_address st queues timer retransmits uid timeout inode ..."
        std::istringstream fields(line);
        std::string slot, local, remote, skipped;
        fields >> slot >> local >> remote;
        if (slot.ends_with(':') && portOf(local) == serverPort && portOf(remote) == clientPort) {
            for (int field = 0; field < 6; ++field) {
                fields >> skipped;
            }
            fields >> inode;
        }
    }
    if (inode.empty()) {
        return std::nullopt;
    }
    const std::string target = "socket:[" + inode + "]";
    for (const auto& entry : std::filesystem::directory_iterator(proc + "/fd")) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(entry.path(), unreadable).string() == target) {
            return std::stoi(entry.path().filename().string());
        }
    }
    return std::nullopt;
}

// A copy of another process's descriptor in this one, or -1 with errno set (a kernel without
// pidfd_getfd, or no right to trace the process). The system calls are made directly: the C
// library's declarations of them lack C linkage in some releases.
int duplicateFrom(int pid, int descriptor) {
    const int process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (process < 0) {
        return -1;
    }
    const int copy = static_cast<int>(syscall(SYS_pidfd_getfd, process, descriptor, 0));
    const int error = errno;
    close(process);
    errno = error;
    return copy;
}

class ServeLimitsTest : public testing::Test {
  protected:
    ServeLimitsTest()
        : scenario_("limits.yaml", kNoLoginYet), serve_({scenario_.path(), "--plugin", KIVHOST_PLUGIN}) {}

    // One request on a connection of its own; an answer with status 0 when none came.
    RawAnswer exchange(const std::string& request) {
        RawHttp client(serve_.port());
        client.send(request);
        return client.answer().value_or(RawAnswer{});
    }

    int port() const { return serve_.port(); }

    ScenarioFile scenario_;
    ServeProcess serve_;
};

// Too many fields, or a header block without end: 431 and the connection closed, never memory
// growing with what the client sends. The flood is 200 MB of 4 KB lines: the server must refuse
// it long before the end.
TEST_F(ServeLimitsTest, HeaderBlocksBeyondTheLimitsAnswer431) {
    std::string fields;
    for (int i = 0; i < 101; ++i) {
        fields += "X-Field-" + std::to_string(i) + ": x\r\n";
    }
    const RawAnswer tooMany = exchange(rawRequest(port(), "GET", "/kivhost/state", fields));
    EXPECT_EQ(tooMany.status, 431);
    EXPECT_EQ(tooMany.header("Connection"), "close");

    RawHttp flood(port());
    ASSERT_TRUE(
        flood.send("GET /kivhost/state HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port()) + "\r\n"));
    const std::string line = "X-Padding: " + std::string(4096, 'p') + "\r\n";
    std::size_t sent = 0;
    const std::size_t lines = 50000;
    while (sent < lines && flood.send(line)) {
        ++sent;
    }
    if (sent == lines) {
        flood.send("\r\n"); // the server read it all: its answer tells what it made of it
    }
    const std::optional<RawAnswer> refused = flood.answer(5s);
    EXPECT_TRUE(sent < lines || (refused && refused->status == 431)) << sent;
    EXPECT_LT(sent, lines / 10) << "the server read far past its limit";
    const long resident = ownStatusMb(serve_.pid(), "VmRSS"); // where the connections are served
    EXPECT_LT(resident, 300);
    std::printf("after a header flood (%zu lines of 4 KB sent): %ld MB resident\n", sent, resident);
    EXPECT_EQ(exchange(rawRequest(port(), "GET", "/kivhost/state")).status, 200);
}

// The body limit holds for chunked bodies as for declared ones, and a body is taken as bytes
// whatever type it names (curl -d sends a form type).
TEST_F(ServeLimitsTest, BodiesAreBoundedInEveryFramingAndReadWhateverTheirType) {
    const auto chunked = [](const std::string& body) {
        std::string framed;
        for (std::size_t at = 0; at < body.size(); at += 65536) {
            const std::string piece = body.substr(at, 65536);
            char size[16];
            std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
            framed += size + piece + "\r\n";
        }
        return framed + "0\r\n\r\n";
    };
    const std::string big = "\"" + std::string(2u << 20, 'b') + "\"";
    std::string queues = "[";
    for (int i = 0; i < 1000; ++i) {
        queues += (i ? ", " : "") + std::string("{\"id\": ") + std::to_string(i) + "}";
    }
    queues += "]";
    ASSERT_GT(queues.size(), 8193u);
    const std::string chunkedHeader = "Transfer-Encoding: chunked\r\nContent-Type: application/json\r\n";
    const struct {
        std::string name;
        std::string request;
        int status;
    } cases[] = {
        {"small chunked",
         rawRequest(port(), "PUT", "/kivhost/resources/t/v1/small", chunkedHeader) + chunked("[1,2]"), 201},
        {"2 MB chunked",
         rawRequest(port(), "PUT", "/kivhost/resources/t/v1/chunked", chunkedHeader) + chunked(big), 413},
        {"2 MB declared",
         rawRequest(port(), "PUT", "/kivhost/resources/t/v1/declared", "Content-Type: application/json\r\n",
                    big),
         413},
        {"form-typed JSON",
         rawRequest(port(), "PUT", "/kivhost/resources/kiv-game-queues/v1/queues",
                    "Content-Type: application/x-www-form-urlencoded\r\n", queues),
         200},
    };
    for (const auto& c : cases) {
        RawHttp client(port());
        client.send(c.request); // a refused body may be cut short by the server's close
        const std::optional<RawAnswer> answer = client.answer();
        ASSERT_TRUE(answer) << c.name;
        EXPECT_EQ(answer->status, c.status) << c.name << ": " << answer->body;
    }
    const std::string resources = exchange(rawRequest(port(), "GET", "/kivhost/resources")).body;
    EXPECT_NE(resources.find("/t/v1/small"), std::string::npos);
    EXPECT_EQ(resources.find("/t/v1/chunked"), std::string::npos);
    EXPECT_EQ(resources.find("/t/v1/declared"), std::string::npos);
    EXPECT_NE(resources.find("{\"id\":999}"), std::string::npos);
}

// A POST without Content-Length has no body: it is answered at once, not after a wait for one.
TEST_F(ServeLimitsTest, APostWithoutContentLengthIsAnsweredAtOnce) {
    RawHttp client(port());
    client.send(rawRequest(port(), "POST", "/kivhost/clock/advance?minutes=1"));
    const std::optional<RawAnswer> answer = client.answer(2s);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200) << answer->body;
    // And the connection serves the next request.
    client.send(rawRequest(port(), "GET", "/kivhost/state"));
    EXPECT_EQ(client.answer().value_or(RawAnswer{}).status, 200);
}

// With every connection slot taken by idle keep-alive clients, further connects still complete
// in the listening socket's backlog (5 places would leave most of them retrying after a second).
TEST_F(ServeLimitsTest, ParallelConnectsBeyondTheOpenLimitWaitInTheBacklog) {
    std::vector<std::unique_ptr<RawHttp>> idle;
    for (int i = 0; i < 64; ++i) {
        idle.push_back(std::make_unique<RawHttp>(port()));
        idle.back()->send(rawRequest(port(), "GET", "/kivhost/state"));
        ASSERT_TRUE(idle.back()->answer()) << i;
    }
    std::vector<int> sockets;
    for (int i = 0; i < 100; ++i) {
        const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port()));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        sockets.push_back(socket);
    }
    int established = 0;
    for (const int socket : sockets) {
        pollfd writable{socket, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        if (::poll(&writable, 1, 500) == 1 &&
            ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
            ++established;
        }
        ::close(socket);
    }
    EXPECT_EQ(established, 100);
    idle.clear();
    EXPECT_EQ(exchange(rawRequest(port(), "GET", "/kivhost/state")).status, 200);
}

// Answers on a reused connection go out at once rather than behind the client's delayed
// acknowledgement, which holds every exchange for about 40 ms once the connection has left its
// quick first acknowledgements behind: the server turns off the coalescing of small writes on
// every connection it accepts. The option is read on the server's own end of a connection in use.
TEST_F(ServeLimitsTest, RequestsOnAReusedConnectionAreNotHeldBack) {
    RawHttp client(port());
    client.send(rawRequest(port(), "GET", kLaw + "notification"));
    ASSERT_EQ(client.answer().value_or(RawAnswer{}).status, 200);
    const auto serverEnd = serverEndOf(serve_.pid(), port(), client.localPort());
    ASSERT_TRUE(serverEnd.has_value()) << "no server socket with the client's port as its peer";
    const int copy = duplicateFrom(serve_.pid(), *serverEnd);
    if (copy < 0) {
        GTEST_SKIP() << "the server's socket cannot be reached here: " << std::strerror(errno);
    }
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    const int read = getsockopt(copy, IPPROTO_TCP, TCP_NODELAY, &noDelay, &size);
    close(copy);
    ASSERT_EQ(read, 0) << std::strerror(errno);
    EXPECT_NE(noDelay, 0);
}

// A PUT that puts a queue's moment in the past runs its timer before anyone reads the law: 60
// minutes before midnight, queue 450 (locked 120 minutes before) is locked at once.
TEST_F(ServeLimitsTest, TimersDueByAChangeRunBeforeTheNextAnswer) {
    const std::string packet =
        R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 60})";
    EXPECT_EQ(exchange(rawRequest(port(), "PUT", kLoginControl, "", packet)).status, 201);
    EXPECT_EQ(exchange(rawRequest(port(), "GET", kLaw + "queue-status/450")).body, R"({"isDisabled":true})");
}

// 64 clients replay a history of about 40 MB at once: the feed keeps its newest 32 MB once,
// each stream holds a position in it, and a stream that asks for more than is kept learns how
// much was dropped.
TEST_F(ServeLimitsTest, ManyStreamsReplayingALongHistoryShareIt) {
    const std::string body = "\"" + std::string(100000, 'h') + "\"";
    {
        RawHttp writer(port()); // closed before the streams take every connection the server keeps
        for (int i = 0; i < 200; ++i) {
            writer.send(rawRequest(port(), "PUT", "/kivhost/resources/t/v1/history", "", body));
            ASSERT_TRUE(writer.answer()) << i;
        }
    }
    std::vector<std::unique_ptr<RawHttp>> streams;
    for (int i = 0; i < 64; ++i) {
        streams.push_back(std::make_unique<RawHttp>(port()));
        streams.back()->send(rawRequest(port(), "GET", "/events?since=0"));
        // Each reads a megabyte and then stops reading, leaving its stream mid-way.
        ASSERT_GE(streams.back()->receive(1u << 20, 10s).size(), 1u << 20) << i;
    }
    const std::string& first = streams.front()->receive(0, 0ms);
    EXPECT_NE(first.find("event: dropped\ndata: {\"dropped\":"), std::string::npos);
    const long resident = ownStatusMb(serve_.pid(), "VmRSS"); // where the connections are served
    EXPECT_LT(resident, 600); // a copy of the history per stream would be 2.5 GB
    std::printf("64 streams replaying the history: %ld MB resident\n", resident);
    streams.clear();
    EXPECT_GT(parsed(exchange(rawRequest(port(), "GET", "/kivhost/state")).body)["first"].getUnsigned(0), 0u);
}

// Stopping with an idle keep-alive client and a stream open ends at once.
TEST_F(ServeLimitsTest, StopEndsIdleConnectionsAtOnce) {
    RawHttp idle(port());
    idle.send(rawRequest(port(), "GET", "/kivhost/state"));
    ASSERT_TRUE(idle.answer());
    RawHttp stream(port());
    stream.send(rawRequest(port(), "GET", "/events"));
    ASSERT_FALSE(stream.receive(1, 5s).empty());
    const std::optional<int> status = serve_.stop(2s);
    ASSERT_TRUE(status) << "still running two seconds after SIGTERM";
    EXPECT_EQ(*status, 0);
}

// A second server on a port in use is refused instead of sharing it.
TEST_F(ServeLimitsTest, ASecondServerOnTheSamePortIsRefused) {
    const std::string errors = testing::TempDir() + "kivhost-serve-port.txt";
    // Bounded: a server that shared the port would serve until the timeout ends it (status 124).
    const std::string command = "timeout 10 " + std::string(KIVHOST_BINARY) + " serve --port " +
                                std::to_string(port()) + " --plugin " + KIVHOST_PLUGIN + " >/dev/null 2>'" +
                                errors + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    std::ifstream in(errors);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "kivhost: cannot listen on 127.0.0.1:" + std::to_string(port()) + ": address in use\n");
}

} // namespace
} // namespace kiv::test
