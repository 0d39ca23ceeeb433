// The one walk over a flat record from the host, whatever is made of it. A record may be
// hostile: its arrays may be shared (thirty levels that each point twice at the next name a
// billion values in 732 bytes) or contain themselves. The walk reads only known kinds, reads
// each text within its length word, refuses an array met again below itself and bounds the
// values and the bytes of text and blobs that one walk meets, so that such a record fails at
// once instead of taking the process's memory or time. What it makes is up to a sink, which
// sees every record in array order, a parent before its children:
//   Target                        where a record goes (a tree node, a list slot, ...)
//   setEmpty/setBool/setSigned/setUnsigned/setFloat/setString/setBlob(Target, payload)
//   collection(Target, count)     returns a callable: element index -> that element's Target
//   structure(Target, count)      returns a callable: FlatStructureMember -> that member's Target
// Every sink meets the same records in the same order and fails with the same texts; only the
// bound on values may differ, as a sink that makes no node per value may walk more of them.
#pragma once

#include "format/message_format.h"
#include "value/conversion_result.h"
#include "value/flat_record.h"
#include "value/pointer_set.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

namespace kiv {

// Flat records may sit inside packed structure members, so they are read through byte copies
// rather than through possibly misaligned pointers.
inline FlatValue loadFlat(const void* record) noexcept {
    FlatValue flat;
    std::memcpy(&flat, record, sizeof flat);
    return flat;
}

// A flat string's text: up to its terminator or its length word, whichever comes first, so that
// a text without a terminator is not read past its buffer. A well-formed record has its
// terminator at the length, which gives the same text.
inline std::string_view flatText(const FlatValue& flat) noexcept {
    const char* text = reinterpret_cast<const char*>(flat.a);
    if (!text) {
        return {};
    }
    const void* terminator = std::memchr(text, '\0', flat.b);
    return {text,
            terminator ? static_cast<std::size_t>(static_cast<const char*>(terminator) - text) : flat.b};
}

template <class Sink> class FlatWalk {
  public:
    using Target = typename Sink::Target;

    // `maxValues` bounds the values of the whole record; `targetName` is used only in messages.
    FlatWalk(Sink& sink, std::size_t maxValues, std::string_view targetName, FlatResult& result) noexcept
        : sink_(sink), maxValues_(maxValues), targetName_(targetName), result_(result) {}

    // Walks `flat` into `target`. On failure the message goes into the result (its value
    // released, error set, failed = 1) and false returns.
    bool run(const FlatValue& flat, Target target);

  private:
    struct Step {
        const void* from; // a FlatValue, possibly unaligned
        Target to;
        std::size_t depth; // arrays above it on the path from the top
    };

    bool visit(const Step& step);
    Step* queue(std::uint32_t count);
    void growPending(std::uint32_t count);
    bool enterArray(const void* array, std::uint32_t count);
    bool addToPath(const void* array);
    bool countBytes(std::size_t bytes);
    bool fail(std::string_view message);
    bool failIncompatible(std::uint32_t kind);

    Sink& sink_;
    std::size_t maxValues_;
    std::string_view targetName_;
    FlatResult& result_;
    // The steps still to take, a stack in the first pendingCount_ slots; the vector only grows.
    std::vector<Step> pending_;
    std::size_t pendingCount_ = 0;

    // The arrays on the path from the top to the record being visited: a record that meets one
    // of them again contains itself. The first kShallowPath are searched in place, as real
    // records are shallow; only those below go into the set, so that a record nested a million
    // levels deep is still checked in constant time per array.
    static constexpr std::size_t kShallowPath = 16;
    std::vector<const void*> path_;
    PointerSet deepOnPath_;
    std::size_t values_ = 1;
    std::size_t bytes_ = 0;
};

template <class Sink> bool FlatWalk<Sink>::run(const FlatValue& flat, Target target) {
    try {
        Step step{&flat, target, 0};
        for (;;) {
            while (path_.size() > step.depth) {
                if (path_.size() > kShallowPath) {
                    deepOnPath_.erase(path_.back());
                }
                path_.pop_back();
            }
            if (!visit(step)) {
                return false;
            }
            if (pendingCount_ == 0) {
                return true;
            }
            step = pending_[--pendingCount_];
        }
    } catch (...) {
        return fail(failureTextOfCurrentException());
    }
}

template <class Sink> bool FlatWalk<Sink>::visit(const Step& step) {
    const FlatValue from = loadFlat(step.from);
    const Target to = step.to;
    switch (from.kind) {
    case KIV_FLAT_EMPTY:
        sink_.setEmpty(to);
        return true;
    case KIV_FLAT_BOOL:
        sink_.setBool(to, (from.a & 0xFF) != 0);
        return true;
    case KIV_FLAT_SIGNED:
        sink_.setSigned(to, flatSigned(from));
        return true;
    case KIV_FLAT_UNSIGNED:
        sink_.setUnsigned(to, flatUnsigned(from));
        return true;
    case KIV_FLAT_FLOAT:
        sink_.setFloat(to, flatFloat(from));
        return true;
    case KIV_FLAT_STRING_BORROWED:
    case KIV_FLAT_STRING_OWNED: {
        const std::string_view text = flatText(from);
        if (!countBytes(text.size())) {
            return false;
        }
        sink_.setString(to, text);
        return true;
    }
    case KIV_FLAT_BLOB_BORROWED:
    case KIV_FLAT_BLOB_OWNED: {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(from.a);
        const std::uint32_t size = bytes ? from.b : 0;
        if (!countBytes(size)) {
            return false;
        }
        sink_.setBlob(to, std::span<const std::uint8_t>(bytes, size));
        return true;
    }
    case KIV_FLAT_COLLECTION: {
        const auto* elements = reinterpret_cast<const FlatValue*>(from.a);
        const std::uint32_t count = elements ? from.b : 0;
        if (!enterArray(elements, count)) {
            return false;
        }
        // The sink makes room for the count only once every element it claims has been read and
        // found to be a flat value.
        for (std::uint32_t i = 0; i < count; ++i) {
            if (const std::uint32_t kind = loadFlat(&elements[i]).kind; kind > KIV_FLAT_STRUCTURE) {
                return failIncompatible(kind);
            }
        }
        const auto elementTarget = sink_.collection(to, count);
        // The work list is taken from the back, so children are queued last first to be visited
        // in array order.
        Step* slot = queue(count) + count;
        for (std::uint32_t i = 0; i < count; ++i) {
            *--slot = {&elements[i], elementTarget(i), path_.size()};
        }
        return true;
    }
    case KIV_FLAT_STRUCTURE: {
        const auto* members = reinterpret_cast<const FlatStructureMember*>(from.a);
        const std::uint32_t count = members ? from.b : 0;
        if (!enterArray(members, count)) {
            return false;
        }
        const auto memberTarget = sink_.structure(to, count);
        // Members are given to the sink in array order, which is key order in a set this library
        // wrote, so that a table can add each at its end; they are queued last first.
        Step* slot = queue(count) + count;
        for (std::uint32_t i = 0; i < count; ++i) {
            *--slot = {reinterpret_cast<const unsigned char*>(&members[i]) +
                           offsetof(FlatStructureMember, value),
                       memberTarget(members[i]), path_.size()};
        }
        return true;
    }
    default:
        return failIncompatible(from.kind);
    }
}

// Room for `count` steps on top of the work list, filled in by the caller. The list's slots are
// kept when steps are taken, so that a walk of many small arrays seldom asks for memory.
template <class Sink> auto FlatWalk<Sink>::queue(std::uint32_t count) -> Step* {
    if (pending_.size() - pendingCount_ < count) [[unlikely]] {
        growPending(count);
    }
    Step* const first = pending_.data() + pendingCount_;
    pendingCount_ += count;
    return first;
}

template <class Sink> void FlatWalk<Sink>::growPending(std::uint32_t count) {
    pending_.resize(std::max(2 * pending_.size(), pendingCount_ + count));
}

template <class Sink> bool FlatWalk<Sink>::failIncompatible(std::uint32_t kind) {
    return fail(formatMessage(
        "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.",
        {targetName_, flatKindName(kind)}));
}

// Checks an array before anything is made for its records: it must not be on the path above,
// and its records must stay within the values one walk may meet.
template <class Sink> bool FlatWalk<Sink>::enterArray(const void* array, std::uint32_t count) {
    if (count == 0) {
        return true;
    }
    if (!addToPath(array)) {
        return fail(
            formatMessage("Couldn't assign value to '%1' of type object because the input contains itself.",
                          {targetName_}));
    }
    values_ += count;
    if (values_ > maxValues_) {
        return fail(formatMessage(
            "Couldn't assign value to '%1' of type object because the input holds more than %2 values.",
            {targetName_, maxValues_}));
    }
    return true;
}

// Adds `array` to the path unless it is on it already. The set holds exactly the arrays below
// the first kShallowPath, so it is asked only when the path is that deep.
template <class Sink> bool FlatWalk<Sink>::addToPath(const void* array) {
    const auto shallowEnd = path_.begin() + static_cast<std::ptrdiff_t>(std::min(path_.size(), kShallowPath));
    if (std::find(path_.begin(), shallowEnd, array) != shallowEnd) {
        return false;
    }
    if (path_.size() >= kShallowPath && !deepOnPath_.insert(array)) {
        return false;
    }
    path_.push_back(array);
    return true;
}

template <class Sink> bool FlatWalk<Sink>::countBytes(std::size_t bytes) {
    bytes_ += bytes;
    if (bytes_ <= kMaxFlatBytes) {
        return true;
    }
    return fail(
        formatMessage("Couldn't assign value to '%1' of type object because the input holds more than %2 "
                      "bytes of text and blobs.",
                      {targetName_, kMaxFlatBytes}));
}

template <class Sink> bool FlatWalk<Sink>::fail(std::string_view message) {
    setFlatError(result_, message);
    return false;
}

} // namespace kiv
