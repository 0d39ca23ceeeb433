#include "value/flat_arena.h"

#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>

namespace kiv {
namespace {

// In front of every arena: the link of its chain in the registry. Two words, so that what
// follows keeps the alignment the heap gives a block.
struct alignas(2 * sizeof(void*)) ArenaHeader {
    ArenaHeader* next;
};

void* startOf(ArenaHeader* header) noexcept {
    return header + 1;
}

// The live arenas, hashed by their start and chained through their headers, so that registering
// one allocates nothing. The table doubles when it holds two arenas a bucket and halves when it
// holds fewer than one in four, down to its inline buckets, so that a plugin that released its
// records holds no memory here. Whichever bucket array is not in use holds no chain: a chain
// left behind in it would be read again when the table comes back to it.
class ArenaRegistry {
  public:
    void add(ArenaHeader* header) noexcept {
        std::lock_guard lock(mutex_);
        if (count_ >= 2 * bucketCount_) {
            rehash(bucketCount_ * 2);
        }
        ArenaHeader** bucket = bucketOf(startOf(header));
        header->next = *bucket;
        *bucket = header;
        ++count_;
    }

    // Takes the arena that starts at `start` out of the table; null when there is none.
    ArenaHeader* remove(const void* start) noexcept {
        std::lock_guard lock(mutex_);
        for (ArenaHeader** link = bucketOf(start); *link; link = &(*link)->next) {
            ArenaHeader* header = *link;
            if (startOf(header) == start) {
                *link = header->next;
                --count_;
                if (bucketCount_ > kInlineBuckets && count_ < bucketCount_ / 4) {
                    rehash(bucketCount_ / 2);
                }
                return header;
            }
        }
        return nullptr;
    }

  private:
    static constexpr std::size_t kInlineBuckets = 64;

    ArenaHeader** bucketOf(const void* start) noexcept {
        const auto address = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(start));
        return &buckets_[((address >> 4) * 0x9E3779B97F4A7C15ull >> 32) & (bucketCount_ - 1)];
    }

    // Moves every chain into `count` buckets: the inline ones for the smallest table, else a new
    // array. Without memory for a new array the chains just stay as long as they are.
    void rehash(std::size_t count) noexcept {
        ArenaHeader** buckets = inlineBuckets_;
        if (count > kInlineBuckets) {
            buckets = static_cast<ArenaHeader**>(::operator new(count * sizeof(ArenaHeader*), std::nothrow));
            if (!buckets) {
                return;
            }
        }
        std::memset(buckets, 0, count * sizeof(ArenaHeader*));
        ArenaHeader** old = buckets_;
        const std::size_t oldCount = bucketCount_;
        buckets_ = buckets;
        bucketCount_ = count;
        for (std::size_t i = 0; i < oldCount; ++i) {
            for (ArenaHeader* header = old[i]; header;) {
                ArenaHeader* next = header->next;
                ArenaHeader** bucket = bucketOf(startOf(header));
                header->next = *bucket;
                *bucket = header;
                header = next;
            }
        }
        if (old != inlineBuckets_) {
            ::operator delete(old);
        } else {
            std::memset(inlineBuckets_, 0, sizeof inlineBuckets_);
        }
    }

    std::mutex mutex_;
    ArenaHeader* inlineBuckets_[kInlineBuckets] = {};
    ArenaHeader** buckets_ = inlineBuckets_;
    std::size_t bucketCount_ = kInlineBuckets;
    std::size_t count_ = 0;
};

// Never destroyed, so that records released during static destruction still find their arena.
ArenaRegistry& registry() noexcept {
    alignas(ArenaRegistry) static unsigned char storage[sizeof(ArenaRegistry)];
    static ArenaRegistry* instance = new (storage) ArenaRegistry();
    return *instance;
}

} // namespace

void* allocateFlatArena(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - sizeof(ArenaHeader)) {
        throw std::bad_alloc();
    }
    auto* header = static_cast<ArenaHeader*>(::operator new(sizeof(ArenaHeader) + bytes));
    registry().add(header);
    return startOf(header);
}

bool releaseFlatArena(const void* start) noexcept {
    ArenaHeader* header = registry().remove(start);
    if (!header) {
        return false;
    }
    ::operator delete(header);
    return true;
}

} // namespace kiv
