// Flat values as the fake plugin builds, prints and frees them, written against the boundary
// header alone.
#pragma once

#include "kiv/plugin_abi.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv::test::fake {

FlatValue flatText(std::string_view text);
FlatValue flatNumber(std::int64_t number);
FlatValue flatBool(bool value);
FlatValue flatList(const std::vector<FlatValue>& elements);
FlatValue flatObject(const std::vector<std::pair<std::string, FlatValue>>& members);
void freeFlat(FlatValue& value);

// Compact JSON-like text of a flat value: strings quoted, blobs as <n bytes>, unknown kinds as ?k.
std::string printFlat(const FlatValue& value);

} // namespace kiv::test::fake
