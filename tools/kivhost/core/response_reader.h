// Reads the response record a plugin filled for the host: status, error text and value, the
// value either flat or as a streamed JSON body, then runs the body's and the record's release
// routines, each exactly once.
#pragma once

#include "kivhost/core/kivhost_types.h"

#include <string>
#include <vector>

namespace kiv::kivhost {

// The most a streamed body may hold; a stream that goes on past it is cut off with an error.
inline constexpr std::size_t kMaxStreamedBodyBytes = 64u << 20;

// What went wrong is also added to `faults`, each a sentence about the plugin's record.
Response readPluginResponse(HostResponse& response, std::vector<std::string>& faults);

} // namespace kiv::kivhost
