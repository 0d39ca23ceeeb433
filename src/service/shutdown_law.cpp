#include "service/shutdown_law.h"

#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/trace_message.h"
#include "service/cut_off_schedule.h"
#include "service/minute_arithmetic.h"
#include "service/queue_disable_plan.h"
#include "service/shutdown_law_names.h"

#include <utility>

namespace kiv {

using Brix::Client::ShutdownLaw::Api::AllQueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::QueueShutdownStatus;
using Brix::Client::ShutdownLaw::Api::ShutdownLawNotification;
using Brix::Client::ShutdownLaw::Api::ShutdownLawStatus;

namespace {

constexpr std::uint32_t kServiceLogGroups = static_cast<std::uint32_t>(kLogGroupDbg);

const char* truthText(bool value) noexcept {
    return value ? "true" : "false";
}

} // namespace

void ShutdownLaw::start() {
    // A packet that cannot be read yet arrives later through its events.
    (void)context_.observe(kLoginDataPacketPath,
                           [this](const ResourceChange& change) { onLoginData(change); });
}

std::int64_t ShutdownLaw::CutOff::momentNs(std::int64_t minutesBefore) const noexcept {
    return momentAfterMinutes(receivedNs, platform::saturatingSubtract(minutes, minutesBefore));
}

void ShutdownLaw::onLoginData(const ResourceChange& change) {
    if (!change.createdOrUpdated) {
        return;
    }
    const LoginData login = readLoginData(change.data);
    traceMessage("kiv-kr-shutdown-law: minutesUntilShutdownEnabled: %s, minutesUntilShutdown: %lld, "
                 "minorShutdownEnforced: %s, minor: %s, minutesUntilMidnight: %lld",
                 truthText(login.minutesUntilShutdownEnabled),
                 static_cast<long long>(login.minutesUntilShutdown), truthText(login.minorShutdownEnforced),
                 truthText(login.minor), static_cast<long long>(login.minutesUntilMidnight));
    const std::optional<std::int64_t> cutOffMinutes = chooseCutOffMinutes(login);
    if (!cutOffMinutes) {
        LogMessage(LogLevel::Always, kServiceLogGroups, 0, "KR Law Shutdown Disabled.");
        return;
    }
    const CutOff cutOff{context_.nowNs(), *cutOffMinutes};
    const std::uint64_t packet = ++latestPacket_;
    state_.cutOffMinutes = *cutOffMinutes;
    LogMessage(LogLevel::Always, kServiceLogGroups, 0,
               "KR Law Shutdown Enabled with the cut-off minutes: %lld",
               static_cast<long long>(*cutOffMinutes));
    const CutOffSchedule schedule = scheduleCutOff(*cutOffMinutes);
    if (schedule.cutOffJobMinutes) {
        context_.scheduleJobAt(kCutOffJobName, cutOff.momentNs(),
                               [this, packet] { assignStatus(ShutdownLawStatus::CUT_OFF, packet); });
    }
    if (schedule.warningJobMinutes) {
        context_.scheduleJobAt(kWarningJobName, cutOff.momentNs(kWarningLeadMinutes),
                               [this, packet] { assignStatus(ShutdownLawStatus::WARNING, packet); });
    }
    if (schedule.statusNow) {
        assignStatus(*schedule.statusNow, packet);
    }
    // Queues may close early, never late: only a closer cut-off moves them.
    if (!queueCutOff_ || cutOff.momentNs() < queueCutOff_->momentNs()) {
        queueCutOff_ = cutOff;
    }
    observeTimetable();
}

void ShutdownLaw::observeTimetable() {
    if (context_.observe(kQueueTimetablePath, [this](const ResourceChange& change) { onTimetable(change); })
            .ok()) {
        return;
    }
    const ApiResult<Value> timetable = context_.readValue(kQueueTimetablePath);
    if (timetable.ok()) {
        onTimetable(ResourceChange{true, timetable.value()});
        return;
    }
    // Without a timetable every queue closes at the default lead: the queue locks must not
    // depend on the configuration being there. A namespace the configuration does not hold is
    // an ordinary state of the platform, any other failure is not.
    if (timetable.error().errorCode == 404) {
        LogMessage(LogLevel::Always, kServiceLogGroups, 0,
                   "No queue-disable timetable at %s: every queue closes %lld minutes before the cut-off.",
                   kQueueTimetablePath.data(), static_cast<long long>(kDefaultLeadMinutes));
    } else {
        LogMessage(LogLevel::Error, kServiceLogGroups, 0, "Couldn't read the queue-disable timetable %s: %s",
                   kQueueTimetablePath.data(), timetable.error().message.c_str());
    }
    onTimetable(ResourceChange{true, Value::emptyValue()});
}

void ShutdownLaw::onTimetable(const ResourceChange& change) {
    if (!change.createdOrUpdated) {
        return;
    }
    state_.queueDisableMinutes = readQueueLeadTimes(change.data);
    observeQueueList();
    // The custom queue is not in the list: it closes whether or not the list can be read.
    if (needsPlan(customPlannedFrom_)) {
        planCustomQueue();
    }
}

void ShutdownLaw::observeQueueList() {
    // The handler reads the list afresh anyway, so a list that could not be read at once is
    // handled as if it had been: the handler's own read then reports the failure.
    if (!context_.observe(kGameQueuesPath, [this](const ResourceChange& change) { onQueueList(change); })
             .ok()) {
        onQueueList(ResourceChange{true, Value::emptyValue()});
    }
}

void ShutdownLaw::onQueueList(const ResourceChange& change) {
    if (queueListInProgress_ || !needsPlan(listPlannedFrom_)) {
        return;
    }
    if (!change.createdOrUpdated) {
        return;
    }
    queueListInProgress_ = true;
    struct InProgress {
        bool& flag;
        ~InProgress() { flag = false; }
    } inProgress{queueListInProgress_};
    planListedQueues();
}

bool ShutdownLaw::needsPlan(const std::optional<CutOff>& plannedFrom) const noexcept {
    return queueCutOff_ && (!plannedFrom || queueCutOff_->momentNs() < plannedFrom->momentNs());
}

void ShutdownLaw::planCustomQueue() {
    const CutOff& cutOff = *queueCutOff_;
    context_.scheduleJobAt(disableQueueJobName(kCustomQueueId),
                           cutOff.momentNs(leadMinutesOf(state_.queueDisableMinutes, kCustomQueueId)),
                           [this] { disableQueue(kCustomQueueId); });
    customPlannedFrom_ = cutOff;
}

void ShutdownLaw::planListedQueues() {
    // The list is read afresh rather than taken from the event, so that the jobs follow the
    // list as it is now.
    const ApiResult<std::vector<std::int64_t>> list = context_.readListIds(kGameQueuesPath);
    if (!list.ok()) {
        // Nothing is scheduled and the list stays unplanned: the next queue-list or timetable
        // event tries again.
        LogMessage(LogLevel::Error, kServiceLogGroups, 0, "Couldn't read the queue list %s: %s",
                   kGameQueuesPath.data(), list.error().message.c_str());
        return;
    }
    // Taken after the read: a closer cut-off that came while the host ran other work meanwhile
    // is the one to plan from.
    const CutOff cutOff = *queueCutOff_;
    const QueueDisablePlan plan = planQueueDisables(cutOff.minutes, state_.queueDisableMinutes, list.value());
    for (const QueueDisableJob& queue : plan.listedQueues) {
        const std::int32_t queueId = queue.queueId;
        context_.scheduleJobAt(disableQueueJobName(queueId),
                               momentAfterMinutes(cutOff.receivedNs, queue.remainingMinutes),
                               [this, queueId] { disableQueue(queueId); });
    }
    // The custom queue follows the listed ones, as it does in the list's own order of jobs.
    if (needsPlan(customPlannedFrom_)) {
        planCustomQueue();
    }
    // With an empty list the moment lies long past, and the job is due at once.
    context_.scheduleJobAt(kDisableAllQueuesJobName,
                           momentAfterMinutes(cutOff.receivedNs, plan.allQueuesMinutes),
                           [this] { disableAllQueues(); });
    listPlannedFrom_ = cutOff;
    state_.queueListHandled = true;
}

void ShutdownLaw::assignStatus(ShutdownLawStatus status, std::uint64_t packet) {
    // The latest packet's jobs keep their word; an earlier packet's may only move the law on.
    if (packet != latestPacket_ && status < state_.status) {
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
    context_.publish(queueStatusPath(queueId), QueueShutdownStatus{true});
    context_.publish(kDisabledQueuesPath, state_.disabledQueues);
}

void ShutdownLaw::disableAllQueues() {
    // Every plan schedules its own disable-all job; the earliest one closes them.
    if (state_.isAllQueuesDisabled) {
        return;
    }
    state_.isAllQueuesDisabled = true;
    context_.publish(kAllQueuesStatusPath, AllQueueShutdownStatus{true});
}

} // namespace kiv
