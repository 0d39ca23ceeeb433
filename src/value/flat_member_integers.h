// The integers that one member of each element of a listed record gives, read from the flat
// record without making a tree of it. A list of ten million objects would be twenty million
// tree nodes; read this way it costs one integer per element and the walk's own work list.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kiv {

// What one such reading may walk: eight times the values of a tree conversion, room for a list
// of sixteen million one-member objects. With no node made per value a walk costs time only, and
// this many values still end a record of shared arrays in about half a second.
inline constexpr std::size_t kMaxFlatValuesWithoutTree = 32 * 1024 * 1024;

// For each element of the Collection `flat`, in order, the integer that its member `key` gives,
// as `element[key].asInteger(0)` gives it on the tree flatToValue makes of the record: an element
// that is not a Structure, or has no such member, gives 0, and of members under the same name the
// last counts. A record that is not a Collection gives no integers. The record is walked whole,
// with every defence of flatToValue and its error texts; only the bound on values is
// kMaxFlatValuesWithoutTree. On failure the message goes into `result` and false returns.
[[nodiscard]] bool flatMemberIntegers(const FlatValue& flat, std::string_view key,
                                      std::vector<std::int64_t>& integers, std::string_view targetName,
                                      FlatResult& result);

} // namespace kiv
