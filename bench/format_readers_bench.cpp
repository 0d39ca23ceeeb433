// Our MessagePack, JSON and YAML readers beside the libraries a user would otherwise pick,
// on the same generated inputs: RapidJSON's Document and nlohmann::json for JSON,
// msgpack-cxx for MessagePack, yaml-cpp for YAML. Prints ours/peer throughput ratios and
// writes them as JSON.
//   format_readers_bench [--arch=NAME] [--results=FILE] [benchmark options]
#include "bench_documents.h"
#include "ratio_report.h"

#include "value/json_reader.h"
#include "value/msgpack_reader.h"
#include "value/yaml_reader.h"

#include <benchmark/benchmark.h>
#include <msgpack.hpp>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace kiv::bench {
namespace {

constexpr std::size_t kDocumentBytes = 1 << 20;
// The machine may be shared: each benchmark runs several times and the fastest run counts,
// as the one least disturbed by other work.
constexpr int kRepetitions = 5;

template <class Read> void registerReader(const std::string& name, std::size_t bytes, Read read) {
    benchmark::RegisterBenchmark(name.c_str(),
                                 [bytes, read](benchmark::State& state) {
                                     for (auto _ : state)
                                         read();
                                     state.SetBytesProcessed(
                                         static_cast<std::int64_t>(state.iterations() * bytes));
                                     state.counters["bytes"] = static_cast<double>(bytes);
                                 })
        ->Unit(benchmark::kMillisecond)
        ->Repetitions(kRepetitions)
        ->ComputeStatistics(
            kFastestStatistic,
            [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ReportAggregatesOnly(true);
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

// Takes "--name=value" out of the argument list.
std::string takeOption(int& argc, char** argv, std::string_view name) {
    std::string value;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i > 0 && arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=')
            value = arg.substr(name.size() + 1);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    return value;
}

} // namespace
} // namespace kiv::bench

int main(int argc, char** argv) {
    using namespace kiv::bench;
    const std::string resultsPath = takeOption(argc, argv, "--results");
    std::string arch = takeOption(argc, argv, "--arch");
    if (arch.empty())
        arch = sizeof(void*) == 4 ? "x86" : "x64";
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;

    static const std::vector<BenchDocument> documents = makeBenchDocuments(kDocumentBytes);
    std::vector<std::string> names;
    for (const BenchDocument& doc : documents) {
        if (!readableByOurs(doc))
            return 1;
        registerAll(doc);
        names.push_back(doc.name);
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const std::vector<PeerTarget> targets = {{"json", "rapidjson", 0.8},
                                             {"json", "nlohmann", 3.0},
                                             {"msgpack", "msgpack-cxx", 1.0},
                                             {"yaml", "yaml-cpp", 2.0}};
    return reporter.report(targets, names, arch, resultsPath) ? 0 : 1;
}
