#include "kivhost/serve/serve_routes.h"

#include "kivhost/core/api_description.h"
#include "kivhost/core/json_text.h"
#include "kivhost/core/kivhost_types.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/serve/dashboard_page.h"
#include "kivhost/serve/openapi_document.h"
#include "kivhost/serve/request_target.h"
#include "kivhost/serve/serve_limits.h"
#include "kivhost/timeline/timeline.h"
#include "value/json_reader.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {
namespace {

ServeAnswer jsonAnswer(int status, std::string body) {
    ServeAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

// {"instance", "t", "clock", "speed", "paused", "timers": [{"name", "due", "scheduled"}]}: the
// clock in seconds and the pending timers in due order, with their due times in seconds and their
// places in the order they were scheduled in. The state answers complete it with the feed's
// timeline (see state_timeline.h).
std::string worldStateJson(const WorldState& state) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("instance");
    writeJsonText(writer, state.instance);
    writer.Key("t");
    writeSeconds(writer, state.nowMs);
    writer.Key("clock");
    writer.String(state.clock == ClockKind::Virtual ? "virtual" : "real");
    writer.Key("speed");
    writer.Double(state.clock == ClockKind::Virtual ? 0.0 : state.speed);
    writer.Key("paused");
    writer.Bool(state.paused);
    writer.Key("timers");
    writer.StartArray();
    for (const PendingTimer& timer : state.timers) {
        writer.StartObject();
        writer.Key("name");
        writeJsonText(writer, timer.name);
        writer.Key("due");
        writeSeconds(writer, timer.dueMs);
        writer.Key("scheduled");
        writer.Uint64(timer.scheduled);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

ServeAnswer stateAnswer(const ServeWorld& world, std::optional<std::size_t> since = std::nullopt) {
    ServeAnswer answer = jsonAnswer(200, worldStateJson(world.state()));
    answer.addsTimeline = true;
    answer.timelineSince = since;
    return answer;
}

std::string changeAnswer(const std::string& path, ResourceChangeKind change) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("path");
    writeJsonText(writer, path);
    writer.Key("change");
    writer.String(resourceChangeName(change));
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string resourcesJson(ServeWorld& world) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    for (const auto& [path, value] : world.resources()) {
        writeJsonKey(writer, path);
        writeJsonValue(writer, value);
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

ServeAnswer answerDashboard(ServeWorld&, const ServeRequest& request, std::string_view) {
    return *answerWithoutWorld(request);
}

// `since=ID` keeps the timeline to the entries from that id on, for clients that poll.
ServeAnswer answerState(ServeWorld& world, const ServeRequest& request, std::string_view) {
    const std::optional<std::string> since = queryValue(request.query, "since");
    if (!since) {
        return stateAnswer(world);
    }
    const std::optional<std::size_t> from = parseIndex(*since);
    if (!from) {
        return errorAnswer(400, "since is an event id (such as the last state's next), as in "
                                "/kivhost/state?since=120.");
    }
    return stateAnswer(world, from);
}

ServeAnswer answerResources(ServeWorld& world, const ServeRequest&, std::string_view) {
    return jsonAnswer(200, resourcesJson(world));
}

// /kivhost/resources/<path> names the resource at /<path>.
ServeAnswer answerResource(ServeWorld& world, const ServeRequest& request, std::string_view rest) {
    const std::string path = "/" + std::string(rest);
    if (request.method == "DELETE") {
        if (!world.deleteResource(path)) {
            return errorAnswer(404, "No resource at '" + path + "'.");
        }
        return jsonAnswer(200, changeAnswer(path, ResourceChangeKind::Delete));
    }
    // The JSON reader stops at a NUL byte; a body with one is not the JSON it seems to be.
    if (request.body.find('\0') != std::string::npos) {
        return errorAnswer(400, "The body is not valid JSON: it holds a NUL byte.");
    }
    ConversionResult parsed = parseJson(request.body);
    if (!parsed.ok()) {
        return errorAnswer(400, "The body is not valid JSON: " + std::string(parsed.errorText()));
    }
    const std::optional<ResourceChangeKind> change = world.putResource(path, parsed.value());
    if (!change) {
        return errorAnswer(507, "The server stores at most " + std::to_string(kMaxResources) +
                                    " resources and " + std::to_string(kMaxResourceBytes >> 20) +
                                    " MB of their JSON; delete some, or reset.");
    }
    return jsonAnswer(*change == ResourceChangeKind::Create ? 201 : 200, changeAnswer(path, *change));
}

ServeAnswer answerUnnamedResource(ServeWorld&, const ServeRequest&, std::string_view) {
    return errorAnswer(400, "Name a resource path after /kivhost/resources/, such as "
                            "/kivhost/resources/kiv-login/v1/login-data-packet.");
}

// The query's `minutes` in milliseconds; nullopt (and the answer to give) when it is not one.
std::optional<std::int64_t> minutesOf(const ServeRequest& request, ServeAnswer& refusal) {
    const std::optional<std::string> minutes = queryValue(request.query, "minutes");
    const std::optional<std::int64_t> ms = minutes ? parseMinutesMs(*minutes) : std::nullopt;
    if (!ms) {
        refusal = errorAnswer(400, "minutes " + minutesRule() + ", as in " + request.path + "?minutes=10.");
    }
    return ms;
}

ServeAnswer answerClockAdvance(ServeWorld& world, const ServeRequest& request, std::string_view) {
    ServeAnswer refusal;
    const std::optional<std::int64_t> ms = minutesOf(request, refusal);
    if (!ms) {
        return refusal;
    }
    if (!world.advanceBy(*ms)) {
        return errorAnswer(409, "The clock stops at minute " + std::to_string(kMaxScenarioMinutes) +
                                    ", the last moment a scenario can name.");
    }
    return stateAnswer(world);
}

ServeAnswer answerClockSet(ServeWorld& world, const ServeRequest& request, std::string_view) {
    ServeAnswer refusal;
    const std::optional<std::int64_t> ms = minutesOf(request, refusal);
    if (!ms) {
        return refusal;
    }
    if (!world.advanceTo(*ms)) {
        return errorAnswer(409, "The clock is past that moment; it only moves forward.");
    }
    return stateAnswer(world);
}

ServeAnswer answerClockNext(ServeWorld& world, const ServeRequest&, std::string_view) {
    if (!world.advanceToNextTimer()) {
        return errorAnswer(409,
                           "No timer is pending before minute " + std::to_string(kMaxScenarioMinutes) + ".");
    }
    return stateAnswer(world);
}

ServeAnswer answerClockRunning(ServeWorld& world, const ServeRequest& request, std::string_view) {
    const bool done = request.path.ends_with("/pause") ? world.pause() : world.resume();
    if (!done) {
        return errorAnswer(409, "The virtual clock moves only when advanced; pause and resume the real one "
                                "(serve --clock real).");
    }
    return stateAnswer(world);
}

ServeAnswer answerReset(ServeWorld& world, const ServeRequest& request, std::string_view) {
    std::optional<Scenario> scenario;
    if (!request.body.empty()) {
        try {
            const std::size_t start = request.body.find_first_not_of(" \t\r\n");
            const bool json = start != std::string::npos && request.body[start] == '{';
            scenario = readScenarioText(request.body, json ? ScenarioFormat::Json : ScenarioFormat::Yaml,
                                        "the reset's scenario");
        } catch (const ScenarioError& error) {
            return errorAnswer(400, error.what());
        }
    }
    // A new instance runs as a fresh server's does, unless asked to stay paused.
    if (!world.reset(scenario, queryValue(request.query, "paused") == "true")) {
        return errorAnswer(500, "The plugin's initialize reported a failure after the reset.");
    }
    return stateAnswer(world);
}

ServeAnswer answerRecording(ServeWorld& world, const ServeRequest&, std::string_view) {
    return jsonAnswer(200, world.recordingJson());
}

ServeAnswer answerOpenApi(ServeWorld& world, const ServeRequest& request, std::string_view) {
    return jsonAnswer(200, openApiJson(world.plugin(), "http://" + request.host));
}

ServeAnswer answerNoControl(ServeWorld&, const ServeRequest& request, std::string_view) {
    return errorAnswer(
        404, "No control at '" + request.path +
                 "'; there are /kivhost/state, /kivhost/resources, /kivhost/clock/advance, "
                 "/kivhost/clock/set, /kivhost/clock/next, /kivhost/clock/pause, /kivhost/clock/resume, "
                 "/kivhost/reset, /kivhost/scenario and /kivhost/openapi.json.");
}

// Which request paths a route answers.
enum class PathMatch {
    Whole,         // its own path
    ResourceBelow, // its path, "/" and a resource path without its leading "/"
    Below,         // its path, "/" and anything
};

struct Route {
    std::string_view path;
    PathMatch match;
    std::string_view methods; // as a 405's Allow header lists them; empty: every method
    // `rest` is what follows the route's path and its "/" (empty for a whole match).
    ServeAnswer (*answer)(ServeWorld& world, const ServeRequest& request, std::string_view rest);
};

// The first row that matches the path answers. Every path under /kivhost is a control: one that
// no control takes is refused rather than handed to the plugin.
constexpr Route kRoutes[] = {
    {"/", PathMatch::Whole, "GET", answerDashboard},
    {"/kivhost/state", PathMatch::Whole, "GET", answerState},
    {"/kivhost/resources", PathMatch::Whole, "GET", answerResources},
    {"/kivhost/resources", PathMatch::ResourceBelow, "PUT, DELETE", answerResource},
    {"/kivhost/resources", PathMatch::Below, "", answerUnnamedResource},
    {"/kivhost/clock/advance", PathMatch::Whole, "POST", answerClockAdvance},
    {"/kivhost/clock/set", PathMatch::Whole, "POST", answerClockSet},
    {"/kivhost/clock/next", PathMatch::Whole, "POST", answerClockNext},
    {"/kivhost/clock/pause", PathMatch::Whole, "POST", answerClockRunning},
    {"/kivhost/clock/resume", PathMatch::Whole, "POST", answerClockRunning},
    {"/kivhost/reset", PathMatch::Whole, "POST", answerReset},
    {"/kivhost/scenario", PathMatch::Whole, "GET", answerRecording},
    {"/kivhost/openapi.json", PathMatch::Whole, "GET", answerOpenApi},
    {"/kivhost", PathMatch::Whole, "", answerNoControl},
    {"/kivhost", PathMatch::Below, "", answerNoControl},
};

// What follows the route's path and its "/" (empty for a whole match), or nullopt when the route
// does not answer the path.
std::optional<std::string_view> matchRoute(const Route& route, std::string_view path) {
    if (route.match == PathMatch::Whole) {
        return path == route.path ? std::optional<std::string_view>("") : std::nullopt;
    }
    const std::size_t length = route.path.size();
    if (!path.starts_with(route.path) || path.size() == length || path[length] != '/') {
        return std::nullopt;
    }
    const std::string_view rest = path.substr(length + 1);
    if (route.match == PathMatch::ResourceBelow && (rest.empty() || rest.front() == '/')) {
        return std::nullopt;
    }
    return rest;
}

bool takesMethod(const Route& route, std::string_view method) {
    if (route.methods.empty()) {
        return true;
    }
    for (std::string_view methods = route.methods; !methods.empty();) {
        const std::size_t comma = methods.find(", ");
        if (methods.substr(0, comma) == method) {
            return true;
        }
        methods = comma == std::string_view::npos ? std::string_view() : methods.substr(comma + 2);
    }
    return false;
}

// A plugin's answer: its value or {"error"}, with the status the host answers with.
ServeAnswer pluginAnswer(const Response& response) {
    const int status = static_cast<int>(answeredStatus(response));
    if (response.error) {
        return errorAnswer(status, *response.error);
    }
    return jsonAnswer(status, toJson(response.value));
}

// Only GETs reach the plugin, as clients of its resources send them; the path must be one of its
// functions' paths.
ServeAnswer answerPlugin(ServeWorld& world, const ServeRequest& request) {
    if (world.methodsAt(request.target).empty()) {
        return errorAnswer(404, "No resource at '" + request.path + "'.");
    }
    if (request.method != "GET") {
        return methodNotAllowed("GET");
    }
    if (std::optional<Response> response = world.callFunction(request.target)) {
        return pluginAnswer(*response);
    }
    return methodNotAllowed("GET"); // the path's functions take other methods only
}

} // namespace

ServeAnswer errorAnswer(int status, std::string_view text) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writer.StartObject();
    writer.Key("error");
    writeJsonText(writer, text);
    writer.EndObject();
    return jsonAnswer(status, std::string(buffer.GetString(), buffer.GetSize()));
}

ServeAnswer methodNotAllowed(std::string allow) {
    ServeAnswer answer = errorAnswer(405, "This path does not take that method; it takes " + allow + ".");
    answer.allow = std::move(allow);
    return answer;
}

ServeAnswer answerRequest(ServeWorld& world, const ServeRequest& request) {
    for (const Route& route : kRoutes) {
        const std::optional<std::string_view> rest = matchRoute(route, request.path);
        if (!rest) {
            continue;
        }
        if (!takesMethod(route, request.method)) {
            return methodNotAllowed(std::string(route.methods));
        }
        return route.answer(world, request, *rest);
    }
    return answerPlugin(world, request);
}

ServeAnswer answerCaught(ServeWorld& world, const ServeRequest& request) {
    try {
        return answerRequest(world, request);
    } catch (const std::bad_alloc&) {
        ServeAnswer busy = errorAnswer(503, "The server has no memory left for this request; try again.");
        busy.retryAfterSeconds = 1;
        return busy;
    } catch (const std::exception& error) {
        return errorAnswer(500, error.what());
    }
}

std::optional<ServeAnswer> answerWithoutWorld(const ServeRequest& request) {
    if (request.path != "/" || request.method != "GET") {
        return std::nullopt;
    }
    ServeAnswer page;
    page.contentType = "text/html; charset=utf-8";
    page.body = std::string(dashboardPage());
    return page;
}

} // namespace kiv::kivhost
