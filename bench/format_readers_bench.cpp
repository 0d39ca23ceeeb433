// Our MessagePack, JSON and YAML readers beside the libraries a user would otherwise pick,
// on the same generated inputs: RapidJSON's Document and nlohmann::json for JSON,
// msgpack-cxx for MessagePack, yaml-cpp for YAML.
#include "bench_documents.h"
#include "bench_paths.h"
#include "timed_benchmark.h"

#include "value/json_reader.h"
#include "value/msgpack_reader.h"
#include "value/yaml_reader.h"

#include <benchmark/benchmark.h>
#include <msgpack.hpp>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <yaml-cpp/yaml.h>

#include <cstdio>
#include <string>

namespace kiv::bench {
namespace {

template <class Read> void registerReader(const std::string& name, std::size_t bytes, Read read) {
    registerTimed(name, read, bytes, benchmark::kMillisecond);
}

void registerAll(const BenchDocument& doc) {
    const std::string& json = doc.json;
    const std::string& yaml = doc.yaml;
    const std::span<const std::uint8_t> packed = doc.msgpack;
    const std::string json_ = "json/" + doc.name + "/", msgpack_ = "msgpack/" + doc.name + "/",
                      yaml_ = "yaml/" + doc.name + "/";

    registerReader(json_ + "kiv", json.size(), [&json] { benchmark::DoNotOptimize(parseJson(json)); });
    registerReader(json_ + "rapidjson", json.size(), [&json] {
        rapidjson::Document document;
        document.Parse(json.c_str());
        benchmark::DoNotOptimize(document);
    });
    registerReader(json_ + "nlohmann", json.size(),
                   [&json] { benchmark::DoNotOptimize(nlohmann::json::parse(json)); });

    registerReader(msgpack_ + "kiv", packed.size(),
                   [packed] { benchmark::DoNotOptimize(decodeMsgpack(packed)); });
    registerReader(msgpack_ + "msgpack-cxx", packed.size(), [packed] {
        msgpack::object_handle handle =
            msgpack::unpack(reinterpret_cast<const char*>(packed.data()), packed.size());
        benchmark::DoNotOptimize(handle);
    });

    registerReader(yaml_ + "kiv", yaml.size(), [&yaml] { benchmark::DoNotOptimize(parseYaml(yaml)); });
    registerReader(yaml_ + "yaml-cpp", yaml.size(), [&yaml] { benchmark::DoNotOptimize(YAML::Load(yaml)); });
}

// Our readers must accept every input, or the timings would measure error paths.
bool readableByOurs(const BenchDocument& doc) {
    const ConversionResult results[] = {parseJson(doc.json), decodeMsgpack(doc.msgpack).result,
                                        parseYaml(doc.yaml)};
    for (const ConversionResult& result : results) {
        if (!result.ok()) {
            std::fprintf(stderr, "%s: %.*s\n", doc.name.c_str(), static_cast<int>(result.errorText().size()),
                         result.errorText().data());
            return false;
        }
    }
    return true;
}

} // namespace

bool addFormatReaders(BenchTable& table) {
    const std::vector<BenchDocument>& documents = benchDocuments();
    for (const BenchDocument& doc : documents) {
        if (!readableByOurs(doc)) {
            return false;
        }
        registerAll(doc);
    }
    struct Peer {
        const char* format;
        const char* peer;
        double target;
    };
    const Peer peers[] = {{"json", "rapidjson", 0.8},
                          {"json", "nlohmann", 3.0},
                          {"msgpack", "msgpack-cxx", 1.0},
                          {"yaml", "yaml-cpp", 2.0}};
    for (const Peer& peer : peers) {
        for (const BenchDocument& doc : documents) {
            const std::string prefix = std::string(peer.format) + "/" + doc.name + "/";
            table.comparisons.push_back(
                {peer.format, doc.name, prefix + "kiv", prefix + peer.peer, peer.peer, peer.target});
        }
    }
    return true;
}

} // namespace kiv::bench
