#include "host/plugin_gate.h"

#include "platform/token_table.h"

namespace kiv {

namespace {

platform::TokenTable<std::shared_ptr<PluginGate>>& livePlugins() noexcept {
    static platform::TokenTable<std::shared_ptr<PluginGate>> table;
    return table;
}

std::uintptr_t tokenOf(const void* handle) noexcept {
    return reinterpret_cast<std::uintptr_t>(handle);
}

} // namespace

PluginEntry::PluginEntry(std::shared_ptr<PluginGate> gate) noexcept : gate_(std::move(gate)) {
    if (gate_) {
        gate_->entryLock().lock();
    }
}

PluginEntry::~PluginEntry() {
    if (gate_) {
        gate_->entryLock().unlock();
    }
}

void* enlistPlugin(std::shared_ptr<PluginGate> gate) {
    return reinterpret_cast<void*>(livePlugins().issue(std::move(gate)));
}

void delistPlugin(const void* handle) noexcept {
    // The gate is released here, after the table's lock.
    (void)livePlugins().take(tokenOf(handle));
}

std::shared_ptr<PluginGate> findPluginGate(const void* handle) noexcept {
    return livePlugins().find(tokenOf(handle)).value_or(nullptr);
}

std::size_t livePluginCount() noexcept {
    return livePlugins().size();
}

} // namespace kiv
