// Log forwarding to the host: a plugin runs inside the host's process with no log of its own, so
// once initialised it sends the process's log lines to the host's writeLog entry through this
// target.
#pragma once

#include "host/host_port.h"
#include "logging/log_target.h"

#include <memory>

namespace kiv {

class PluginLogTarget final : public LogTarget {
  public:
    explicit PluginLogTarget(const HostPort& host) noexcept : host_(host) {}
    ~PluginLogTarget() override;

    const char* name() const noexcept override;
    // Hands the record's level and text (at most 4095 characters) to the host; the template is
    // not applied, and the time and groups are not passed.
    bool write(const LogRecord& record) noexcept override;

  private:
    const HostPort& host_; // the installing plugin's, which outlives the target
};

// Sends the process's log to the host from now on. Inside the host's process the built-in
// console targets write where nobody reads, so they are detached, and the host decides what to
// keep, so every level reaches it (but the noisy XTR group). A process whose log already goes to
// a host keeps that one target: two plugins must not send every line twice.
void installLogForwarding(std::unique_ptr<PluginLogTarget>& target, const HostPort& host);

} // namespace kiv
