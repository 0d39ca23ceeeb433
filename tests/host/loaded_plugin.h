// A plugin of the tests' own, loaded through the loader and initialised with a fake host as the
// platform does, and unloaded through its callback at the end unless a test did so.
#pragma once

#include "fake_host.h"
#include "host/hosted_plugin.h"
#include "host/plugin_loader.h"

#include <functional>
#include <memory>
#include <utility>

namespace kiv::test {

inline constexpr const char* kProbeShortName = "kiv-probe";

class ProbePlugin final : public HostedPlugin {
  public:
    std::function<void(ProbePlugin&)> registerApi;
    std::function<bool(ProbePlugin&)> start;

    void RegisterApi() override {
        if (registerApi) {
            registerApi(*this);
        }
    }
    bool Start() override { return start ? start(*this) : true; }
};

class LoadedPlugin {
  public:
    // Loads (core 18.0.0) and, with `initialize`, initialises with the host's interface.
    explicit LoadedPlugin(FakeHost& host, const std::function<void(ProbePlugin&)>& configure = {},
                          bool initialize = true)
        : host_(host) {
        auto created = std::make_unique<ProbePlugin>();
        if (configure) {
            configure(*created);
        }
        plugin_ = created.get();
        info_.apiMajor = 18;
        loadPlugin(std::move(created), &info_, kProbeShortName);
        if (initialize && info_.callbacks) {
            initialized_ = info_.callbacks->initialize(info_.plugin, host.hostInterface());
        }
    }
    ~LoadedPlugin() { unload(); }
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    ProbePlugin& plugin() const noexcept { return *plugin_; }
    // The plugin's entry, for calling its parts from the test as the host's entries do.
    [[nodiscard]] PluginEntry enter() const { return PluginEntry(plugin_->gate()); }
    PluginLoadInfo& info() noexcept { return info_; }
    bool initialized() const noexcept { return initialized_; }
    FakeHost& host() const noexcept { return host_; }

    void unload() {
        if (info_.callbacks && !unloaded_) {
            unloaded_ = true;
            info_.callbacks->unload(info_.plugin);
        }
    }

  private:
    FakeHost& host_;
    ProbePlugin* plugin_ = nullptr;
    PluginLoadInfo info_{};
    bool initialized_ = false;
    bool unloaded_ = false;
};

} // namespace kiv::test
