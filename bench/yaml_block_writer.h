// Writes a JSON value as block-style YAML: mappings and sequences one entry per line,
// strings double-quoted (so they stay strings), numbers, bools and null (~) plain.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace kiv::bench {

std::string writeBlockYaml(const nlohmann::json& value);

} // namespace kiv::bench
