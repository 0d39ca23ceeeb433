// The way into a plugin from the host. Every entry (event delivery, request dispatch, a job
// coming due, initialise, unload) runs under the plugin's one recursive entry lock, so a host
// that calls from several threads is safe, and a call that re-enters through the host on the
// same thread goes on. The gate outlives its plugin: whoever still holds it after unload finds
// the plugin gone instead of freed memory.
#pragma once

#include "platform/recursive_lock.h"

#include <memory>

namespace kiv {

class PluginBase;

class PluginGate {
  public:
    explicit PluginGate(PluginBase& plugin) noexcept : plugin_(&plugin) {}
    PluginGate(const PluginGate&) = delete;
    PluginGate& operator=(const PluginGate&) = delete;

    platform::RecursiveLock& entryLock() noexcept { return entryLock_; }
    // The plugin, or null once it is gone. The caller holds the entry lock.
    PluginBase* plugin() const noexcept { return plugin_; }
    // Marks the plugin gone. The caller holds the entry lock.
    void close() noexcept { plugin_ = nullptr; }

  private:
    platform::RecursiveLock entryLock_;
    PluginBase* plugin_;
};

// Holds a plugin's entry lock for the length of one entry.
class PluginEntry {
  public:
    explicit PluginEntry(std::shared_ptr<PluginGate> gate) noexcept;
    ~PluginEntry();
    PluginEntry(const PluginEntry&) = delete;
    PluginEntry& operator=(const PluginEntry&) = delete;

    // The plugin entered, or null when there is none or it is gone.
    PluginBase* plugin() const noexcept { return gate_ ? gate_->plugin() : nullptr; }

  private:
    std::shared_ptr<PluginGate> gate_;
};

// The process's table of live plugins, by the handle the host holds (the plugin object, as the
// load record and event subscriptions hand it out). A handle the table does not know (a stale
// or foreign pointer) leads nowhere.
void enlistPlugin(const void* handle, std::shared_ptr<PluginGate> gate);
void delistPlugin(const void* handle) noexcept;
[[nodiscard]] std::shared_ptr<PluginGate> findPluginGate(const void* handle) noexcept;
[[nodiscard]] std::size_t livePluginCount() noexcept;

} // namespace kiv
