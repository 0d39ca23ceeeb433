// The shutdown law: from the login data packet to the law status, and from the queue-disable
// timetable and the game-queue list to queues closing one by one ahead of the cut-off. Runs on
// events and jobs that the plugin delivers one at a time.
#pragma once

#include "service/shutdown_law_context.h"
#include "service/shutdown_law_state.h"

#include <cstdint>

namespace kiv {

class ShutdownLaw {
  public:
    explicit ShutdownLaw(ShutdownLawContext& context) noexcept : context_(context) {}
    ShutdownLaw(const ShutdownLaw&) = delete;
    ShutdownLaw& operator=(const ShutdownLaw&) = delete;

    // Starts watching the login data packet.
    void start();

    const ShutdownLawState& state() const noexcept { return state_; }

  private:
    void onLoginData(const ResourceChange& change);
    void onTimetable(const ResourceChange& change);
    void onQueueList(const ResourceChange& change);
    void observeTimetable();
    void observeQueueList();
    void buildQueueJobs();

    void assignStatus(Brix::Client::ShutdownLaw::Api::ShutdownLawStatus status);
    void disableQueue(std::int32_t queueId);
    void disableAllQueues();
    void scheduleAfterMinutes(std::string_view name, std::int64_t minutes, std::function<void()> job);

    ShutdownLawContext& context_;
    ShutdownLawState state_;
    // The queue-list handler is reading the list: a delivery that arrives meanwhile, while the
    // host runs other work during the read, must not build the jobs a second time.
    bool queueListInProgress_ = false;
};

} // namespace kiv
