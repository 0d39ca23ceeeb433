#include "service/shutdown_law_service.h"

#include "format/message_format.h"
#include "logging/trace_message.h"
#include "platform/steady_clock.h"
#include "service/shutdown_law_names.h"

#include <utility>

namespace kiv {

using Brix::Client::ShutdownLaw::Api::AllQueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::QueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::ShutdownLawNotification;

void ShutdownLawService::RegisterApi() {
    Brix::Client::ShutdownLaw::Api::registerShutdownLawTypes(registry(), typeNamePrefix(), tags());
    registerRoutes();
}

void ShutdownLawService::registerRoutes() {
    Router& routes = router();
    routes.addGet(
        kNotificationPath, [this] { return ShutdownLawNotification{state().status}; }, tags());
    routes.addGet(
        kDisabledQueuesPath, [this] { return state().disabledQueues; }, tags());
    routes
        .addGet(
            kQueueStatusPathTemplate,
            [this](CallContext& call, std::int32_t queueId) {
                // Negative ids name no queue of the list; the custom queue has a route of its own.
                if (queueId < 0)
                    call.fail(404, formatMessage("Unknown queueId: %1", {queueId}));
                return QueueShutdownStatus{queueId >= 0 && state().isQueueDisabled(queueId)};
            },
            tags())
        .pathArgument("queue_id");
    routes.addGet(
        kCustomStatusPath, [this] { return QueueShutdownStatus{state().isQueueDisabled(kCustomQueueId)}; },
        tags());
    routes.addGet(
        kAllQueuesStatusPath, [this] { return AllQueueShutdownStatus{state().isAllQueuesDisabled}; }, tags());
}

bool ShutdownLawService::Start() {
    law_.start();
    return true;
}

bool ShutdownLawService::observe(std::string_view path, ChangeHandler handler) {
    auto delivering = [this, path = std::string(path),
                       handler = std::move(handler)](const PluginResourceEvent& event) {
        if (const auto firstRead = firstReads_.find(path);
            firstRead != firstReads_.end() && firstRead->second)
            *firstRead->second = true;
        const bool createdOrUpdated = event.eventType == PluginResourceEventType::Create ||
                                      event.eventType == PluginResourceEventType::Update;
        handler(ResourceChange{createdOrUpdated, event.data});
    };
    // The plugin base drops a failed first read; watching for the handler's call tells the law
    // whether the value came.
    bool delivered = false;
    const auto firstRead = firstReads_.try_emplace(std::string(path), nullptr).first;
    bool* const outer = std::exchange(firstRead->second, &delivered);
    struct Restore {
        std::map<std::string, bool*, std::less<>>::iterator entry;
        bool* outer;
        ~Restore() { entry->second = outer; }
    } restore{firstRead, outer};
    PluginBase::observe(path, std::move(delivering));
    return delivered;
}

ValueReading ShutdownLawService::readValue(std::string_view path) {
    ApiResult<Value> answer = requestValue<Value>(HttpMethod::Get, path);
    ValueReading reading;
    if (answer.ok()) {
        reading.value = std::move(answer.value());
    } else {
        reading.error = answer.error().message;
        reading.errorStatus = static_cast<std::uint32_t>(answer.error().errorCode);
    }
    return reading;
}

ListReading ShutdownLawService::readList(std::string_view path) {
    ApiResult<std::vector<Value>> answer = requestValue<std::vector<Value>>(HttpMethod::Get, path);
    ListReading reading;
    if (answer.ok())
        reading.elements = std::move(answer.value());
    else
        reading.error = answer.error().message;
    return reading;
}

std::int64_t ShutdownLawService::nowNs() {
    return platform::steadyClockNanoseconds();
}

void ShutdownLawService::scheduleJobAt(std::string_view name, std::int64_t dueNs, std::function<void()> job) {
    PluginBase::scheduleJobAt(name, dueNs, std::move(job));
}

void ShutdownLawService::publish(std::string_view uri, const PublishedData& data) {
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = PluginResourceEventType::Update;
    ConversionResult converted;
    std::string typeName = "vector";
    std::visit(
        [&](const auto& native) {
            using Native = std::decay_t<decltype(native)>;
            if (const BindingTypeDescriptor* descriptor = descriptorFor<Native>(registry()))
                typeName = descriptor->name;
            convertNative(converted, native, registry());
        },
        data);
    if (!converted.ok()) {
        traceMessage("%s: Couldn't convert resource %s for event uri \"%s\"", shortName().c_str(),
                     typeName.c_str(), event.uri.c_str());
        return;
    }
    event.data = std::move(converted.value());
    // A failed send has no one to report to: the host learns of changes only through events.
    (void)publishResourceEvent("OnJsonApiEvent", event);
}

} // namespace kiv
