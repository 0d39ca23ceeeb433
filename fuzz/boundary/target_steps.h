// The steps of the two boundary targets' inputs, shared with the tool that writes their seeds.
//
// A records input: its start (the load record and the first answers), then up to kMostRecordSteps steps, each
// a RecordStep byte and its description. A sequence input: the same start, then up to kMostSequenceSteps
// steps, each a host thread byte, a SequenceStep byte and its description.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv::fuzzing {

inline constexpr std::size_t kMostRecordSteps = 64;
inline constexpr std::size_t kMostSequenceSteps = 48;
inline constexpr std::size_t kSequenceThreads = 3;

// Advance and FireTimer carry a 32-bit number of milliseconds and a timer pick.
enum class RecordStep : std::uint8_t { Event, Request, Advance, FireTimer, Answer, Count };

// Beyond the record steps: unload the plugin, and load one again when none is loaded. FireTimer's
// flags fire the timer twice (bit 0) or after moving the clock on by the step's milliseconds
// (bit 1). Hold sends one request many times and holds every answer before it releases them
// (up to kMostHeldAnswers, in the order of sending or its reverse); LoadBeside loads a second
// plugin object beside the current one, with or without the host's clock bound on the loading
// thread.
enum class SequenceStep : std::uint8_t {
    Event,
    Request,
    Advance,
    FireTimer,
    Answer,
    Unload,
    Load,
    Hold,
    LoadBeside,
    Count
};

inline constexpr std::size_t kMostHeldAnswers = 4096;

} // namespace kiv::fuzzing
