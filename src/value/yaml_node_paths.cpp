#include "value/yaml_node_paths.h"

namespace kiv {

YamlNodePaths::YamlNodePaths() {
    steps_.push_back({kRoot, false, 0, {}});
}

YamlNodePaths::PathId YamlNodePaths::addIndex(PathId parent, std::size_t index) {
    steps_.push_back({parent, false, index, {}});
    return static_cast<PathId>(steps_.size() - 1);
}

YamlNodePaths::PathId YamlNodePaths::addKey(PathId parent, std::string_view key) {
    steps_.push_back({parent, true, 0, std::string(key)});
    return static_cast<PathId>(steps_.size() - 1);
}

const Value& YamlNodePaths::resolve(const Value& root, PathId path, std::size_t& steps) {
    scratch_.clear();
    for (PathId at = path; at != kRoot; at = steps_[at].parent) {
        scratch_.push_back(at);
    }
    steps = scratch_.size();
    const Value* node = &root;
    for (auto it = scratch_.rbegin(); it != scratch_.rend(); ++it) {
        const Step& step = steps_[*it];
        node = step.byKey ? &(*node)[std::string_view(step.key)] : &(*node)[step.index];
    }
    return *node;
}

} // namespace kiv
