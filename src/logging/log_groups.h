// The process-wide table of log groups: 64 three-letter codes, bit i of a record's group mask
// standing for entry i. The first eight are built in; modules register further codes at load.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr std::size_t kLogGroupCount = 64;

// Masks of the built-in groups.
inline constexpr std::uint64_t kLogGroupDbg = 1u << 0;
inline constexpr std::uint64_t kLogGroupGen = 1u << 1;
inline constexpr std::uint64_t kLogGroupXtr = 1u << 2;

// Room for the longest group text (every code, joined with ';') and its terminator.
inline constexpr std::size_t kLogGroupTextSize = kLogGroupCount * 4;

// Returns the mask of the group named by the code's first three characters, appending the code
// to the table when no used entry has it. Lock-free. Returns 0 (no group) for a null or empty code
// and when the table is full.
std::uint64_t RegisterLogGroup(const char* code) noexcept;

// The code of each set bit, bit 0 first, joined with ';' (entries never registered read "???");
// an empty mask gives "". Cut to the `size` bytes of `out`, terminator included.
void formatLogGroups(char* out, std::size_t size, std::uint64_t mask) noexcept;

// Registers this library's own group "LOC" and remembers its mask; returns it.
std::uint64_t registerLibraryLogGroup() noexcept;

// The mask of "LOC" as registered by registerLibraryLogGroup, 0 before that.
std::uint64_t libraryLogGroup() noexcept;

} // namespace kiv
