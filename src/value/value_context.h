// The shared storage of one value tree: its string pool and its block pools. Created by the
// first write of a tree that needs storage and destroyed with the root that owns it.
#pragma once

#include "value/block_pools.h"
#include "value/string_pool.h"

namespace kiv {

class ValueContext {
  public:
    ValueContext() noexcept : strings_(blocks_) {}
    ValueContext(const ValueContext&) = delete;
    ValueContext& operator=(const ValueContext&) = delete;

    StringPool& strings() noexcept { return strings_; }
    const StringPool& strings() const noexcept { return strings_; }
    BlockPools& blocks() noexcept { return blocks_; }

    [[nodiscard]] void* allocate(std::size_t bytes) { return blocks_.allocate(bytes); }
    void deallocate(void* block, std::size_t bytes) noexcept { blocks_.deallocate(block, bytes); }

    // Blobs keep their bytes in a vector of their own, outside the pools: the only storage
    // that a tree must free node by node when its context goes.
    std::size_t blobCount() const noexcept { return blobCount_; }
    void blobAdded() noexcept { ++blobCount_; }
    void blobRemoved() noexcept { --blobCount_; }

  private:
    BlockPools blocks_; // declared first: the string pool frees into it on destruction
    StringPool strings_;
    std::size_t blobCount_ = 0;
};

} // namespace kiv
