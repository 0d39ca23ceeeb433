#include "host/hosted_plugin.h"

#include "host/host_types.h"
#include "logging/log_service.h"
#include "router/function_name.h"

namespace kiv {

HostedPlugin::LogServiceUser::LogServiceUser() noexcept {
    LogService::acquire();
}

HostedPlugin::LogServiceUser::~LogServiceUser() {
    LogService::release();
}

HostedPlugin::HostedPlugin() : router_(std::make_unique<Router>(registry(), gate())) {}

HostedPlugin::~HostedPlugin() {
    // No entry may reach the plugin's own parts while they are destroyed.
    retire();
}

void HostedPlugin::load(const ApiVersion& coreVersion, std::string_view shortName) {
    coreApiVersion_ = ApiVersion{coreVersion.major, coreVersion.minor, coreVersion.patch, {}, {}};
    identity_ = GetFullNameFromShortNameAndType(shortName, backendPluginType());
    tags_ = {"Plugins", "Plugin " + std::string(shortName)};
    typeNamePrefix_ = MakeFunctionName({}, shortName);
    registerHostTypes(registry());
    RegisterApi();
    apiExport_ = &router_->exportApi();
}

bool HostedPlugin::initialize(HostInterface* host) {
    connect(host, identity_.shortName);
    installLogForwarding(logTarget_, this->host());
    return Start();
}

void HostedPlugin::RegisterApi() {}

bool HostedPlugin::Start() {
    return true;
}

} // namespace kiv
