#include "kivhost/serve/serve_server.h"

#include "kivhost/serve/serve_routes.h"
#include "kivhost/serve/server_sent_events.h"

#include <charconv>
#include <chrono>
#include <optional>

namespace kiv::kivhost {
namespace {

// A stream waits this long for an event before it looks at its connection again.
constexpr std::chrono::milliseconds kStreamWait{500};
// After this many waits without an event a comment goes out, so that a client that went away is
// noticed within about a second on a connection that has nothing else to say (the write after
// the peer's reset fails) and its thread and connection are given back.
constexpr int kWaitsPerKeepAlive = 2;

std::optional<std::size_t> parseIndex(const std::string& text) {
    std::size_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

const char* reasonOf(int status) {
    switch (status) {
    case 400:
        return "The request is not one this server understands.";
    case 404:
        return "No such path.";
    case 405:
        return "This path does not take that method.";
    case 413:
        return "The request body is larger than 1 MB.";
    default:
        return "The request failed.";
    }
}

} // namespace

ServeServer::ServeServer(ServeWorld& world) : world_(world) {
    server_.new_task_queue = [] { return new ConnectionPool(kMaxConnections); };
    server_.set_payload_max_length(kMaxBodyBytes);
    // What cpp-httplib refuses itself (too large, malformed) is answered as JSON like the rest.
    server_.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_content(errorAnswer(response.status, reasonOf(response.status)).body,
                                 "application/json");
            return httplib::Server::HandlerResponse::Handled;
        }));
    const auto handler = [this](const httplib::Request& request, httplib::Response& response) {
        answer(request, response);
    };
    server_.Get(".*", handler);
    server_.Post(".*", handler);
    server_.Put(".*", handler);
    server_.Patch(".*", handler);
    server_.Delete(".*", handler);
    server_.Options(".*", handler);
}

int ServeServer::bind(int port) {
    if (port == 0) {
        return server_.bind_to_any_port("127.0.0.1");
    }
    return server_.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool ServeServer::listen() {
    return server_.listen_after_bind();
}

void ServeServer::stop() {
    world_.feed().close();
    server_.stop();
}

void ServeServer::answer(const httplib::Request& request, httplib::Response& response) {
    if (request.path == "/events") {
        if (request.method == "GET" || request.method == "HEAD") {
            stream(request, response);
            return;
        }
        response.set_header("Allow", "GET");
        const ServeAnswer refused = errorAnswer(405, reasonOf(405));
        response.status = refused.status;
        response.set_content(refused.body, refused.contentType);
        return;
    }
    ServeRequest served;
    served.method = request.method == "HEAD" ? "GET" : request.method;
    served.path = request.path;
    served.target = request.target;
    served.hasMinutes = request.has_param("minutes");
    served.minutes = request.get_param_value("minutes");
    served.body = request.body;
    ServeAnswer answer;
    try {
        answer = answerRequest(world_, served);
    } catch (const std::exception& error) {
        answer = errorAnswer(500, error.what());
    }
    response.status = answer.status;
    if (!answer.allow.empty()) {
        response.set_header("Allow", answer.allow);
    }
    response.set_content(answer.body, answer.contentType);
}

// Starts at the client's Last-Event-ID (a reconnecting EventSource sends it), else at `since`,
// else with what happens from now on.
void ServeServer::stream(const httplib::Request& request, httplib::Response& response) {
    const std::size_t now = world_.feed().size();
    std::size_t position = now;
    if (const auto last = parseIndex(request.get_header_value("Last-Event-ID"))) {
        position = *last < now ? *last + 1 : now;
    } else if (const auto since = parseIndex(request.get_param_value("since"))) {
        position = *since < now ? *since : now; // ids not given out yet are the ones that come next
    }
    response.set_header("Cache-Control", "no-cache");
    response.set_header("X-Accel-Buffering", "no");
    EventFeed& feed = world_.feed();
    response.set_chunked_content_provider(
        kEventStreamContentType,
        [&feed, position, idleWaits = 0](std::size_t, httplib::DataSink& sink) mutable {
            const std::vector<FeedEntry> entries = feed.after(position, kStreamWait);
            if (feed.closed()) {
                sink.done();
                return true;
            }
            std::string text;
            for (const FeedEntry& entry : entries) {
                text += sseMessage(position++, entry.event, entry.data);
            }
            if (text.empty() && ++idleWaits >= kWaitsPerKeepAlive) {
                text = sseKeepAlive();
            }
            if (text.empty()) {
                return true;
            }
            idleWaits = 0;
            return sink.write(text.data(), text.size());
        });
}

} // namespace kiv::kivhost
