#include "host/plugin_base.h"

#include "binding/binding_registry.h"
#include "binding/registry_initialization.h"
#include "host/job_tokens.h"

namespace kiv {

namespace {

// The record's name as a text; a null name is the empty text, which nothing is subscribed under.
std::string_view eventNameOf(const HostEventRecord& event) noexcept {
    return event.name ? std::string_view(event.name) : std::string_view();
}

// Runs `receive` with the plugin inside its gate, when the gate leads to a live plugin. A
// failure ends this entry only: the host hears nothing of it.
template <class Receive> void enter(std::shared_ptr<PluginGate> gate, Receive&& receive) noexcept {
    try {
        PluginEntry entry(std::move(gate));
        if (PluginBase* plugin = entry.plugin()) {
            receive(*plugin);
        }
    } catch (...) {
    }
}

} // namespace

PluginBase::PluginBase()
    : gate_(std::make_shared<PluginGate>(*this)), listing_(gate_),
      clock_(platform::SteadyClock::ofProcess(KIV_HOST_STEADY_CLOCK_NAME)),
      registry_(std::make_unique<BindingRegistry>()), client_(host_, *registry_),
      observers_(host_, client_, *registry_, shortName_, EventDelivery{&onResourceEvent, handle()},
                 gate_->entryLock()),
      serviceProxy_(host_, *registry_, shortName_, EventDelivery{&onServiceProxyEvent, handle()},
                    gate_->entryLock()),
      jobs_(host_, clock_, gate_, &onJobDue) {
    initializeRegistry(*registry_);
}

PluginBase::~PluginBase() {
    retire();
}

void PluginBase::retire() noexcept {
    std::lock_guard entry(gate_->entryLock());
    gate_->close();
    delistPlugin(handle());
    jobs_.cancelAll();
}

void PluginBase::connect(HostInterface* host, std::string_view shortName) {
    host_.connect(host);
    shortName_ = shortName;
    serviceProxy_.subscribe();
}

void PluginBase::disconnect() {
    observers_.unsubscribeAll();
    serviceProxy_.unsubscribe();
    serviceProxy_.clear();
}

void KIV_CDECL PluginBase::onResourceEvent(const HostEventRecord* event) {
    if (!event || !event->userData) {
        return;
    }
    enter(findPluginGate(event->userData),
          [event](PluginBase& plugin) { plugin.observers_.deliver(eventNameOf(*event), event->payload); });
}

void KIV_CDECL PluginBase::onServiceProxyEvent(const HostEventRecord* event) {
    if (!event || !event->userData) {
        return;
    }
    enter(findPluginGate(event->userData),
          [event](PluginBase& plugin) { plugin.serviceProxy_.deliver(eventNameOf(*event), event->payload); });
}

void KIV_CDECL PluginBase::onJobDue(void* token) {
    if (std::optional<JobTicket> ticket = redeemJobToken(reinterpret_cast<std::uintptr_t>(token))) {
        enter(std::move(ticket->gate),
              [jobId = ticket->jobId](PluginBase& plugin) { plugin.jobs_.runDue(jobId); });
    }
}

} // namespace kiv
