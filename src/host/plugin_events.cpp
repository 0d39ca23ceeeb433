// Event subscription and dispatch of the plugin base: observers of resource paths, the
// reference-counted host subscriptions behind them, the two delivery callbacks the host calls,
// and the publication of the plugin's own resource events.
#include "host/event_names.h"
#include "host/plugin_base.h"
#include "logging/trace_message.h"
#include "value/flat_value.h"

#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace kiv {

namespace {

// The record's name as a text; a null name is the empty text, which no handler is stored under.
std::string_view eventNameOf(const HostEventRecord& event) noexcept {
    return event.name ? std::string_view(event.name) : std::string_view();
}

// Frees a flat payload on every way out.
struct FlatPayload {
    FlatValue flat{};
    ~FlatPayload() { releaseFlat(flat); }
};

struct FlatFailure {
    FlatResult result{};
    ~FlatFailure() { releaseFlat(result); }
    std::string_view text() const noexcept {
        return result.error ? std::string_view(result.error) : std::string_view();
    }
};

template <class Payload> constexpr const char* payloadTypeName() noexcept {
    if constexpr (std::is_same_v<Payload, PluginResourceEvent>) {
        return "PluginResourceEvent";
    } else {
        return "PluginServiceProxyResponse";
    }
}

} // namespace

void PluginBase::observe(std::string_view path, ResourceEventHandler handler) {
    auto shared = std::make_shared<const ResourceEventHandler>(std::move(handler));
    const bool pattern = isPathPattern(path);
    if (pattern) {
        patternObservers_.insert_or_assign(std::string(path), shared);
    } else {
        exactObservers_.insert_or_assign(std::string(path), shared);
    }
    subscribe(path);
    if (pattern) {
        return;
    }
    ApiResult<Value> current = requestValue<Value>(HttpMethod::Get, path);
    if (!current.ok()) {
        return;
    }
    PluginResourceEvent created;
    created.uri = path;
    created.eventType = PluginResourceEventType::Create;
    created.data = std::move(current.value());
    if (*shared) {
        (*shared)(created);
    }
}

void PluginBase::subscribe(std::string_view path) {
    const std::string name = eventNameForPath(path);
    std::int32_t& count = subscriptionCounts_[name];
    if (count++ != 0) {
        return;
    }
    traceMessage("%s: Subscribing to event: %s", shortName_.c_str(), name.c_str());
    registerEventHandler(name, ResourceEventHandler([this](const PluginResourceEvent& event) {
                             dispatchResourceEvent(event);
                         }));
}

void PluginBase::unsubscribe(std::string_view path) {
    const std::string name = eventNameForPath(path);
    auto count = subscriptionCounts_.find(name);
    if (count == subscriptionCounts_.end() || count->second <= 0) {
        return;
    }
    if (--count->second != 0) {
        return;
    }
    unsubscribeEvent(name.c_str(), hostContext_);
    // Erased by name: the host may have called back into the tables while it unsubscribed.
    if (auto handler = eventHandlers_.find(name); handler != eventHandlers_.end()) {
        const SharedEventHandler released = std::move(handler->second);
        eventHandlers_.erase(handler);
    }
    traceMessage("%s: Unsubscribing to event: %s", shortName_.c_str(), name.c_str());
}

void PluginBase::registerEventHandler(std::string_view eventName, EventHandler handler) {
    const std::uint32_t kind = handler.index() == 0 ? KIV_EVENT_KIND_RESOURCE : KIV_EVENT_KIND_SERVICE_PROXY;
    std::string name(eventName);
    auto shared = std::make_shared<const EventHandler>(std::move(handler));
    // The handler stored before may be the one running now (a handler that re-registers
    // itself); it lives on in the delivery's own copy.
    eventHandlers_.insert_or_assign(name, std::move(shared));
    const PluginEventCallbackFn callback =
        kind == KIV_EVENT_KIND_RESOURCE ? &onResourceEvent : &onServiceProxyEvent;
    subscribeEvent(name.c_str(), hostContext_, callback, handle(), kind);
}

std::int32_t PluginBase::subscriptionCount(std::string_view eventName) const {
    auto it = subscriptionCounts_.find(eventName);
    return it != subscriptionCounts_.end() ? it->second : 0;
}

bool PluginBase::hasEventHandler(std::string_view eventName) const {
    return eventHandlers_.contains(eventName);
}

void KIV_CDECL PluginBase::onResourceEvent(const HostEventRecord* event) {
    deliver<PluginResourceEvent>(event);
}

void KIV_CDECL PluginBase::onServiceProxyEvent(const HostEventRecord* event) {
    deliver<PluginServiceProxyResponse>(event);
}

template <class Payload> void PluginBase::deliver(const HostEventRecord* event) noexcept {
    if (!event || !event->userData) {
        return;
    }
    try {
        PluginEntry entry(findPluginGate(event->userData));
        if (PluginBase* plugin = entry.plugin()) {
            plugin->handleEvent<Payload>(eventNameOf(*event), event->payload);
        }
    } catch (...) {
        // A handler's failure ends its delivery only; the host hears nothing of it.
    }
}

template <class Payload> void PluginBase::handleEvent(std::string_view eventName, const FlatValue& payload) {
    auto stored = eventHandlers_.find(eventName);
    if (stored == eventHandlers_.end()) {
        return;
    }
    // Kept alive by this copy even if the handler replaces itself or the plugin unsubscribes.
    const SharedEventHandler handler = stored->second;
    const std::string name(eventName);
    Value generic;
    FlatFailure failure;
    if (!flatToValue(payload, generic, kResultName, failure.result)) {
        traceMessage("%s: Couldn't convert payload %s for event %s: %s", shortName_.c_str(),
                     payloadTypeName<Payload>(), name.c_str(), std::string(failure.text()).c_str());
        return;
    }
    Payload converted;
    ConversionResult conversion;
    assignNative(conversion, converted, generic, kResultName, conversionRegistry());
    if (!conversion.ok()) {
        traceMessage("%s: Couldn't convert payload %s for event %s: %s", shortName_.c_str(),
                     payloadTypeName<Payload>(), name.c_str(), std::string(conversion.errorText()).c_str());
        return;
    }
    traceMessage("%s: Handling event %s", shortName_.c_str(), name.c_str());
    using Handler = std::function<void(const Payload&)>;
    if (const Handler* call = std::get_if<Handler>(handler.get()); call && *call) {
        (*call)(converted);
    }
}

void PluginBase::dispatchResourceEvent(const PluginResourceEvent& event) {
    std::string path = event.uri;
    if (path.empty() || path.front() != '/') {
        path.insert(path.begin(), '/');
    }
    // Handlers may observe further paths while they run, so they are chosen before any runs.
    std::vector<SharedResourceHandler> chosen;
    if (auto exact = exactObservers_.find(path); exact != exactObservers_.end()) {
        chosen.push_back(exact->second);
    }
    for (const auto& [pattern, handler] : patternObservers_) {
        if (pathMatchesPattern(pattern, path)) {
            chosen.push_back(handler);
        }
    }
    for (const SharedResourceHandler& handler : chosen) {
        if (*handler) {
            (*handler)(event);
        }
    }
}

ApiResult<void> PluginBase::publishResourceEvent(std::string_view genericName,
                                                 const PluginResourceEvent& event) {
    ConversionResult generic;
    convertNative(generic, event, conversionRegistry());
    if (!generic.ok()) {
        ApiError error;
        error.message = generic.errorText();
        return error;
    }
    const std::string specific = eventNameForPath(event.uri);
    traceMessage("%s: Sending event: %s", shortName_.c_str(), specific.c_str());
    FlatPayload payload;
    try {
        // valueToFlat fails only when memory runs out; its message comes from the one mapping
        // of value failures to texts.
        if (!valueToFlat(generic.value(), payload.flat, &conversionRegistry())) {
            throw std::bad_alloc();
        }
    } catch (...) {
        ApiError error;
        error.message = failureTextOfCurrentException();
        return error;
    }
    const std::string generalName(genericName);
    HostEventRecord record{specific.c_str(), payload.flat, 0, nullptr};
    sendEvent(&record);
    if (generalName != specific) {
        record.name = generalName.c_str();
        sendEvent(&record);
    }
    return {};
}

} // namespace kiv
