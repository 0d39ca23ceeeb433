// Builds a value tree from a stream of reader events, as a document handler does: the readers
// only tokenize (JSON text, MessagePack bytes, YAML events) and this builder decides where
// each node goes. It owns the stack of open containers and the rules for a key that comes
// twice, so the three readers cannot drift apart on them:
// - the member is reused: a scalar replaces what it held, a structure merges into a structure;
// - a collection under a repeated key either continues the earlier one (Concatenate) or is
//   written over it index by index (Overwrite), as the format requires;
// - a null keeps what the member held; inside a collection it is a new Empty element.
//
// Every event is inline and the builder is a plain class, so a reader that calls it from a
// template handler pays no dispatch per event. The builder never recurses: nesting is bounded
// by memory only. Member names are looked up in a cache of the names met at the same place of
// earlier structures before the tree's pool is searched.
#pragma once

#include "platform/invariant.h"
#include "value/member_name_cache.h"
#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

enum class RepeatedCollections : std::uint8_t { Concatenate, Overwrite };

// Where the next node goes.
enum class TreeSlot : std::uint8_t { Root, Element, Member };

class ValueTreeBuilder {
  public:
    explicit ValueTreeBuilder(Value& root, RepeatedCollections rule = RepeatedCollections::Concatenate)
        : root_(root), rule_(rule) {}

    ValueTreeBuilder(const ValueTreeBuilder&) = delete;
    ValueTreeBuilder& operator=(const ValueTreeBuilder&) = delete;

    void null() { place(); } // takes its place in a collection; a member keeps what it held
    void boolean(bool value) { place().setBool(value); }
    void signedNumber(std::int64_t value) { place().setSigned(value); }
    void unsignedNumber(std::uint64_t value) { place().setUnsigned(value); }
    void floatNumber(double value) { place().setFloat(value); }
    void string(std::string_view text) { place().setString(text); }
    void blob(std::span<const std::uint8_t> bytes) { place().setBlob(bytes); }

    // A container's count when the input does not say it.
    static constexpr std::size_t kCountUnknown = static_cast<std::size_t>(-1);

    // `expected` members are made room for; a reader passes only a count that its input can fill.
    // Without one, room is made for as many as the last structure in the same place held.
    void startStructure(std::size_t expected = kCountUnknown) {
        const std::uint32_t seed = seedOfNext();
        Value& node = place();
        node.makeStructure();
        if (expected == kCountUnknown) {
            expected = names_.membersOf(seed, MemberTable::kFlatLimit);
        }
        if (expected != 0) {
            ValueTreeOps::structure(node).reserve(*node.context(), expected);
        }
        open_.push_back({&node, 0, seed});
    }
    // Names the member that the next node fills: inserted if missing, reused if present.
    void key(std::string_view text) {
        KIV_ASSERT(awaitingKey(), "a key comes only in a structure, and only once per member");
        Frame& top = open_.back();
        ValueContext& context = *top.node->context();
        MemberTable& members = ValueTreeOps::structure(*top.node);
        const std::uint32_t position = top.position++;
        if (PooledString* known = names_.find(top.seed, position, text)) {
            keyTarget_ = &Value::of(members.findOrInsert(context, known));
            keyName_ = known;
            return;
        }
        // The table takes a reference of its own, or already holds the same record; the one
        // that intern() gave is dropped either way, and the key keeps the record alive.
        StringPool& pool = context.strings();
        PooledString* name = pool.intern(text);
        try {
            keyTarget_ = &Value::of(members.findOrInsert(context, name));
        } catch (...) {
            pool.release(name);
            throw;
        }
        pool.release(name);
        names_.remember(top.seed, position, name);
        keyName_ = name;
    }
    void endStructure() {
        KIV_ASSERT(!open_.empty() && open_.back().node->isStructure(),
                   "the innermost open node is a structure");
        KIV_ASSERT(!keyTarget_, "no key is left without its member");
        names_.noteMembers(open_.back().seed, open_.back().position);
        open_.pop_back();
    }

    // `expected` elements are reserved; a reader passes only a count that its input can fill.
    // Without one, room is made for as many as the last collection in the same place held, up
    // to a structure's flat limit.
    void startCollection(std::size_t expected = kCountUnknown) {
        const std::uint32_t seed = seedOfNext();
        Value& node = place();
        const bool repeated = node.isCollection();
        node.makeCollection();
        if (expected == kCountUnknown) {
            expected = names_.membersOf(seed, MemberTable::kFlatLimit);
        }
        if (expected != 0) {
            node.reserve(expected);
        }
        const std::size_t reusable = repeated && rule_ == RepeatedCollections::Overwrite ? node.size() : 0;
        open_.push_back({&node, reusable, seed});
    }
    void endCollection() {
        KIV_ASSERT(!open_.empty() && open_.back().node->isCollection(),
                   "the innermost open node is a collection");
        names_.noteMembers(open_.back().seed, open_.back().position);
        open_.pop_back();
    }

    // The node that the next event fills, for readers that set nodes themselves (typed
    // scalars, copies of anchored nodes). Calling it consumes the slot, as an event does.
    Value& place() {
        Value& node = nextNode();
        if (!node.isEmpty()) {
            names_.forgetAll(); // writing over the node may free names that the cache remembers
        }
        return node;
    }

    // Open containers, the root's own excluded.
    std::size_t depth() const noexcept { return open_.size(); }
    // The innermost open container; only while depth() > 0.
    const Value& innermost() const noexcept {
        KIV_ASSERT(!open_.empty(), "a container is open");
        return *open_.back().node;
    }
    // True inside a structure whose next member has no key yet.
    bool awaitingKey() const noexcept {
        return !open_.empty() && open_.back().node->isStructure() && !keyTarget_;
    }
    TreeSlot nextSlot() const noexcept {
        if (open_.empty()) {
            return TreeSlot::Root;
        }
        return open_.back().node->isCollection() ? TreeSlot::Element : TreeSlot::Member;
    }

  private:
    struct Frame {
        Value* node;
        // Elements of an earlier collection under the same key still to be written over;
        // they are the last `reusable` elements of the node. Later elements are appended.
        std::size_t reusable;
        std::uint32_t seed;         // the container's place in the document, for the name cache
        std::uint32_t position = 0; // keys met so far in a structure, elements in a collection
    };

    Value& nextNode() {
        if (open_.empty()) {
            return root_;
        }
        Frame& top = open_.back();
        if (top.node->isCollection()) {
            ++top.position;
            if (top.reusable == 0) {
                return top.node->append();
            }
            return top.node->element(top.node->size() - top.reusable--);
        }
        KIV_ASSERT(keyTarget_, "a member is placed only after its key");
        return *std::exchange(keyTarget_, nullptr);
    }
    // The seed of a container that the next node becomes.
    std::uint32_t seedOfNext() const noexcept {
        if (open_.empty()) {
            return 0;
        }
        const Frame& top = open_.back();
        return MemberNameCache::seedOf(top.seed, top.node->isStructure() ? keyName_ : nullptr);
    }

    Value& root_;
    Value* keyTarget_ = nullptr;      // the member named by the last key, until a node fills it
    PooledString* keyName_ = nullptr; // the name of that member
    std::vector<Frame> open_;
    MemberNameCache names_;
    RepeatedCollections rule_;
};

} // namespace kiv
