// The native types of what the host sends to every plugin: the plugin manager's state,
// resource-change events, LCDS messages and service-proxy messages. Each has a fixed identity so
// that every plugin describes them alike.
#pragma once

#include "binding/binding_type_id.h"
#include "value/value.h"

#include <cstdint>
#include <string>

namespace kiv {

class BindingRegistry;

enum class PluginManagerState : std::int32_t {
    NotReady = 0,
    PluginsInitialized = 1,
};

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : std::int32_t {
    Create = 0,
    Update = 1,
    Delete = 2,
};

// The payload of every resource event, received and sent.
struct PluginResourceEvent {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    Value data;
};

struct PluginLcdsEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    Value body;
};

struct PluginLcdsResponse {
    std::string typeName;
    Value body;
};

struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

template <> struct BindingTypeIdentity<PluginManagerState> {
    static constexpr std::uint32_t hash = 0xF4E3B901;
};
template <> struct BindingTypeIdentity<PluginManagerResource> {
    static constexpr std::uint32_t hash = 0xFA58397C;
};
template <> struct BindingTypeIdentity<PluginResourceEventType> {
    static constexpr std::uint32_t hash = 0xDC24D2AD;
};
template <> struct BindingTypeIdentity<PluginResourceEvent> {
    static constexpr std::uint32_t hash = 0xA54F35FD;
};
template <> struct BindingTypeIdentity<PluginLcdsEvent> {
    static constexpr std::uint32_t hash = 0x739F2EF4;
};
template <> struct BindingTypeIdentity<PluginLcdsResponse> {
    static constexpr std::uint32_t hash = 0xF4476A4F;
};
template <> struct BindingTypeIdentity<PluginServiceProxyResponse> {
    static constexpr std::uint32_t hash = 0x2C5E7588;
};

// Registers the host's seven types and five events in the plugin's registry, so that the plugin's
// API export describes them as every plugin does and the host can match them up. Registering
// twice changes nothing.
void registerHostTypes(BindingRegistry& registry);

} // namespace kiv
