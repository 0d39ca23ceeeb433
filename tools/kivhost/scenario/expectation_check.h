// Checks a scenario's expectations against what the plugin does while the scenario plays: the
// answers it gives (asked through the host's routing, as a `get` step asks), the events it
// publishes and the log lines it writes. Nothing here knows the rules the plugin keeps.
#pragma once

#include "kivhost/core/plugin_host.h"
#include "kivhost/scenario/scenario.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct ExpectationFailure {
    const Expectation* expectation;
    std::string expected;
    std::string observed;
};

class ExpectationCheck {
  public:
    // Keeps what later checks look at: the events and log lines, with their moments.
    void record(const Happening& happening);
    // An expectation's turn, in the order of the file at its `at`: an answer is asked now.
    void begin(PluginHost& host, const Expectation& expectation);
    // The plugin was entered at the current moment (timers ran, a step played): answers expected
    // over a span that is still open are asked again.
    void entered(PluginHost& host);
    // Play moves on to `nextMs`: expectations whose span ends before it are settled.
    void movingTo(std::int64_t nextMs);
    // Play has ended: every expectation is settled.
    void finish() { movingTo(INT64_MAX); }

    const std::vector<ExpectationFailure>& failures() const { return failures_; }

  private:
    struct Seen {
        std::int64_t ms;
        bool isEvent;     // else a log line
        std::string text; // the event's name or the log line
        std::uint32_t level;
        Value payload;
    };

    void askAnswer(PluginHost& host, const Expectation& expectation);
    void settle(const Expectation& expectation);
    void fail(const Expectation& expectation, std::string expected, std::string observed);

    std::vector<const Expectation*> open_; // begun and not settled, none failed yet
    std::vector<Seen> seen_;
    std::vector<ExpectationFailure> failures_;
};

} // namespace kiv::kivhost
