#include "yaml_block_writer.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace kiv::bench {
namespace {

bool isNonEmptyContainer(const nlohmann::json& value) {
    return (value.is_object() || value.is_array()) && !value.empty();
}

// Scalars and empty containers in their flow form. A JSON string literal is also a valid
// YAML double-quoted scalar.
std::string inlineForm(const nlohmann::json& value) {
    if (value.is_null()) {
        return "~";
    }
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
}

// Identifier-like keys are written plain, as configuration files do; others quoted.
std::string keyForm(const std::string& key) {
    const bool plain = !key.empty() && !std::isdigit(static_cast<unsigned char>(key[0])) &&
                       std::all_of(key.begin(), key.end(), [](char c) {
                           return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                       });
    return plain ? key : nlohmann::json(key).dump();
}

} // namespace

std::string writeBlockYaml(const nlohmann::json& value) {
    if (!isNonEmptyContainer(value)) {
        return inlineForm(value) + "\n";
    }

    // One pending entry: the container it belongs to and its position there. Entries are
    // written in order with an explicit stack, children before the parent's next entry.
    struct Entry {
        const nlohmann::json* container;
        nlohmann::json::const_iterator at;
        std::size_t indent;
    };
    std::string out;
    std::vector<Entry> pending{{&value, value.begin(), 0}};
    while (!pending.empty()) {
        Entry& entry = pending.back();
        if (entry.at == entry.container->end()) {
            pending.pop_back();
            continue;
        }
        const auto at = entry.at++;
        const std::size_t indent = entry.indent;
        out.append(indent, ' ');
        if (entry.container->is_object()) {
            out += keyForm(at.key());
            out += ':';
        } else {
            out += '-';
        }
        const nlohmann::json& child = at.value();
        if (isNonEmptyContainer(child)) {
            out += '\n';
            pending.push_back({&child, child.begin(), indent + 2}); // may move `entry`
        } else {
            out += ' ';
            out += inlineForm(child);
            out += '\n';
        }
    }
    return out;
}

} // namespace kiv::bench
