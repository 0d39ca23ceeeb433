// The plugin object as the host knows it: the plugin base, the plugin's identity and API version,
// its router, and the two hooks a plugin overrides:
//
//     class ExamplePlugin final : public kiv::HostedPlugin {
//         void RegisterApi() override {       // during load: types and routes
//             router().addGet("/example/v1/status", [this] { return status_; }, tags());
//         }
//         bool Start() override {              // at the end of initialise
//             observers().observe("/kiv-login/v1/login-data-packet", [this](const kiv::PluginResourceEvent&
//             e) { ... }); return true;
//         }
//     };
//
//     // Built with kiv_add_plugin_module (cmake/KivPluginModule.cmake).
//     extern "C" KIV_MODULE_EXPORT void KIV_CDECL load_kiv_kr_shutdown_law(PluginLoadInfo* info) {
//         kiv::loadNewPlugin<ExamplePlugin>(info, "example");
//     }
#pragma once

#include "binding/binding_registry.h"
#include "host/api_version.h"
#include "host/plugin_base.h"
#include "host/plugin_identity.h"
#include "host/plugin_log_target.h"
#include "kiv/plugin_abi.h"
#include "router/router.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class HostedPlugin : public PluginBase {
  public:
    HostedPlugin();
    ~HostedPlugin() override;

    // Registers the plugin's types and routes during load; the base registers nothing.
    virtual void RegisterApi();
    // Starts the plugin at the end of initialise; its result is initialise's. The base's
    // returns true.
    virtual bool Start();

    // Load steps after the version check: keeps the core's version, builds the identity (a
    // backend plugin), the tags and the type-name prefix, registers the host types, runs
    // RegisterApi and has the router build the export.
    void load(const ApiVersion& coreVersion, std::string_view shortName);
    // Initialise: connects to the host, forwards the log to it and runs Start.
    bool initialize(HostInterface* host);

    const ApiVersion& coreApiVersion() const noexcept { return coreApiVersion_; }
    const PluginIdentity& identity() const noexcept { return identity_; }
    // The short name in CamelCase (kiv-kr-shutdown-law gives KivKrShutdownLaw); plugins prefix
    // their binding types' names with it.
    const std::string& typeNamePrefix() const noexcept { return typeNamePrefix_; }
    // ["Plugins", "Plugin <short name>"]; plugins attach them to their types and routes.
    const std::vector<std::string>& tags() const noexcept { return tags_; }
    Router& router() noexcept { return *router_; }
    const ApiExport* apiExport() const noexcept { return apiExport_; }

  private:
    // One counted user of the process's log service for the plugin's whole life.
    struct LogServiceUser {
        LogServiceUser() noexcept;
        ~LogServiceUser();
        LogServiceUser(const LogServiceUser&) = delete;
        LogServiceUser& operator=(const LogServiceUser&) = delete;
    };

    LogServiceUser logServiceUser_;
    ApiVersion coreApiVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginIdentity identity_;
    std::string typeNamePrefix_;
    std::vector<std::string> tags_;
    std::unique_ptr<Router> router_;
    const ApiExport* apiExport_ = nullptr;
};

} // namespace kiv
