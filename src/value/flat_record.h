// The plain records in which trees cross the host interface: what each kind holds, how a record
// is set, read and freed, and what one conversion of a record may create. Converting records to
// and from trees is flat_value.h's.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kiv {

// The kind name of a flat record kind ("bool", "string", ...; "" for empty and unknown codes).
std::string_view flatKindName(std::uint32_t kind) noexcept;

// Frees what the record owns and leaves it Empty (all three words 0).
void releaseFlat(FlatValue& flat) noexcept;
void releaseFlat(FlatResult& result) noexcept;
// Fails the result: its value released, its error an owned copy of `message`, failed = 1.
void setFlatError(FlatResult& result, std::string_view message) noexcept;

// Setters: each releases first.
void setFlatBool(FlatValue& flat, bool value) noexcept;
void setFlatSigned(FlatValue& flat, std::int64_t value) noexcept;
void setFlatUnsigned(FlatValue& flat, std::uint64_t value) noexcept;
void setFlatFloat(FlatValue& flat, double value) noexcept;
void setFlatString(FlatValue& flat, std::string_view text);             // owned copy, kind 6
void setFlatBlob(FlatValue& flat, std::span<const std::uint8_t> bytes); // owned copy, kind 8
// Takes ownership of an array allocated with allocateFlatArray / allocateFlatMembers.
void setFlatCollection(FlatValue& flat, FlatValue* elements, std::uint32_t count) noexcept;
void setFlatStructure(FlatValue& flat, FlatStructureMember* members, std::uint32_t count) noexcept;
[[nodiscard]] FlatValue* allocateFlatArray(std::uint32_t count);             // zeroed (Empty) elements
[[nodiscard]] FlatStructureMember* allocateFlatMembers(std::uint32_t count); // zeroed members

// Accessors for the 64-bit payloads split over words A and B.
std::int64_t flatSigned(const FlatValue& flat) noexcept;
std::uint64_t flatUnsigned(const FlatValue& flat) noexcept;
double flatFloat(const FlatValue& flat) noexcept;

// A structure member's name as a tree keys it: a null name is the empty one.
inline std::string_view flatMemberName(const FlatStructureMember& member) noexcept {
    return member.key ? std::string_view(member.key) : std::string_view();
}

// What one conversion from a flat record may create: values, and bytes of text and blobs. Arrays
// of a record may be shared, so a few hundred bytes can name a billion values; the bounds stop
// such a record within a fraction of a second, far above any real payload.
inline constexpr std::size_t kMaxFlatValues = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxFlatBytes = 256 * 1024 * 1024;

} // namespace kiv
