// The way into a plugin from the host. Every entry (event delivery, request dispatch, a job
// coming due, initialise, unload) runs under the plugin's one recursive entry lock, so a host
// that calls from several threads is safe, and a call that re-enters through the host on the
// same thread goes on. The gate outlives its plugin: whoever still holds it after unload finds
// the plugin gone instead of freed memory.
#pragma once

#include "platform/entry_gate.h"

#include <memory>

namespace kiv {

class PluginBase;

// The plugin's entry gate; the router shares it (as a platform::EntryGate), so that requests
// find the plugin gone the same way as events and jobs. close() marks the plugin gone.
class PluginGate : public platform::EntryGate {
  public:
    explicit PluginGate(PluginBase& plugin) noexcept : plugin_(&plugin) {}

    // The plugin, or null once it is gone (isOpen asserts that the caller holds the entry lock).
    PluginBase* plugin() const noexcept { return isOpen() ? plugin_ : nullptr; }

  private:
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

// The process's table of live plugins. The handle the host holds for a plugin (load record,
// event subscriptions) is an opaque token of this table, never the object's address: a handle
// kept after unload, or a forged one, leads nowhere, even when a later plugin object is
// allocated where the unloaded one was. Handles count up for the whole process and are reused
// only after the counter has gone once round the width of a pointer.
[[nodiscard]] void* enlistPlugin(std::shared_ptr<PluginGate> gate);
void delistPlugin(const void* handle) noexcept;
[[nodiscard]] std::shared_ptr<PluginGate> findPluginGate(const void* handle) noexcept;
[[nodiscard]] std::size_t livePluginCount() noexcept;

// A plugin's place in that table, from its construction until it is delisted or destroyed, so
// that a plugin whose construction fails half-way leaves no handle behind.
class PluginListing {
  public:
    explicit PluginListing(std::shared_ptr<PluginGate> gate) : handle_(enlistPlugin(std::move(gate))) {}
    ~PluginListing() { delistPlugin(handle_); }
    PluginListing(const PluginListing&) = delete;
    PluginListing& operator=(const PluginListing&) = delete;

    void* handle() const noexcept { return handle_; }

  private:
    void* handle_;
};

} // namespace kiv
