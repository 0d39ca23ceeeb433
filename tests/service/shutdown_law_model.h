// The shutdown law as a model in absolute time: a plain function from a scenario (what each
// resource holds before the start and when it changes, and when the routes are read) to what
// the host must see: every event the plugin sends, every answer to a GET, each with its moment
// on the host's virtual clock in milliseconds.
//
// The model knows nothing of the library's code. It keeps the law's state (status, cut-off
// moments, lead times, plans, closed queues) and a timer list of its own with the host's
// ordering: due time, then scheduling order, and a job whose moment has passed due at once.
// It is written for the comparison in the property test and for nothing else, so it favours
// plainness over speed.
#pragma once

#include "scenario_generator.h"
#include "value/value.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kiv::test {

// Moments beyond this (about 31 years of virtual time) are not compared: there the host's delay
// in seconds as a double and the plugin's nanosecond clock no longer resolve single
// milliseconds, and the plugin's clock saturates long before 64-bit milliseconds do.
inline constexpr std::int64_t kModelHorizonMs = 1'000'000'000'000;

enum class LawStatus { None, Warning, CutOff };

const char* lawStatusName(LawStatus status) noexcept;

// One thing the host sees: an event the plugin sent, or the answer to a GET of its routes.
struct Observation {
    enum class Kind { Event, Response };
    std::int64_t atMs = 0;
    Kind kind = Kind::Event;
    std::string name; // the event's name, or the path of the GET
    Value value;      // the event's payload, or the answer's body
    bool error = false;
    std::uint32_t status = 0; // of an error; the law names none for a success
    // An answer the law has no say in (a queue id that the route's argument does not hold):
    // any answer matches.
    bool anyAnswer = false;
};

struct LawOutcome {
    std::vector<Observation> observations; // in the order the host records them
    // When each queue (the custom queue -2 included) and all queues closed; absent: never.
    std::map<std::int32_t, std::int64_t> queueClosings;
    std::optional<std::int64_t> allQueuesClosing;
    // Every notification published: moment and status.
    std::vector<std::pair<std::int64_t, LawStatus>> notifications;
};

// Plays the scenario as the host would (the plugin initialised at 0, each step after the jobs
// due at or before it, then every remaining job) and returns what must be observed.
LawOutcome expectedOutcome(const Scenario& scenario);

// The lead time table's reading of a member name: a decimal 32-bit integer after leading white
// space and one optional sign, up to the first other character; nothing when there are no
// digits or the number does not fit.
std::optional<std::int32_t> queueIdOfMemberName(std::string_view name);

} // namespace kiv::test
