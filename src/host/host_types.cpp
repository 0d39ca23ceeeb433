#include "host/host_types.h"

#include "binding/binding_declaration.h"

namespace kiv {

namespace {

constexpr std::string_view kHostTag = "pclient";

void declareHostEvent(BindingRegistry& registry, std::string_view name, const BindingTypeDescriptor& payload,
                      std::string_view description) {
    registry.beginEvent(name, &payload).setDescription(description).addTags(kHostTag);
}

} // namespace

void registerHostTypes(BindingRegistry& registry) {
    declareEnum<PluginManagerState>(registry, {"PluginManagerState", {}, {kHostTag}},
                                    {{"NotReady", PluginManagerState::NotReady},
                                     {"PluginsInitialized", PluginManagerState::PluginsInitialized}});
    declareStruct<PluginManagerResource>(registry, {"PluginManagerResource", {}, {kHostTag}},
                                         {{"state", &PluginManagerResource::state}});

    using EventType = PluginResourceEventType;
    declareEnum<EventType>(
        registry, {"PluginResourceEventType", {}, {kHostTag}},
        {{"Create", EventType::Create}, {"Update", EventType::Update}, {"Delete", EventType::Delete}});
    const BindingTypeDescriptor& resourceEvent =
        declareStruct<PluginResourceEvent>(registry, {"PluginResourceEvent", {}, {kHostTag}},
                                           {{"uri", &PluginResourceEvent::uri},
                                            {"eventType", &PluginResourceEvent::eventType},
                                            {"data", &PluginResourceEvent::data}});

    const BindingTypeDescriptor& lcdsEvent =
        declareStruct<PluginLcdsEvent>(registry, {"PluginLcdsEvent", {}, {kHostTag}},
                                       {{"clientId", &PluginLcdsEvent::clientId},
                                        {"subtopic", &PluginLcdsEvent::subtopic},
                                        {"typeName", &PluginLcdsEvent::typeName},
                                        {"body", &PluginLcdsEvent::body}});
    declareStruct<PluginLcdsResponse>(
        registry, {"PluginLcdsResponse", {}, {kHostTag}},
        {{"typeName", &PluginLcdsResponse::typeName}, {"body", &PluginLcdsResponse::body}});

    using Proxy = PluginServiceProxyResponse;
    const BindingTypeDescriptor& proxyResponse =
        declareStruct<Proxy>(registry, {"PluginServiceProxyResponse", {}, {kHostTag}},
                             {{"uuid", &Proxy::uuid},
                              {"serviceName", &Proxy::serviceName},
                              {"methodName", &Proxy::methodName},
                              {"payload", &Proxy::payload},
                              {"status", &Proxy::status},
                              {"error", &Proxy::error}});

    declareHostEvent(registry, "OnJsonApiEvent", resourceEvent, "Fired when a resource is changed.");
    declareHostEvent(registry, "OnLcdsEvent", lcdsEvent,
                     "Fired when a message is received over the LCDS connection.");
    declareHostEvent(registry, "OnServiceProxyUuidEvent", proxyResponse,
                     "Fired when a uuid-based service proxy message is received.");
    declareHostEvent(registry, "OnServiceProxyMethodEvent", proxyResponse,
                     "Fired when a method-based service proxy message is received.");
    declareHostEvent(registry, "OnServiceProxyAsyncEvent", proxyResponse,
                     "Fired when an async service proxy message is received.");
}

} // namespace kiv
