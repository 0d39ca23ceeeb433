#include "host/job_scheduler.h"

#include "host/job_time.h"
#include "host/job_tokens.h"
#include "logging/trace_message.h"
#include "platform/invariant.h"
#include "platform/steady_clock.h"

#include <string>

namespace kiv {

void JobScheduler::schedule(std::string_view name, double seconds, JobCallback callback) {
    scheduleAfterDelay(name, delayAfter(seconds), std::move(callback));
}

void JobScheduler::scheduleAt(std::string_view name, std::int64_t dueNanoseconds, JobCallback callback) {
    scheduleAfterDelay(name, delayUntil(dueNanoseconds, clock_.elapsedNanoseconds()), std::move(callback));
}

void JobScheduler::scheduleAfterDelay(std::string_view name, double delaySeconds, JobCallback callback) {
    const std::string jobName(name);
    const std::int32_t wholeSeconds = wholeSecondsForTrace(delaySeconds);
    traceMessage("QueueJob '%s' will be triggerd after '%d' secs. (%d mins)", jobName.c_str(), wholeSeconds,
                 wholeSeconds / 60);
    requireEntry();
    const std::uint64_t jobId = nextJobId_++;
    JobEntry& entry = table_[jobId];
    entry.callback = std::move(callback);
    std::uintptr_t token = 0;
    try {
        token = issueJobToken({gate_, jobId});
    } catch (...) {
        table_.erase(jobId);
        throw;
    }
    entry.token = token;
    host_.scheduleTimer(jobName.c_str(), onDue_, reinterpret_cast<void*>(token), delaySeconds);
}

void JobScheduler::runDue(std::uint64_t jobId) {
    requireEntry();
    auto it = table_.find(jobId);
    if (it == table_.end()) {
        return;
    }
    // Taken out before it runs: a job may schedule further jobs.
    const JobCallback callback = std::move(it->second.callback);
    table_.erase(it);
    if (callback) {
        callback();
    }
}

void JobScheduler::cancelAll() noexcept {
    requireEntry();
    dropAll();
}

void JobScheduler::dropAll() noexcept {
    for (const auto& [jobId, job] : table_) {
        cancelJobToken(job.token);
    }
    table_.clear();
}

std::size_t JobScheduler::pendingCount() const {
    requireEntry();
    return table_.size();
}

void JobScheduler::requireEntry() const noexcept {
    KIV_ASSERT(gate_->entryLock().isHeldByCaller(), "the job table is used inside the plugin's entry");
}

} // namespace kiv
