// A scenario's text checked before it is read into a tree: the value readers keep one member of
// a mapping whose key is repeated (by their rules of merging), which would hide a mistake such as
// `until` written twice or one resource path given two values.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {

// The first problem found: "line 7: 'until' is repeated (first on line 2)", or a YAML syntax error
// with its line and column counted from 1, as editors count them. nullopt when there is none
// (JSON syntax errors are left to the JSON reader, which names them by offset).
std::optional<std::string> findRepeatedKey(std::string_view text, ScenarioFormat format);

} // namespace kiv::kivhost
