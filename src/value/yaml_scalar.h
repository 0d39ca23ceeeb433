// How a YAML scalar becomes a value: tagged scalars follow their tag, quoted ones are
// strings, and plain ones are read as null, number, bool or string in that order.
#pragma once

#include "value/value.h"

#include <optional>
#include <string>
#include <string_view>

namespace kiv {

struct YamlScalar {
    std::string_view text;
    std::string_view tag; // resolved tag ("tag:yaml.org,2002:int"), empty when untagged
    bool quoted = false;  // single- or double-quoted style
};

inline constexpr std::string_view kYamlStringTag = "tag:yaml.org,2002:str";

bool isYamlNull(std::string_view text) noexcept;
bool isYamlTrue(std::string_view text) noexcept;
bool isYamlFalse(std::string_view text) noexcept;

// Sets `target` from a scalar in value position. Returns the error message when the scalar
// cannot be read (a malformed or out-of-range tagged number, an unsupported tag).
std::optional<std::string> assignYamlScalar(Value& target, const YamlScalar& scalar);

} // namespace kiv
