#include "host/plugin_gate.h"

#include <map>
#include <mutex>

namespace kiv {

namespace {

struct LivePlugins {
    std::mutex mutex;
    std::map<const void*, std::shared_ptr<PluginGate>> gates;
};

LivePlugins& livePlugins() noexcept {
    static LivePlugins table;
    return table;
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

void enlistPlugin(const void* handle, std::shared_ptr<PluginGate> gate) {
    LivePlugins& table = livePlugins();
    std::lock_guard lock(table.mutex);
    table.gates.insert_or_assign(handle, std::move(gate));
}

void delistPlugin(const void* handle) noexcept {
    std::shared_ptr<PluginGate> released;
    LivePlugins& table = livePlugins();
    std::lock_guard lock(table.mutex);
    if (auto it = table.gates.find(handle); it != table.gates.end()) {
        released = std::move(it->second);
        table.gates.erase(it);
    }
}

std::shared_ptr<PluginGate> findPluginGate(const void* handle) noexcept {
    LivePlugins& table = livePlugins();
    std::lock_guard lock(table.mutex);
    auto it = table.gates.find(handle);
    return it != table.gates.end() ? it->second : nullptr;
}

std::size_t livePluginCount() noexcept {
    LivePlugins& table = livePlugins();
    std::lock_guard lock(table.mutex);
    return table.gates.size();
}

} // namespace kiv
