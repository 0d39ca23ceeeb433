// Limits of streamed response bodies, which the host hands over piece by piece.
#pragma once

#include <cstddef>

namespace kiv {

// The buffer handed to each read of a streamed body.
inline constexpr std::size_t kStreamChunkSize = 4096;

// A streamed body longer than this is refused: a stream that never ends must not grow the
// plugin's memory without end.
inline constexpr std::size_t kStreamedBodyLimit = 16u * 1024 * 1024;
// The refusal's text; %1 is the limit in bytes.
inline constexpr const char* kStreamedBodyTooLong = "Streamed body longer than the limit of %1 bytes";

// The announced length is only a hint for reserving text space, and at most this much is
// reserved on its word.
inline constexpr std::size_t kStreamedBodyReserveLimit = 1024 * 1024;

inline constexpr const char* kStreamReadError = "Stream read error";

// The label of the wait around each yield to the host while a body is incomplete.
inline constexpr const char* kYieldWaitLabel = "Wait: yield";

} // namespace kiv
