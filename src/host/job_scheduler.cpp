#include "host/job_scheduler.h"

#include "host/job_time.h"
#include "host/job_tokens.h"
#include "logging/trace_message.h"
#include "platform/invariant.h"
#include "platform/steady_clock.h"

#include <array>
#include <string>

namespace kiv {

namespace {

// A job's name with the terminator that the host reads up to: on the stack for names of the
// usual length, so that a plan of thousands of jobs takes no heap block for their names.
class TerminatedName {
  public:
    explicit TerminatedName(std::string_view name) {
        if (name.size() < inline_.size()) {
            name.copy(inline_.data(), name.size());
            inline_[name.size()] = '\0';
            text_ = inline_.data();
        } else {
            long_.assign(name);
            text_ = long_.c_str();
        }
    }
    TerminatedName(const TerminatedName&) = delete;
    TerminatedName& operator=(const TerminatedName&) = delete;

    const char* c_str() const noexcept { return text_; }

  private:
    std::array<char, 64> inline_;
    std::string long_;
    const char* text_ = nullptr;
};

} // namespace

void JobScheduler::schedule(std::string_view name, double seconds, JobCallback callback) {
    scheduleAfterDelay(name, delayAfter(seconds), std::move(callback));
}

void JobScheduler::scheduleAt(std::string_view name, std::int64_t dueNanoseconds, JobCallback callback) {
    scheduleAfterDelay(name, delayUntil(dueNanoseconds, clock_.elapsedNanoseconds()), std::move(callback));
}

void JobScheduler::scheduleAfterDelay(std::string_view name, double delaySeconds, JobCallback callback) {
    const TerminatedName jobName(name);
    const std::int32_t wholeSeconds = wholeSecondsForTrace(delaySeconds);
    traceMessage("QueueJob '%s' will be triggerd after '%d' secs. (%d mins)", jobName.c_str(), wholeSeconds,
                 wholeSeconds / 60);
    requireEntry();
    const std::uint64_t jobId = table_.add({std::move(callback), 0});
    std::uintptr_t token = 0;
    try {
        token = issueJobToken({gate_, jobId});
    } catch (...) {
        (void)table_.take(jobId);
        throw;
    }
    table_.find(jobId)->token = token;
    host_.scheduleTimer(jobName.c_str(), onDue_, reinterpret_cast<void*>(token), delaySeconds);
}

void JobScheduler::runDue(std::uint64_t jobId) {
    requireEntry();
    // Taken out before it runs: a job may schedule further jobs.
    const std::optional<PendingJob> job = table_.take(jobId);
    if (job && job->callback) {
        job->callback();
    }
}

void JobScheduler::cancelAll() noexcept {
    requireEntry();
    dropAll();
}

void JobScheduler::dropAll() noexcept {
    table_.forEach([](const PendingJob& job) { cancelJobToken(job.token); });
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
