#include "value/value_tree_ops.h"

#include "platform/invariant.h"

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

bool mayHoldBlobs(ValueKind kind) noexcept {
    return kind == ValueKind::Blob || isContainer(kind);
}

// Calls f(Value& child) for every child of a Collection or Structure.
template <class F> void forEachChild(const Value& container, F&& f) {
    if (container.kind() == ValueKind::Collection) {
        const CollectionStorage& storage = ValueTreeOps::collection(container);
        for (std::uint32_t i = 0; i < storage.size; ++i)
            f(storage.data[i]);
    } else {
        ValueTreeOps::structure(container).forEach([&](PooledString*, Value& child) { f(child); });
    }
}

struct DetachedContainer {
    ValueKind kind;
    void* block;
};

} // namespace

void ValueTreeOps::growCollection(Value& value, std::size_t capacity) {
    CollectionStorage& storage = collection(value);
    if (capacity <= storage.capacity)
        return;
    if (capacity > kMaxCollectionSize)
        throwCollectionTooLarge();
    ValueContext& context = *value.context_;
    auto* data = static_cast<Value*>(context.allocate(capacity * sizeof(Value)));
    // Children hold nothing that points into themselves, so they move bit for bit.
    if (storage.size != 0)
        std::memcpy(static_cast<void*>(data), static_cast<const void*>(storage.data),
                    storage.size * sizeof(Value));
    context.deallocate(storage.data, storage.capacity * sizeof(Value));
    storage.data = data;
    storage.capacity = static_cast<std::uint32_t>(capacity);
}

Value& ValueTreeOps::appendReserved(Value& value) noexcept {
    CollectionStorage& storage = collection(value);
    return *new (storage.data + storage.size++) Value(Value::ChildOf{value.context_});
}

// Nested containers are detached into a work list before their parent's storage goes, so no
// destructor ever recurses into a subtree.
void ValueTreeOps::destroyContainer(Value& value) noexcept {
    ValueContext& context = *value.context_;
    std::vector<DetachedContainer> pending;
    DetachedContainer current{value.kind_, value.payload_.block};
    value.kind_ = ValueKind::Empty;
    value.payload_.unsignedValue = 0;

    auto detachChild = [&](Value& child) {
        if (isContainer(child.kind_)) {
            pending.push_back({child.kind_, child.payload_.block});
            child.kind_ = ValueKind::Empty;
            child.payload_.unsignedValue = 0;
        } else {
            child.releasePayload();
        }
    };

    for (;;) {
        if (current.kind == ValueKind::Collection) {
            auto* storage = static_cast<CollectionStorage*>(current.block);
            for (std::uint32_t i = 0; i < storage->size; ++i)
                detachChild(storage->data[i]);
            context.deallocate(storage->data, storage->capacity * sizeof(Value));
            context.deallocate(storage, sizeof(CollectionStorage));
        } else {
            auto* table = static_cast<MemberTable*>(current.block);
            table->forEach([&](PooledString* key, Value& child) {
                context.strings().release(key);
                detachChild(child);
            });
            table->destroy(context);
            context.deallocate(table, sizeof(MemberTable));
        }
        if (pending.empty())
            break;
        current = pending.back();
        pending.pop_back();
    }
}

void ValueTreeOps::teardown(Value& root) noexcept {
    if (root.context_->blobCount() != 0) {
        std::vector<const Value*> pending;
        const Value* node = &root;
        for (;;) {
            switch (node->kind_) {
            case ValueKind::Blob:
                blob(*node).~vector();
                break;
            case ValueKind::Collection: {
                const CollectionStorage& storage = collection(*node);
                for (std::uint32_t i = 0; i < storage.size; ++i)
                    if (mayHoldBlobs(storage.data[i].kind_))
                        pending.push_back(&storage.data[i]);
                break;
            }
            case ValueKind::Structure:
                structure(*node).forEach([&](PooledString*, const Value& child) {
                    if (mayHoldBlobs(child.kind_))
                        pending.push_back(&child);
                });
                break;
            default:
                break;
            }
            if (pending.empty())
                break;
            node = pending.back();
            pending.pop_back();
        }
    }
    root.kind_ = ValueKind::Empty;
    root.payload_.unsignedValue = 0;
}

std::vector<Value*> ValueTreeOps::pathTo(Value& root, const Value& node) {
    std::vector<Value*> path;
    // Only a child node of the same tree can lie inside `root`.
    if (node.ownsContext_ || node.context_ != root.context_ || !isContainer(root.kind_))
        return path;
    constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);
    struct Visit {
        Value* container;
        std::size_t parent; // index of the parent's visit
    };
    std::vector<Visit> visits{{&root, kNoParent}};
    std::vector<std::size_t> pending{0};
    while (!pending.empty()) {
        const std::size_t at = pending.back();
        pending.pop_back();
        bool found = false;
        forEachChild(*visits[at].container, [&](Value& child) {
            if (&child == &node) {
                found = true;
            } else if (!found && isContainer(child.kind_)) {
                visits.push_back({&child, at});
                pending.push_back(visits.size() - 1);
            }
        });
        if (found) {
            path.push_back(const_cast<Value*>(&node));
            for (std::size_t i = at; i != kNoParent; i = visits[i].parent)
                path.push_back(visits[i].container);
            std::reverse(path.begin(), path.end());
            return path;
        }
    }
    return path;
}

void ValueTreeOps::clearBesidePath(std::span<Value* const> path) noexcept {
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        Value& container = *path[i];
        Value* kept = path[i + 1];
        if (container.kind_ == ValueKind::Collection) {
            // Elements before the kept one become Empty, so that it keeps its index; those
            // after it go.
            CollectionStorage& storage = collection(container);
            const auto index = static_cast<std::uint32_t>(kept - storage.data);
            KIV_ASSERT(index < storage.size, "a path runs through the elements of its collections");
            for (std::uint32_t j = 0; j < storage.size; ++j)
                if (j != index)
                    storage.data[j].releasePayload();
            storage.size = index + 1;
        } else {
            KIV_ASSERT(container.kind_ == ValueKind::Structure, "a path runs through containers only");
            structure(container).keepOnly(*container.context_, kept);
        }
    }
}

void ValueTreeOps::copyTree(const Value& source, Value& target) {
    std::vector<std::pair<const Value*, Value*>> pending;
    const Value* from = &source;
    Value* to = &target;
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
            to->setString(from->payload_.string->view());
            break;
        case ValueKind::Blob: {
            const auto& bytes = blob(*from);
            to->setBlob(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
            break;
        }
        case ValueKind::Enum:
            to->setEnum(enumRecord(*from));
            break;
        case ValueKind::Collection: {
            const CollectionStorage& children = collection(*from);
            to->makeCollection();
            growCollection(*to, children.size);
            for (std::uint32_t i = 0; i < children.size; ++i) {
                const Value& child = children.data[i];
                Value& copy = appendReserved(*to);
                if (child.kind_ != ValueKind::Empty)
                    pending.emplace_back(&child, &copy);
            }
            break;
        }
        case ValueKind::Structure: {
            to->makeStructure();
            MemberTable& members = structure(*to);
            const MemberTable& source = structure(*from);
            // Keys arrive in order, so each one goes at the end, into room made beforehand.
            members.reserve(*to->context_, source.size());
            source.forEach([&](PooledString* key, const Value& child) {
                Value& copy = members.appendLast(*to->context_, key->view(), key->hash);
                if (child.kind_ != ValueKind::Empty)
                    pending.emplace_back(&child, &copy);
            });
            break;
        }
        }
        if (pending.empty())
            return;
        std::tie(from, to) = pending.back();
        pending.pop_back();
    }
}

} // namespace kiv
