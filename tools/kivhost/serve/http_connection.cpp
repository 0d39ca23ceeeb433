#include "kivhost/serve/http_connection.h"

#include "kivhost/serve/event_stream.h"
#include "kivhost/serve/request_log.h"
#include "kivhost/serve/request_target.h"
#include "kivhost/serve/serve_routes.h"

#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <iterator>

namespace kiv::kivhost {
namespace {

namespace net = boost::asio;
namespace http = boost::beast::http;
using tcp = net::ip::tcp;
using boost::system::error_code;
using RequestHead = http::request_parser<http::string_body>::value_type;

// What a refused client may still send after the answer, read and thrown away so that closing
// does not reset the connection before the client has read the answer.
constexpr std::size_t kDrainBytes = std::size_t(256) << 10;
constexpr std::chrono::milliseconds kDrainTime{300};

// One client's connection as its thread serves it. Its reads wait for bytes in the connection's
// own io_context until the deadline, and stop when it passes (or the server stops).
struct Connection {
    ClientSocket& client;
    tcp::socket& socket = client.socket;
    ServeWorld& world;
    const AccessRules& rules;
    RequestLog& log;
    boost::beast::flat_buffer buffer{2 * kMaxHeaderBytes};
    std::chrono::steady_clock::time_point deadline{};
    bool timedOut = false;

    // The reads that follow must be done within `time`.
    void readFor(std::chrono::steady_clock::duration time) {
        deadline = std::chrono::steady_clock::now() + time;
    }

    // Whether bytes came (or the client closed) before the deadline.
    bool waitForBytes(error_code& failed) {
        bool done = false;
        socket.async_wait(tcp::socket::wait_read, [&](const error_code& waited) {
            failed = waited;
            done = true;
        });
        client.io.restart();
        client.io.run_until(deadline);
        if (!done) {
            socket.cancel(failed);
            client.io.run(); // the wait ends, cancelled
            timedOut = true;
            failed = net::error::timed_out;
        }
        return !failed;
    }
};

// The connection as Beast reads it: each read first waits for bytes within the deadline, so that
// it never blocks past it.
struct DeadlineReads {
    Connection& connection;

    using executor_type = tcp::socket::executor_type;
    executor_type get_executor() { return connection.socket.get_executor(); }

    template <typename Buffers> std::size_t read_some(const Buffers& buffers, error_code& failed) {
        return connection.waitForBytes(failed) ? connection.socket.read_some(buffers, failed) : 0;
    }
    template <typename Buffers> std::size_t read_some(const Buffers& buffers) {
        error_code failed;
        const std::size_t got = read_some(buffers, failed);
        if (failed) {
            throw boost::system::system_error(failed);
        }
        return got;
    }
};

template <typename Field> std::string_view fieldOf(const RequestHead& head, Field field) {
    const auto found = head.find(field);
    return found == head.end() ? std::string_view() : found->value();
}

RequestOrigin originOf(const RequestHead& head, bool hasBody) {
    return {head.method_string(),
            fieldOf(head, http::field::host),
            fieldOf(head, http::field::origin),
            fieldOf(head, "Sec-Fetch-Site"),
            fieldOf(head, http::field::content_type),
            hasBody};
}

void addCors(http::fields& fields, const RequestHead& head, bool crossOrigin) {
    if (crossOrigin) {
        fields.set(http::field::access_control_allow_origin, fieldOf(head, http::field::origin));
        fields.set(http::field::vary, "Origin");
    }
}

void sendAnswer(tcp::socket& socket, const RequestHead& head, const ServeAnswer& answer, bool crossOrigin,
                bool keepAlive, error_code& failed) {
    http::response<http::string_body> response;
    response.version(head.version());
    response.result(static_cast<unsigned>(answer.status));
    response.set(http::field::content_type, answer.contentType);
    if (!answer.allow.empty()) {
        response.set(http::field::allow, answer.allow);
    }
    addCors(response.base(), head, crossOrigin);
    response.keep_alive(keepAlive);
    response.body() = answer.body;
    response.prepare_payload();
    if (head.method() == http::verb::head) {
        http::response_serializer<http::string_body> serializer(response);
        http::write_header(socket, serializer, failed);
    } else {
        http::write(socket, response, failed);
    }
}

// Answers a refusal and ends the connection: what the client still sends is read for a moment
// and dropped, bounded in bytes and time.
void refuse(Connection& connection, const RequestHead& head, int status, std::string_view reason) {
    error_code failed;
    sendAnswer(connection.socket, head, errorAnswer(status, reason), false, false, failed);
    connection.socket.shutdown(tcp::socket::shutdown_send, failed);
    connection.readFor(kDrainTime);
    DeadlineReads reads{connection};
    char scratch[16384];
    for (std::size_t drained = 0; drained < kDrainBytes && !failed;) {
        drained += reads.read_some(net::buffer(scratch), failed);
    }
}

// The status a failed read is answered with, or 0 when the connection broke (nothing to answer).
int refusalOf(const error_code& failed) {
    if (failed == http::error::header_limit || failed == http::error::buffer_overflow) {
        return 431;
    }
    if (failed == http::error::body_limit) {
        return 413;
    }
    return failed.category() == http::make_error_code(http::error::body_limit).category() ? 400 : 0;
}

const char* reasonOf(int status) {
    switch (status) {
    case 413:
        return "The request body is larger than 1 MB.";
    case 431:
        return "The request's header block is larger than 64 KB or has more than 100 fields.";
    default:
        return "The request is not one this server understands.";
    }
}

void answerPreflight(tcp::socket& socket, const RequestHead& head, error_code& failed) {
    http::response<http::empty_body> response(http::status::no_content, head.version());
    addCors(response.base(), head, true);
    response.set(http::field::access_control_allow_methods, "GET, HEAD, POST, PUT, DELETE");
    const std::string_view asked = fieldOf(head, http::field::access_control_request_headers);
    response.set(http::field::access_control_allow_headers, asked.empty() ? "Content-Type" : asked);
    response.set(http::field::access_control_max_age, "600");
    response.keep_alive(head.keep_alive());
    response.prepare_payload();
    http::write(socket, response, failed);
}

ServeRequest serveRequestOf(const http::request<http::string_body>& request, RequestTarget target) {
    ServeRequest served;
    const http::verb method = request.method();
    served.method = method == http::verb::head ? "GET" : std::string(request.method_string());
    served.path = std::move(target.path);
    served.target = std::string(request.target());
    served.query = std::move(target.query);
    served.body = request.body();
    return served;
}

ServeAnswer answerSafely(ServeWorld& world, const ServeRequest& request) {
    try {
        return answerRequest(world, request);
    } catch (const std::exception& error) {
        return errorAnswer(500, error.what());
    }
}

// Whether a request is coming: on a kept-alive connection, its first byte is waited for up to
// kIdleTime. A new connection's wait counts toward its first request's time, and bytes already
// read belong to a request sent right after the last.
bool requestComing(Connection& connection, bool fresh) {
    if (fresh || connection.buffer.size() > 0) {
        return true;
    }
    connection.readFor(kIdleTime);
    error_code failed;
    return connection.waitForBytes(failed);
}

// Reads and answers one request; false when the connection is to end.
bool serveOneRequest(Connection& connection, bool fresh) {
    if (!requestComing(connection, fresh)) {
        return false;
    }
    tcp::socket& socket = connection.socket;
    boost::beast::flat_buffer& buffer = connection.buffer;
    DeadlineReads reads{connection};
    ServeWorld& world = connection.world;
    http::request_parser<http::string_body> parser;
    parser.header_limit(static_cast<std::uint32_t>(kMaxHeaderBytes));
    parser.body_limit(kMaxBodyBytes);
    const RequestHead& head = parser.get();
    const auto logged = [&](int status) {
        connection.log.record(world.nowMs(), head.method_string(), head.target(), status);
    };
    const auto refused = [&](int status, std::string_view reason) {
        refuse(connection, head, status, reason);
        logged(status);
        return false;
    };
    error_code failed;
    connection.readFor(kRequestTime);
    http::read_header(reads, buffer, parser, failed);
    if (failed) {
        // Nothing to answer when the client left between requests, the connection broke or the
        // request did not come in time (the connection is shut down then).
        const bool gone = failed == http::error::end_of_stream || connection.timedOut;
        const int status = gone ? 0 : refusalOf(failed);
        return status != 0 && refused(status, reasonOf(status));
    }
    if (static_cast<std::size_t>(std::distance(head.begin(), head.end())) > kMaxHeaderFields) {
        return refused(431, reasonOf(431));
    }
    const bool hasBody = parser.chunked() || parser.content_length().value_or(0) > 0;
    const AccessVerdict verdict = connection.rules.check(originOf(head, hasBody));
    if (verdict.status != 0) {
        return refused(verdict.status, verdict.reason);
    }
    const bool preflight = head.method() == http::verb::options &&
                           !fieldOf(head, http::field::access_control_request_method).empty();
    if (preflight && !verdict.crossOrigin) {
        return refused(403, "Cross-origin requests are taken only from origins named with --allow-origin.");
    }
    if (hasBody && boost::beast::iequals(fieldOf(head, http::field::expect), "100-continue")) {
        http::response<http::empty_body> proceed(http::status::continue_, head.version());
        http::write(socket, proceed, failed);
    }
    http::read(reads, buffer, parser, failed);
    if (failed) {
        const int status = connection.timedOut ? 0 : refusalOf(failed);
        return status != 0 && refused(status, reasonOf(status));
    }
    const std::optional<RequestTarget> target = splitTarget(head.target());
    if (!target) {
        return refused(400, "The request's path is not validly percent-encoded.");
    }
    if (preflight) {
        answerPreflight(socket, head, failed);
        logged(204);
        return !failed && head.keep_alive();
    }
    const bool reading = head.method() == http::verb::get || head.method() == http::verb::head;
    if (target->path == "/events" && reading) {
        logged(200);
        const EventStreamStart start{
            head.version(), head.method() == http::verb::head, fieldOf(head, "Last-Event-ID"), target->query,
            verdict.crossOrigin ? fieldOf(head, http::field::origin) : std::string_view()};
        streamEvents(socket, world.feed(), start);
        return false;
    }
    const ServeAnswer answer = target->path == "/events"
                                   ? methodNotAllowed("GET")
                                   : answerSafely(world, serveRequestOf(parser.get(), *target));
    sendAnswer(socket, head, answer, verdict.crossOrigin, head.keep_alive(), failed);
    logged(answer.status);
    return !failed && head.keep_alive();
}

} // namespace

void serveHttpConnection(ClientSocket& client, ServeWorld& world, const AccessRules& rules, RequestLog& log) {
    Connection connection{
        client, client.socket, world, rules, log, boost::beast::flat_buffer(2 * kMaxHeaderBytes), {}, false};
    for (bool fresh = true; serveOneRequest(connection, fresh); fresh = false) {
    }
}

} // namespace kiv::kivhost
