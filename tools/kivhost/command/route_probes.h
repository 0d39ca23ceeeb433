// What a plugin's routes answer to requests they cannot take, found by asking them: `describe`
// lists these answers so that a UI engineer sees each route's errors as the plugin gives them,
// not as a copy of its rules would.
#pragma once

#include "kivhost/core/api_description.h"
#include "kivhost/core/plugin_host.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct ErrorAnswer {
    std::string request; // "GET /kiv-kr-shutdown-law/v1/queue-status/-1"
    std::uint32_t status = 0;
    std::string error;
};

// Sends the function the requests kivhost tries on every route, and returns those answered with
// an error, in the order sent: for each number or truth in the path, a value of the wrong form,
// -1 and the first value past its type's range (the other path values at an ordinary one); then
// a query argument the function does not take. Functions reached only by a custom method, or
// not by a path, are not asked.
std::vector<ErrorAnswer> probeErrorAnswers(PluginHost& host, const FunctionDescription& function);

} // namespace kiv::kivhost
