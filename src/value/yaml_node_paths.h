// Paths from the root of a tree to its anchored nodes, kept as a tree of steps: a path is
// the id of its last step, and every step points at the path of its parent. Nodes of a
// tree move when a collection grows, so an anchor holds the path to its node rather than
// the node itself; sharing the common prefixes keeps each new path at one step, however
// deep the node is.
#pragma once

#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class YamlNodePaths {
  public:
    using PathId = std::uint32_t;
    static constexpr PathId kRoot = 0;

    YamlNodePaths();

    // The path of element `index` (member `key`) of the node at `parent`.
    [[nodiscard]] PathId addIndex(PathId parent, std::size_t index);
    [[nodiscard]] PathId addKey(PathId parent, std::string_view key);

    // Follows the path from `root` with plain reads: a step that no longer exists leads to
    // the shared Empty value. `steps` receives the length of the path.
    [[nodiscard]] const Value& resolve(const Value& root, PathId path, std::size_t& steps);

  private:
    struct Step {
        PathId parent;
        bool byKey;
        std::size_t index;
        std::string key;
    };

    std::vector<Step> steps_;
    std::vector<PathId> scratch_; // the steps of the path being resolved, last first
};

} // namespace kiv
