// The `expect` of a scenario step: what the plugin must answer, publish or log.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <string>

namespace kiv::kivhost {

// The path of the shutdown law's status and of its closed queues, which `law` and `closed` ask.
inline constexpr std::string_view kLawStatusPath = "/kiv-kr-shutdown-law/v1/notification";
inline constexpr std::string_view kClosedQueuesPath = "/kiv-kr-shutdown-law/v1/disabled-queues";

// Reads `expect` into the kind, subject and expected values of `into` (its place and times are the
// caller's); throws ScenarioError, its message starting with `where`, when it is malformed.
void readExpectation(const Value& expect, const std::string& where, Expectation& into);

} // namespace kiv::kivhost
