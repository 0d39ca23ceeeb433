// Responses and body streams that the host hands to plugins, and their release routines.
//
// The host keeps what it allocated for a response in a process-wide table, keyed by a token it
// puts into the record, and frees it from there: a plugin that released a record twice, released
// a copy, or scribbled over the record's pointers cannot make the host free anything twice or
// free a wrong pointer. Such releases are counted instead.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

namespace kiv::kivhost {

// The records one host has handed out and not yet seen released.
struct IssuedCounts {
    std::atomic<std::uint64_t> openResponses{0};
    std::atomic<std::uint64_t> openBodyStreams{0};
};

// Fills a zeroed response with the value and the status. With chunkBytes above 0 the value's
// JSON text becomes a streamed body read at most chunkBytes at a time.
void issueValueResponse(HostResponse& response, const Value& value, std::uint32_t status,
                        std::uint32_t chunkBytes, const std::shared_ptr<IssuedCounts>& counts);
// Fills a zeroed response with an error text and the status.
void issueErrorResponse(HostResponse& response, std::string_view error, std::uint32_t status,
                        const std::shared_ptr<IssuedCounts>& counts);

// Releases of records that were not open, by any host of this process.
std::uint64_t strayReleaseCount() noexcept;

} // namespace kiv::kivhost
