// A value tree to the flat record that crosses the host interface and back to a tree, on the
// timeline document, beside a deep copy of RapidJSON's Document of the same text.
#include "bench_documents.h"
#include "bench_paths.h"
#include "timed_benchmark.h"

#include "value/flat_value.h"
#include "value/json_reader.h"

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdio>

namespace kiv::bench {
namespace {

// Flattens `tree` and reads the record back into a new tree; whether both steps succeeded.
bool roundTrip(const Value& tree) {
    FlatValue flat{};
    Value back;
    FlatResult failure{};
    const bool ok = valueToFlat(tree, flat, nullptr) && flatToValue(flat, back, "timeline", failure);
    releaseFlat(flat);
    releaseFlat(failure);
    benchmark::DoNotOptimize(back);
    return ok;
}

} // namespace

bool addFlatRecords(BenchTable& table) {
    const std::vector<BenchDocument>& documents = benchDocuments();
    const auto timeline = std::find_if(documents.begin(), documents.end(),
                                       [](const BenchDocument& doc) { return doc.name == "timeline"; });
    if (timeline == documents.end()) {
        return false;
    }
    static const Value tree = std::move(parseJson(timeline->json).value());
    static rapidjson::Document document;
    document.Parse(timeline->json.c_str());
    if (document.HasParseError() || !tree.isStructure() || !roundTrip(tree)) {
        std::fprintf(stderr, "flat records: the timeline does not round-trip\n");
        return false;
    }

    registerTimed(
        "flat/timeline/kiv", [] { benchmark::DoNotOptimize(roundTrip(tree)); }, timeline->json.size(),
        benchmark::kMillisecond);
    registerTimed(
        "flat/timeline/rapidjson",
        [] {
            rapidjson::Document copy;
            copy.CopyFrom(document, copy.GetAllocator());
            benchmark::DoNotOptimize(copy);
        },
        timeline->json.size(), benchmark::kMillisecond);
    table.comparisons.push_back({"tree<->flat", "timeline", "flat/timeline/kiv", "flat/timeline/rapidjson",
                                 "rapidjson copy", 1 / 1.5});
    return true;
}

} // namespace kiv::bench
