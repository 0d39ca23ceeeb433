#include "kivhost/core/plugin_host.h"

#include "kivhost/core/core_process.h"
#include "kivhost/core/plugin_session.h"

namespace kiv::kivhost {

class PluginHost::Impl {
  public:
    explicit Impl(const HostOptions& options) : process(options) {}

    // Runs work on the delivery thread, where every entry into a plugin happens; the host's work
    // ends there when a call of the plugin's ran out of memory in the host.
    template <class Work> auto onDeliveryThread(Work&& work) {
        return process.delivery().call([&]() -> std::invoke_result_t<Work> {
            if constexpr (std::is_void_v<std::invoke_result_t<Work>>) {
                work();
                process.endIfOutOfMemory();
            } else {
                auto result = work();
                process.endIfOutOfMemory();
                return result;
            }
        });
    }

    CoreProcess process;
};

PluginHost::PluginHost(HostOptions options) : impl_(std::make_unique<Impl>(options)) {}

PluginHost::~PluginHost() {
    // A plugin that throws or faults while unloading must not keep the others loaded.
    for (PluginId id = 0; id < impl_->process.pluginCount(); ++id) {
        try {
            unload(id);
        } catch (...) {
        }
    }
}

PluginId PluginHost::load(const std::filesystem::path& library, const std::string& entryName) {
    return impl_->onDeliveryThread([&] { return impl_->process.load(library, entryName); });
}

bool PluginHost::initialize(PluginId id) {
    return impl_->onDeliveryThread([&] { return impl_->process.initialize(id); });
}

void PluginHost::unload(PluginId id) {
    impl_->onDeliveryThread([&] { impl_->process.unload(id); });
}

MemoryStatistics PluginHost::memoryStatistics(PluginId id) {
    return impl_->onDeliveryThread([&] { return impl_->process.session(id).memoryStatistics(); });
}

PluginInfo PluginHost::plugin(PluginId id) const {
    return impl_->onDeliveryThread([&] { return impl_->process.session(id).info(); });
}

std::size_t PluginHost::pluginCount() const {
    return impl_->onDeliveryThread([&] { return impl_->process.pluginCount(); });
}

void PluginHost::putResource(const std::string& path, const Value& value) {
    impl_->onDeliveryThread([&] { impl_->process.store().put(path, value); });
}

std::optional<Value> PluginHost::resource(const std::string& path) const {
    return impl_->onDeliveryThread([&]() -> std::optional<Value> {
        if (const Value* value = impl_->process.store().find(path)) {
            return *value;
        }
        return std::nullopt;
    });
}

std::vector<std::pair<std::string, Value>> PluginHost::resources() const {
    return impl_->onDeliveryThread([&] {
        const auto& all = impl_->process.store().all();
        return std::vector<std::pair<std::string, Value>>(all.begin(), all.end());
    });
}

void PluginHost::changeResource(ResourceChangeKind change, const std::string& path, const Value& value) {
    impl_->onDeliveryThread([&] { impl_->process.changeResource(change, path, value); });
}

Response PluginHost::request(std::uint32_t method, const std::string& path) {
    return impl_->onDeliveryThread([&] { return impl_->process.request(method, path); });
}

std::optional<Response> PluginHost::callFunction(std::uint32_t method, const std::string& path) {
    return impl_->onDeliveryThread([&] { return impl_->process.callFunction(method, path); });
}

std::vector<std::uint32_t> PluginHost::methodsAt(const std::string& path) const {
    return impl_->onDeliveryThread([&] { return impl_->process.methodsAt(path); });
}

void PluginHost::publish(const std::string& name, const Value& payload) {
    impl_->onDeliveryThread([&] { impl_->process.publish(name, payload); });
}

std::int64_t PluginHost::nowMs() const {
    return impl_->process.clock().nowMs();
}

std::optional<std::int64_t> PluginHost::nextDueMs() const {
    return impl_->onDeliveryThread([&] { return impl_->process.timers().nextDueMs(); });
}

std::size_t PluginHost::pendingTimers() const {
    return impl_->onDeliveryThread([&] { return impl_->process.timers().pending(); });
}

void PluginHost::runUntil(std::int64_t ms) {
    impl_->onDeliveryThread([&] { impl_->process.runDue(ms); });
}

std::vector<TimerRecord> PluginHost::timerHistory() const {
    return impl_->onDeliveryThread([&] { return impl_->process.timers().history(); });
}

std::vector<PendingTimer> PluginHost::pendingTimersInDueOrder() const {
    return impl_->onDeliveryThread([&] { return impl_->process.timers().pendingInDueOrder(); });
}

void PluginHost::replayTimer(std::size_t index) {
    impl_->onDeliveryThread([&] { impl_->process.replayTimer(index); });
}

std::vector<Happening> PluginHost::happenings() const {
    return impl_->process.journal().all();
}

void PluginHost::setListener(std::function<void(const Happening&)> listener) {
    impl_->process.journal().setListener(std::move(listener));
}

HostCounters PluginHost::counters() const {
    return impl_->onDeliveryThread([&] { return impl_->process.counters(); });
}

} // namespace kiv::kivhost
