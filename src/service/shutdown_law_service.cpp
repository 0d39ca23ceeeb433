#include "service/shutdown_law_service.h"

#include "format/message_format.h"
#include "host/event_names.h"
#include "logging/trace_message.h"
#include "service/shutdown_law_names.h"

#include <memory>
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
                if (queueId < 0) {
                    call.fail(404, formatMessage("Unknown queueId: %1", {queueId}));
                }
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

ApiResult<void> ShutdownLawService::observe(std::string_view path, ResourceReader& reader,
                                            ChangeHandler handler) {
    // Shared by the watch and the first read, as observers().observe shares its handler.
    const auto shared = std::make_shared<const ChangeHandler>(std::move(handler));
    observers().watch(path, [&reader, shared](const PluginResourceEvent& event) {
        const bool createdOrUpdated = event.eventType == PluginResourceEventType::Create ||
                                      event.eventType == PluginResourceEventType::Update;
        if (createdOrUpdated) {
            reader.readTree(event.data);
        }
        (*shared)(ResourceChange{createdOrUpdated});
    });
    // The first read hands the reader the host's record, so that a large resource is read
    // without a tree made of it.
    if (ApiResult<void> current = read(path, reader); !current.ok()) {
        return current;
    }
    (*shared)(ResourceChange{true});
    return {};
}

ApiResult<void> ShutdownLawService::read(std::string_view path, ResourceReader& reader) {
    return client().requestInto(HttpMethod::Get, path, reader);
}

ApiResult<std::vector<std::int64_t>> ShutdownLawService::readListIds(std::string_view path) {
    return client().requestMemberIntegers(HttpMethod::Get, path, "id");
}

std::int64_t ShutdownLawService::nowNs() {
    return clock().elapsedNanoseconds();
}

void ShutdownLawService::scheduleJobAt(std::string_view name, std::int64_t dueNs, std::function<void()> job) {
    jobs().scheduleAt(name, dueNs, std::move(job));
}

void ShutdownLawService::publish(std::string_view uri, const PublishedData& data) {
    ConversionResult converted;
    std::string typeName = "vector";
    std::visit(
        [&](const auto& native) {
            using Native = std::decay_t<decltype(native)>;
            if (const BindingTypeDescriptor* descriptor = descriptorFor<Native>(registry())) {
                typeName = descriptor->name;
            }
            convertNative(converted, native, registry());
        },
        data);
    if (!converted.ok()) {
        const std::string path(uri);
        traceMessage("%s: Couldn't convert resource %s for event uri \"%s\"", shortName().c_str(),
                     typeName.c_str(), path.c_str());
        return;
    }
    observers().publish(kJsonApiEventName, uri, PluginResourceEventType::Update,
                        std::move(converted.value()));
}

} // namespace kiv
