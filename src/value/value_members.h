// Iteration over a Structure's members in key order. Included by value.h.
#pragma once

#include "value/member_table.h"

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
    MemberIterator(const MemberEntry* flat, MemberTree::const_iterator tree) noexcept
        : flat_(flat), tree_(tree) {}

    ValueMember operator*() const noexcept {
        return flat_ ? ValueMember{flat_->key->view(), *flat_->value}
                     : ValueMember{tree_->first->view(), *tree_->second};
    }
    MemberIterator& operator++() noexcept {
        if (flat_) {
            ++flat_;
        } else {
            ++tree_;
        }
        return *this;
    }
    MemberIterator operator++(int) noexcept {
        MemberIterator before = *this;
        ++*this;
        return before;
    }
    friend bool operator==(const MemberIterator& a, const MemberIterator& b) noexcept {
        return a.flat_ == b.flat_ && a.tree_ == b.tree_;
    }

  private:
    const MemberEntry* flat_ = nullptr; // the position in a flat table, else null
    MemberTree::const_iterator tree_{}; // the position in a tree table
};

class Value::MemberRange {
  public:
    MemberRange() = default;
    explicit MemberRange(const MemberTable* table) noexcept : table_(table) {}

    MemberIterator begin() const noexcept {
        if (!table_) {
            return {};
        }
        return table_->tree() ? MemberIterator(nullptr, table_->tree()->begin())
                              : MemberIterator(table_->flatBegin(), {});
    }
    MemberIterator end() const noexcept {
        if (!table_) {
            return {};
        }
        return table_->tree() ? MemberIterator(nullptr, table_->tree()->end())
                              : MemberIterator(table_->flatEnd(), {});
    }
    std::size_t size() const noexcept { return table_ ? table_->size() : 0; }
    bool empty() const noexcept { return size() == 0; }

  private:
    const MemberTable* table_ = nullptr;
};

} // namespace kiv
