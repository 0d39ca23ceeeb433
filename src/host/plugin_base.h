// The plugin base: what every plugin object does between itself and the host. It observes
// resource paths and dispatches their events, publishes its own resource events, reads other
// plugins' resources through the JSON-API client, receives service-proxy messages and schedules
// one-shot jobs on the host's timer. The host itself is reached only through the virtual
// operations below, which HostedPlugin forwards to the host's function table.
//
// Entries into the plugin (event deliveries, requests, jobs coming due) are serialised by the
// plugin's entry lock (PluginGate); the observer, handler and subscription tables therefore have
// no lock of their own. The job table and the service-proxy tables have their own mutexes, held
// only for the table operation and never while the host or a callback is called.
#pragma once

#include "binding/native_conversion.h"
#include "host/api_result.h"
#include "host/host_types.h"
#include "host/plugin_gate.h"
#include "host/resource_subscriber.h"
#include "host/service_proxy.h"
#include "kiv/plugin_abi.h"
#include "router/http_method.h"
#include "value/conversion_result.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>

namespace kiv {

class BindingRegistry;

using ResourceEventHandler = std::function<void(const PluginResourceEvent&)>;
using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse&)>;
// A handler of one host event: resource events (subscribed with kind 0) or service-proxy
// messages (kind 1).
using EventHandler = std::variant<ResourceEventHandler, ServiceProxyHandler>;
using JobCallback = std::function<void()>;

// The name that values converted from the host's answers and events carry in messages.
inline constexpr std::string_view kResultName = "<result>";

class PluginBase : public ResourceSubscriber {
  public:
    PluginBase();
    PluginBase(const PluginBase&) = delete;
    PluginBase& operator=(const PluginBase&) = delete;

    // Reference-counted host subscriptions of the event that carries a path's changes.
    void subscribe(std::string_view path) override;
    void unsubscribe(std::string_view path) override;

    virtual ~PluginBase();

    // Unsubscribes every host event that has a handler and empties the handler, service-proxy
    // and observer tables. Sends nothing else and waits for nothing.
    virtual void shutdown();

    // The host's entries, in its table's order (HostedPlugin forwards them unchanged).
    virtual void sendRequest(HostResponse* response, const HostRequest* request) = 0;
    virtual void hostOperation1(std::uint32_t first, std::uint32_t second) = 0;
    virtual void sendEvent(const HostEventRecord* event) = 0;
    virtual void subscribeEvent(const char* eventName, std::uintptr_t hostContext,
                                PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) = 0;
    virtual void unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) = 0;
    virtual void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                               double delaySeconds, std::uint32_t reserved) = 0;
    virtual void yieldToHost() = 0;
    virtual void beginWait(const char* label, std::uint32_t reserved) = 0;
    virtual void endWait() = 0;

    // ---- Identity towards the host --------------------------------------------------------

    // The pointer the host holds for this plugin (load record, event subscriptions).
    void* handle() noexcept { return static_cast<void*>(this); }
    const std::shared_ptr<PluginGate>& gate() const noexcept { return gate_; }
    // Marks the plugin gone for every later entry and drops its pending job tokens. Called by
    // unload under the entry lock, and by the destructor.
    void retire() noexcept;

    // Stores the host context and the short name, and registers the three service-proxy
    // handlers.
    void bindToHost(std::uintptr_t hostContext, std::string_view shortName);
    std::uintptr_t hostContext() const noexcept { return hostContext_; }
    const std::string& shortName() const noexcept { return shortName_; }

    // The registry with which answers, events and payloads are converted.
    void setConversionRegistry(const BindingRegistry& registry) noexcept { registry_ = &registry; }
    const BindingRegistry& conversionRegistry() const noexcept;

    // ---- Events ---------------------------------------------------------------------------

    // Watches a resource path, or a pattern of paths (with "*"): subscribes the path's host
    // event, and for a single path reads it at once and hands its value to the handler as a
    // Create event (a failed read is dropped). A handler observing the same path is replaced.
    void observe(std::string_view path, ResourceEventHandler handler);

    // Stores the handler under the host event name (replacing one stored before) and subscribes
    // it with the host: kind 0 for a resource handler, 1 for a service-proxy handler.
    void registerEventHandler(std::string_view eventName, EventHandler handler);

    // Announces the event under its path's event name and, when that differs, under
    // `genericName` too. Enumerations travel as their names, as in responses.
    ApiResult<void> publishResourceEvent(std::string_view genericName, const PluginResourceEvent& event);

    [[nodiscard]] std::int32_t subscriptionCount(std::string_view eventName) const;
    [[nodiscard]] bool hasEventHandler(std::string_view eventName) const;

    // ---- JSON-API client ------------------------------------------------------------------

    // Sends the request and leaves the host's answer in `response`, which the caller releases
    // with releaseResponse. An answer with an error text, or marked failed, is an error with the
    // answer's status.
    ApiResult<void> requestRaw(HostResponse& response, HttpMethod method, std::string_view path);

    // The answer (whole or streamed) as a value of type T, converted with the plugin's registry.
    template <class T> ApiResult<T> requestValue(HttpMethod method, std::string_view path);

    // Reads a streamed body to its end and parses it as JSON; runs the body's release callback.
    [[nodiscard]] ConversionResult readStreamedBody(HostResponse& response);

    // ---- Jobs -----------------------------------------------------------------------------

    // Runs `callback` once, `seconds` from now, through the host's timer. A delay that is not
    // positive is due at once; one far out of range saturates.
    void scheduleJob(std::string_view name, double seconds, JobCallback callback);
    // Runs `callback` at the moment `dueNanoseconds` of the plugin's steady clock (the host's
    // own when it provides one): the host's timer gets the time left until then, nothing when
    // the moment has passed.
    void scheduleJobAt(std::string_view name, std::int64_t dueNanoseconds, JobCallback callback);
    [[nodiscard]] std::size_t pendingJobCount() const;
    [[nodiscard]] bool isJobPending(std::uint64_t jobId) const;

    // ---- Service proxy --------------------------------------------------------------------

    ServiceProxyMailbox& serviceProxy() noexcept { return serviceProxy_; }

  private:
    struct JobEntry {
        JobCallback callback;
        std::uintptr_t token = 0; // what the host's timer holds
    };
    using SharedEventHandler = std::shared_ptr<const EventHandler>;
    using SharedResourceHandler = std::shared_ptr<const ResourceEventHandler>;

    static void KIV_CDECL onResourceEvent(const HostEventRecord* event);
    static void KIV_CDECL onServiceProxyEvent(const HostEventRecord* event);
    static void KIV_CDECL onJobDue(void* token);
    template <class Payload> static void deliver(const HostEventRecord* event) noexcept;
    template <class Payload> void handleEvent(std::string_view eventName, const FlatValue& payload);
    void dispatchResourceEvent(const PluginResourceEvent& event);
    void runDueJob(std::uint64_t jobId);

    [[nodiscard]] ApiResult<Value> requestGenericValue(HttpMethod method, std::string_view path);
    [[nodiscard]] static ApiError conversionError(HttpMethod method, std::string_view path,
                                                  std::string_view message);

    std::unordered_map<std::string, SharedResourceHandler> exactObservers_;
    std::map<std::string, SharedResourceHandler, std::less<>> patternObservers_;
    const BindingRegistry* registry_ = nullptr;
    std::uintptr_t hostContext_ = 0;
    std::string shortName_;
    std::map<std::string, SharedEventHandler, std::less<>> eventHandlers_;
    std::map<std::string, std::int32_t, std::less<>> subscriptionCounts_;
    ServiceProxyMailbox serviceProxy_;
    std::unordered_map<std::uint64_t, JobEntry> jobTable_;
    std::uint64_t nextJobId_ = 1;
    mutable std::mutex jobMutex_;
    std::shared_ptr<PluginGate> gate_;
};

// Runs the body's release callback (once: the record forgets it) and then the record's own
// release routine. Safe on a record that holds nothing.
void releaseResponse(HostResponse& response) noexcept;

template <class T> ApiResult<T> PluginBase::requestValue(HttpMethod method, std::string_view path) {
    std::string failure;
    {
        ApiResult<Value> generic = requestGenericValue(method, path);
        if (!generic.ok()) {
            return generic.error();
        }
        T native{};
        ConversionResult conversion;
        assignNative(conversion, native, generic.value(), kResultName, conversionRegistry());
        if (conversion.ok()) {
            return native;
        }
        failure = conversion.errorText();
    }
    // The answer and all the conversion built are gone by now, which makes room for the error
    // when the conversion ran out of memory.
    return conversionError(method, path, failure);
}

} // namespace kiv
