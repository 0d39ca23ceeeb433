#include "host/plugin_base.h"

#include "host/job_tokens.h"
#include "platform/invariant.h"

#include <vector>

namespace kiv {

PluginBase::PluginBase() : gate_(std::make_shared<PluginGate>(*this)) {
    enlistPlugin(handle(), gate_);
}

PluginBase::~PluginBase() {
    retire();
}

void PluginBase::retire() noexcept {
    std::lock_guard entry(gate_->entryLock());
    gate_->close();
    delistPlugin(handle());
    std::lock_guard jobs(jobMutex_);
    for (const auto& [jobId, job] : jobTable_) {
        cancelJobToken(job.token);
    }
}

const BindingRegistry& PluginBase::conversionRegistry() const noexcept {
    KIV_ASSERT(registry_ != nullptr, "the loader sets the conversion registry before anything converts");
    return *registry_;
}

void PluginBase::bindToHost(std::uintptr_t hostContext, std::string_view shortName) {
    hostContext_ = hostContext;
    shortName_ = shortName;
    registerEventHandler("OnServiceProxyUuidEvent",
                         ServiceProxyHandler([this](const PluginServiceProxyResponse& r) {
                             serviceProxy_.receiveByUuid(r, shortName_);
                         }));
    registerEventHandler("OnServiceProxyMethodEvent",
                         ServiceProxyHandler([this](const PluginServiceProxyResponse& r) {
                             serviceProxy_.receiveByMethod(r, shortName_);
                         }));
    registerEventHandler("OnServiceProxyAsyncEvent",
                         ServiceProxyHandler([this](const PluginServiceProxyResponse& r) {
                             serviceProxy_.receiveAsync(r, shortName_);
                         }));
}

void PluginBase::shutdown() {
    // The host may call back while it unsubscribes, so the names are walked from a copy.
    std::vector<std::string> names;
    names.reserve(eventHandlers_.size());
    for (const auto& entry : eventHandlers_) {
        names.push_back(entry.first);
    }
    for (const std::string& name : names) {
        unsubscribeEvent(name.c_str(), hostContext_);
    }
    // Handlers are destroyed only once the tables no longer list them.
    auto handlers = std::move(eventHandlers_);
    eventHandlers_.clear();
    serviceProxy_.clear();
    auto exact = std::move(exactObservers_);
    exactObservers_.clear();
    auto patterns = std::move(patternObservers_);
    patternObservers_.clear();
}

} // namespace kiv
