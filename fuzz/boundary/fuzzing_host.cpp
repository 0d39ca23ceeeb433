#include "fuzzing_host.h"

#include "kivhost/core/event_names.h"
#include "kivhost/core/timer_queue.h"
#include "platform/saturating.h"
#include "record_checks.h"
#include "value/json_reader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace kiv::fuzzing {
namespace {

constexpr std::uintptr_t kHostContext = 0x4b495648;

// KIV_FUZZ_TRACE, when set, prints what the plugin does through the host: to replay a finding.
void trace(const char* what, const char* text) {
    static const bool tracing = std::getenv("KIV_FUZZ_TRACE") != nullptr;
    if (tracing) {
        std::fprintf(stderr, "[host] %s %s\n", what, text);
    }
}

void readRequest(const HostRequest& request) {
    require(request.method <= KIV_HTTP_METHOD_CUSTOM, "the plugin's request has an unknown method");
    readText(request.path, "the plugin's request has no path");
    if (request.method == KIV_HTTP_METHOD_CUSTOM) {
        readText(request.customMethod, "the plugin's custom request has no method name");
    }
    require(request.userData == kHostContext, "the plugin's request carries another host context");
    require(request.headers != nullptr || request.headerCount == 0, "the plugin's request headers are null");
    for (std::uint32_t i = 0; i < request.headerCount; ++i) {
        readText(request.headers[i].name, "the plugin's request header has no name");
        readText(request.headers[i].value, "the plugin's request header has no value");
    }
    require(request.arguments != nullptr || request.argumentCount == 0, "the plugin's arguments are null");
    for (std::uint32_t i = 0; i < request.argumentCount; ++i) {
        if (request.arguments[i].name != nullptr) {
            readText(request.arguments[i].name, "the plugin's argument name");
        }
        readPluginFlat(request.arguments[i].value);
    }
    if (request.contentType != nullptr) {
        readText(request.contentType, "the plugin's content type");
    }
    require(request.body != nullptr || request.bodyLength == 0, "the plugin's body is null");
}

} // namespace

FuzzingHost::FuzzingHost() : interface_{table_.api(), kHostContext} {}

FuzzingHost::~FuzzingHost() = default;

void FuzzingHost::setAnswer(AnswerPlan answer) {
    std::lock_guard lock(mutex_);
    std::string path = answer.path;
    answers_[path] = std::move(answer);
}

std::optional<Subscription> FuzzingHost::subscriptionFor(const EventPlan& event) const {
    std::lock_guard lock(mutex_);
    if (subscriptions_.empty()) {
        return std::nullopt;
    }
    const std::string name = kivhost::eventNameForPath(event.path);
    const auto named =
        std::find_if(subscriptions_.begin(), subscriptions_.end(),
                     [&](const Subscription& subscription) { return subscription.name == name; });
    return named != subscriptions_.end() ? *named
                                         : subscriptions_[event.subscription % subscriptions_.size()];
}

std::vector<Timer> FuzzingHost::advanceTo(std::int64_t ms) {
    std::lock_guard lock(mutex_);
    clock_.advanceTo(ms);
    const std::int64_t now = clock_.nowMs();
    // Stable: timers due at the same moment fire in the order they were scheduled.
    const auto due = std::stable_partition(timers_.begin(), timers_.end(),
                                           [&](const Timer& timer) { return timer.dueMs <= now; });
    std::vector<Timer> fired(timers_.begin(), due);
    timers_.erase(timers_.begin(), due);
    std::stable_sort(fired.begin(), fired.end(),
                     [](const Timer& first, const Timer& second) { return first.dueMs < second.dueMs; });
    return fired;
}

std::optional<Timer> FuzzingHost::pickTimer(std::uint8_t pick, bool keep) {
    std::lock_guard lock(mutex_);
    if (timers_.empty()) {
        return std::nullopt;
    }
    const auto chosen = timers_.begin() + static_cast<std::ptrdiff_t>(pick % timers_.size());
    Timer timer = *chosen;
    if (!keep) {
        timers_.erase(chosen);
    }
    return timer;
}

std::vector<Subscription> FuzzingHost::subscriptions() const {
    std::lock_guard lock(mutex_);
    return subscriptions_;
}

std::vector<Timer> FuzzingHost::pendingTimers(std::size_t from) const {
    std::lock_guard lock(mutex_);
    return {timers_.begin() + static_cast<std::ptrdiff_t>(std::min(from, timers_.size())), timers_.end()};
}

void FuzzingHost::requireSettled() const {
    std::lock_guard lock(mutex_);
    require(openWaits_ == 0, "the plugin began a wait it did not end");
    require(issued_->openResponses.load() == 0, "the plugin kept an answer the host gave it");
    require(issued_->openBodyStreams.load() == 0, "the plugin kept a body stream the host gave it");
}

void FuzzingHost::answer(HostResponse& response, const AnswerPlan& plan) {
    std::memset(&response, 0, sizeof response);
    switch (plan.kind) {
    case AnswerKind::Value:
    case AnswerKind::Streamed: {
        ConversionResult parsed = parseJson(plan.json);
        const Value value = parsed.ok() ? std::move(parsed.value()) : Value();
        const std::uint32_t chunkBytes =
            plan.kind == AnswerKind::Streamed ? std::max<std::uint8_t>(plan.chunkBytes, 1) : 0;
        kivhost::issueValueResponse(response, value, plan.status, chunkBytes, issued_);
        break;
    }
    case AnswerKind::Error:
        kivhost::issueErrorResponse(response, plan.error, plan.status, issued_);
        break;
    case AnswerKind::Graph: {
        auto graph = std::make_unique<HostFlat>(plan.graph);
        response.result.value = graph->value();
        response.status = plan.status;
        std::lock_guard lock(mutex_);
        answeredGraphs_.push_back(std::move(graph));
        break;
    }
    case AnswerKind::Bare:
        // A failed answer without a text, or a value record left empty, with whatever status.
        response.result.failed = static_cast<std::uint8_t>(plan.status & 1);
        response.status = plan.status;
        break;
    }
}

void FuzzingHost::sendRequest(HostResponse* response, const HostRequest* request) {
    require(response != nullptr && request != nullptr, "the plugin sent a request without its records");
    readRequest(*request);
    trace("request", request->path);
    const std::string_view path(request->path);
    AnswerPlan plan;
    {
        std::lock_guard lock(mutex_);
        auto found = answers_.find(std::string(path.substr(0, path.find('?'))));
        if (found == answers_.end()) {
            found = answers_.find("");
        }
        if (found != answers_.end()) {
            plan = found->second;
        } else {
            plan.kind = AnswerKind::Error;
            plan.status = 404;
            plan.error = "Not found";
        }
    }
    if (plan.slow != 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(plan.slow * 4));
    }
    answer(*response, plan);
}

void FuzzingHost::hostOperation1(std::uint32_t, std::uint32_t) {}

void FuzzingHost::sendEvent(const HostEventRecord* event) {
    require(event != nullptr, "the plugin sent no event record");
    readText(event->name, "the plugin's event has no name");
    trace("event", event->name);
    require(event->userData == nullptr, "the plugin's event carries user data");
    readPluginFlat(event->payload);
}

void FuzzingHost::subscribeEvent(const char* eventName, std::uintptr_t hostContext,
                                 PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) {
    readText(eventName, "the plugin subscribed without an event name");
    require(hostContext == kHostContext, "the plugin subscribed with another host context");
    require(callback != nullptr, "the plugin subscribed without a callback");
    require(eventKind <= KIV_EVENT_KIND_SERVICE_PROXY, "the plugin subscribed with an unknown kind");
    std::lock_guard lock(mutex_);
    subscriptions_.push_back({eventName, callback, userData, eventKind});
}

void FuzzingHost::unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) {
    readText(eventName, "the plugin unsubscribed without an event name");
    require(hostContext == kHostContext, "the plugin unsubscribed with another host context");
    std::lock_guard lock(mutex_);
    std::erase_if(subscriptions_,
                  [&](const Subscription& subscription) { return subscription.name == eventName; });
}

void FuzzingHost::scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                                double delaySeconds) {
    readText(jobName, "the plugin scheduled a timer without a name");
    trace("timer", jobName);
    require(callback != nullptr, "the plugin scheduled a timer without a callback");
    require(!std::isnan(delaySeconds), "the plugin scheduled a timer after no number of seconds");
    std::lock_guard lock(mutex_);
    const std::int64_t dueMs =
        platform::saturatingAdd(clock_.nowMs(), kivhost::TimerQueue::roundDelayMs(delaySeconds));
    timers_.push_back({jobName, callback, userData, dueMs});
}

void FuzzingHost::yieldToHost() {}

void FuzzingHost::beginWait(const char* label) {
    readText(label, "the plugin began a wait without a label");
    std::lock_guard lock(mutex_);
    ++openWaits_;
}

void FuzzingHost::endWait() {
    std::lock_guard lock(mutex_);
    require(--openWaits_ >= 0, "the plugin ended a wait it had not begun");
}

void FuzzingHost::writeLog(std::uint32_t level, const char* text) {
    require(level <= KIV_LOG_LEVEL_ALWAYS, "the plugin wrote a log line of an unknown level");
    readText(text, "the plugin wrote a log line without a text");
    trace("log", text);
}

void FuzzingHost::reportFault(std::string_view entry, std::string_view what) noexcept {
    finding(std::string(entry) + ": " + std::string(what));
}

} // namespace kiv::fuzzing
