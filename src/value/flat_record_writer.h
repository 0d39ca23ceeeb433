// The one writer of outgoing flat records, in one arena: a sizing walk adds up what the records
// need, one block is taken, and a filling walk fills it. What it walks is up to a source, so that
// a tree and a native structure are written by the same code:
//   Node                               a small handle on one node
//   FlatNode read(const Node&)         the node's kind, payload and record count
//   forEachChild(const Node&, visit)   visit(nameIdentity, name, const Node& child) for each
//                                      element (no name) or member, in record order; exactly
//                                      read().count of them
//   shallowStructure(const Node&)      for a Structure whose members are all scalars under
//                                      distinct names, its member count and the bytes of its
//                                      names with their terminators; else nothing. Such a root
//                                      is sized without the sizing walk.
// Arrays come first (the top record's at the arena's start, so that releaseFlat finds the arena),
// each at a word boundary; the texts, keys and blob bytes follow. An empty array or blob still
// takes room, so that its pointer is not null, as a set built record by record has it. Members
// under one name identity share their name's text (as far as a small cache of recent names
// reaches): every object of an array has the same member names, and written once they spare
// bytes here and let the way back look each name up once. Both walks use explicit stacks, so a
// tree nested a million levels deep is written without a deep call stack.
#pragma once

#include "kiv/plugin_abi.h"
#include "platform/invariant.h"
#include "value/enum_name_lookup.h"
#include "value/flat_arena.h"
#include "value/flat_node.h"
#include "value/flat_record.h"
#include "value/pointer_cache.h"
#include "value/small_stack.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string_view>

namespace kiv {

namespace flat_writer_detail {

constexpr std::size_t kArrayAlignment = sizeof(void*);
// Enough for an answer of a few members to be written without a heap block for the work list.
constexpr std::size_t kInlineSteps = 16;

inline void add(std::size_t& total, std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - total) {
        throw std::bad_alloc();
    }
    total += bytes;
}

inline std::size_t arrayBytes(std::size_t count, std::size_t recordSize) {
    if (count > (static_cast<std::size_t>(-1) - kArrayAlignment) / recordSize) {
        throw std::bad_alloc();
    }
    return ((count ? count : 1) * recordSize + kArrayAlignment - 1) & ~(kArrayAlignment - 1);
}

inline void setWords(FlatValue& flat, std::uint32_t kind, std::uint64_t bits) noexcept {
    flat.kind = kind;
    flat.a = static_cast<std::uint32_t>(bits);
    flat.b = static_cast<std::uint32_t>(bits >> 32);
}

inline void setStorage(FlatValue& flat, std::uint32_t kind, const void* storage, std::size_t count) noexcept {
    flat.kind = kind;
    flat.a = reinterpret_cast<std::uintptr_t>(storage);
    flat.b = static_cast<std::uint32_t>(count);
}

// Hands out the arena's room: arrays from the front, bytes from behind them.
class ArenaCursor {
  public:
    ArenaCursor(unsigned char* start, std::size_t arrayBytes, std::size_t totalBytes) noexcept
        : arrays_(start), bytes_(start + arrayBytes), end_(start + totalBytes) {}

    template <class Record> Record* records(std::size_t count) noexcept {
        auto* array = reinterpret_cast<Record*>(arrays_);
        const std::size_t size = arrayBytes(count, sizeof(Record));
        std::memset(arrays_, 0, size);
        arrays_ += size;
        KIV_ASSERT(arrays_ <= end_, "the arrays stay within the room the sizing walk found");
        return array;
    }
    const char* text(std::string_view text) noexcept {
        char* copy = reinterpret_cast<char*>(bytes_);
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        bytes_ += text.size() + 1;
        KIV_ASSERT(bytes_ <= end_, "the texts stay within the room the sizing walk found");
        return copy;
    }
    const unsigned char* blob(std::span<const std::uint8_t> bytes) noexcept {
        unsigned char* copy = bytes_;
        if (!bytes.empty()) {
            std::memcpy(copy, bytes.data(), bytes.size());
        }
        bytes_ += bytes.empty() ? 1 : bytes.size();
        KIV_ASSERT(bytes_ <= end_, "the bytes stay within the room the sizing walk found");
        return copy;
    }

  private:
    unsigned char* arrays_;
    unsigned char* bytes_;
    unsigned char* end_;
};

} // namespace flat_writer_detail

// A Structure with nothing below its members: its records need its member array and its names.
struct ShallowStructure {
    std::size_t count = 0;
    std::size_t nameBytes = 0; // of distinct names, each with its terminator
};

template <class Source> class FlatRecordWriter {
  public:
    using Node = typename Source::Node;

    FlatRecordWriter(Source& source, const EnumNameLookup* enums) noexcept : source_(source), enums_(enums) {}

    // Releases `flat` and writes the records of `root` into it. Throws std::bad_alloc without
    // memory, and whatever the source throws, with `flat` left Empty.
    void write(const Node& root, FlatValue& flat) {
        using namespace flat_writer_detail;
        releaseFlat(flat);
        const ArenaSize size = sizeOf(root);
        std::size_t total = size.arrays;
        add(total, size.bytes);
        // A node without children or text needs no room: its record holds it all.
        auto* start = total ? static_cast<unsigned char*>(allocateFlatArena(total)) : nullptr;
        ArenaCursor arena(start, size.arrays, total);
        try {
            fill(root, flat, arena);
        } catch (...) {
            // Only the work list can fail to grow; the records written so far lie in the arena.
            flat = FlatValue{};
            if (start) {
                releaseFlatArena(start);
            }
            throw;
        }
    }

  private:
    struct ArenaSize {
        std::size_t arrays = 0;
        std::size_t bytes = 0; // texts with their terminators, keys, blob bytes
    };

    // The arena text of each recently written name, by its identity. Both walks visit the nodes
    // in the same order and ask the same questions, so the sizing walk counts exactly the names
    // that the filling walk writes.
    using NameTexts = PointerCache<const char*>;

    std::optional<std::string_view> enumeratorName(const FlatNode& node) const {
        if (!enums_) {
            return std::nullopt;
        }
        const EnumValue value = node.enumValue();
        return enums_->enumeratorName(value.type, value.value);
    }

    ArenaSize sizeOf(const Node& root) {
        if (const std::optional<ShallowStructure> shallow = source_.shallowStructure(root)) {
            return {flat_writer_detail::arrayBytes(shallow->count, sizeof(FlatStructureMember)),
                    shallow->nameBytes};
        }
        return measure(root);
    }

    ArenaSize measure(const Node& root) {
        using namespace flat_writer_detail;
        ArenaSize size;
        NameTexts names;
        SmallStack<Node, kInlineSteps> pending;
        pending.emplace(root);
        while (!pending.empty()) {
            const Node node = pending.pop();
            const FlatNode content = source_.read(node);
            switch (content.kind()) {
            case ValueKind::String:
                add(size.bytes, content.text().size() + 1);
                break;
            case ValueKind::Blob:
                add(size.bytes, content.bytes().empty() ? 1 : content.bytes().size());
                break;
            case ValueKind::Enum:
                if (const std::optional<std::string_view> name = enumeratorName(content)) {
                    add(size.bytes, name->size() + 1);
                }
                break;
            case ValueKind::Collection:
            case ValueKind::Structure: {
                const bool structure = content.kind() == ValueKind::Structure;
                add(size.arrays,
                    arrayBytes(content.count(), structure ? sizeof(FlatStructureMember) : sizeof(FlatValue)));
                source_.forEachChild(node,
                                     [&](const void* nameIdentity, std::string_view name, const Node& child) {
                                         if (structure && !names.find(nameIdentity)) {
                                             add(size.bytes, name.size() + 1);
                                             names.store(nameIdentity, name.data());
                                         }
                                         pending.emplace(child);
                                     });
                break;
            }
            default:
                break;
            }
        }
        return size;
    }

    void fill(const Node& root, FlatValue& top, flat_writer_detail::ArenaCursor& arena) {
        using namespace flat_writer_detail;
        struct Step {
            Node from;
            void* to; // a FlatValue, possibly unaligned
        };
        SmallStack<Step, kInlineSteps> pending;
        pending.push({root, &top});
        NameTexts names;
        while (!pending.empty()) {
            const Step step = pending.pop();
            const FlatNode content = source_.read(step.from);
            FlatValue to{};
            switch (content.kind()) {
            case ValueKind::Empty:
                break;
            case ValueKind::Bool:
                to.kind = KIV_FLAT_BOOL;
                to.a = content.bits() != 0 ? 1 : 0;
                break;
            case ValueKind::Signed:
                setWords(to, KIV_FLAT_SIGNED, content.bits());
                break;
            case ValueKind::Unsigned:
                setWords(to, KIV_FLAT_UNSIGNED, content.bits());
                break;
            case ValueKind::Float:
                setWords(to, KIV_FLAT_FLOAT, content.bits());
                break;
            case ValueKind::String:
                setStorage(to, KIV_FLAT_STRING_OWNED, arena.text(content.text()), content.text().size());
                break;
            case ValueKind::Blob:
                setStorage(to, KIV_FLAT_BLOB_OWNED, arena.blob(content.bytes()), content.bytes().size());
                break;
            case ValueKind::Enum:
                if (const std::optional<std::string_view> name = enumeratorName(content)) {
                    setStorage(to, KIV_FLAT_STRING_OWNED, arena.text(*name), name->size());
                } else {
                    setWords(to, KIV_FLAT_SIGNED,
                             static_cast<std::uint64_t>(std::int64_t{content.enumValue().value}));
                }
                break;
            case ValueKind::Collection: {
                auto* elements = arena.records<FlatValue>(content.count());
                setStorage(to, KIV_FLAT_COLLECTION, elements, content.count());
                std::size_t i = 0;
                source_.forEachChild(step.from, [&](const void*, std::string_view, const Node& child) {
                    KIV_ASSERT(i < content.count(), "a source gives as many children as it counts");
                    pending.push({child, &elements[i++]});
                });
                break;
            }
            case ValueKind::Structure: {
                auto* members = arena.records<FlatStructureMember>(content.count());
                setStorage(to, KIV_FLAT_STRUCTURE, members, content.count());
                std::size_t i = 0;
                source_.forEachChild(
                    step.from, [&](const void* nameIdentity, std::string_view name, const Node& child) {
                        KIV_ASSERT(i < content.count(), "a source gives as many children as it counts");
                        FlatStructureMember& member = members[i++];
                        const char* const* written = names.find(nameIdentity);
                        member.key = written ? *written : arena.text(name);
                        if (!written) {
                            names.store(nameIdentity, member.key);
                        }
                        member.keyOwned = 1;
                        pending.push({child, reinterpret_cast<unsigned char*>(&member) +
                                                 offsetof(FlatStructureMember, value)});
                    });
                break;
            }
            }
            std::memcpy(step.to, &to, sizeof to);
        }
    }

    Source& source_;
    const EnumNameLookup* enums_;
};

} // namespace kiv
