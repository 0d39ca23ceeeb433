#include "service/shutdown_law.h"

#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/trace_message.h"
#include "service/cut_off_schedule.h"
#include "service/minute_arithmetic.h"
#include "service/queue_disable_plan.h"
#include "service/shutdown_law_names.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace kiv {

using Brix::Client::ShutdownLaw::Api::AllQueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::QueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::ShutdownLawNotification;
using Brix::Client::ShutdownLaw::Api::ShutdownLawStatus;

namespace {

constexpr std::uint64_t kServiceLogGroups = kLogGroupDbg;

const char* truthText(bool value) noexcept {
    return value ? "true" : "false";
}

} // namespace

void ShutdownLaw::start() {
    // A packet that cannot be read yet arrives later through its events: a failed first read
    // needs nothing more.
    if (!context_
             .observe(kLoginDataPacketPath, loginReader_,
                      [this](const ResourceChange& change) { onLoginData(change); })
             .ok()) {
        return;
    }
}

std::int64_t ShutdownLaw::CutOff::momentNs(std::int64_t minutesBefore) const noexcept {
    return momentAfterMinutes(receivedNs, platform::saturatingSubtract(minutes, minutesBefore));
}

void ShutdownLaw::onLoginData(const ResourceChange& change) {
    if (!change.createdOrUpdated) {
        return;
    }
    const LoginData login = loginReader_.login;
    traceMessage("kiv-kr-shutdown-law: minutesUntilShutdownEnabled: %s, minutesUntilShutdown: %lld, "
                 "minorShutdownEnforced: %s, minor: %s, minutesUntilMidnight: %lld",
                 truthText(login.minutesUntilShutdownEnabled),
                 static_cast<long long>(login.minutesUntilShutdown), truthText(login.minorShutdownEnforced),
                 truthText(login.minor), static_cast<long long>(login.minutesUntilMidnight));
    const std::optional<std::int64_t> cutOffMinutes = chooseCutOffMinutes(login);
    if (!cutOffMinutes) {
        LogMessage(LogLevel::Always, kServiceLogGroups, "KR Law Shutdown Disabled.");
        return;
    }
    const CutOff cutOff{context_.nowNs(), *cutOffMinutes};
    LogMessage(LogLevel::Always, kServiceLogGroups, "KR Law Shutdown Enabled with the cut-off minutes: %lld",
               static_cast<long long>(*cutOffMinutes));
    const CutOffSchedule schedule = scheduleCutOff(*cutOffMinutes);
    if (schedule.cutOffJob) {
        context_.scheduleJobAt(kCutOffJobName, cutOff.momentNs(),
                               [this] { assignStatus(ShutdownLawStatus::CUT_OFF); });
    }
    if (schedule.warningJob) {
        context_.scheduleJobAt(kWarningJobName, cutOff.momentNs(kWarningLeadMinutes),
                               [this] { assignStatus(ShutdownLawStatus::WARNING); });
    }
    if (schedule.statusNow) {
        assignStatus(*schedule.statusNow);
    }
    // Queues may close early, never late: only a closer cut-off moves them.
    if (!queueCutOff_ || cutOff.momentNs() < queueCutOff_->momentNs()) {
        queueCutOff_ = cutOff;
    }
    observeTimetable();
}

void ShutdownLaw::observeTimetable() {
    if (context_
            .observe(kQueueTimetablePath, timetableReader_,
                     [this](const ResourceChange& change) { onTimetable(change); })
            .ok()) {
        return;
    }
    const ApiResult<void> timetable = context_.read(kQueueTimetablePath, timetableReader_);
    if (timetable.ok()) {
        onTimetable(ResourceChange{true});
        return;
    }
    // Without a timetable every queue closes at the default lead: the queue locks must not
    // depend on the configuration being there. A namespace the configuration does not hold is
    // an ordinary state of the platform, any other failure is not.
    if (timetable.error().errorCode == 404) {
        LogMessage(LogLevel::Always, kServiceLogGroups,
                   "No queue-disable timetable at %s: every queue closes %lld minutes before the cut-off.",
                   kQueueTimetablePath.data(), static_cast<long long>(kDefaultLeadMinutes));
    } else {
        LogMessage(LogLevel::Error, kServiceLogGroups, "Couldn't read the queue-disable timetable %s: %s",
                   kQueueTimetablePath.data(), timetable.error().message.c_str());
    }
    timetableReader_.leads.clear();
    onTimetable(ResourceChange{true});
}

void ShutdownLaw::onTimetable(const ResourceChange& change) {
    if (!change.createdOrUpdated) {
        return;
    }
    state_.queueDisableMinutes = std::move(timetableReader_.leads);
    observeQueueList();
    // The custom queue is not in the list: it closes whether or not the list can be read.
    if (needsPlan(customPlannedFrom_)) {
        planCustomQueue();
    }
}

void ShutdownLaw::observeQueueList() {
    // The handler reads the list afresh anyway, so a list that could not be read at once is
    // handled as if it had been: the handler's own read then reports the failure.
    if (!context_
             .observe(kGameQueuesPath, queueListReader_,
                      [this](const ResourceChange& change) { onQueueList(change); })
             .ok()) {
        onQueueList(ResourceChange{true});
    }
}

void ShutdownLaw::onQueueList(const ResourceChange& change) {
    if (!change.createdOrUpdated) {
        return;
    }
    // Every list read plans what it names that no plan has yet; a list that changed during the
    // read is read again after it, not inside it.
    if (queueListInProgress_) {
        queueListChangedMeanwhile_ = true;
        return;
    }
    queueListInProgress_ = true;
    struct InProgress {
        bool& flag;
        ~InProgress() { flag = false; }
    } inProgress{queueListInProgress_};
    do {
        queueListChangedMeanwhile_ = false;
        planListedQueues();
    } while (queueListChangedMeanwhile_);
}

bool ShutdownLaw::needsPlan(const std::optional<CutOff>& plannedFrom) const noexcept {
    return queueCutOff_ && (!plannedFrom || queueCutOff_->momentNs() < plannedFrom->momentNs());
}

void ShutdownLaw::planCustomQueue() {
    const CutOff& cutOff = *queueCutOff_;
    context_.scheduleJobAt(DisableQueueJobName(kCustomQueueId),
                           cutOff.momentNs(leadMinutesOf(state_.queueDisableMinutes, kCustomQueueId)),
                           [this] { disableQueue(kCustomQueueId); });
    customPlannedFrom_ = cutOff;
}

void ShutdownLaw::planListedQueues() {
    // The list is read afresh rather than taken from the event, so that the jobs follow the
    // list as it is now.
    const ApiResult<std::vector<std::int64_t>> list = context_.readListIds(kGameQueuesPath);
    if (!list.ok()) {
        // Nothing is scheduled and the list as last read stays as it was: the next queue-list or
        // timetable event tries again.
        LogMessage(LogLevel::Error, kServiceLogGroups, "Couldn't read the queue list %s: %s",
                   kGameQueuesPath.data(), list.error().message.c_str());
        return;
    }
    // Taken after the read: a closer cut-off that came while the host ran other work meanwhile
    // is the one to plan from.
    const CutOff cutOff = *queueCutOff_;
    const std::int64_t cutOffNs = cutOff.momentNs();
    // The listed queues that no plan has yet, or whose plan a closer cut-off has overtaken. Each
    // element of the list gets its job, as the first plan gives one to every element.
    // They are chosen before any is planned, so that an id listed twice gets both its jobs.
    std::vector<std::int32_t> toPlan;
    toPlan.reserve(list.value().size());
    for (const std::int64_t listedId : list.value()) {
        const std::int32_t queueId = queueIdOf(listedId);
        const auto planned = listedQueues_.find(queueId);
        if (planned == listedQueues_.end() || cutOffNs < planned->second.plannedFromNs) {
            toPlan.push_back(queueId);
        }
    }
    listedQueues_.reserve(listedQueues_.size() + toPlan.size());
    for (const std::int32_t queueId : toPlan) {
        const std::int64_t closingNs = momentAfterMinutes(
            cutOff.receivedNs, minutesUntilQueueCloses(cutOff.minutes, state_.queueDisableMinutes, queueId));
        context_.scheduleJobAt(DisableQueueJobName(queueId), closingNs,
                               [this, queueId] { disableQueue(queueId); });
        // Early, never late: the queue closes at the earliest moment any plan gives it.
        const auto [entry, first] = listedQueues_.try_emplace(
            queueId, ListedQueue{cutOffNs, closingNs, state_.isQueueDisabled(queueId), false});
        if (!first) {
            entry->second.plannedFromNs = cutOffNs;
            entry->second.closingNs = std::min(entry->second.closingNs, closingNs);
        }
    }
    // The custom queue follows the listed ones, as it does in the list's own order of jobs.
    if (needsPlan(customPlannedFrom_)) {
        planCustomQueue();
    }
    planAllQueues(list.value(), !toPlan.empty());
}

void ShutdownLaw::planAllQueues(std::span<const std::int64_t> listedIds, bool queuesPlanned) {
    // This list is now the one all queues follow.
    for (auto& [queueId, queue] : listedQueues_) {
        queue.inLastList = false;
    }
    openListedQueues_ = 0;
    // With an empty list the moment lies long past, and the job is due at once.
    std::int64_t lastClosingNs = std::numeric_limits<std::int64_t>::min();
    for (const std::int64_t listedId : listedIds) {
        ListedQueue& queue = listedQueues_.at(queueIdOf(listedId));
        lastClosingNs = std::max(lastClosingNs, queue.closingNs);
        if (!queue.inLastList) {
            queue.inLastList = true;
            openListedQueues_ += queue.closed ? 0 : 1;
        }
    }
    if (state_.isAllQueuesDisabled) {
        return;
    }
    // The last job still stands when its moment does and no queue job came after it: on a shared
    // moment, the queues close first.
    if (!queuesPlanned && allQueuesClosingNs_ == lastClosingNs) {
        return;
    }
    allQueuesClosingNs_ = lastClosingNs;
    context_.scheduleJobAt(kDisableAllQueuesJobName, lastClosingNs, [this] { disableAllQueues(); });
}

void ShutdownLaw::assignStatus(ShutdownLawStatus status) {
    // Forward only, whichever packet or job would set it: NONE, WARNING, CUT_OFF. The same status
    // again is published again.
    if (status < state_.status) {
        return;
    }
    state_.status = status;
    context_.publish(kNotificationPath, ShutdownLawNotification{status});
}

void ShutdownLaw::disableQueue(std::int32_t queueId) {
    if (state_.isQueueDisabled(queueId)) {
        return;
    }
    state_.disabledQueues.push_back(queueId);
    if (const auto listed = listedQueues_.find(queueId); listed != listedQueues_.end()) {
        listed->second.closed = true;
        openListedQueues_ -= listed->second.inLastList ? 1 : 0;
    }
    context_.publish(queueStatusPath(queueId), QueueShutdownStatus{true});
    context_.publish(kDisabledQueuesPath, state_.disabledQueues);
}

void ShutdownLaw::disableAllQueues() {
    // All queues count as closed once every queue of the list as last read has: a job that a
    // later list has overtaken may find one of its queues open and do nothing.
    if (state_.isAllQueuesDisabled || openListedQueues_ > 0) {
        return;
    }
    state_.isAllQueuesDisabled = true;
    context_.publish(kAllQueuesStatusPath, AllQueueShutdownStatus{true});
}

} // namespace kiv
