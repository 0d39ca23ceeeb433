#include "shutdown_law_model.h"

#include <algorithm>
#include <limits>
#include <string_view>

namespace kiv::test {
namespace {

constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinuteMs = 60000;
constexpr std::int64_t kDefaultLeadMinutes = 75;
constexpr std::int64_t kWarningMinutes = 90;
constexpr std::int32_t kCustomQueue = -2;

constexpr std::string_view kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr std::string_view kTimetablePath =
    "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
constexpr std::string_view kQueuesPath = "/kiv-game-queues/v1/queues";

constexpr std::string_view kOwnPrefix = "/kiv-kr-shutdown-law/v1/";
constexpr std::string_view kQueueStatusPrefix = "/kiv-kr-shutdown-law/v1/queue-status/";

std::int64_t addSaturating(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum)) {
        return b > 0 ? kHighest : kLowest;
    }
    return sum;
}

std::int64_t subtractSaturating(std::int64_t a, std::int64_t b) {
    std::int64_t difference = 0;
    if (__builtin_sub_overflow(a, b, &difference)) {
        return b < 0 ? kHighest : kLowest;
    }
    return difference;
}

std::int64_t minutesInMs(std::int64_t minutes) {
    std::int64_t ms = 0;
    if (__builtin_mul_overflow(minutes, kMinuteMs, &ms)) {
        return minutes > 0 ? kHighest : kLowest;
    }
    return ms;
}

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The whole text as a decimal int64 (the generator writes the queue ids of its GETs so).
std::optional<std::int64_t> decimalInt64(std::string_view text) {
    bool negative = false;
    std::size_t at = 0;
    if (at < text.size() && text[at] == '-') {
        negative = true;
        ++at;
    }
    if (at == text.size()) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        const int digit = text[at] - '0';
        if (__builtin_mul_overflow(value, 10, &value) ||
            __builtin_add_overflow(value, negative ? -digit : digit, &value)) {
            return std::nullopt;
        }
    }
    return value;
}

Value boolMember(std::string_view key, bool truth) {
    Value value;
    value.member(key).setBool(truth);
    return value;
}

class LawModel {
  public:
    explicit LawModel(const Scenario& scenario) : scenario_(scenario) {
        for (const auto& [path, value] : scenario.resources) {
            store_[path] = value;
        }
    }

    LawOutcome run() {
        // initialize: the login packet is observed at once.
        if (const Value* packet = stored(kLoginPath)) {
            onLoginPacket(*packet);
        }
        for (const ScenarioStep& step : scenario_.steps) {
            runJobsUntil(step.atMs);
            now_ = std::max(now_, step.atMs);
            if (step.get) {
                answer(step.path);
                continue;
            }
            if (step.change == kivhost::ResourceChangeKind::Delete) {
                store_.erase(step.path);
                continue; // every handler ignores deletions
            }
            store_[step.path] = step.value;
            deliver(step.path, step.value);
        }
        runJobsUntil(kHighest);
        return std::move(outcome_);
    }

  private:
    struct Job {
        enum class Kind { Status, DisableQueue, AllQueuesCheck };
        Kind kind = Kind::Status;
        LawStatus status = LawStatus::None;
        std::int32_t queue = 0;
    };

    const Value* stored(std::string_view path) const {
        const auto found = store_.find(std::string(path));
        return found == store_.end() ? nullptr : &found->second;
    }

    // ---- Timers ----------------------------------------------------------------------------
    void schedule(std::int64_t dueMs, Job job) {
        jobs_.emplace(std::make_pair(std::max(dueMs, now_), nextJob_++), job);
    }

    void runJobsUntil(std::int64_t untilMs) {
        while (!jobs_.empty() && jobs_.begin()->first.first <= untilMs) {
            const auto first = jobs_.begin();
            now_ = first->first.first;
            const Job job = first->second;
            jobs_.erase(first);
            fire(job);
        }
    }

    void fire(const Job& job) {
        switch (job.kind) {
        case Job::Kind::Status:
            assignStatus(job.status);
            break;
        case Job::Kind::DisableQueue:
            closeQueue(job.queue);
            break;
        case Job::Kind::AllQueuesCheck:
            checkAllQueues();
            break;
        }
    }

    // All queues count as closed once every queue of the list as last read has closed (at once
    // for an empty list); the custom queue takes no part.
    void checkAllQueues() {
        if (allQueuesClosed_ || !lastList_) {
            return;
        }
        for (const std::int32_t queue : *lastList_) {
            if (!isClosed(queue)) {
                return;
            }
        }
        allQueuesClosed_ = true;
        outcome_.allQueuesClosing = now_;
        publish("status", boolMember("isAllQueuesDisabled", true));
    }

    // ---- What the plugin sends -------------------------------------------------------------
    // Under the resource's own event name, then once more under the generic one.
    void publish(std::string_view resource, Value data, std::string_view uriTail = {}) {
        Value payload;
        payload.member("uri").setString(std::string(kOwnPrefix) + std::string(resource) +
                                        std::string(uriTail));
        payload.member("eventType").setString("Update");
        payload.member("data") = std::move(data);
        Observation named;
        named.atMs = now_;
        named.name = "OnJsonApiEvent_kiv-kr-shutdown-law_v1_" + std::string(resource);
        named.value = payload;
        Observation generic = named;
        generic.name = "OnJsonApiEvent";
        outcome_.observations.push_back(std::move(named));
        outcome_.observations.push_back(std::move(generic));
    }

    // The status only moves forward, whoever would set it; the same status again is published
    // again.
    void assignStatus(LawStatus status) {
        if (status < status_) {
            return;
        }
        status_ = status;
        outcome_.notifications.emplace_back(now_, status);
        Value data;
        data.member("type").setString(lawStatusName(status));
        publish("notification", std::move(data));
    }

    void closeQueue(std::int32_t queue) {
        if (std::find(disabled_.begin(), disabled_.end(), queue) != disabled_.end()) {
            return;
        }
        disabled_.push_back(queue);
        outcome_.queueClosings[queue] = now_;
        publish("queue-status", boolMember("isDisabled", true), "/" + std::to_string(queue));
        publish("disabled-queues", disabledList());
    }

    Value disabledList() const {
        Value list;
        list.makeCollection();
        for (const std::int32_t queue : disabled_) {
            list.append().setSigned(queue);
        }
        return list;
    }

    bool isClosed(std::int32_t queue) const {
        return std::find(disabled_.begin(), disabled_.end(), queue) != disabled_.end();
    }

    // ---- Handlers --------------------------------------------------------------------------
    void deliver(const std::string& path, const Value& value) {
        if (path == kLoginPath) {
            onLoginPacket(value);
        } else if (path == kTimetablePath && timetableObserved_) {
            onTimetable(&value);
        } else if (path == kQueuesPath && queueListObserved_) {
            onQueueList();
        }
    }

    void onLoginPacket(const Value& packet) {
        std::int64_t minutes = 0;
        if (packet["minutesUntilShutdownEnabled"].asTruth() &&
            packet["minutesUntilShutdown"].asInteger(0) != -1) {
            minutes = packet["minutesUntilShutdown"].asInteger(0);
        } else if (packet["minorShutdownEnforced"].asTruth() && packet["minor"].asTruth()) {
            minutes = packet["minutesUntilMidnight"].asInteger(0);
        } else {
            return; // the law is off for this packet: it changes nothing
        }

        const std::int64_t cutOffMs = addSaturating(now_, minutesInMs(minutes));
        if (minutes <= 0) {
            assignStatus(LawStatus::CutOff);
        } else if (minutes <= kWarningMinutes) {
            assignStatus(LawStatus::Warning);
            schedule(cutOffMs, {Job::Kind::Status, LawStatus::CutOff, 0});
        } else {
            schedule(cutOffMs, {Job::Kind::Status, LawStatus::CutOff, 0});
            schedule(subtractSaturating(cutOffMs, minutesInMs(kWarningMinutes)),
                     {Job::Kind::Status, LawStatus::Warning, 0});
        }
        queueCutOffMs_ = queueCutOffMs_ ? std::min(*queueCutOffMs_, cutOffMs) : cutOffMs;

        // The timetable is observed on every enabled packet; one that cannot be read counts as
        // an empty one.
        timetableObserved_ = true;
        onTimetable(stored(kTimetablePath));
    }

    // Whether a plan made from the cut-off `plannedFrom` must be made again.
    bool needsPlan(const std::optional<std::int64_t>& plannedFrom) const {
        return !plannedFrom || *queueCutOffMs_ < *plannedFrom;
    }

    std::int64_t closingMoment(std::int32_t queue) const {
        const auto lead = leadMinutes_.find(queue);
        return subtractSaturating(
            *queueCutOffMs_, minutesInMs(lead == leadMinutes_.end() ? kDefaultLeadMinutes : lead->second));
    }

    // The custom queue is planned after the listed queues when the list can be read (on a shared
    // moment it closes after them and before all queues), and on its own when it cannot.
    void planCustomQueue() {
        if (!needsPlan(customPlannedFrom_)) {
            return;
        }
        customPlannedFrom_ = queueCutOffMs_;
        schedule(closingMoment(kCustomQueue), {Job::Kind::DisableQueue, LawStatus::None, kCustomQueue});
    }

    // Names that read as the same queue ("7", "+7", "007") are taken in the table's member order,
    // the last positive lead winning.
    void onTimetable(const Value* timetable) {
        leadMinutes_.clear();
        if (timetable && timetable->isStructure()) {
            for (const ValueMember member : timetable->members()) {
                const std::optional<std::int32_t> queue = queueIdOfMemberName(member.key);
                const std::int64_t lead = member.value.asInteger(0);
                if (queue && lead > 0) {
                    leadMinutes_[*queue] = lead;
                }
            }
        }
        queueListObserved_ = true;
        onQueueList();
        planCustomQueue();
    }

    // Every delivery of the list reads it afresh; a failed read changes nothing and the next
    // delivery tries again. A read plans each listed queue that no plan has yet, or whose plan a
    // closer cut-off has overtaken, from the queue cut-off with the lead times as last read; a
    // queue closes at the earliest moment any plan gives it, and one that leaves the list keeps
    // its moment.
    void onQueueList() {
        const Value* list = stored(kQueuesPath);
        if (!list || !list->isCollection()) {
            return;
        }
        std::vector<std::int32_t> ids;
        for (const Value& queue : list->elements()) {
            ids.push_back(static_cast<std::int32_t>(static_cast<std::uint32_t>(queue["id"].asInteger(0))));
        }
        std::vector<std::int32_t> toPlan;
        for (const std::int32_t id : ids) {
            const auto planned = listPlannedFrom_.find(id);
            if (planned == listPlannedFrom_.end() || *queueCutOffMs_ < planned->second) {
                toPlan.push_back(id);
            }
        }
        for (const std::int32_t id : toPlan) {
            listPlannedFrom_[id] = *queueCutOffMs_;
            const std::int64_t moment = closingMoment(id);
            const auto closing = closingMoments_.find(id);
            if (closing == closingMoments_.end() || moment < closing->second) {
                closingMoments_[id] = moment;
            }
            schedule(moment, {Job::Kind::DisableQueue, LawStatus::None, id});
        }
        planCustomQueue();
        lastList_ = ids;
        // The check comes when the last queue of this list closes by its earliest plan, after the
        // queue jobs (at once when that has passed, or for an empty list). A read that planned no
        // queue and leaves that moment where the last check stands needs no check of its own.
        std::int64_t lastMoment = kLowest;
        for (const std::int32_t id : ids) {
            lastMoment = std::max(lastMoment, closingMoments_[id]);
        }
        if (allQueuesClosed_ || (toPlan.empty() && lastCheckMoment_ == lastMoment)) {
            return;
        }
        lastCheckMoment_ = lastMoment;
        schedule(lastMoment, {Job::Kind::AllQueuesCheck, LawStatus::None, 0});
    }

    // ---- Routes ----------------------------------------------------------------------------
    void answer(const std::string& path) {
        Observation response;
        response.kind = Observation::Kind::Response;
        response.atMs = now_;
        response.name = path;
        const std::string_view route =
            std::string_view(path).substr(std::min(path.size(), kOwnPrefix.size()));
        if (path.starts_with(kQueueStatusPrefix)) {
            const std::optional<std::int64_t> id =
                decimalInt64(std::string_view(path).substr(kQueueStatusPrefix.size()));
            if (!id || *id < std::numeric_limits<std::int32_t>::min() ||
                *id > std::numeric_limits<std::int32_t>::max()) {
                response.anyAnswer = true;
            } else if (*id < 0) {
                response.status = 404;
                response.error = true;
            } else {
                response.value = boolMember("isDisabled", isClosed(static_cast<std::int32_t>(*id)));
            }
        } else if (route == "notification") {
            response.value.member("type").setString(lawStatusName(status_));
        } else if (route == "disabled-queues") {
            response.value = disabledList();
        } else if (route == "custom-status") {
            response.value = boolMember("isDisabled", isClosed(kCustomQueue));
        } else if (route == "status") {
            response.value = boolMember("isAllQueuesDisabled", allQueuesClosed_);
        } else {
            response.anyAnswer = true;
        }
        outcome_.observations.push_back(std::move(response));
    }

    const Scenario& scenario_;
    std::map<std::string, Value> store_;
    std::int64_t now_ = 0;
    std::map<std::pair<std::int64_t, std::uint64_t>, Job> jobs_;
    std::uint64_t nextJob_ = 0;

    LawStatus status_ = LawStatus::None;
    std::optional<std::int64_t> queueCutOffMs_; // the earliest cut-off of every enabled packet
    std::map<std::int32_t, std::int64_t> leadMinutes_;
    bool timetableObserved_ = false;
    bool queueListObserved_ = false;
    std::optional<std::int64_t> customPlannedFrom_;
    // Per listed queue: the queue cut-off it was last planned from, and its earliest moment.
    std::map<std::int32_t, std::int64_t> listPlannedFrom_;
    std::map<std::int32_t, std::int64_t> closingMoments_;
    std::optional<std::vector<std::int32_t>> lastList_; // the list as last read
    std::optional<std::int64_t> lastCheckMoment_;       // of the last all-queues check scheduled
    std::vector<std::int32_t> disabled_;
    bool allQueuesClosed_ = false;

    LawOutcome outcome_;
};

} // namespace

const char* lawStatusName(LawStatus status) noexcept {
    switch (status) {
    case LawStatus::Warning:
        return "WARNING";
    case LawStatus::CutOff:
        return "CUT_OFF";
    case LawStatus::None:
        break;
    }
    return "NONE";
}

std::optional<std::int32_t> queueIdOfMemberName(std::string_view name) {
    std::size_t at = 0;
    while (at < name.size() && isWhiteSpace(name[at])) {
        ++at;
    }
    bool negative = false;
    if (at < name.size() && (name[at] == '+' || name[at] == '-')) {
        negative = name[at++] == '-';
    }
    const std::size_t digitsFrom = at;
    std::int64_t magnitude = 0;
    for (; at < name.size() && name[at] >= '0' && name[at] <= '9'; ++at) {
        magnitude = magnitude * 10 + (name[at] - '0');
        if (magnitude > std::int64_t{1} << 31) {
            return std::nullopt; // beyond 32 bits whatever follows
        }
    }
    if (at == digitsFrom) {
        return std::nullopt;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(value);
}

LawOutcome expectedOutcome(const Scenario& scenario) {
    return LawModel(scenario).run();
}

} // namespace kiv::test
