// Log forwarding to the host: a plugin runs inside the host's process with no log of its own, so
// once initialised it sends the process's log lines to the host's writeLog entry through this
// target.
#pragma once

#include "kiv/plugin_abi.h"
#include "logging/log_target.h"

#include <memory>

namespace kiv {

class PluginLogTarget final : public LogTarget {
  public:
    explicit PluginLogTarget(HostApi* api) noexcept : api_(api) {}
    ~PluginLogTarget() override;

    const char* name() const noexcept override;
    // Hands the record's level and text (at most 4095 characters) to the host; the template is
    // not applied, and the time and groups are not passed.
    bool write(const LogRecord& record) noexcept override;

  private:
    HostApi* api_;
};

// Unless a target named "PluginLogTarget" is attached already (the process forwards its log to
// the host), detaches the log service's three built-in targets, lowers its minimum level to 0
// with the group XTR muted, and attaches a new PluginLogTarget for `api` in `target`, replacing
// the one held there before.
void installLogForwarding(std::unique_ptr<PluginLogTarget>& target, HostApi* api);

} // namespace kiv
