// A counted text of a tree, in its context's blocks. A member name is pooled (StringPool): one
// record per distinct name, shared by every key that holds the same bytes. A String value's text
// is a record of its own, shared only by the copies made of it inside its tree, and freed by its
// last holder without a search.
#pragma once

#include "value/byte_compare.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace kiv {

struct PooledString {
    PooledString* next;   // chain of the pool bucket; null outside the pool
    std::uint32_t hash;   // FNV-1a of the text in the pool; 0 outside it
    std::uint32_t refs;   // the keys, or the String values, that point here
    std::uint32_t length; // bytes of text, without the terminating NUL

    // The text follows the record and is NUL-terminated.
    const char* text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    char* text() noexcept { return reinterpret_cast<char*>(this + 1); }
    std::string_view view() const noexcept { return {text(), length}; }
    bool holds(std::string_view other) const noexcept {
        return length == other.size() && compareBytes(text(), other.data(), length) == 0;
    }

    // The process-wide record of the empty text: never pooled, counted or freed.
    static PooledString* empty() noexcept;
    struct EmptyRecord;
    static EmptyRecord emptyRecord;

    // The bytes of a record of `length` bytes of text.
    static constexpr std::size_t bytesFor(std::size_t length) noexcept {
        return sizeof(PooledString) + length + 1;
    }
    // Writes a record of `text` with one reference and no chain into `block`, of
    // bytesFor(text.size()) bytes.
    static PooledString* place(void* block, std::string_view text, std::uint32_t hash) noexcept {
        auto* record = static_cast<PooledString*>(block);
        record->next = nullptr;
        record->hash = hash;
        record->refs = 1;
        record->length = static_cast<std::uint32_t>(text.size());
        std::memcpy(record->text(), text.data(), text.size());
        record->text()[text.size()] = '\0';
        return record;
    }
};

struct PooledString::EmptyRecord {
    PooledString record;
    char terminator;
};

inline PooledString* PooledString::empty() noexcept {
    return &emptyRecord.record;
}

} // namespace kiv
