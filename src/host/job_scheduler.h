// One-shot jobs run through the host's timer. The host holds an opaque token for each job (never
// the job's address): a timer that fires after the plugin is gone, or a second time, finds
// nothing and does nothing. The job table has no lock of its own: it is used inside the plugin's
// entry (asserted), and a job may schedule further jobs while it runs.
#pragma once

#include "host/host_port.h"
#include "host/job_table.h"
#include "host/plugin_gate.h"
#include "platform/steady_clock.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace kiv {

class JobScheduler {
  public:
    // `onDue` is the plugin's entry for timers: it redeems the token and, inside the plugin's
    // gate, calls runDue.
    JobScheduler(const HostPort& host, const platform::SteadyClock& clock, std::shared_ptr<PluginGate> gate,
                 PluginTimerCallbackFn onDue) noexcept
        : host_(host), clock_(clock), gate_(std::move(gate)), onDue_(onDue) {}
    // The plugin is gone by now and no entry reaches the table: the tokens are dropped without
    // the entry lock.
    ~JobScheduler() { dropAll(); }
    JobScheduler(const JobScheduler&) = delete;
    JobScheduler& operator=(const JobScheduler&) = delete;

    // Runs `callback` once, `seconds` from now.
    void schedule(std::string_view name, double seconds, JobCallback callback);
    // Runs `callback` at the moment `dueNanoseconds` of the plugin's clock, at once when the
    // moment has passed.
    void scheduleAt(std::string_view name, std::int64_t dueNanoseconds, JobCallback callback);

    // Drops every pending job: their timers, when they fire, find nothing.
    void cancelAll() noexcept;

    // Runs the job and forgets it; nothing for a job that is not pending. The caller holds the
    // plugin's entry lock.
    void runDue(std::uint64_t jobId);

    [[nodiscard]] std::size_t pendingCount() const;

  private:
    void scheduleAfterDelay(std::string_view name, double delaySeconds, JobCallback callback);
    void dropAll() noexcept;
    void requireEntry() const noexcept;

    const HostPort& host_;
    const platform::SteadyClock& clock_;
    std::shared_ptr<PluginGate> gate_;
    PluginTimerCallbackFn onDue_;
    JobTable table_;
};

} // namespace kiv
