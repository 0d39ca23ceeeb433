// The inputs of the format benchmarks, generated from a fixed seed: the same content as
// JSON text, MessagePack bytes and block YAML.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::bench {

struct BenchDocument {
    std::string name;
    std::string json;
    std::vector<std::uint8_t> msgpack;
    std::string yaml;
};

// A social-network timeline (nested objects and arrays, strings with escapes and non-ASCII
// text, integers and doubles), an array of doubles, and a configuration with many
// repeated keys; each about `jsonBytes` long as JSON.
std::vector<BenchDocument> makeBenchDocuments(std::size_t jsonBytes);

// The documents of the benchmarks, about 1 MB each as JSON, made on first use.
const std::vector<BenchDocument>& benchDocuments();

} // namespace kiv::bench
