// Runs every benchmark of the table: our readers, request dispatch, route lookup, flat
// records, log lines and login packets, each beside its peer where it has one. Prints the
// table and writes it as JSON.
//   kiv_bench [--arch=NAME] [--results=FILE] [benchmark options]
#include "bench_paths.h"
#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

namespace {

// Takes "--name=value" out of the argument list.
std::string takeOption(int& argc, char** argv, std::string_view name) {
    std::string value;
    int kept = 0;
    for (int i = 0; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i > 0 && arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return value;
}

} // namespace

int main(int argc, char** argv) {
    using namespace kiv::bench;
    const std::string resultsPath = takeOption(argc, argv, "--results");
    std::string arch = takeOption(argc, argv, "--arch");
    if (arch.empty()) {
        arch = sizeof(void*) == 4 ? "x86" : "x64";
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }

    BenchTable table;
    for (bool (*add)(BenchTable&) : {addFormatReaders, addRequestDispatch, addRouteLookup, addFlatRecords,
                                     addLogLines, addLoginPacket, addLoginBoundary, addListMemory}) {
        if (!add(table)) {
            return 1;
        }
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.report(table, arch, resultsPath) ? 0 : 1;
}
