// The host the fuzz targets drive the plugin with: it keeps the plugin's subscriptions and timers
// as a host must, answers the plugin's requests as the input says, and checks every record and
// call the plugin makes. It may be called from several threads at once.
#pragma once

#include "host_flat.h"
#include "host_script.h"
#include "kivhost/core/host_api_table.h"
#include "kivhost/core/host_clock.h"
#include "kivhost/core/issued_records.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kiv::fuzzing {

struct Subscription {
    std::string name;
    PluginEventCallbackFn callback = nullptr;
    void* userData = nullptr;
    std::uint32_t kind = 0;
};

struct Timer {
    std::string name;
    PluginTimerCallbackFn callback = nullptr;
    void* userData = nullptr;
    std::int64_t dueMs = 0;
};

class FuzzingHost final : public kivhost::HostApiHandler {
  public:
    FuzzingHost();
    ~FuzzingHost();

    HostInterface* hostInterface() noexcept { return &interface_; }
    kivhost::HostClock& clock() noexcept { return clock_; }

    void setAnswer(AnswerPlan answer);
    // The subscription the event goes to: the one of its path's event name, else the one it picks.
    std::optional<Subscription> subscriptionFor(const EventPlan& event) const;
    // Timers due by `ms` in due order, taken off the list, the clock moved on to `ms`.
    std::vector<Timer> advanceTo(std::int64_t ms);
    // One pending timer out of order; taken off the list unless `keep`, so it can fire again.
    std::optional<Timer> pickTimer(std::uint8_t pick, bool keep);
    // The subscriptions and the pending timers (from the `from`-th) as they stand, for a host's
    // own checks.
    std::vector<Subscription> subscriptions() const;
    std::vector<Timer> pendingTimers(std::size_t from = 0) const;
    // Everything the plugin was handed and holds is back: no open answer or body stream, every
    // wait ended. Called when no plugin is loaded any more.
    void requireSettled() const;

    void sendRequest(HostResponse* response, const HostRequest* request) override;
    void hostOperation1(std::uint32_t first, std::uint32_t second) override;
    void sendEvent(const HostEventRecord* event) override;
    void subscribeEvent(const char* eventName, std::uintptr_t hostContext, PluginEventCallbackFn callback,
                        void* userData, std::uint32_t eventKind) override;
    void unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) override;
    void scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                       double delaySeconds) override;
    void yieldToHost() override;
    void beginWait(const char* label) override;
    void endWait() override;
    void writeLog(std::uint32_t level, const char* text) override;
    void reportFault(std::string_view entry, std::string_view what) noexcept override;

  private:
    void answer(HostResponse& response, const AnswerPlan& answer);

    kivhost::HostClock clock_{kivhost::ClockKind::Virtual};
    kivhost::HostApiTable table_{*this};
    HostInterface interface_;
    std::shared_ptr<kivhost::IssuedCounts> issued_ = std::make_shared<kivhost::IssuedCounts>();

    mutable std::mutex mutex_;
    std::map<std::string, AnswerPlan> answers_;
    std::vector<Subscription> subscriptions_;
    std::vector<Timer> timers_;
    std::vector<std::unique_ptr<HostFlat>> answeredGraphs_; // kept: a graph answer has no release
    int openWaits_ = 0;
};

} // namespace kiv::fuzzing
