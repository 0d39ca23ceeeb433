// A standard allocator over a tree's block pools, for containers that live inside a tree.
#pragma once

#include "value/value_context.h"

#include <cstddef>
#include <new>

namespace kiv {

template <class T> class BlockAllocator {
  public:
    using value_type = T;

    explicit BlockAllocator(ValueContext* context) noexcept : context_(context) {}
    template <class U> BlockAllocator(const BlockAllocator<U>& other) noexcept : context_(other.context()) {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_alloc();
        }
        return static_cast<T*>(context_->allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { context_->deallocate(p, n * sizeof(T)); }

    ValueContext* context() const noexcept { return context_; }

    template <class U> bool operator==(const BlockAllocator<U>& other) const noexcept {
        return context_ == other.context();
    }

  private:
    ValueContext* context_;
};

} // namespace kiv
