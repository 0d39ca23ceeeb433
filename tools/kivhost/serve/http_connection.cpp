#include "kivhost/serve/http_connection.h"

#include "kivhost/serve/cors_headers.h"
#include "kivhost/serve/deadline_socket.h"
#include "kivhost/serve/event_stream.h"
#include "kivhost/serve/framing.h"
#include "kivhost/serve/request_log.h"
#include "kivhost/serve/request_target.h"
#include "kivhost/serve/serve_routes.h"
#include "kivhost/serve/state_timeline.h"

#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <new>

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

// One client's connection as its thread serves it.
struct Connection {
    ServeContext& context;
    ClientSocket& client;
    DeadlineSocket socket{client};
    boost::beast::flat_buffer buffer{2 * kMaxHeaderBytes};
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
        addCorsFor(fields, fieldOf(head, http::field::origin));
    }
}

// The answer's body is moved into the response, not copied.
void sendAnswer(DeadlineSocket& socket, const RequestHead& head, ServeAnswer answer, bool crossOrigin,
                bool keepAlive, error_code& failed) {
    http::response<http::string_body> response;
    response.version(head.version());
    response.result(static_cast<unsigned>(answer.status));
    response.set(http::field::content_type, answer.contentType);
    if (!answer.allow.empty()) {
        response.set(http::field::allow, answer.allow);
    }
    if (answer.retryAfterSeconds > 0) {
        response.set(http::field::retry_after, std::to_string(answer.retryAfterSeconds));
    }
    addCors(response.base(), head, crossOrigin);
    response.keep_alive(keepAlive);
    response.body() = std::move(answer.body);
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
    connection.socket.socket().shutdown(tcp::socket::shutdown_send, failed);
    connection.socket.readFor(kDrainTime);
    char scratch[16384];
    for (std::size_t drained = 0; drained < kDrainBytes && !failed;) {
        drained += connection.socket.read_some(net::buffer(scratch), failed);
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
    if (failed == http::error::bad_transfer_encoding) {
        return 501;
    }
    return failed.category() == http::make_error_code(http::error::body_limit).category() ? 400 : 0;
}

constexpr const char* kFoldedLineReason =
    "Header lines continued on the next line (obs-fold) are not taken; send each field on a line of its own.";

// "1 MB", "64 KB": a limit in the words of the answers that name it.
std::string sizeInWords(std::size_t bytes) {
    return bytes % (std::size_t(1) << 20) == 0 ? std::to_string(bytes >> 20) + " MB"
                                               : std::to_string(bytes >> 10) + " KB";
}

// The answers' texts, with the limits formatted from the constants that enforce them.
const char* reasonOf(int status) {
    static const std::string bodyTooLarge =
        "The request body is larger than " + sizeInWords(kMaxBodyBytes) + ".";
    static const std::string headerTooLarge = "The request's header block is larger than " +
                                              sizeInWords(kMaxHeaderBytes) + " or has more than " +
                                              std::to_string(kMaxHeaderFields) + " fields.";
    switch (status) {
    case 413:
        return bodyTooLarge.c_str();
    case 501:
        return "The only transfer coding taken is chunked, alone; send the body with Content-Length or as "
               "Transfer-Encoding: chunked.";
    case 431:
        return headerTooLarge.c_str();
    default:
        return "The request is not one this server understands.";
    }
}

void answerPreflight(DeadlineSocket& socket, const RequestHead& head, error_code& failed) {
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

// Writes the answer if the answers waiting for their clients leave room for it, and 503 if not;
// the status written.
int writeWithinBudget(DeadlineSocket& socket, AnswerBudget& answers, const RequestHead& head,
                      ServeAnswer answer, bool crossOrigin, error_code& failed) {
    const std::size_t bytes = answer.body.size();
    if (!answers.take(bytes)) {
        ServeAnswer busy =
            errorAnswer(503, "Too many large answers are waiting for their clients; try again.");
        busy.retryAfterSeconds = 1;
        sendAnswer(socket, head, std::move(busy), crossOrigin, head.keep_alive(), failed);
        return 503;
    }
    const int status = answer.status;
    sendAnswer(socket, head, std::move(answer), crossOrigin, head.keep_alive(), failed);
    answers.give(bytes);
    return status;
}

ServeRequest serveRequestOf(const http::request<http::string_body>& request, RequestTarget target) {
    ServeRequest served;
    const http::verb method = request.method();
    served.method = method == http::verb::head ? "GET" : std::string(request.method_string());
    served.path = std::move(target.path);
    served.target = std::string(request.target());
    served.query = std::move(target.query);
    served.body = request.body();
    served.host = fieldOf(request, http::field::host);
    return served;
}

// Whether a request is coming: on a kept-alive connection, its first byte is waited for up to
// kIdleTime. A new connection's wait counts toward its first request's time, and bytes already
// read belong to a request sent right after the last.
bool requestComing(Connection& connection, bool fresh) {
    if (fresh || connection.buffer.size() > 0) {
        return true;
    }
    connection.socket.readFor(kIdleTime);
    error_code failed;
    return connection.socket.waitForBytes(failed);
}

// Reads until the buffer holds a whole header block, so that it can be checked as the client
// sent it before it is parsed; stops at the header limit or a failed read, which the parser then
// meets itself.
void readHeaderBlock(Connection& connection) {
    boost::beast::flat_buffer& buffer = connection.buffer;
    for (;;) {
        if (headerBlockEnd(buffer) != std::string_view::npos || buffer.size() > kMaxHeaderBytes) {
            return;
        }
        error_code failed;
        const std::size_t room = std::min<std::size_t>(16384, buffer.max_size() - buffer.size());
        const std::size_t got = connection.socket.read_some(buffer.prepare(room), failed);
        buffer.commit(got);
        if (failed) {
            return;
        }
    }
}

// Whether the request's transfer coding is one this server reads: none, or chunked alone.
bool takesCoding(const RequestHead& head) {
    std::size_t codings = 0;
    std::string_view coding;
    for (const auto& field : head) {
        if (field.name() == http::field::transfer_encoding) {
            ++codings;
            coding = field.value();
        }
    }
    return codings == 0 || (codings == 1 && isChunkedAlone(coding));
}

// Reads and answers one request; false when the connection is to end.
bool serveOneRequest(Connection& connection, bool fresh) {
    if (!requestComing(connection, fresh)) {
        return false;
    }
    DeadlineSocket& socket = connection.socket;
    boost::beast::flat_buffer& buffer = connection.buffer;
    ServeContext& context = connection.context;
    ServeBackend& backend = context.backend;
    http::request_parser<http::string_body> parser;
    parser.header_limit(static_cast<std::uint32_t>(kMaxHeaderBytes));
    parser.body_limit(kMaxBodyBytes);
    const RequestHead& head = parser.get();
    const auto logged = [&](int status) {
        context.log.record(backend.nowMs(), head.method_string(), head.target(), status);
    };
    const auto refused = [&](int status, std::string_view reason) {
        refuse(connection, head, status, reason);
        logged(status);
        return false;
    };
    error_code failed;
    socket.readFor(kRequestTime);
    readHeaderBlock(connection);
    if (hasFoldedLine(buffer)) {
        return refused(400, kFoldedLineReason);
    }
    http::read_header(socket, buffer, parser, failed);
    if (failed) {
        // Nothing to answer when the client left between requests, the connection broke or the
        // request did not come in time (the connection is shut down then).
        const bool gone =
            failed == http::error::end_of_stream || socket.timedOut() || connection.client.closing;
        const int status = gone ? 0 : refusalOf(failed);
        return status != 0 && refused(status, reasonOf(status));
    }
    if (!takesCoding(head)) {
        return refused(501, reasonOf(501));
    }
    if (static_cast<std::size_t>(std::distance(head.begin(), head.end())) > kMaxHeaderFields) {
        return refused(431, reasonOf(431));
    }
    const bool hasBody = parser.chunked() || parser.content_length().value_or(0) > 0;
    const AccessVerdict verdict = context.rules.check(originOf(head, hasBody));
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
    http::read(socket, buffer, parser, failed);
    if (failed) {
        const int status = socket.timedOut() || connection.client.closing ? 0 : refusalOf(failed);
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
        context.slots.startStream(connection.client);
        streamEvents(socket, connection.client, backend.feed(), start);
        return false;
    }
    ServeAnswer answer = target->path == "/events" ? methodNotAllowed("GET")
                                                   : backend.answer(serveRequestOf(parser.get(), *target));
    if (answer.addsTimeline) {
        answer.body = withTimeline(std::move(answer.body), backend.feed(), answer.timelineSince);
    }
    logged(writeWithinBudget(socket, context.answers, head, std::move(answer), verdict.crossOrigin, failed));
    return !failed && head.keep_alive();
}

} // namespace

void serveHttpConnection(ClientSocket& client, ServeContext& context) {
    Connection connection{context, client};
    for (bool fresh = true; serveOneRequest(connection, fresh); fresh = false) {
    }
}

} // namespace kiv::kivhost
