// The work list of a conversion: a stack whose first few entries live inside it, so that
// converting a small value (a response of two members, a request of three arguments) takes no
// heap block for its bookkeeping. Past the inline room it moves to the heap and grows by
// doubling, like a vector.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

namespace kiv {

template <class T, std::size_t InlineCount> class SmallStack {
    static_assert(InlineCount > 0);
    static_assert(std::is_nothrow_move_constructible_v<T>, "growing moves the entries without a way back");
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

  public:
    SmallStack() noexcept = default;
    SmallStack(const SmallStack&) = delete;
    SmallStack& operator=(const SmallStack&) = delete;
    ~SmallStack() {
        clear();
        if (!isInline()) {
            ::operator delete(data_);
        }
    }

    bool empty() const noexcept { return size_ == 0; }
    std::size_t size() const noexcept { return size_; }
    T* begin() noexcept { return data_; }
    T* end() noexcept { return data_ + size_; }
    T& back() noexcept { return data_[size_ - 1]; }

    // Throws std::bad_alloc, leaving the stack as it was, when the heap cannot grow it.
    template <class... Args> T& emplace(Args&&... args) {
        if (size_ == capacity_) [[unlikely]] {
            grow();
        }
        T* entry = ::new (static_cast<void*>(data_ + size_)) T(std::forward<Args>(args)...);
        ++size_;
        return *entry;
    }
    void push(T&& value) { emplace(std::move(value)); }

    // Removes the top entry and hands it over.
    T pop() noexcept {
        T top = std::move(back());
        std::destroy_at(&back());
        --size_;
        return top;
    }

    void clear() noexcept {
        std::destroy(begin(), end());
        size_ = 0;
    }

  private:
    bool isInline() const noexcept { return data_ == reinterpret_cast<const T*>(inline_); }

    void grow() {
        if (capacity_ > static_cast<std::size_t>(-1) / (2 * sizeof(T))) {
            throw std::bad_alloc();
        }
        const std::size_t capacity = 2 * capacity_;
        T* moved = static_cast<T*>(::operator new(capacity * sizeof(T)));
        std::uninitialized_move(begin(), end(), moved);
        std::destroy(begin(), end());
        if (!isInline()) {
            ::operator delete(data_);
        }
        data_ = moved;
        capacity_ = capacity;
    }

    alignas(T) unsigned char inline_[InlineCount * sizeof(T)];
    T* data_ = reinterpret_cast<T*>(inline_);
    std::size_t size_ = 0;
    std::size_t capacity_ = InlineCount;
};

} // namespace kiv
