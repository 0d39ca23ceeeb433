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

void ShutdownLaw::onLoginData(const ResourceChange& change) {
    if (!change.createdOrUpdated)
        return;
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
    state_.cutOffMinutes = *cutOffMinutes;
    LogMessage(LogLevel::Always, kServiceLogGroups, 0,
               "KR Law Shutdown Enabled with the cut-off minutes: %lld",
               static_cast<long long>(*cutOffMinutes));
    const CutOffSchedule schedule = scheduleCutOff(*cutOffMinutes);
    if (schedule.cutOffJobMinutes)
        scheduleAfterMinutes(kCutOffJobName, *schedule.cutOffJobMinutes,
                             [this] { assignStatus(ShutdownLawStatus::CUT_OFF); });
    if (schedule.warningJobMinutes)
        scheduleAfterMinutes(kWarningJobName, *schedule.warningJobMinutes,
                             [this] { assignStatus(ShutdownLawStatus::WARNING); });
    if (schedule.statusNow)
        assignStatus(*schedule.statusNow);
    observeTimetable();
}

void ShutdownLaw::observeTimetable() {
    if (context_.observe(kQueueTimetablePath, [this](const ResourceChange& change) { onTimetable(change); }))
        return;
    const ValueReading timetable = context_.readValue(kQueueTimetablePath);
    if (!timetable.error) {
        onTimetable(ResourceChange{true, timetable.value});
        return;
    }
    // Without a timetable every queue closes at the default lead: the queue locks must not
    // depend on the configuration being there.
    LogMessage(LogLevel::Error, kServiceLogGroups, 0, "Couldn't read the queue-disable timetable %s: %s",
               kQueueTimetablePath.data(), timetable.error->c_str());
    onTimetable(ResourceChange{true, Value::emptyValue()});
}

void ShutdownLaw::onTimetable(const ResourceChange& change) {
    if (!change.createdOrUpdated)
        return;
    state_.queueDisableMinutes = readQueueLeadTimes(change.data);
    observeQueueList();
}

void ShutdownLaw::observeQueueList() {
    // The handler reads the list afresh anyway, so a list that could not be read at once is
    // handled as if it had been: the handler's own read then reports the failure.
    if (!context_.observe(kGameQueuesPath, [this](const ResourceChange& change) { onQueueList(change); }))
        onQueueList(ResourceChange{true, Value::emptyValue()});
}

void ShutdownLaw::onQueueList(const ResourceChange& change) {
    if (state_.queueListHandled || queueListInProgress_)
        return;
    if (!change.createdOrUpdated)
        return;
    queueListInProgress_ = true;
    struct InProgress {
        bool& flag;
        ~InProgress() { flag = false; }
    } inProgress{queueListInProgress_};
    buildQueueJobs();
}

void ShutdownLaw::buildQueueJobs() {
    // The list is read afresh rather than taken from the event, so that the jobs follow the
    // list as it is now.
    const ListReading list = context_.readList(kGameQueuesPath);
    if (list.error) {
        // Nothing is scheduled and the list stays unhandled: the next queue-list or timetable
        // event tries again.
        LogMessage(LogLevel::Error, kServiceLogGroups, 0, "Couldn't read the queue list %s: %s",
                   kGameQueuesPath.data(), list.error->c_str());
        return;
    }
    const QueueDisablePlan plan =
        planQueueDisables(state_.cutOffMinutes, state_.queueDisableMinutes, list.elements);
    for (const QueueDisableJob& queue : plan.listedQueues) {
        const std::int32_t queueId = queue.queueId;
        scheduleAfterMinutes(disableQueueJobName(queueId), queue.remainingMinutes,
                             [this, queueId] { disableQueue(queueId); });
    }
    scheduleAfterMinutes(disableQueueJobName(kCustomQueueId), plan.customQueue.remainingMinutes,
                         [this] { disableQueue(kCustomQueueId); });
    // With an empty list the moment lies long past, and the job is due at once.
    scheduleAfterMinutes(kDisableAllQueuesJobName, plan.allQueuesMinutes, [this] { disableAllQueues(); });
    state_.queueListHandled = true;
}

void ShutdownLaw::assignStatus(ShutdownLawStatus status) {
    state_.status = status;
    context_.publish(kNotificationPath, ShutdownLawNotification{status});
}

void ShutdownLaw::disableQueue(std::int32_t queueId) {
    if (state_.isQueueDisabled(queueId))
        return;
    state_.disabledQueues.push_back(queueId);
    context_.publish(queueStatusPath(queueId), QueueShutdownStatus{true});
    context_.publish(kDisabledQueuesPath, state_.disabledQueues);
}

void ShutdownLaw::disableAllQueues() {
    state_.isAllQueuesDisabled = true;
    context_.publish(kAllQueuesStatusPath, AllQueueShutdownStatus{true});
}

void ShutdownLaw::scheduleAfterMinutes(std::string_view name, std::int64_t minutes,
                                       std::function<void()> job) {
    context_.scheduleJob(name, minutesToSeconds(minutes), std::move(job));
}

} // namespace kiv
