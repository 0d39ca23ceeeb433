// One-shot jobs of the plugin base, run through the host's timer. The host holds an opaque token
// for each job (never the job's address): a timer that fires after the plugin is gone, or a
// second time, finds nothing and does nothing.
#include "host/job_time.h"
#include "host/job_tokens.h"
#include "host/plugin_base.h"
#include "logging/trace_message.h"
#include "platform/steady_clock.h"

#include <string>

namespace kiv {

void PluginBase::scheduleJob(std::string_view name, double seconds, JobCallback callback) {
    scheduleJobAt(name, dueTimeAfter(seconds, platform::steadyClockNanoseconds()), std::move(callback));
}

void PluginBase::scheduleJobAt(std::string_view name, std::int64_t dueNanoseconds, JobCallback callback) {
    const double delay = delayUntil(dueNanoseconds, platform::steadyClockNanoseconds());
    const std::string jobName(name);
    const std::int32_t wholeSeconds = wholeSecondsForTrace(delay);
    traceMessage("QueueJob '%s' will be triggerd after '%d' secs. (%d mins)", jobName.c_str(), wholeSeconds,
                 wholeSeconds / 60);
    std::uintptr_t token = 0;
    {
        std::lock_guard lock(jobMutex_);
        const std::uint64_t jobId = nextJobId_++;
        JobEntry& entry = jobTable_[jobId];
        entry.callback = std::move(callback);
        try {
            token = issueJobToken({gate_, jobId});
        } catch (...) {
            jobTable_.erase(jobId);
            throw;
        }
        entry.token = token;
    }
    scheduleTimer(jobName.c_str(), &onJobDue, reinterpret_cast<void*>(token), delay, 0);
}

void KIV_CDECL PluginBase::onJobDue(void* token) {
    try {
        std::optional<JobTicket> ticket = redeemJobToken(reinterpret_cast<std::uintptr_t>(token));
        if (!ticket) {
            return;
        }
        PluginEntry entry(std::move(ticket->gate));
        if (PluginBase* plugin = entry.plugin()) {
            plugin->runDueJob(ticket->jobId);
        }
    } catch (...) {
        // A job's failure ends that job only; the host's timer hears nothing of it.
    }
}

void PluginBase::runDueJob(std::uint64_t jobId) {
    JobCallback callback;
    {
        std::lock_guard lock(jobMutex_);
        auto it = jobTable_.find(jobId);
        if (it == jobTable_.end()) {
            return;
        }
        callback = std::move(it->second.callback);
        jobTable_.erase(it);
    }
    // Run without the job mutex: a job may schedule further jobs.
    if (callback) {
        callback();
    }
}

std::size_t PluginBase::pendingJobCount() const {
    std::lock_guard lock(jobMutex_);
    return jobTable_.size();
}

bool PluginBase::isJobPending(std::uint64_t jobId) const {
    std::lock_guard lock(jobMutex_);
    return jobTable_.contains(jobId);
}

} // namespace kiv
