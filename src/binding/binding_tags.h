// Tag lists of types, events and functions: ordered texts, never an empty one.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

inline void appendTags(std::vector<std::string>& tags, std::span<const std::string_view> added) {
    for (std::string_view tag : added) {
        if (!tag.empty()) {
            tags.emplace_back(tag);
        }
    }
}

inline void appendTags(std::vector<std::string>& tags, std::span<const std::string> added) {
    for (const std::string& tag : added) {
        if (!tag.empty()) {
            tags.push_back(tag);
        }
    }
}

} // namespace kiv
