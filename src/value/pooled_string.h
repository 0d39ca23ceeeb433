// A text stored once per tree in the context's string pool, shared by every String value
// and structure key of that tree that holds the same bytes.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

struct PooledString {
    PooledString* next;   // chain of the pool bucket
    std::uint32_t hash;   // FNV-1a of the text
    std::uint32_t refs;   // String values and keys that point here
    std::uint32_t length; // bytes of text, without the terminating NUL

    // The text follows the record and is NUL-terminated.
    const char* text() const noexcept { return reinterpret_cast<const char*>(this + 1); }
    char* text() noexcept { return reinterpret_cast<char*>(this + 1); }
    std::string_view view() const noexcept { return {text(), length}; }

    // The process-wide record of the empty text: never pooled, counted or freed.
    static PooledString* empty() noexcept;
};

} // namespace kiv
