// Keys repeat across a document (every object of an array has the same ones), so a tree stores
// each text once and counts its users; the precomputed hash spares most text comparisons. The
// first buckets sit inside the pool, so that a small tree allocates none, and a text leaves as
// soon as its last user goes, so that a tree edited for long keeps no text it no longer holds.
#pragma once

#include "value/pooled_string.h"

#include <cstddef>
#include <string_view>

namespace kiv {

class BlockPools;

class StringPool {
  public:
    explicit StringPool(BlockPools& blocks) noexcept : blocks_(blocks) {}
    ~StringPool();
    StringPool(const StringPool&) = delete;
    StringPool& operator=(const StringPool&) = delete;

    // Finds or inserts the record of `text` and adds one reference. The empty text gives
    // the shared empty record, uncounted.
    [[nodiscard]] PooledString* intern(std::string_view text);
    [[nodiscard]] PooledString* intern(std::string_view text, std::uint32_t hash);
    // Drops one reference; the record leaves the pool when none is left.
    void release(PooledString* record) noexcept;
    // Adds one reference to a record of this pool.
    static void retain(PooledString* record) noexcept {
        if (record != PooledString::empty()) {
            ++record->refs;
        }
    }

    std::size_t size() const noexcept { return count_; }
    std::size_t bucketCount() const noexcept { return bucketCount_; }

  private:
    void grow();
    PooledString** bucketOf(std::uint32_t hash) const noexcept {
        return &buckets_[hash & (bucketCount_ - 1)];
    }

    BlockPools& blocks_;
    PooledString* inlineBuckets_[8] = {};
    PooledString** buckets_ = inlineBuckets_;
    std::size_t bucketCount_ = 8;
    std::size_t count_ = 0;
};

} // namespace kiv
