// A scenario's text checked before it is read into a tree, for what the value readers would let
// pass or name badly: a key repeated in one mapping (the readers keep one member, which would hide
// `until` written twice), a NUL byte (the readers stop there), flow collections nested deeper than
// the YAML reader takes (found as soon as the depth is passed, where the parser's own time grows
// with the square of the depth), and syntax errors with their line and column. It also notes the
// line of each step, for messages about the steps.
#pragma once

#include "kivhost/scenario/scenario.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::kivhost {

struct ScenarioTextScan {
    // The first problem found, as "line 7, column 3: 'until' is repeated (first on line 2)";
    // lines and columns count from 1, as editors count them.
    std::optional<std::string> problem;
    std::vector<std::size_t> stepLines; // the line of each element of the top-level `steps`
};

ScenarioTextScan scanScenarioText(std::string_view text, ScenarioFormat format);

} // namespace kiv::kivhost
