#include "host/resource_observers.h"

#include "host/event_names.h"
#include "host/event_payload.h"
#include "logging/trace_message.h"
#include "platform/invariant.h"
#include "value/flat_value.h"

#include <new>
#include <utility>
#include <vector>

namespace kiv {

namespace {

// Frees a flat payload on every way out.
struct FlatPayload {
    FlatValue flat{};
    ~FlatPayload() { releaseFlat(flat); }
};

} // namespace

ApiResult<void> ResourceObservers::observe(std::string_view path, ResourceEventHandler handler) {
    requireEntry();
    const auto shared = std::make_shared<const ResourceEventHandler>(std::move(handler));
    if (enter(path, shared)) {
        return {};
    }
    ApiResult<Value> current = client_.requestValue<Value>(HttpMethod::Get, path);
    if (!current.ok()) {
        return current.error();
    }
    PluginResourceEvent created;
    created.uri = path;
    created.eventType = PluginResourceEventType::Create;
    created.data = std::move(current.value());
    if (*shared) {
        (*shared)(created);
    }
    return {};
}

void ResourceObservers::watch(std::string_view path, ResourceEventHandler handler) {
    requireEntry();
    (void)enter(path, std::make_shared<const ResourceEventHandler>(std::move(handler)));
}

bool ResourceObservers::enter(std::string_view path, const SharedHandler& handler) {
    const bool pattern = isPathPattern(path);
    if (pattern) {
        patternObservers_.insert_or_assign(std::string(path), handler);
    } else {
        exactObservers_.insert_or_assign(std::string(path), handler);
    }
    subscribe(path);
    return pattern;
}

void ResourceObservers::subscribe(std::string_view path) {
    requireEntry();
    const std::string name = eventNameForPath(path);
    std::int32_t& count = subscriptionCounts_[name];
    if (count++ != 0) {
        return;
    }
    traceMessage("%s: Subscribing to event: %s", shortName_.c_str(), name.c_str());
    host_.subscribeEvent(name.c_str(), delivery_, KIV_EVENT_KIND_RESOURCE);
}

void ResourceObservers::unsubscribe(std::string_view path) {
    requireEntry();
    const std::string name = eventNameForPath(path);
    auto count = subscriptionCounts_.find(name);
    if (count == subscriptionCounts_.end() || count->second <= 0) {
        return;
    }
    if (--count->second != 0) {
        return;
    }
    host_.unsubscribeEvent(name.c_str());
    traceMessage("%s: Unsubscribing to event: %s", shortName_.c_str(), name.c_str());
}

void ResourceObservers::deliver(std::string_view eventName, const FlatValue& payload) {
    requireEntry();
    if (subscriptionCount(eventName) <= 0) {
        return;
    }
    const std::optional<PluginResourceEvent> event = acceptEventPayload<PluginResourceEvent>(
        payload, eventName, "PluginResourceEvent", registry_, shortName_);
    if (event) {
        dispatch(*event);
    }
}

void ResourceObservers::dispatch(const PluginResourceEvent& event) const {
    std::string path = event.uri;
    if (path.empty() || path.front() != '/') {
        path.insert(path.begin(), '/');
    }
    // Handlers may observe further paths while they run, so they are chosen before any runs; the
    // copies keep them alive if they replace themselves.
    std::vector<SharedHandler> chosen;
    if (auto exact = exactObservers_.find(path); exact != exactObservers_.end()) {
        chosen.push_back(exact->second);
    }
    for (const auto& [pattern, handler] : patternObservers_) {
        if (pathMatchesPattern(pattern, path)) {
            chosen.push_back(handler);
        }
    }
    for (const SharedHandler& handler : chosen) {
        if (*handler) {
            (*handler)(event);
        }
    }
}

void ResourceObservers::publish(std::string_view genericName, std::string_view uri,
                                PluginResourceEventType type, Value data) {
    requireEntry();
    const std::string specific = eventNameForPath(uri);
    // The event's own fields are converted, and the data, already a value, joins them as it is.
    ConversionResult event;
    convertNative(event, PluginResourceEvent{std::string(uri), type, Value()}, registry_);
    FlatPayload payload;
    if (event.ok()) {
        try {
            event.value().member("data") = std::move(data);
            // valueToFlat fails only when memory runs out; its message comes from the one mapping
            // of value failures to texts.
            if (!valueToFlat(event.value(), payload.flat, &registry_)) {
                throw std::bad_alloc();
            }
        } catch (...) {
            event.setError(failureTextOfCurrentException());
        }
    }
    if (!event.ok()) {
        const std::string failure(event.errorText());
        traceMessage("%s: Couldn't send event %s: %s", shortName_.c_str(), specific.c_str(), failure.c_str());
        return;
    }
    traceMessage("%s: Sending event: %s", shortName_.c_str(), specific.c_str());
    const std::string generalName(genericName);
    HostEventRecord record{specific.c_str(), payload.flat, 0, nullptr};
    host_.sendEvent(record);
    if (generalName != specific) {
        record.name = generalName.c_str();
        host_.sendEvent(record);
    }
}

void ResourceObservers::unsubscribeAll() {
    requireEntry();
    // The host may call back while it unsubscribes, so the names are walked from a copy.
    std::vector<std::string> names;
    for (const auto& [name, count] : subscriptionCounts_) {
        if (count > 0) {
            names.push_back(name);
        }
    }
    subscriptionCounts_.clear();
    for (const std::string& name : names) {
        host_.unsubscribeEvent(name.c_str());
    }
    // Handlers are destroyed only once the tables no longer list them.
    auto exact = std::move(exactObservers_);
    exactObservers_.clear();
    auto patterns = std::move(patternObservers_);
    patternObservers_.clear();
}

std::int32_t ResourceObservers::subscriptionCount(std::string_view eventName) const {
    requireEntry();
    auto it = subscriptionCounts_.find(eventName);
    return it != subscriptionCounts_.end() ? it->second : 0;
}

void ResourceObservers::requireEntry() const noexcept {
    KIV_ASSERT(entryLock_.isHeldByCaller(), "the observers' tables are used inside the plugin's entry");
}

} // namespace kiv
