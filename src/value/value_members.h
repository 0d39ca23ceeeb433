// Iteration over a Structure's members in key order. Included by value.h.
#pragma once

#include "value/structure_map.h"

namespace kiv {

struct ValueMember {
    std::string_view key;
    const Value& value;
};

class Value::MemberIterator {
public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = ValueMember;
    using difference_type = std::ptrdiff_t;
    using pointer = void;
    using reference = ValueMember;

    MemberIterator() = default;
    explicit MemberIterator(StructureMap::const_iterator it) noexcept : it_(it) {}

    ValueMember operator*() const noexcept { return {it_->first->view(), it_->second}; }
    MemberIterator& operator++() noexcept {
        ++it_;
        return *this;
    }
    MemberIterator operator++(int) noexcept {
        MemberIterator before = *this;
        ++it_;
        return before;
    }
    friend bool operator==(const MemberIterator& a, const MemberIterator& b) noexcept { return a.it_ == b.it_; }

private:
    StructureMap::const_iterator it_{};
};

class Value::MemberRange {
public:
    MemberRange() = default;
    explicit MemberRange(const StructureMap* map) noexcept : map_(map) {}

    MemberIterator begin() const noexcept { return map_ ? MemberIterator(map_->begin()) : MemberIterator(); }
    MemberIterator end() const noexcept { return map_ ? MemberIterator(map_->end()) : MemberIterator(); }
    std::size_t size() const noexcept { return map_ ? map_->size() : 0; }
    bool empty() const noexcept { return size() == 0; }

private:
    const StructureMap* map_ = nullptr;
};

} // namespace kiv
