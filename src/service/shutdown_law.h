// The shutdown law: from the login data packet to the law status, and from the queue-disable
// timetable and the game-queue list to queues closing one by one ahead of the cut-off. Runs on
// events and jobs that the plugin delivers one at a time.
//
// Every moment counts from the packet that set it: the cut-off is the time the packet came plus
// its minutes, and a queue closes its lead before that, however late the timetable or the list
// arrives. A closer cut-off plans the queues again; a further one moves no queue. A job of a packet
// that a later one has superseded never moves the status backwards.
#pragma once

#include "service/shutdown_law_context.h"
#include "service/shutdown_law_state.h"

#include <cstdint>
#include <optional>

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
    // A cut-off as a packet set it: the moment the packet came and its minutes.
    struct CutOff {
        std::int64_t receivedNs = 0;
        std::int64_t minutes = 0;
        // The moment `minutesBefore` minutes before the cut-off.
        std::int64_t momentNs(std::int64_t minutesBefore = 0) const noexcept;
    };

    void onLoginData(const ResourceChange& change);
    void onTimetable(const ResourceChange& change);
    void onQueueList(const ResourceChange& change);
    void observeTimetable();
    void observeQueueList();
    void planCustomQueue();
    void planListedQueues();
    // The queue cut-off has not been planned from, or a closer one has come since.
    bool needsPlan(const std::optional<CutOff>& plannedFrom) const noexcept;

    void assignStatus(Brix::Client::ShutdownLaw::Api::ShutdownLawStatus status, std::uint64_t packet);
    void disableQueue(std::int32_t queueId);
    void disableAllQueues();

    ShutdownLawContext& context_;
    ShutdownLawState state_;
    // Counts the packets that set a cut-off; each status job knows the packet it belongs to.
    std::uint64_t latestPacket_ = 0;
    // The earliest cut-off any packet has set: the queues close ahead of it.
    std::optional<CutOff> queueCutOff_;
    // The queue cut-offs from which the custom queue and the listed queues were last planned.
    std::optional<CutOff> customPlannedFrom_;
    std::optional<CutOff> listPlannedFrom_;
    // The queue-list handler is reading the list: a delivery that arrives meanwhile, while the
    // host runs other work during the read, must not build the jobs a second time.
    bool queueListInProgress_ = false;
};

} // namespace kiv
