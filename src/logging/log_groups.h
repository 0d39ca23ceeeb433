// A record names its groups as bits of one 64-bit mask, so that filtering a record is one AND;
// this table gives each bit the three-letter code that lines show. The modules of a process share
// it and register their own codes when they load.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace kiv {

inline constexpr std::size_t kLogGroupCount = 64;
inline constexpr std::size_t kBuiltInLogGroupCount = 8;

// Masks of the built-in groups.
inline constexpr std::uint64_t kLogGroupDbg = 1u << 0;
inline constexpr std::uint64_t kLogGroupGen = 1u << 1;
inline constexpr std::uint64_t kLogGroupXtr = 1u << 2;

// Room for the longest group text (every code, joined with ';') and its terminator.
inline constexpr std::size_t kLogGroupTextSize = kLogGroupCount * 4;

// One table of codes. The process has one, behind the functions below; a table of its own lets a
// caller register codes without using up the process's entries.
class LogGroupTable {
  public:
    // Returns the mask of the group named by the code's first three characters, appending the
    // code when the table does not have it. Lock-free, and every caller registering a code gets
    // the same bit, however many register it at once. Returns 0 (no group) for a null or empty
    // code and when the table is full.
    [[nodiscard]] std::uint64_t registerCode(const char* code) noexcept;

    // The code of each set bit, bit 0 first, joined with ';' (entries never registered read
    // "???"); an empty mask gives "". Cut to the `size` bytes of `out`, terminator included.
    void format(char* out, std::size_t size, std::uint64_t mask) const noexcept;

  private:
    // The registered codes after the built-in ones, each packed into one word so that a reader
    // never sees half a code; 0 marks an entry not registered yet.
    std::array<std::atomic<std::uint32_t>, kLogGroupCount - kBuiltInLogGroupCount> codes_{};
};

// The process's table.
[[nodiscard]] std::uint64_t RegisterLogGroup(const char* code) noexcept;
void formatLogGroups(char* out, std::size_t size, std::uint64_t mask) noexcept;

// Registers this library's own group "LOC" and remembers its mask; returns it.
std::uint64_t registerLibraryLogGroup() noexcept;

// The mask of "LOC" as registered by registerLibraryLogGroup, 0 before that.
[[nodiscard]] std::uint64_t libraryLogGroup() noexcept;

} // namespace kiv
