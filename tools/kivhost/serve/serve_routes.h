// What `kivhost serve` answers, apart from the transport: the plugin's routes, the control routes
// under /kivhost/ and the dashboard. The event stream of /events is the server's own.
#pragma once

#include "kivhost/serve/serve_world.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kiv::kivhost {

struct ServeRequest {
    std::string method; // as the client sent it: "GET", "PUT", ...
    std::string path;   // decoded, without the query
    std::string target; // as the client sent it: the path undecoded, with the query
    std::string query;  // as the client sent it, without the "?"
    std::string body;
    std::string host; // the Host header, which names this server
};

struct ServeAnswer {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    std::string allow;         // the Allow header of a 405
    int retryAfterSeconds = 0; // the Retry-After header of a 503, when above 0
    // A state answer: the body is the world's state, which the feed's timeline completes (from
    // `timelineSince` on when given) before it is sent; see state_timeline.h.
    bool addsTimeline = false;
    std::optional<std::size_t> timelineSince;
};

// {"error": text}, as every failure is answered.
ServeAnswer errorAnswer(int status, std::string_view text);
// 405 with the methods the path takes, as the Allow header lists them ("GET, PUT").
ServeAnswer methodNotAllowed(std::string allow);

ServeAnswer answerRequest(ServeWorld& world, const ServeRequest& request);
// answerRequest, with what it throws answered: 503 when memory ran out, 500 otherwise.
ServeAnswer answerCaught(ServeWorld& world, const ServeRequest& request);
// What is answered without the world (the dashboard page), when the plugin is not running.
std::optional<ServeAnswer> answerWithoutWorld(const ServeRequest& request);

} // namespace kiv::kivhost
