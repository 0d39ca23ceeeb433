// Reads a YAML document into a value tree with libyaml's event parser.
#pragma once

#include "value/conversion_result.h"

#include <string_view>

namespace kiv {

// Parses the text up to its first NUL byte (or its end). Only one non-empty document is
// read. Mappings become Structures, sequences Collections; plain scalars are typed (null,
// number, bool, else string), quoted ones are strings, and the tags str, int, float and
// bool select the type. Aliases are copies of their anchored node.
[[nodiscard]] ConversionResult parseYaml(std::string_view text);

// True when, after leading spaces (only the space character), the text starts with "---".
[[nodiscard]] bool looksLikeYaml(std::string_view text) noexcept;

} // namespace kiv
