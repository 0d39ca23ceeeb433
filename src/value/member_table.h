// Members iterate in byte-wise key order, so what a caller or the host sees never depends on the
// order in which members arrived. Most structures are small, and a sorted array of key and node
// pointers keeps them in one pool block; past kFlatLimit members the table becomes a balanced
// tree, so that a huge object with keys in any order still builds in n log n rather than n².
// Member nodes sit in blocks of their own and never move: that is what lets member() hand out a
// reference that stays valid until the member goes.
#pragma once

#include "value/block_allocator.h"
#include "value/pooled_string.h"
#include "value/string_pool.h"
#include "value/value_context.h"
#include "value/value_node.h"

#include <cstdint>
#include <map>
#include <new>
#include <string_view>

namespace kiv {

// Byte-wise comparison; most distinct keys differ in their first byte, which is checked inline.
inline int compareKeys(std::string_view a, std::string_view b) noexcept {
    if (!a.empty() && !b.empty() && a[0] != b[0]) {
        return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]) ? -1 : 1;
    }
    const int common = compareBytes(a.data(), b.data(), a.size() < b.size() ? a.size() : b.size());
    if (common != 0) {
        return common;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

struct KeyOrder {
    using is_transparent = void;

    static std::string_view text(const PooledString* key) noexcept { return key->view(); }
    static std::string_view text(std::string_view key) noexcept { return key; }

    template <class A, class B> bool operator()(const A& a, const B& b) const noexcept {
        return compareKeys(text(a), text(b)) < 0;
    }
};

struct MemberEntry {
    PooledString* key;
    ValueNode* value;
};

using MemberTree =
    std::map<PooledString*, ValueNode*, KeyOrder, BlockAllocator<std::pair<PooledString* const, ValueNode*>>>;

class MemberTable {
  public:
    static constexpr std::uint32_t kFlatLimit = 64;

    std::size_t size() const noexcept { return tree_ ? tree_->size() : size_; }

    const ValueNode* find(std::string_view key) const noexcept;
    ValueNode* find(std::string_view key) noexcept;
    // The member under `key`, inserted Empty when missing.
    ValueNode& findOrInsert(ValueContext& context, std::string_view key);
    // The same with a key already pooled in the context, which gains a reference when inserted:
    // a conversion that meets one key many times looks it up in the pool once. A key that sorts
    // after every present one, in a flat table with room, is appended inline: readers meet
    // members in key order more often than not.
    ValueNode& findOrInsert(ValueContext& context, PooledString* key) {
        if (!tree_ && size_ < capacity_ &&
            (size_ == 0 || compareKeys(flat_[size_ - 1].key->view(), key->view()) < 0)) {
            ValueNode* member = newMember(context);
            StringPool::retain(key);
            flat_[size_++] = {key, member};
            return *member;
        }
        return findOrInsertPooled(context, key);
    }
    // Inserts a member whose key sorts after every present key (copies arrive in order).
    ValueNode& appendLast(ValueContext& context, std::string_view key, std::uint32_t hash);
    // Prepares room for n members so that appendLast moves no member before n are in.
    void reserve(ValueContext& context, std::size_t n) {
        if (!tree_ && n > capacity_) {
            reserveMore(context, n);
        }
    }

    // Calls f(PooledString* key, ValueNode& value) for every member in key order.
    template <class F> void forEach(F&& f) const {
        if (tree_) {
            for (auto& [key, value] : *tree_) {
                f(key, *value);
            }
        } else {
            for (std::uint32_t i = 0; i < size_; ++i) {
                f(flat_[i].key, *flat_[i].value);
            }
        }
    }

    // Removes every member but `kept`, releasing their keys; the other members must have been
    // left Empty. Allocates nothing.
    void keepOnly(ValueContext& context, ValueNode* kept) noexcept;

    // Frees the table's own storage and the member nodes; keys and the payloads of the members
    // must be released by the caller first.
    void destroy(ValueContext& context) noexcept;

    // The member first in key order; the table must not be empty.
    ValueNode& firstMember() const noexcept { return tree_ ? *tree_->begin()->second : *flat_[0].value; }

    const MemberEntry* flatBegin() const noexcept { return tree_ ? nullptr : flat_; }
    const MemberEntry* flatEnd() const noexcept { return tree_ ? nullptr : flat_ + size_; }
    const MemberTree* tree() const noexcept { return tree_; }

  private:
    std::uint32_t lowerBound(std::string_view key) const noexcept;
    void reserveMore(ValueContext& context, std::size_t n);
    void growFlat(ValueContext& context);
    void resizeFlat(ValueContext& context, std::uint32_t capacity);
    void convertToTree(ValueContext& context);
    template <class TakeKey>
    ValueNode& findOrInsertWith(ValueContext& context, std::string_view key, TakeKey&& takeKey);
    // Both insert a member under `key`, whose reference they take over (and drop on failure).
    ValueNode& insertFlat(ValueContext& context, std::uint32_t position, PooledString* key);
    ValueNode& insertIntoTree(ValueContext& context, MemberTree::const_iterator hint, PooledString* key);
    ValueNode& findOrInsertPooled(ValueContext& context, PooledString* key);
    static ValueNode* newMember(ValueContext& context) {
        return new (context.allocate(sizeof(ValueNode))) ValueNode(ValueNode::ChildOf{&context});
    }

    MemberEntry* flat_ = nullptr;
    std::uint32_t size_ = 0;
    std::uint32_t capacity_ = 0;
    MemberTree* tree_ = nullptr;
};

} // namespace kiv
