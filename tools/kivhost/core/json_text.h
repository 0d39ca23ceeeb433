// JSON text of value trees and of the host's own texts, through RapidJSON's Writer: one shape
// for every JSON the host produces (timelines, streamed bodies, descriptions).
//
// Texts that are not valid UTF-8 have each bad byte replaced with U+FFFD, so the output is
// always valid JSON. Numbers that JSON cannot hold (NaN, infinities) are written as null, blobs
// as base64 strings, enums as their numbers.
#pragma once

#include "value/value.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kiv::kivhost {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// The text with every byte that does not belong to a well-formed UTF-8 sequence replaced.
std::string repairUtf8(std::string_view text);

// For any of RapidJSON's writers (the pretty one included).
template <class Writer> void writeJsonText(Writer& writer, std::string_view text) {
    const std::string repaired = repairUtf8(text);
    writer.String(repaired.data(), static_cast<rapidjson::SizeType>(repaired.size()));
}
template <class Writer> void writeJsonKey(Writer& writer, std::string_view key) {
    const std::string repaired = repairUtf8(key);
    writer.Key(repaired.data(), static_cast<rapidjson::SizeType>(repaired.size()));
}
// Walks the tree with an explicit stack: any depth is written without deep recursion.
void writeJsonValue(JsonWriter& writer, const Value& value);

std::string toJson(const Value& value);

// Standard base64 with padding.
std::string base64(std::span<const std::uint8_t> bytes);

} // namespace kiv::kivhost
