// Value trees to flat records, in one arena: a first walk adds up what the records need, one
// block is taken, and a second walk fills it. Arrays come first (the top record's at the
// arena's start, so that releaseFlat finds the arena), each at a word boundary; the texts,
// keys and blob bytes follow. An empty array or blob still takes room, so that its pointer is
// not null, as a set built record by record has it. The members of the objects of an array
// share their names' texts: a tree pools each name once, and the set writes each pooled name
// once (as far as a small cache of recent names reaches), which spares bytes here and lets the
// way back look each name up once.
#include "value/flat_arena.h"
#include "value/flat_value.h"
#include "value/pointer_cache.h"
#include "value/small_stack.h"
#include "value/value_tree_ops.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <optional>

namespace kiv {
namespace {

constexpr std::size_t kArrayAlignment = sizeof(void*);

void add(std::size_t& total, std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) - total) {
        throw std::bad_alloc();
    }
    total += bytes;
}

std::size_t arrayBytes(std::size_t count, std::size_t recordSize) {
    if (count > (static_cast<std::size_t>(-1) - kArrayAlignment) / recordSize) {
        throw std::bad_alloc();
    }
    return ((count ? count : 1) * recordSize + kArrayAlignment - 1) & ~(kArrayAlignment - 1);
}

std::optional<std::string_view> enumeratorName(const Value& value, const EnumNameLookup* enums) {
    if (!enums) {
        return std::nullopt;
    }
    const EnumValue enumValue = value.getEnum({});
    return enums->enumeratorName(enumValue.type, enumValue.value);
}

void setWords(FlatValue& flat, std::uint32_t kind, std::uint64_t bits) noexcept {
    flat.kind = kind;
    flat.a = static_cast<std::uint32_t>(bits);
    flat.b = static_cast<std::uint32_t>(bits >> 32);
}

struct ArenaSize {
    std::size_t arrays = 0;
    std::size_t bytes = 0; // texts with their terminators, keys, blob bytes
};

// The arena text of each recently written name, by its pooled record. Both walks visit the
// tree in the same order and ask the same questions, so the sizing walk counts exactly the
// names that the filling walk writes.
using NameTexts = PointerCache<const char*>;

// Enough for a response of a few members to be written without a heap block for the work list.
constexpr std::size_t kInlineSteps = 16;
using PendingValues = SmallStack<const Value*, kInlineSteps>;

ArenaSize measure(const Value& root, const EnumNameLookup* enums) {
    ArenaSize size;
    NameTexts names;
    PendingValues pending;
    pending.push(&root);
    while (!pending.empty()) {
        const Value& value = *pending.pop();
        switch (value.kind()) {
        case ValueKind::String:
            add(size.bytes, ValueTreeOps::string(value).length + 1);
            break;
        case ValueKind::Blob: {
            const std::size_t bytes = ValueTreeOps::blob(value).size();
            add(size.bytes, bytes ? bytes : 1);
            break;
        }
        case ValueKind::Enum:
            if (const std::optional<std::string_view> name = enumeratorName(value, enums)) {
                add(size.bytes, name->size() + 1);
            }
            break;
        case ValueKind::Collection: {
            const CollectionStorage& elements = ValueTreeOps::collection(value);
            add(size.arrays, arrayBytes(elements.size, sizeof(FlatValue)));
            for (std::uint32_t i = 0; i < elements.size; ++i) {
                pending.push(&Value::of(elements.data[i]));
            }
            break;
        }
        case ValueKind::Structure:
            add(size.arrays, arrayBytes(ValueTreeOps::structure(value).size(), sizeof(FlatStructureMember)));
            ValueTreeOps::structure(value).forEach([&](const PooledString* key, const ValueNode& node) {
                const Value& member = Value::of(node);
                if (!names.find(key)) {
                    add(size.bytes, key->length + 1);
                    names.store(key, key->text());
                }
                pending.push(&member);
            });
            break;
        default:
            break;
        }
    }
    return size;
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

void setStorage(FlatValue& flat, std::uint32_t kind, const void* storage, std::size_t count) noexcept {
    flat.kind = kind;
    flat.a = reinterpret_cast<std::uintptr_t>(storage);
    flat.b = static_cast<std::uint32_t>(count);
}

void fill(const Value& root, FlatValue& top, const EnumNameLookup* enums, ArenaCursor& arena) {
    struct Step {
        const Value* from;
        void* to; // a FlatValue, possibly unaligned
    };
    SmallStack<Step, kInlineSteps> pending;
    pending.push({&root, &top});
    NameTexts names;
    while (!pending.empty()) {
        const Step step = pending.pop();
        const Value& from = *step.from;
        FlatValue to{};
        switch (from.kind()) {
        case ValueKind::Empty:
            break;
        case ValueKind::Bool:
            to.kind = KIV_FLAT_BOOL;
            to.a = from.getBool(false) ? 1 : 0;
            break;
        case ValueKind::Signed:
            setWords(to, KIV_FLAT_SIGNED, static_cast<std::uint64_t>(from.getSigned(0)));
            break;
        case ValueKind::Unsigned:
            setWords(to, KIV_FLAT_UNSIGNED, from.getUnsigned(0));
            break;
        case ValueKind::Float: {
            std::uint64_t bits;
            const double value = from.getFloat(0.0);
            std::memcpy(&bits, &value, sizeof bits);
            setWords(to, KIV_FLAT_FLOAT, bits);
            break;
        }
        case ValueKind::String: {
            const std::string_view text = ValueTreeOps::string(from).view();
            setStorage(to, KIV_FLAT_STRING_OWNED, arena.text(text), text.size());
            break;
        }
        case ValueKind::Blob: {
            const std::span<const std::uint8_t> bytes = from.getBlob({});
            setStorage(to, KIV_FLAT_BLOB_OWNED, arena.blob(bytes), bytes.size());
            break;
        }
        case ValueKind::Enum:
            if (const std::optional<std::string_view> name = enumeratorName(from, enums)) {
                setStorage(to, KIV_FLAT_STRING_OWNED, arena.text(*name), name->size());
            } else {
                setWords(to, KIV_FLAT_SIGNED,
                         static_cast<std::uint64_t>(std::int64_t{from.getEnum({}).value}));
            }
            break;
        case ValueKind::Collection: {
            const std::span<const Value> elements = from.elements();
            auto* array = arena.records<FlatValue>(elements.size());
            setStorage(to, KIV_FLAT_COLLECTION, array, elements.size());
            for (std::size_t i = 0; i < elements.size(); ++i) {
                pending.push({&elements[i], &array[i]});
            }
            break;
        }
        case ValueKind::Structure: {
            const std::size_t count = ValueTreeOps::structure(from).size();
            auto* members = arena.records<FlatStructureMember>(count);
            setStorage(to, KIV_FLAT_STRUCTURE, members, count);
            std::size_t i = 0;
            ValueTreeOps::structure(from).forEach([&](const PooledString* key, const ValueNode& node) {
                const Value& member = Value::of(node);
                const char* const* written = names.find(key);
                members[i].key = written ? *written : arena.text(key->view());
                if (!written) {
                    names.store(key, members[i].key);
                }
                members[i].keyOwned = 1;
                pending.push({&member, reinterpret_cast<unsigned char*>(&members[i]) +
                                           offsetof(FlatStructureMember, value)});
                ++i;
            });
            break;
        }
        }
        std::memcpy(step.to, &to, sizeof to);
    }
}

} // namespace

bool valueToFlat(const Value& value, FlatValue& flat, const EnumNameLookup* enums) {
    releaseFlat(flat);
    try {
        const ArenaSize size = measure(value, enums);
        std::size_t total = size.arrays;
        add(total, size.bytes);
        // A tree of scalars needs no room: its record holds it all.
        auto* start = total ? static_cast<unsigned char*>(allocateFlatArena(total)) : nullptr;
        ArenaCursor arena(start, size.arrays, total);
        try {
            fill(value, flat, enums, arena);
        } catch (...) {
            // Only the work list can fail to grow; the records written so far lie in the arena.
            flat = FlatValue{};
            if (start) {
                releaseFlatArena(start);
            }
            throw;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace kiv
