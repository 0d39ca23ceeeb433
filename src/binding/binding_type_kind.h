// The builtin type kinds of the binding layer. Their codes travel to the host in the API
// export and their names appear in conversion messages and help records.
#pragma once

#include <cstdint>
#include <string_view>

namespace kiv {

enum class BindingTypeKind : std::uint32_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Int64 = 8,
    UInt64 = 9,
    Float = 10,
    Double = 11,
    String = 12,
    Object = 13, // a generic Value, deep-copied
    Blob = 14,
    Vector = 15,
    Enum = 16,
    Struct = 17,
    Callback = 18, // supplied by a caller; nothing converts it
    Map = 19,      // string key to element
};

// "bool", "int8", ... "map"; "" for None and for codes outside 1..19.
[[nodiscard]] std::string_view bindingTypeKindName(BindingTypeKind kind) noexcept;

// The code written into export records: codes outside 1..19 become 0.
[[nodiscard]] std::uint32_t exportedKindCode(BindingTypeKind kind) noexcept;

} // namespace kiv
