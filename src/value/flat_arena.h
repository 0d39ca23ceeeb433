// An outgoing record set can live in one heap block: sized in one pass over its tree, filled in
// a second, and freed with one call, where a set built record by record takes a block for every
// array, key and text and frees them one by one. The records read the same either way; only
// where their bytes live differs. The live arenas are registered by their first record, so that
// releaseFlat tells an arena's set from one built piece by piece without reading outside either.
#pragma once

#include <cstddef>

namespace kiv {

// A registered block of at least `bytes` bytes (throws std::bad_alloc without memory). The
// top record of the set points at its start.
[[nodiscard]] void* allocateFlatArena(std::size_t bytes);

// Frees the arena that starts at `start` and returns true; false, touching nothing, when no
// live arena starts there.
bool releaseFlatArena(const void* start) noexcept;

} // namespace kiv
