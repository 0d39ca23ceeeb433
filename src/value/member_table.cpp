#include "value/member_table.h"

#include "platform/invariant.h"
#include "value/value_context.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace kiv {
namespace {

// The first array fits a small pool block; later ones double up to the flat limit.
constexpr std::uint32_t kFirstCapacity = kSmallBlockSize / sizeof(MemberEntry) > 0
                                             ? kSmallBlockSize / sizeof(MemberEntry)
                                             : 1;

} // namespace

std::uint32_t MemberTable::lowerBound(std::string_view key) const noexcept {
    std::uint32_t low = 0;
    std::uint32_t count = size_;
    while (count > 0) {
        const std::uint32_t half = count / 2;
        if (compareKeys(flat_[low + half].key->view(), key) < 0) {
            low += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    return low;
}

const ValueNode* MemberTable::find(std::string_view key) const noexcept {
    if (tree_) {
        auto it = tree_->find(key);
        return it == tree_->end() ? nullptr : it->second;
    }
    const std::uint32_t position = lowerBound(key);
    return position < size_ && flat_[position].key->holds(key) ? flat_[position].value : nullptr;
}

ValueNode* MemberTable::find(std::string_view key) noexcept {
    return const_cast<ValueNode*>(std::as_const(*this).find(key));
}

// Each of the two lookups takes its key's reference only once the key is known to be missing.
// Members often arrive in key order (a tree read back from the records it was written to, a
// document written from a tree), so a key past the last one is placed without a search.
template <class TakeKey>
ValueNode& MemberTable::findOrInsertWith(ValueContext& context, std::string_view key, TakeKey&& takeKey) {
    if (!tree_) {
        const bool pastTheLast = size_ == 0 || compareKeys(flat_[size_ - 1].key->view(), key) < 0;
        const std::uint32_t position = pastTheLast ? size_ : lowerBound(key);
        if (position < size_ && flat_[position].key->holds(key)) {
            return *flat_[position].value;
        }
        if (size_ < kFlatLimit) {
            return insertFlat(context, position, takeKey());
        }
        convertToTree(context);
    }
    if (tree_->empty() || compareKeys(tree_->rbegin()->first->view(), key) < 0) {
        return insertIntoTree(context, tree_->end(), takeKey());
    }
    auto position = tree_->lower_bound(key);
    if (position != tree_->end() && position->first->holds(key)) {
        return *position->second;
    }
    return insertIntoTree(context, position, takeKey());
}

ValueNode& MemberTable::findOrInsert(ValueContext& context, std::string_view key) {
    return findOrInsertWith(context, key, [&] { return context.strings().intern(key); });
}

ValueNode& MemberTable::findOrInsertPooled(ValueContext& context, PooledString* key) {
    return findOrInsertWith(context, key->view(), [key] {
        StringPool::retain(key);
        return key;
    });
}

ValueNode& MemberTable::appendLast(ValueContext& context, std::string_view key, std::uint32_t hash) {
    KIV_ASSERT(size() == 0 ||
                   compareKeys((tree_ ? tree_->rbegin()->first : flat_[size_ - 1].key)->view(), key) < 0,
               "members appended at the end arrive in key order");
    if (!tree_ && size_ == kFlatLimit) {
        convertToTree(context);
    }
    PooledString* pooledKey = context.strings().intern(key, hash);
    return tree_ ? insertIntoTree(context, tree_->end(), pooledKey) : insertFlat(context, size_, pooledKey);
}

void MemberTable::reserveMore(ValueContext& context, std::size_t n) {
    if (n > kFlatLimit) {
        convertToTree(context);
        return;
    }
    resizeFlat(context, std::max(static_cast<std::uint32_t>(n), kFirstCapacity));
}

void MemberTable::growFlat(ValueContext& context) {
    resizeFlat(context, capacity_ == 0 ? kFirstCapacity : std::min(capacity_ * 2, kFlatLimit));
}

void MemberTable::resizeFlat(ValueContext& context, std::uint32_t capacity) {
    auto* entries = static_cast<MemberEntry*>(context.allocate(capacity * sizeof(MemberEntry)));
    if (size_ != 0) {
        std::memcpy(entries, flat_, size_ * sizeof(MemberEntry));
    }
    context.deallocate(flat_, capacity_ * sizeof(MemberEntry));
    flat_ = entries;
    capacity_ = capacity;
}

void MemberTable::convertToTree(ValueContext& context) {
    void* block = context.allocate(sizeof(MemberTree));
    auto* tree = new (block) MemberTree(BlockAllocator<MemberTree::value_type>(&context));
    try {
        for (std::uint32_t i = 0; i < size_; ++i) {
            tree->emplace_hint(tree->end(), flat_[i].key, flat_[i].value);
        }
    } catch (...) {
        tree->~MemberTree();
        context.deallocate(block, sizeof(MemberTree));
        throw;
    }
    context.deallocate(flat_, capacity_ * sizeof(MemberEntry));
    flat_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    tree_ = tree;
}

ValueNode& MemberTable::insertFlat(ValueContext& context, std::uint32_t position, PooledString* key) {
    ValueNode* member = nullptr;
    try {
        if (size_ == capacity_) {
            growFlat(context);
        }
        member = newMember(context);
    } catch (...) {
        context.strings().release(key);
        throw;
    }
    MemberEntry* slot = flat_ + position;
    if (position != size_) {
        std::memmove(slot + 1, slot, (size_ - position) * sizeof(MemberEntry));
    }
    *slot = {key, member};
    ++size_;
    return *member;
}

ValueNode& MemberTable::insertIntoTree(ValueContext& context, MemberTree::const_iterator hint,
                                       PooledString* key) {
    ValueNode* member = nullptr;
    try {
        member = newMember(context);
        tree_->emplace_hint(hint, key, member);
    } catch (...) {
        context.strings().release(key);
        if (member) {
            context.deallocate(member, sizeof(ValueNode));
        }
        throw;
    }
    return *member;
}

void MemberTable::keepOnly(ValueContext& context, ValueNode* kept) noexcept {
    PooledString* keptKey = nullptr;
    forEach([&](PooledString* key, ValueNode& member) {
        if (&member == kept) {
            keptKey = key;
            return;
        }
        KIV_ASSERT(member.kind() == ValueKind::Empty, "the members that go were released first");
        context.strings().release(key);
        context.deallocate(&member, sizeof(ValueNode));
    });
    KIV_ASSERT(keptKey, "the kept node is a member of this table");
    if (tree_) {
        // Erasing tree nodes only frees them; a tree table may hold few members.
        std::erase_if(*tree_, [kept](const auto& entry) { return entry.second != kept; });
        return;
    }
    flat_[0] = {keptKey, kept};
    size_ = 1;
}

void MemberTable::destroy(ValueContext& context) noexcept {
    forEach([&context](PooledString*, ValueNode& member) { context.deallocate(&member, sizeof(ValueNode)); });
    if (tree_) {
        tree_->~MemberTree();
        context.deallocate(tree_, sizeof(MemberTree));
        tree_ = nullptr;
        return;
    }
    context.deallocate(flat_, capacity_ * sizeof(MemberEntry));
    flat_ = nullptr;
    size_ = capacity_ = 0;
}

} // namespace kiv
