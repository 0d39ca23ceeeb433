#include "kivhost/serve/serve_routes.h"

#include "kivhost/core/api_description.h"
#include "kivhost/core/json_text.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/serve/dashboard_page.h"
#include "value/json_reader.h"

#include <string_view>

namespace kiv::kivhost {
namespace {

constexpr std::string_view kControlPrefix = "/kivhost/";
constexpr std::string_view kResourcesPath = "/kivhost/resources";
constexpr std::string_view kClockAdvancePath = "/kivhost/clock/advance";
constexpr std::string_view kStatePath = "/kivhost/state";

ServeAnswer jsonAnswer(int status, std::string body) {
    ServeAnswer answer;
    answer.status = status;
    answer.body = std::move(body);
    return answer;
}

ServeAnswer methodNotAllowed(std::string allow) {
    ServeAnswer answer = errorAnswer(405, "This path does not take that method; it takes " + allow + ".");
    answer.allow = std::move(allow);
    return answer;
}

std::string changeAnswer(const std::string& path, ResourceChange change) {
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
    for (const auto& [path, value] : world.host().resources()) {
        writeJsonKey(writer, path);
        writeJsonValue(writer, value);
    }
    writer.EndObject();
    return std::string(buffer.GetString(), buffer.GetSize());
}

// /kivhost/resources/<path> names the resource at /<path>.
ServeAnswer answerResource(ServeWorld& world, const ServeRequest& request, std::string_view rest) {
    const std::string path = "/" + std::string(rest);
    if (rest.empty() || rest.front() == '/')
        return errorAnswer(400, "Name a resource path after /kivhost/resources/, such as "
                                "/kivhost/resources/kiv-login/v1/login-data-packet.");
    if (request.method == "DELETE") {
        if (!world.deleteResource(path))
            return errorAnswer(404, "No resource at '" + path + "'.");
        return jsonAnswer(200, changeAnswer(path, ResourceChange::Delete));
    }
    if (request.method != "PUT")
        return methodNotAllowed("PUT, DELETE");
    // The JSON reader stops at a NUL byte; a body with one is not the JSON it seems to be.
    if (request.body.find('\0') != std::string::npos)
        return errorAnswer(400, "The body is not valid JSON: it holds a NUL byte.");
    ConversionResult parsed = parseJson(request.body);
    if (!parsed.ok())
        return errorAnswer(400, "The body is not valid JSON: " + std::string(parsed.errorText()));
    const ResourceChange change = world.putResource(path, parsed.value());
    return jsonAnswer(change == ResourceChange::Create ? 201 : 200, changeAnswer(path, change));
}

ServeAnswer answerControl(ServeWorld& world, const ServeRequest& request) {
    const std::string_view path = request.path;
    if (path == kStatePath) {
        if (request.method != "GET")
            return methodNotAllowed("GET");
        return jsonAnswer(200, world.stateJson());
    }
    if (path == kResourcesPath) {
        if (request.method != "GET")
            return methodNotAllowed("GET");
        return jsonAnswer(200, resourcesJson(world));
    }
    if (path.starts_with(kResourcesPath) && path[kResourcesPath.size()] == '/')
        return answerResource(world, request, path.substr(kResourcesPath.size() + 1));
    if (path == kClockAdvancePath) {
        if (request.method != "POST")
            return methodNotAllowed("POST");
        const std::optional<std::int64_t> ms =
            request.hasMinutes ? parseMinutesMs(request.minutes) : std::nullopt;
        if (!ms)
            return errorAnswer(400,
                               "minutes " + minutesRule() + ", as in /kivhost/clock/advance?minutes=10.");
        world.advanceBy(*ms);
        return jsonAnswer(200, world.stateJson());
    }
    return errorAnswer(404,
                       "No control at '" + std::string(path) +
                           "'; there are /kivhost/state, /kivhost/resources and /kivhost/clock/advance.");
}

bool isHttpStatus(std::uint32_t status) {
    return status >= 100 && status <= 599;
}

// A plugin's answer: its value with its status (200 when it set none), or {"error"} with its
// status (500 when it set none).
ServeAnswer pluginAnswer(const Response& response) {
    if (response.error)
        return errorAnswer(isHttpStatus(response.status) ? int(response.status) : 500, *response.error);
    return jsonAnswer(isHttpStatus(response.status) ? int(response.status) : 200, toJson(response.value));
}

// Only GETs reach the plugin, as clients of its resources send them; the path must be one of its
// functions' paths.
ServeAnswer answerPlugin(ServeWorld& world, const ServeRequest& request) {
    if (world.host().methodsAt(request.target).empty())
        return errorAnswer(404, "No resource at '" + request.path + "'.");
    if (request.method != "GET")
        return methodNotAllowed("GET");
    if (std::optional<Response> response = world.host().callFunction(KIV_HTTP_METHOD_GET, request.target))
        return pluginAnswer(*response);
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

ServeAnswer answerRequest(ServeWorld& world, const ServeRequest& request) {
    if (request.path == "/") {
        if (request.method != "GET")
            return methodNotAllowed("GET");
        ServeAnswer page;
        page.contentType = "text/html; charset=utf-8";
        page.body = std::string(dashboardPage());
        return page;
    }
    if (request.path.starts_with(kControlPrefix) || request.path == kControlPrefix.substr(0, 8))
        return answerControl(world, request);
    return answerPlugin(world, request);
}

} // namespace kiv::kivhost
