#include "kivhost/core/core_process.h"

#include "kivhost/core/event_names.h"
#include "kivhost/core/plugin_clock.h"
#include "kivhost/core/plugin_session.h"
#include "kivhost/core/response_reader.h"
#include "value/flat_value.h"

#include <cstring>

namespace kiv::kivhost {
namespace {

bool methodFits(const FunctionDescription& function, std::uint32_t method, const char* customMethod) {
    if (function.method == KIV_HTTP_METHOD_NONE)
        return true; // a function without a method takes every request
    if (function.method != method)
        return false;
    return method != KIV_HTTP_METHOD_CUSTOM || function.customMethod == (customMethod ? customMethod : "");
}

// The resource event the platform sends when a stored resource changes.
Value resourceEvent(ResourceChange change, const std::string& path, const Value& data) {
    Value event;
    event.member("uri").setString(path);
    event.member("eventType").setString(resourceChangeName(change));
    event.member("data") = data;
    return event;
}

// The platform routes on the path alone; a query goes to the function with the path.
std::string_view routedPart(std::string_view path) {
    return path.substr(0, path.find('?'));
}

} // namespace

CoreProcess::CoreProcess(const HostOptions& hostOptions)
    : options(hostOptions), clock(hostOptions.clock), journal(clock, hostOptions.keepHappenings),
      issued(std::make_shared<IssuedCounts>()) {
    // Every entry into a plugin runs on the delivery thread: the plugins read this host's clock.
    delivery.run([this] { bindPluginClockToThisThread(&clock); });
}

CoreProcess::~CoreProcess() = default;

PluginSession& CoreProcess::session(PluginId id) {
    if (id >= sessions.size())
        throw HostError("no plugin number " + std::to_string(id) + " was loaded");
    return *sessions[id];
}

void CoreProcess::recordFault(const std::string& plugin, std::string text) {
    journal.record(plugin, HostFault{std::move(text)});
}

// A function with a literal path is preferred to one whose template also matches; otherwise
// the first plugin loaded and its first function win.
std::optional<CoreProcess::Route> CoreProcess::findRoute(std::uint32_t method, const char* customMethod,
                                                         std::string_view path) {
    std::optional<Route> templated;
    for (const auto& session : sessions) {
        if (!session->isServing())
            continue;
        const std::vector<FunctionDescription>& functions = session->info().api.functions;
        for (std::size_t i = 0; i < functions.size(); ++i) {
            const PathTemplate& route = session->routes()[i];
            if (!methodFits(functions[i], method, customMethod) || !route.matches(routedPart(path)))
                continue;
            if (route.isLiteral())
                return Route{session.get(), &functions[i], i};
            if (!templated)
                templated = Route{session.get(), &functions[i], i};
        }
    }
    return templated;
}

void CoreProcess::dispatch(const Route& route, HostResponse& response, const HostRequest& request) {
    if (!route.function->dispatch) {
        recordFault(route.session->info().shortName,
                    "the function " + route.function->name + " has no dispatch entry");
        issueErrorResponse(response, "Invalid function", 404, issued);
        return;
    }
    HostRequest routed = request;
    routed.context = route.function->context;
    route.function->dispatch(&response, &routed);
}

void CoreProcess::serveRequest(HostResponse& response, const HostRequest& request) {
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    const std::string_view path = request.path ? request.path : "";
    if (const std::optional<Route> route = findRoute(request.method, request.customMethod, path)) {
        dispatch(*route, response, request);
        return;
    }
    if (request.method != KIV_HTTP_METHOD_GET) {
        issueErrorResponse(response, "The resource store answers GET requests only", 405, issued);
        return;
    }
    if (const Value* value = store.find(path))
        issueValueResponse(response, *value, 200, options.streamChunkBytes, issued);
    else
        issueErrorResponse(response, "No resource at '" + std::string(path) + "'.", 404, issued);
}

Response CoreProcess::callRoute(const Route& route, std::uint32_t method, const std::string& path) {
    HostRequest request{};
    request.method = method;
    request.path = path.c_str();
    HostResponse response{};
    dispatch(route, response, request);
    std::vector<std::string> faults;
    Response answer = readPluginResponse(response, faults);
    for (std::string& fault : faults)
        recordFault(route.session->info().shortName, std::move(fault));
    return answer;
}

std::optional<Response> CoreProcess::callFunction(std::uint32_t method, const std::string& path) {
    const std::optional<Route> route = findRoute(method, nullptr, path);
    if (!route)
        return std::nullopt;
    Response answer = callRoute(*route, method, path);
    deliverPostedEvents();
    return answer;
}

std::vector<std::uint32_t> CoreProcess::methodsAt(std::string_view path) const {
    std::vector<std::uint32_t> methods;
    for (const auto& session : sessions) {
        if (!session->isServing())
            continue;
        const std::vector<FunctionDescription>& functions = session->info().api.functions;
        for (std::size_t i = 0; i < functions.size(); ++i)
            if (session->routes()[i].matches(routedPart(path)))
                methods.push_back(functions[i].method);
    }
    return methods;
}

Response CoreProcess::request(std::uint32_t method, const std::string& path) {
    Response answer;
    if (const std::optional<Route> route = findRoute(method, nullptr, path)) {
        answer = callRoute(*route, method, path);
    } else if (method != KIV_HTTP_METHOD_GET) {
        answer.status = 405;
        answer.error = "The resource store answers GET requests only";
    } else if (const Value* value = store.find(path)) {
        answer.status = 200;
        answer.value = *value;
    } else {
        answer.status = 404;
        answer.error = "No resource at '" + path + "'.";
    }
    journal.record({}, ResponseReceived{methodName(method), path, answer.status, answer.value, answer.error});
    deliverPostedEvents();
    return answer;
}

void CoreProcess::deliver(const PostedEvent& event) {
    for (const Subscription& subscriber : bus.subscribersOf(event.name)) {
        // An earlier delivery may have unsubscribed or re-subscribed this one.
        const std::optional<Subscription> current = bus.current(subscriber.id);
        if (!current)
            continue;
        // Each delivery gets a payload of its own, so that no plugin sees what another did to its
        // record.
        FlatValue payload{};
        if (!valueToFlat(event.payload, payload, nullptr)) {
            recordFault({}, "the payload of " + event.name + " does not fit in memory");
            return;
        }
        const HostEventRecord record{current->name.c_str(), payload, current->kind, current->userData};
        current->callback(&record);
        releaseFlat(payload);
    }
}

void CoreProcess::deliverPostedEvents() {
    while (std::optional<PostedEvent> event = bus.takeNext())
        deliver(*event);
}

void CoreProcess::runTimer(const DueTimer& timer) {
    const std::string plugin = timer.plugin < sessions.size() ? sessions[timer.plugin]->info().shortName : "";
    journal.record(plugin, TimerFired{timer.name});
    timer.callback(timer.userData);
    deliverPostedEvents();
}

void CoreProcess::runDue(std::int64_t untilMs) {
    while (const std::optional<std::int64_t> due = timers.nextDueMs()) {
        if (*due > untilMs)
            break;
        clock.advanceTo(*due);
        // The clock may have waited: take the timer only now, the first one due.
        if (std::optional<DueTimer> timer = timers.takeDue(*due))
            runTimer(*timer);
    }
    clock.advanceTo(untilMs);
}

void CoreProcess::changeResource(ResourceChange change, const std::string& path, const Value& value) {
    const Value data = change == ResourceChange::Delete ? Value() : value;
    if (change == ResourceChange::Delete)
        store.erase(path);
    else
        store.put(path, data);
    std::string name = eventNameForPath(path);
    journal.record({}, ResourceChanged{change, path, name, data});
    bus.post(std::move(name), resourceEvent(change, path, data));
    deliverPostedEvents();
}

void CoreProcess::publish(const std::string& name, const Value& payload) {
    journal.record({}, EventSent{name, payload});
    bus.post(name, payload);
    deliverPostedEvents();
}

} // namespace kiv::kivhost
