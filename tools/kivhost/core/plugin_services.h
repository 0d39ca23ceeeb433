// What the core process lends each plugin it loads: the parts of the platform that the plugin's
// calls through its HostInterface reach, and the routing of the requests it sends. The process
// owns every part and outlives its plugins.
#pragma once

#include "kivhost/core/delivery_thread.h"
#include "kivhost/core/event_bus.h"
#include "kivhost/core/host_clock.h"
#include "kivhost/core/host_journal.h"
#include "kivhost/core/host_options.h"
#include "kivhost/core/issued_records.h"
#include "kivhost/core/kivhost_types.h"
#include "kivhost/core/timer_queue.h"

#include "kiv/plugin_abi.h"

#include <memory>

namespace kiv::kivhost {

// Answers the requests plugins send: only the process knows every plugin's functions, so a
// plugin reaches the others and the resource store through it.
class RequestRouter {
  public:
    // `response` is zeroed first.
    virtual void serveRequest(HostResponse& response, const HostRequest& request) = 0;

  protected:
    ~RequestRouter() = default;
};

struct PluginServices {
    CoreVersion core; // the version offered in the load record
    const HostClock& clock;
    HostJournal& journal;
    TimerQueue& timers;
    EventBus& bus;
    const DeliveryThread& delivery;
    std::shared_ptr<IssuedCounts> issued;
    HostCounters& calls; // the counts of yields, waits and hostOperation1 calls
    RequestRouter& router;
};

} // namespace kiv::kivhost
