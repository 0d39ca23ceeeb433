// The anchors defined so far in a YAML document, by name. A node anchor holds the path to
// its node; an anchor placed on a mapping key holds the key's text.
#pragma once

#include "value/fnv1a.h"
#include "value/yaml_node_paths.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kiv {

struct YamlAnchor {
    bool isKey = false;
    YamlNodePaths::PathId path = YamlNodePaths::kRoot; // node anchors
    std::string keyText;                               // key anchors
    bool open = false;                                 // its node is a collection still being read
};

class YamlAnchorTable {
  public:
    // A new, blank anchor, or null when the name is already defined.
    [[nodiscard]] YamlAnchor* define(std::string_view name) {
        auto [it, inserted] = anchors_.try_emplace(std::string(name));
        return inserted ? &it->second : nullptr;
    }

    [[nodiscard]] YamlAnchor* find(std::string_view name) {
        auto it = anchors_.find(name);
        return it == anchors_.end() ? nullptr : &it->second;
    }

  private:
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const noexcept { return fnv1a(name); }
    };

    // Elements of an unordered map keep their address when it rehashes, so open frames can
    // point at their anchors.
    std::unordered_map<std::string, YamlAnchor, NameHash, std::equal_to<>> anchors_;
};

} // namespace kiv
