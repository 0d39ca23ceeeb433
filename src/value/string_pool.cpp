#include "value/string_pool.h"

#include "platform/invariant.h"
#include "value/block_pools.h"
#include "value/fnv1a.h"
#include "value/value_limits.h"

#include <cstring>
#include <new>

namespace kiv {

constinit PooledString::EmptyRecord PooledString::emptyRecord{{nullptr, kFnv1aOffsetBasis, 0, 0}, '\0'};

// The records live in the tree's block pools, which free them wholesale right after.
StringPool::~StringPool() {
    if (buckets_ != inlineBuckets_) {
        ::operator delete(buckets_);
    }
}

// The length is checked first: a text past the limit fails before it is hashed, compared or
// copied.
PooledString* StringPool::intern(std::string_view text) {
    if (text.size() > kMaxTextSize) {
        throwTextTooLarge();
    }
    return text.empty() ? PooledString::empty() : intern(text, fnv1a(text));
}

PooledString* StringPool::intern(std::string_view text, std::uint32_t hash) {
    if (text.empty()) {
        return PooledString::empty();
    }
    if (text.size() > kMaxTextSize) {
        throwTextTooLarge();
    }
    for (PooledString* record = *bucketOf(hash); record; record = record->next) {
        if (record->hash == hash && record->holds(text)) {
            ++record->refs;
            return record;
        }
    }
    if (count_ >= bucketCount_) {
        grow();
    }
    PooledString* record =
        PooledString::place(blocks_.allocate(PooledString::bytesFor(text.size())), text, hash);
    PooledString** bucket = bucketOf(hash);
    record->next = *bucket;
    *bucket = record;
    ++count_;
    return record;
}

void StringPool::release(PooledString* record) noexcept {
    KIV_ASSERT(record == PooledString::empty() || record->refs != 0, "a released record is still referenced");
    if (record == PooledString::empty() || --record->refs != 0) {
        return;
    }
    for (PooledString** link = bucketOf(record->hash); *link; link = &(*link)->next) {
        if (*link == record) {
            *link = record->next;
            break;
        }
    }
    --count_;
    blocks_.deallocate(record, PooledString::bytesFor(record->length));
}

void StringPool::grow() {
    const std::size_t newCount = bucketCount_ * 2;
    auto** newBuckets = static_cast<PooledString**>(::operator new(newCount * sizeof(PooledString*)));
    std::memset(newBuckets, 0, newCount * sizeof(PooledString*));
    for (std::size_t i = 0; i < bucketCount_; ++i) {
        for (PooledString* record = buckets_[i]; record;) {
            PooledString* next = record->next;
            PooledString** bucket = &newBuckets[record->hash & (newCount - 1)];
            record->next = *bucket;
            *bucket = record;
            record = next;
        }
    }
    if (buckets_ != inlineBuckets_) {
        ::operator delete(buckets_);
    }
    buckets_ = newBuckets;
    bucketCount_ = newCount;
}

} // namespace kiv
