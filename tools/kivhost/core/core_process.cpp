#include "kivhost/core/core_process.h"

#include "kivhost/core/api_description.h"
#include "kivhost/core/event_names.h"
#include "kivhost/core/happening.h"
#include "kivhost/core/host_error.h"
#include "kivhost/core/plugin_clock.h"
#include "kivhost/core/plugin_session.h"
#include "kivhost/core/response_reader.h"
#include "platform/invariant.h"
#include "value/flat_value.h"

#include <cstring>
#include <new>
#include <utility>

namespace kiv::kivhost {
namespace {

bool methodFits(const FunctionDescription& function, std::uint32_t method, const char* customMethod) {
    if (function.method == KIV_HTTP_METHOD_NONE) {
        return true; // a function without a method takes every request
    }
    if (function.method != method) {
        return false;
    }
    return method != KIV_HTTP_METHOD_CUSTOM || function.customMethod == (customMethod ? customMethod : "");
}

// The resource event the platform sends when a stored resource changes.
Value resourceEvent(ResourceChangeKind change, const std::string& path, const Value& data) {
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

// Visits the functions of the plugins still serving, each with its compiled route, in loading
// and function order, until the visit returns true.
template <class Visit>
void visitServedRoutes(const std::vector<std::unique_ptr<PluginSession>>& sessions, Visit visit) {
    for (const auto& session : sessions) {
        if (!session->isServing()) {
            continue;
        }
        const std::vector<FunctionDescription>& functions = session->info().api.functions;
        const std::vector<PathTemplate>& routes = session->routes();
        KIV_ASSERT(routes.size() == functions.size(), "a session compiles one route per function");
        for (std::size_t i = 0; i < functions.size(); ++i) {
            if (visit(*session, functions[i], routes[i])) {
                return;
            }
        }
    }
}

} // namespace

CoreProcess::CoreProcess(const HostOptions& options)
    : options_(options), clock_(options.clock), journal_(clock_, options.keepHappenings),
      issued_(std::make_shared<IssuedCounts>()) {
    // Every entry into a plugin runs on the delivery thread: the plugins read this host's clock.
    delivery_.run([this] { bindPluginClockToThisThread(&clock_); });
}

CoreProcess::~CoreProcess() = default;

PluginServices CoreProcess::servicesForPlugins() {
    return {options_.core, clock_, journal_, timers_, bus_, delivery_, issued_, calls_, *this};
}

PluginId CoreProcess::load(const std::filesystem::path& library, const std::string& entryName) {
    const PluginId id = sessions_.size();
    sessions_.push_back(std::make_unique<PluginSession>(servicesForPlugins(), id, library, entryName));
    return id;
}

bool CoreProcess::initialize(PluginId id) {
    const bool initialized = session(id).initialize();
    deliverPostedEvents();
    return initialized;
}

void CoreProcess::unload(PluginId id) {
    session(id).unload();
    deliverPostedEvents();
}

PluginSession& CoreProcess::session(PluginId id) {
    if (id >= sessions_.size()) {
        throw HostError("no plugin number " + std::to_string(id) + " was loaded");
    }
    return *sessions_[id];
}

HostCounters CoreProcess::counters() const {
    HostCounters counters = calls_;
    counters.faults = journal_.faults();
    counters.openResponses = issued_->openResponses.load();
    counters.openBodyStreams = issued_->openBodyStreams.load();
    counters.strayReleases = strayReleaseCount();
    return counters;
}

void CoreProcess::endIfOutOfMemory() {
    if (std::exchange(calls_.outOfMemory, false)) {
        throw std::bad_alloc();
    }
}

void CoreProcess::recordFault(const std::string& plugin, std::string text) {
    journal_.record(plugin, HostFault{std::move(text)});
}

// A function with a literal path is preferred to one whose template also matches; otherwise
// the first plugin loaded and its first function win.
std::optional<CoreProcess::Route> CoreProcess::findRoute(std::uint32_t method, const char* customMethod,
                                                         std::string_view path) {
    std::optional<Route> literal;
    std::optional<Route> templated;
    visitServedRoutes(sessions_, [&](PluginSession& session, const FunctionDescription& function,
                                     const PathTemplate& route) {
        if (!methodFits(function, method, customMethod) || !route.matches(routedPart(path))) {
            return false;
        }
        if (route.isLiteral()) {
            literal = Route{&session, &function};
        } else if (!templated) {
            templated = Route{&session, &function};
        }
        return literal.has_value();
    });
    return literal ? literal : templated;
}

void CoreProcess::dispatch(const Route& route, HostResponse& response, const HostRequest& request) {
    KIV_ASSERT(delivery_.isCurrent(), "every entry into a plugin runs on the delivery thread");
    if (!route.function->dispatch) {
        recordFault(route.session->info().shortName,
                    "the function " + route.function->name + " has no dispatch entry");
        issueErrorResponse(response, "Invalid function", 404, issued_);
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
        issueErrorResponse(response, "The resource store answers GET requests only", 405, issued_);
        return;
    }
    if (const Value* value = store_.find(path)) {
        issueValueResponse(response, *value, 200, options_.streamChunkBytes, issued_);
    } else {
        issueErrorResponse(response, "No resource at '" + std::string(path) + "'.", 404, issued_);
    }
}

Response CoreProcess::callRoute(const Route& route, std::uint32_t method, const std::string& path) {
    HostRequest request{};
    request.method = method;
    request.path = path.c_str();
    HostResponse response{};
    dispatch(route, response, request);
    std::vector<std::string> faults;
    Response answer = readPluginResponse(response, faults);
    for (std::string& fault : faults) {
        recordFault(route.session->info().shortName, std::move(fault));
    }
    return answer;
}

std::optional<Response> CoreProcess::callFunction(std::uint32_t method, const std::string& path) {
    const std::optional<Route> route = findRoute(method, nullptr, path);
    if (!route) {
        return std::nullopt;
    }
    Response answer = callRoute(*route, method, path);
    deliverPostedEvents();
    return answer;
}

std::vector<std::uint32_t> CoreProcess::methodsAt(std::string_view path) const {
    std::vector<std::uint32_t> methods;
    visitServedRoutes(
        sessions_, [&](const PluginSession&, const FunctionDescription& function, const PathTemplate& route) {
            if (route.matches(routedPart(path))) {
                methods.push_back(function.method);
            }
            return false;
        });
    return methods;
}

Response CoreProcess::request(std::uint32_t method, const std::string& path) {
    Response answer;
    if (const std::optional<Route> route = findRoute(method, nullptr, path)) {
        answer = callRoute(*route, method, path);
    } else if (method != KIV_HTTP_METHOD_GET) {
        answer.status = 405;
        answer.error = "The resource store answers GET requests only";
    } else if (const Value* value = store_.find(path)) {
        answer.status = 200;
        answer.value = *value;
    } else {
        answer.status = 404;
        answer.error = "No resource at '" + path + "'.";
    }
    journal_.record(
        {}, ResponseReceived{methodName(method), path, answeredStatus(answer), answer.value, answer.error});
    deliverPostedEvents();
    return answer;
}

void CoreProcess::deliver(const PostedEvent& event) {
    KIV_ASSERT(delivery_.isCurrent(), "every entry into a plugin runs on the delivery thread");
    for (const Subscription& subscriber : bus_.subscribersOf(event.name)) {
        // An earlier delivery may have unsubscribed or re-subscribed this one.
        const std::optional<Subscription> current = bus_.current(subscriber.id);
        if (!current) {
            continue;
        }
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
    while (std::optional<PostedEvent> event = bus_.takeNext()) {
        deliver(*event);
    }
}

void CoreProcess::runTimer(const DueTimer& timer) {
    KIV_ASSERT(delivery_.isCurrent(), "every entry into a plugin runs on the delivery thread");
    const std::string plugin =
        timer.plugin < sessions_.size() ? sessions_[timer.plugin]->info().shortName : "";
    journal_.record(plugin, TimerFired{timer.name});
    timer.callback(timer.userData);
    deliverPostedEvents();
}

void CoreProcess::runDue(std::int64_t untilMs) {
    while (const std::optional<std::int64_t> due = timers_.nextDueMs()) {
        if (*due > untilMs) {
            break;
        }
        clock_.advanceTo(*due);
        // The clock may have waited: take the timer only now, the first one due.
        if (std::optional<DueTimer> timer = timers_.takeDue(*due)) {
            runTimer(*timer);
        }
    }
    clock_.advanceTo(untilMs);
}

void CoreProcess::replayTimer(std::size_t index) {
    runTimer(timers_.replay(index));
}

void CoreProcess::changeResource(ResourceChangeKind change, const std::string& path, const Value& value) {
    const Value data = change == ResourceChangeKind::Delete ? Value() : value;
    if (change == ResourceChangeKind::Delete) {
        store_.erase(path);
    } else {
        store_.put(path, data);
    }
    std::string name = eventNameForPath(path);
    journal_.record({}, ResourceChanged{change, path, name, data});
    bus_.post(std::move(name), resourceEvent(change, path, data));
    deliverPostedEvents();
}

void CoreProcess::publish(const std::string& name, const Value& payload) {
    journal_.record({}, EventSent{name, payload});
    bus_.post(name, payload);
    deliverPostedEvents();
}

} // namespace kiv::kivhost
