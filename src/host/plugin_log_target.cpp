#include "host/plugin_log_target.h"

#include "logging/log_groups.h"
#include "logging/log_service.h"

#include <mutex>

namespace kiv {

namespace {

constexpr const char* kPluginLogTargetName = "PluginLogTarget";

} // namespace

PluginLogTarget::~PluginLogTarget() {
    detach();
}

const char* PluginLogTarget::name() const noexcept {
    return kPluginLogTargetName;
}

bool PluginLogTarget::write(const LogRecord& record) noexcept {
    host_.writeLog(static_cast<std::uint32_t>(record.level), record.text ? record.text : "");
    return true;
}

void installLogForwarding(std::unique_ptr<PluginLogTarget>& target, const HostPort& host) {
    // One step for other threads that log or configure meanwhile.
    std::lock_guard lock(LogService::lock());
    LogService* service = LogService::currentOrCreate();
    if (!service || service->findTarget(kPluginLogTargetName)) {
        return;
    }
    // Made first, so that running out of memory leaves the service as it was.
    auto created = std::make_unique<PluginLogTarget>(host);
    service->stdOutTarget().detach();
    service->stdErrTarget().detach();
    service->debuggerTarget().detach();
    service->setMinimumLevel(LogLevel::Okay);
    service->setMutedGroups(kLogGroupXtr);
    target = std::move(created);
    target->applySettings({service->minimumLevel(), 0, 0, kDefaultLogTemplate});
}

} // namespace kiv
