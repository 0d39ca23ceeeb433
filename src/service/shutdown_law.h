// The shutdown law: from the login data packet to the law status, and from the queue-disable
// timetable and the game-queue list to queues closing one by one ahead of the cut-off. Runs on
// events and jobs that the plugin delivers one at a time.
//
// Every moment counts from the packet that set it: the cut-off is the time the packet came plus
// its minutes, and a queue closes its lead before that, however late the timetable or the list
// arrives. A closer cut-off plans the queues again; a further one moves no queue. The status only
// moves forward, whichever packet or job would set it. A list read after the first plan plans the
// queues no plan has yet, and all queues count as closed when the last queue of the list as last
// read has closed.
#pragma once

#include "service/shutdown_law_context.h"
#include "service/shutdown_law_readers.h"
#include "service/shutdown_law_state.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>

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

    // One queue that a list has named: the queue cut-off of the plan that last planned it, the
    // earliest moment any plan gave it, whether it has closed and whether it is in the list as
    // last read.
    struct ListedQueue {
        std::int64_t plannedFromNs = 0;
        std::int64_t closingNs = 0;
        bool closed = false;
        bool inLastList = false;
    };

    void onLoginData(const ResourceChange& change);
    void onTimetable(const ResourceChange& change);
    void onQueueList(const ResourceChange& change);
    void observeTimetable();
    void observeQueueList();
    void planCustomQueue();
    void planListedQueues();
    void planAllQueues(std::span<const std::int64_t> listedIds, bool queuesPlanned);
    // The queue cut-off has not been planned from, or a closer one has come since.
    bool needsPlan(const std::optional<CutOff>& plannedFrom) const noexcept;

    void assignStatus(Brix::Client::ShutdownLaw::Api::ShutdownLawStatus status);
    void disableQueue(std::int32_t queueId);
    void disableAllQueues();

    ShutdownLawContext& context_;
    ShutdownLawState state_;
    // What each watched resource's last change or read brought, until its handler takes it.
    LoginDataReader loginReader_;
    TimetableReader timetableReader_;
    ChangeOnlyReader queueListReader_;
    // The earliest cut-off any packet has set: the queues close ahead of it.
    std::optional<CutOff> queueCutOff_;
    // The queue cut-off from which the custom queue was last planned.
    std::optional<CutOff> customPlannedFrom_;
    // Every queue that a list has named, by id; a queue that leaves the list keeps its entry.
    std::unordered_map<std::int32_t, ListedQueue> listedQueues_;
    // The queues of the list as last read that are still open, each counted once.
    std::size_t openListedQueues_ = 0;
    // The moment of the last disable-all job: when the last queue of the list, as it was then
    // read, closes.
    std::optional<std::int64_t> allQueuesClosingNs_;
    // The queue-list handler is reading the list: a delivery that arrives meanwhile, while the
    // host runs other work during the read, does not read it inside that read but has it read
    // again once the read is done.
    bool queueListInProgress_ = false;
    bool queueListChangedMeanwhile_ = false;
};

} // namespace kiv
