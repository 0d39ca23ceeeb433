// The plugin object as the host knows it: the plugin base with its host operations forwarded to
// the host's function table, the plugin's identity and API version, its own binding registry and
// router, and the two hooks a plugin overrides:
//
//     class ExamplePlugin final : public kiv::HostedPlugin {
//         void RegisterApi() override {       // during load: types and routes
//             router().addGet("/example/v1/status", [this] { return status_; }, tags());
//         }
//         bool Start() override {              // at the end of initialise
//             observe("/kiv-login/v1/login-data-packet", [this](const kiv::PluginResourceEvent& e) { ... });
//             return true;
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

    // Each forwards the call unchanged to the host's entry of the same name; before initialise
    // (no host yet), or for an entry the host left null, nothing happens.
    void sendRequest(HostResponse* response, const HostRequest* request) override;
    void hostOperation1(std::uint32_t first, std::uint32_t second) override;
    void sendEvent(const HostEventRecord* event) override;
    void subscribeEvent(const char* eventName, std::uintptr_t hostContext, PluginEventCallbackFn callback,
                        void* userData, std::uint32_t eventKind) override;
    void unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) override;
    void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                       double delaySeconds, std::uint32_t reserved) override;
    void yieldToHost() override;
    void beginWait(const char* label, std::uint32_t reserved) override;
    void endWait() override;

    // Registers the plugin's types and routes during load; the base registers nothing.
    virtual void RegisterApi();
    // Starts the plugin at the end of initialise; its result is initialise's. The base's
    // returns true.
    virtual bool Start();

    // Load steps after the version check: keeps the core's version, builds the identity (a
    // backend plugin), the tags and the type-name prefix, registers the host types, runs
    // RegisterApi and has the router build the export.
    void load(const ApiVersion& coreVersion, std::string_view shortName);
    // Initialise: keeps the host interface, forwards the log to the host, binds to the host and
    // runs Start.
    bool initialize(HostInterface* host);

    const ApiVersion& coreApiVersion() const noexcept { return coreApiVersion_; }
    const PluginIdentity& identity() const noexcept { return identity_; }
    // The short name in CamelCase (kiv-kr-shutdown-law gives KivKrShutdownLaw); plugins prefix
    // their binding types' names with it.
    const std::string& typeNamePrefix() const noexcept { return typeNamePrefix_; }
    // ["Plugins", "Plugin <short name>"]; plugins attach them to their types and routes.
    const std::vector<std::string>& tags() const noexcept { return tags_; }
    BindingRegistry& registry() noexcept { return *bindingRegistry_; }
    Router& router() noexcept { return *router_; }
    PluginCallbacks* callbacks() noexcept { return &callbacks_; }
    const ApiExport* apiExport() const noexcept { return apiExport_; }
    HostInterface* hostInterface() const noexcept { return hostInterface_; }

  private:
    // One counted user of the process's log service for the plugin's whole life.
    struct LogServiceUser {
        LogServiceUser() noexcept;
        ~LogServiceUser();
        LogServiceUser(const LogServiceUser&) = delete;
        LogServiceUser& operator=(const LogServiceUser&) = delete;
    };

    HostApi* hostApi() const noexcept { return hostInterface_ ? hostInterface_->api : nullptr; }

    LogServiceUser logServiceUser_;
    ApiVersion coreApiVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginIdentity identity_;
    std::string typeNamePrefix_;
    std::vector<std::string> tags_;
    std::unique_ptr<BindingRegistry> bindingRegistry_;
    std::unique_ptr<Router> router_;
    HostInterface* hostInterface_ = nullptr;
    PluginCallbacks callbacks_;
    const ApiExport* apiExport_ = nullptr;
};

} // namespace kiv
