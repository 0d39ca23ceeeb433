#include "value/value_tree_ops.h"

#include "platform/invariant.h"
#include "value/value_limits.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <tuple>
#include <utility>

namespace kiv {
namespace {

bool isContainer(ValueKind kind) noexcept {
    return kind == ValueKind::Collection || kind == ValueKind::Structure;
}

// Calls f(ValueNode& child) for every child of the out-of-line part of a Collection or Structure.
template <class F> void forEachChild(ValueKind kind, void* block, F&& f) {
    if (kind == ValueKind::Collection) {
        const CollectionStorage& storage = *static_cast<CollectionStorage*>(block);
        for (std::uint32_t i = 0; i < storage.size; ++i) {
            f(storage.data[i]);
        }
    } else {
        static_cast<MemberTable*>(block)->forEach([&](PooledString*, ValueNode& child) { f(child); });
    }
}

} // namespace

ValueContext& ValueTreeOps::ensureContext(ValueNode& node) {
    if (!node.context_) {
        node.context_ = new ValueContext();
    }
    return *node.context_;
}

// A String's text is a record of its own, not pooled: values rarely repeat as member names do,
// and a record that no bucket holds is made and freed without a search. The record is made
// before the old payload goes, so a node can be set from its own text.
void ValueTreeOps::setStringOther(ValueNode& node, std::string_view text) {
    if (text.size() > kMaxTextSize) {
        throwTextTooLarge();
    }
    ValueContext& context = ensureContext(node);
    PooledString* record =
        text.empty() ? PooledString::empty()
                     : PooledString::place(context.allocate(PooledString::bytesFor(text.size())), text, 0);
    release(node);
    node.payload_.string = record;
    node.kind_ = ValueKind::String;
}

// Copies inside one tree share the text record.
void ValueTreeOps::shareString(ValueNode& node, PooledString* record) noexcept {
    KIV_ASSERT(node.kind_ == ValueKind::Empty, "a shared text goes into an Empty node");
    StringPool::retain(record);
    node.payload_.string = record;
    node.kind_ = ValueKind::String;
}

void ValueTreeOps::releaseString(ValueContext& context, PooledString* record) noexcept {
    KIV_ASSERT(record == PooledString::empty() || record->refs != 0, "a released text is still held");
    if (record != PooledString::empty() && --record->refs == 0) {
        context.deallocate(record, PooledString::bytesFor(record->length));
    }
}

template <class Part, class... Args>
void ValueTreeOps::installPart(ValueNode& node, ValueKind kind, Args&&... args) {
    ValueContext& context = ensureContext(node);
    void* block = context.allocate(sizeof(Part));
    try {
        new (block) Part(std::forward<Args>(args)...);
    } catch (...) {
        context.deallocate(block, sizeof(Part));
        throw;
    }
    if (kind == ValueKind::Blob) {
        context.blobAdded();
    }
    release(node);
    node.payload_.block = block;
    node.kind_ = kind;
}

void ValueTreeOps::setBlob(ValueNode& node, std::vector<std::uint8_t>&& bytes) {
    installPart<std::vector<std::uint8_t>>(node, ValueKind::Blob, std::move(bytes));
    bytes.clear();
}

void ValueTreeOps::setBlob(ValueNode& node, std::span<const std::uint8_t> bytes) {
    installPart<std::vector<std::uint8_t>>(node, ValueKind::Blob, bytes.begin(), bytes.end());
}

void ValueTreeOps::installContainer(ValueNode& node, ValueKind kind) {
    if (kind == ValueKind::Collection) {
        installPart<CollectionStorage>(node, kind);
    } else {
        installPart<MemberTable>(node, kind);
    }
}

void ValueTreeOps::setEnum(ValueNode& node, EnumValue value) {
    installPart<EnumValue>(node, ValueKind::Enum, value);
}

void ValueTreeOps::release(ValueNode& node) noexcept {
    ValueContext* context = node.context_;
    switch (node.kind_) {
    case ValueKind::Empty:
    case ValueKind::Bool:
    case ValueKind::Signed:
    case ValueKind::Unsigned:
    case ValueKind::Float:
        break;
    case ValueKind::String:
        releaseString(*context, node.payload_.string);
        break;
    case ValueKind::Blob: {
        auto* bytes = static_cast<std::vector<std::uint8_t>*>(node.payload_.block);
        bytes->~vector();
        context->deallocate(bytes, sizeof(std::vector<std::uint8_t>));
        context->blobRemoved();
        break;
    }
    case ValueKind::Enum:
        context->deallocate(node.payload_.block, sizeof(EnumValue));
        break;
    case ValueKind::Collection:
    case ValueKind::Structure:
        destroyContainer(node);
        break;
    }
    node.kind_ = ValueKind::Empty;
    node.payload_.unsignedValue = 0;
}

void ValueTreeOps::adoptPayload(ValueNode& node, ValueNode& source) noexcept {
    KIV_ASSERT(source.context_ == node.context_, "a payload moves only between nodes of one tree");
    release(node);
    node.payload_ = source.payload_;
    node.kind_ = source.kind_;
    source.kind_ = ValueKind::Empty;
    source.payload_.unsignedValue = 0;
}

void ValueTreeOps::growCollection(ValueNode& node, std::size_t capacity) {
    CollectionStorage& storage = collection(node);
    if (capacity <= storage.capacity) {
        return;
    }
    if (capacity > kMaxCollectionSize) {
        throwCollectionTooLarge();
    }
    ValueContext& context = *node.context_;
    auto* data = static_cast<ValueNode*>(context.allocate(capacity * sizeof(ValueNode)));
    // Children hold nothing that points into themselves, so they move bit for bit.
    if (storage.size != 0) {
        std::memcpy(static_cast<void*>(data), static_cast<const void*>(storage.data),
                    storage.size * sizeof(ValueNode));
    }
    context.deallocate(storage.data, storage.capacity * sizeof(ValueNode));
    storage.data = data;
    storage.capacity = static_cast<std::uint32_t>(capacity);
}

ValueNode& ValueTreeOps::appendReserved(ValueNode& node) noexcept {
    CollectionStorage& storage = collection(node);
    KIV_ASSERT(storage.size < storage.capacity, "an element is appended only into reserved room");
    return *new (storage.data + storage.size++) ValueNode(ValueNode::ChildOf{node.context_});
}

// Containers waiting to be walked, kept without memory of their own, so that destroying a tree
// holds when memory has run out. A waiting container has at least one child, and the first
// child's context word and owns-context byte, known for every child node (the tree's context,
// 0), hold the link to the container below it until it is taken again.
class ValueTreeOps::WaitingContainers {
  public:
    explicit WaitingContainers(ValueContext& context) noexcept : context_(context) {}

    void push(Container container) noexcept {
        KIV_ASSERT(hasChildren(container), "a waiting container keeps its link in its first child");
        ValueNode& slot = firstChild(container);
        KIV_ASSERT(slot.context_ == &context_ && !slot.ownsContext_,
                   "a child node shares the tree's context");
        std::memcpy(&slot.context_, &top_.block, sizeof top_.block);
        slot.ownsContext_ = static_cast<std::uint8_t>(top_.kind);
        top_ = container;
    }

    bool pop(Container& container) noexcept {
        if (top_.kind == ValueKind::Empty) {
            return false;
        }
        container = top_;
        ValueNode& slot = firstChild(container);
        top_.kind = static_cast<ValueKind>(slot.ownsContext_);
        std::memcpy(&top_.block, &slot.context_, sizeof top_.block);
        slot.context_ = &context_;
        slot.ownsContext_ = 0;
        return true;
    }

  private:
    static_assert(sizeof(ValueContext*) == sizeof(void*), "the context word holds a block pointer");

    static ValueNode& firstChild(Container container) noexcept {
        if (container.kind == ValueKind::Collection) {
            return static_cast<CollectionStorage*>(container.block)->data[0];
        }
        return static_cast<MemberTable*>(container.block)->firstMember();
    }

    ValueContext& context_;
    Container top_{ValueKind::Empty, nullptr};
};

bool ValueTreeOps::hasChildren(Container container) noexcept {
    if (container.kind == ValueKind::Collection) {
        return static_cast<const CollectionStorage*>(container.block)->size != 0;
    }
    return static_cast<const MemberTable*>(container.block)->size() != 0;
}

// Frees a container's own storage once its children have been released.
void ValueTreeOps::freeStorage(Container container, ValueContext& context) noexcept {
    if (container.kind == ValueKind::Collection) {
        auto* storage = static_cast<CollectionStorage*>(container.block);
        context.deallocate(storage->data, storage->capacity * sizeof(ValueNode));
        context.deallocate(storage, sizeof(CollectionStorage));
    } else {
        auto* table = static_cast<MemberTable*>(container.block);
        table->destroy(context);
        context.deallocate(table, sizeof(MemberTable));
    }
}

// Nested containers are detached and wait for their turn, so no destructor ever recurses into a
// subtree.
void ValueTreeOps::destroyContainer(ValueNode& node) noexcept {
    KIV_ASSERT(isContainer(node.kind_), "only a Collection or Structure is destroyed as a container");
    ValueContext& context = *node.context_;
    WaitingContainers waiting(context);
    Container current{node.kind_, node.payload_.block};
    node.kind_ = ValueKind::Empty;
    node.payload_.unsignedValue = 0;

    auto releaseChild = [&](ValueNode& child) {
        if (!isContainer(child.kind_)) {
            release(child);
            return;
        }
        const Container nested{child.kind_, child.payload_.block};
        child.kind_ = ValueKind::Empty;
        child.payload_.unsignedValue = 0;
        if (hasChildren(nested)) {
            waiting.push(nested);
        } else {
            freeStorage(nested, context);
        }
    };

    do {
        if (current.kind == ValueKind::Collection) {
            const CollectionStorage& storage = *static_cast<CollectionStorage*>(current.block);
            for (std::uint32_t i = 0; i < storage.size; ++i) {
                releaseChild(storage.data[i]);
            }
        } else {
            static_cast<MemberTable*>(current.block)->forEach([&](PooledString* key, ValueNode& child) {
                context.strings().release(key);
                releaseChild(child);
            });
        }
        freeStorage(current, context);
    } while (waiting.pop(current));
}

void ValueTreeOps::teardown(ValueNode& root) noexcept {
    ValueContext& context = *root.context_;
    if (context.blobCount() != 0 && (root.kind_ == ValueKind::Blob || isContainer(root.kind_))) {
        WaitingContainers waiting(context);
        auto visit = [&](ValueNode& node) {
            if (node.kind_ == ValueKind::Blob) {
                blob(node).~vector();
            } else if (isContainer(node.kind_)) {
                const Container container{node.kind_, node.payload_.block};
                if (hasChildren(container)) {
                    waiting.push(container);
                }
            }
        };
        visit(root);
        Container current;
        while (waiting.pop(current)) {
            forEachChild(current.kind, current.block, visit);
        }
    }
    root.kind_ = ValueKind::Empty;
    root.payload_.unsignedValue = 0;
}

std::vector<ValueNode*> ValueTreeOps::pathTo(ValueNode& root, const ValueNode& node) {
    std::vector<ValueNode*> path;
    // Only a child node of the same tree can lie inside `root`.
    if (node.ownsContext_ || node.context_ != root.context_ || !isContainer(root.kind_)) {
        return path;
    }
    constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
    struct Visit {
        ValueNode* container;
        std::size_t parent; // index of the parent's visit
    };
    std::vector<Visit> visits{{&root, kNoParent}};
    std::vector<std::size_t> pending{0};
    while (!pending.empty()) {
        const std::size_t at = pending.back();
        pending.pop_back();
        bool found = false;
        ValueNode& container = *visits[at].container;
        forEachChild(container.kind_, container.payload_.block, [&](ValueNode& child) {
            if (&child == &node) {
                found = true;
            } else if (!found && isContainer(child.kind_)) {
                visits.push_back({&child, at});
                pending.push_back(visits.size() - 1);
            }
        });
        if (found) {
            path.push_back(const_cast<ValueNode*>(&node));
            for (std::size_t i = at; i != kNoParent; i = visits[i].parent) {
                path.push_back(visits[i].container);
            }
            std::reverse(path.begin(), path.end());
            return path;
        }
    }
    return path;
}

void ValueTreeOps::clearBesidePath(std::span<ValueNode* const> path) noexcept {
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        ValueNode& container = *path[i];
        ValueNode* kept = path[i + 1];
        if (container.kind_ == ValueKind::Collection) {
            // Elements before the kept one become Empty, so that it keeps its index; those
            // after it go.
            CollectionStorage& storage = collection(container);
            const auto index = static_cast<std::uint32_t>(kept - storage.data);
            KIV_ASSERT(index < storage.size, "a path runs through the elements of its collections");
            for (std::uint32_t j = 0; j < storage.size; ++j) {
                if (j != index) {
                    release(storage.data[j]);
                }
            }
            storage.size = index + 1;
        } else {
            KIV_ASSERT(container.kind_ == ValueKind::Structure, "a path runs through containers only");
            MemberTable& members = structure(container);
            members.forEach([kept](PooledString*, ValueNode& member) {
                if (&member != kept) {
                    release(member);
                }
            });
            members.keepOnly(*container.context_, kept);
        }
    }
}

void ValueTreeOps::copyTree(const ValueNode& source, ValueNode& target) {
    std::vector<std::pair<const ValueNode*, ValueNode*>> pending;
    const ValueNode* from = &source;
    ValueNode* to = &target;
    for (;;) {
        switch (from->kind_) {
        case ValueKind::Empty:
            break;
        case ValueKind::Bool:
        case ValueKind::Signed:
        case ValueKind::Unsigned:
        case ValueKind::Float:
            to->payload_ = from->payload_;
            to->kind_ = from->kind_;
            break;
        case ValueKind::String:
            if (from->context_ == to->context_) {
                shareString(*to, from->payload_.string);
            } else {
                setString(*to, from->payload_.string->view());
            }
            break;
        case ValueKind::Blob: {
            const auto& bytes = blob(*from);
            setBlob(*to, std::span<const std::uint8_t>(bytes.data(), bytes.size()));
            break;
        }
        case ValueKind::Enum:
            setEnum(*to, enumRecord(*from));
            break;
        case ValueKind::Collection: {
            const CollectionStorage& children = collection(*from);
            makeCollection(*to);
            growCollection(*to, children.size);
            for (std::uint32_t i = 0; i < children.size; ++i) {
                const ValueNode& child = children.data[i];
                ValueNode& copy = appendReserved(*to);
                if (child.kind_ != ValueKind::Empty) {
                    pending.emplace_back(&child, &copy);
                }
            }
            break;
        }
        case ValueKind::Structure: {
            makeStructure(*to);
            MemberTable& members = structure(*to);
            const MemberTable& source = structure(*from);
            // Keys arrive in order, so each one goes at the end, into room made beforehand.
            members.reserve(*to->context_, source.size());
            source.forEach([&](PooledString* key, const ValueNode& child) {
                ValueNode& copy = members.appendLast(*to->context_, key->view(), key->hash);
                if (child.kind_ != ValueKind::Empty) {
                    pending.emplace_back(&child, &copy);
                }
            });
            break;
        }
        }
        if (pending.empty()) {
            return;
        }
        std::tie(from, to) = pending.back();
        pending.pop_back();
    }
}

} // namespace kiv
