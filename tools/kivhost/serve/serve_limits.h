// What `kivhost serve` holds at most, so that its memory stays bounded whatever clients send and
// however long it runs, and no client within these limits can keep the others out.
#pragma once

#include <chrono>
#include <cstddef>

namespace kiv::kivhost {

// The resource store: paths, and the bytes of their values' JSON. A PUT past either is answered
// 507 and changes nothing.
inline constexpr std::size_t kMaxResources = 1000;
inline constexpr std::size_t kMaxResourceBytes = std::size_t(8) << 20;

// The recording behind GET /kivhost/scenario keeps its newest steps only, as the feed does; the
// ones it drops are folded into the resources it starts from.
inline constexpr std::size_t kRecordingMaxSteps = 10000;
inline constexpr std::size_t kRecordingMaxBytes = std::size_t(32) << 20;

// A write the client accepts nothing of for this long ends the connection.
inline constexpr std::chrono::seconds kWriteTime{30};
// Large answers waiting to be written hold at most this much at once; one that would pass it is
// answered 503 with a Retry-After.
inline constexpr std::size_t kMaxAnswerBytesInFlight = std::size_t(160) << 20;
// Answers up to this size are always written: they are what a stalled client costs anyway.
inline constexpr std::size_t kSmallAnswerBytes = std::size_t(64) << 10;

// Event streams at once, below the connection limit so that control routes always have room;
// a new stream past it ends the oldest one.
inline constexpr std::size_t kMaxStreams = 48;
// A stream that has caught up once and then falls this many entries behind the feed gets a
// final `dropped` notice and is closed.
inline constexpr std::size_t kStreamMaxLag = 2000;

} // namespace kiv::kivhost
