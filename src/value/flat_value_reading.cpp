// Flat records to value trees. A record comes from the host and may be hostile: its arrays may
// be shared (thirty levels that each point twice at the next name a billion values in 732
// bytes) or contain themselves. The walk refuses an array met again below itself, and bounds
// what one conversion creates, so that such a record fails at once instead of taking the
// process's memory.
#include "value/flat_value.h"

#include "format/message_format.h"
#include "value/conversion_result.h"
#include "value/pointer_cache.h"
#include "value/value_tree_ops.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <optional>
#include <unordered_set>
#include <vector>

namespace kiv {
namespace {

// Flat records may sit inside packed structure members, so they are read through byte copies
// rather than through possibly misaligned pointers.
FlatValue loadFlat(const void* record) noexcept {
    FlatValue flat;
    std::memcpy(&flat, record, sizeof flat);
    return flat;
}

// A flat string's text: up to its terminator or its length word, whichever comes first, so that
// a text without a terminator is not read past its buffer. A well-formed record has its
// terminator at the length, which gives the same text.
std::string_view flatText(const FlatValue& flat) noexcept {
    const char* text = reinterpret_cast<const char*>(flat.a);
    if (!text) {
        return {};
    }
    const void* terminator = std::memchr(text, '\0', flat.b);
    return {text,
            terminator ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text) : flat.b};
}

// The pooled records of the member names met in one conversion, by the address of their text.
// Each cached record keeps a reference of its own: a later member under the same name may
// replace the value that held the only other one, and the record must outlive that.
class KeyCache {
  public:
    KeyCache() = default;
    KeyCache(const KeyCache&) = delete;
    KeyCache& operator=(const KeyCache&) = delete;
    ~KeyCache() {
        cache_.forEach([this](PooledString* record) { pool_->release(record); });
    }

    // The record of the member's name in `pool`, the pool of every structure of the conversion.
    PooledString* keyOf(const FlatStructureMember& member, StringPool& pool) {
        if (!member.key) {
            return PooledString::empty();
        }
        if (PooledString** cached = cache_.find(member.key)) {
            return *cached;
        }
        PooledString* record = pool.intern(std::string_view(member.key));
        pool_ = &pool;
        if (const std::optional<PooledString*> displaced = cache_.store(member.key, record)) {
            pool.release(*displaced);
        }
        return record;
    }

  private:
    PointerCache<PooledString*> cache_;
    StringPool* pool_ = nullptr;
};

class FlatReading {
  public:
    FlatReading(std::string_view targetName, FlatResult& result) noexcept
        : targetName_(targetName), result_(result) {}

    bool run(const FlatValue& flat, Value& target);

  private:
    struct Step {
        const void* from; // a FlatValue, possibly unaligned
        Value* to;
        std::size_t depth; // arrays above it on the path from the top
    };

    bool convert(const Step& step);
    bool enterArray(const void* array, std::uint32_t count);
    bool countBytes(std::size_t bytes);
    bool fail(std::string_view message);
    bool failIncompatible(std::uint32_t kind);

    std::string_view targetName_;
    FlatResult& result_;
    std::vector<Step> pending_;
    KeyCache keys_;
    bool isOnPath(const void* array) const;

    // The arrays on the path from the top to the record being converted: a record that meets
    // one of them again contains itself. The first kShallowPath are searched in place, as real
    // records are shallow; only those below go into the set, so that a record nested a million
    // levels deep is still checked in constant time per array.
    static constexpr std::size_t kShallowPath = 16;
    std::vector<const void*> path_;
    std::unordered_set<const void*> deepOnPath_;
    std::size_t values_ = 1;
    std::size_t bytes_ = 0;
};

bool FlatReading::run(const FlatValue& flat, Value& target) {
    try {
        Step step{&flat, &target, 0};
        for (;;) {
            while (path_.size() > step.depth) {
                if (path_.size() > kShallowPath) {
                    deepOnPath_.erase(path_.back());
                }
                path_.pop_back();
            }
            if (!convert(step)) {
                return false;
            }
            if (pending_.empty()) {
                return true;
            }
            step = pending_.back();
            pending_.pop_back();
        }
    } catch (...) {
        return fail(failureTextOfCurrentException());
    }
}

bool FlatReading::convert(const Step& step) {
    const FlatValue from = loadFlat(step.from);
    Value& to = *step.to;
    switch (from.kind) {
    case KIV_FLAT_EMPTY:
        to.setEmpty();
        return true;
    case KIV_FLAT_BOOL:
        to.setBool((from.a & 0xFF) != 0);
        return true;
    case KIV_FLAT_SIGNED:
        to.setSigned(flatSigned(from));
        return true;
    case KIV_FLAT_UNSIGNED:
        to.setUnsigned(flatUnsigned(from));
        return true;
    case KIV_FLAT_FLOAT:
        to.setFloat(flatFloat(from));
        return true;
    case KIV_FLAT_STRING_BORROWED:
    case KIV_FLAT_STRING_OWNED: {
        const std::string_view text = flatText(from);
        if (!countBytes(text.size())) {
            return false;
        }
        to.setString(text);
        return true;
    }
    case KIV_FLAT_BLOB_BORROWED:
    case KIV_FLAT_BLOB_OWNED: {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(from.a);
        const std::uint32_t size = bytes ? from.b : 0;
        if (!countBytes(size)) {
            return false;
        }
        to.setBlob(std::span<const std::uint8_t>(bytes, size));
        return true;
    }
    case KIV_FLAT_COLLECTION: {
        const auto* elements = reinterpret_cast<const FlatValue*>(from.a);
        const std::uint32_t count = elements ? from.b : 0;
        if (!enterArray(elements, count)) {
            return false;
        }
        // Room for the count is taken only once every element it claims has been read and
        // found to be a flat value.
        for (std::uint32_t i = 0; i < count; ++i) {
            if (const std::uint32_t kind = loadFlat(&elements[i]).kind; kind > KIV_FLAT_STRUCTURE) {
                return failIncompatible(kind);
            }
        }
        to.setEmpty();
        to.makeCollection();
        to.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            ValueTreeOps::appendReserved(to);
        }
        // The work list is taken from the back, so children are queued last first to be
        // converted in array order.
        std::span<Value> children = to.elements();
        for (std::uint32_t i = count; i-- > 0;) {
            pending_.push_back({&elements[i], &children[i], path_.size()});
        }
        return true;
    }
    case KIV_FLAT_STRUCTURE: {
        const auto* members = reinterpret_cast<const FlatStructureMember*>(from.a);
        const std::uint32_t count = members ? from.b : 0;
        if (!enterArray(members, count)) {
            return false;
        }
        to.makeStructure();
        ValueContext& context = *to.context();
        MemberTable& table = ValueTreeOps::structure(to);
        table.reserve(context, count);
        // Members are inserted in array order, which is key order in a set this library wrote,
        // so that each lands at the end of the table; they are then queued last first.
        const std::size_t queued = pending_.size();
        for (std::uint32_t i = 0; i < count; ++i) {
            Value& member = table.findOrInsert(context, keys_.keyOf(members[i], context.strings()));
            pending_.push_back(
                {reinterpret_cast<const unsigned char*>(&members[i]) + offsetof(FlatStructureMember, value),
                 &member, path_.size()});
        }
        std::reverse(pending_.begin() + static_cast<std::ptrdiff_t>(queued), pending_.end());
        return true;
    }
    default:
        return failIncompatible(from.kind);
    }
}

bool FlatReading::failIncompatible(std::uint32_t kind) {
    return fail(formatMessage(
        "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.",
        {targetName_, flatKindName(kind)}));
}

// Checks an array before anything is made for its records: it must not be on the path above,
// and its records must stay within the values one conversion may create.
bool FlatReading::enterArray(const void* array, std::uint32_t count) {
    if (count == 0) {
        return true;
    }
    if (isOnPath(array)) {
        return fail(
            formatMessage("Couldn't assign value to '%1' of type object because the input contains itself.",
                          {targetName_}));
    }
    values_ += count;
    if (values_ > kMaxFlatValues) {
        return fail(formatMessage(
            "Couldn't assign value to '%1' of type object because the input holds more than %2 values.",
            {targetName_, kMaxFlatValues}));
    }
    if (path_.size() >= kShallowPath) {
        deepOnPath_.insert(array);
    }
    path_.push_back(array);
    return true;
}

bool FlatReading::isOnPath(const void* array) const {
    const std::size_t shallow = std::min(path_.size(), kShallowPath);
    return std::find(path_.begin(), path_.begin() + static_cast<std::ptrdiff_t>(shallow), array) !=
               path_.begin() + static_cast<std::ptrdiff_t>(shallow) ||
           deepOnPath_.contains(array);
}

bool FlatReading::countBytes(std::size_t bytes) {
    bytes_ += bytes;
    if (bytes_ <= kMaxFlatBytes) {
        return true;
    }
    return fail(
        formatMessage("Couldn't assign value to '%1' of type object because the input holds more than %2 "
                      "bytes of text and blobs.",
                      {targetName_, kMaxFlatBytes}));
}

bool FlatReading::fail(std::string_view message) {
    setFlatError(result_, message);
    return false;
}

} // namespace

bool flatToValue(const FlatValue& flat, Value& target, std::string_view targetName, FlatResult& result) {
    return FlatReading(targetName, result).run(flat, target);
}

} // namespace kiv
