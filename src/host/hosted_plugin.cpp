#include "host/hosted_plugin.h"

#include "binding/registry_initialization.h"
#include "host/host_types.h"
#include "host/plugin_loader.h"
#include "logging/log_service.h"
#include "router/function_name.h"

namespace kiv {

HostedPlugin::LogServiceUser::LogServiceUser() noexcept {
    LogService::acquire();
}

HostedPlugin::LogServiceUser::~LogServiceUser() {
    LogService::release();
}

HostedPlugin::HostedPlugin()
    : bindingRegistry_(std::make_unique<BindingRegistry>()),
      router_(std::make_unique<Router>(*bindingRegistry_, gate())), callbacks_(pluginCallbacks()) {
    initializeRegistry(*bindingRegistry_);
    setConversionRegistry(*bindingRegistry_);
}

HostedPlugin::~HostedPlugin() {
    // No entry may reach the plugin's own parts while they are destroyed.
    retire();
}

void HostedPlugin::load(const ApiVersion& coreVersion, std::string_view shortName) {
    coreApiVersion_ = ApiVersion{coreVersion.major, coreVersion.minor, coreVersion.patch, {}, {}};
    identity_ = GetFullNameFromShortNameAndType(shortName, backendPluginType());
    tags_ = {"Plugins", "Plugin " + std::string(shortName)};
    typeNamePrefix_ = MakeFunctionName({}, shortName);
    registerHostTypes(*bindingRegistry_);
    setConversionRegistry(*bindingRegistry_);
    RegisterApi();
    apiExport_ = &router_->exportApi();
}

bool HostedPlugin::initialize(HostInterface* host) {
    hostInterface_ = host;
    installLogForwarding(logTarget_, hostApi());
    bindToHost(host ? host->hostContext : 0, identity_.shortName);
    return Start();
}

void HostedPlugin::RegisterApi() {}

bool HostedPlugin::Start() {
    return true;
}

void HostedPlugin::sendRequest(HostResponse* response, const HostRequest* request) {
    if (HostApi* api = hostApi(); api && api->sendRequest) {
        api->sendRequest(api, response, request);
    }
}

void HostedPlugin::hostOperation1(std::uint32_t first, std::uint32_t second) {
    if (HostApi* api = hostApi(); api && api->hostOperation1) {
        api->hostOperation1(api, first, second);
    }
}

void HostedPlugin::sendEvent(const HostEventRecord* event) {
    if (HostApi* api = hostApi(); api && api->sendEvent) {
        api->sendEvent(api, event);
    }
}

void HostedPlugin::subscribeEvent(const char* eventName, std::uintptr_t hostContext,
                                  PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) {
    if (HostApi* api = hostApi(); api && api->subscribeEvent) {
        api->subscribeEvent(api, eventName, hostContext, callback, userData, eventKind);
    }
}

void HostedPlugin::unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) {
    if (HostApi* api = hostApi(); api && api->unsubscribeEvent) {
        api->unsubscribeEvent(api, eventName, hostContext);
    }
}

void HostedPlugin::scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                                 double delaySeconds, std::uint32_t reserved) {
    if (HostApi* api = hostApi(); api && api->scheduleTimer) {
        api->scheduleTimer(api, jobName, callback, userData, delaySeconds, reserved);
    }
}

void HostedPlugin::yieldToHost() {
    if (HostApi* api = hostApi(); api && api->yieldToHost) {
        api->yieldToHost(api);
    }
}

void HostedPlugin::beginWait(const char* label, std::uint32_t reserved) {
    if (HostApi* api = hostApi(); api && api->beginWait) {
        api->beginWait(api, label, reserved);
    }
}

void HostedPlugin::endWait() {
    if (HostApi* api = hostApi(); api && api->endWait) {
        api->endWait(api);
    }
}

} // namespace kiv
