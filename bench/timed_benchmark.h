// Registration of one timed step, shared by every benchmark of the table.
#pragma once

#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kiv::bench {

// The machine may be shared: each benchmark runs several times and the fastest run counts,
// as the one least disturbed by other work.
inline constexpr int kRepetitions = 5;

// Repetitions, the fastest-run statistic and the unit of every benchmark of the table.
inline void configureTimed(benchmark::internal::Benchmark& benchmark, benchmark::TimeUnit unit) {
    benchmark.Unit(unit)
        ->Repetitions(kRepetitions)
        ->ComputeStatistics(
            kFastestStatistic,
            [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
        ->ReportAggregatesOnly(true);
}

// Registers `name`, which runs `step` once per iteration. With `bytes` (the input size of
// one step) the table shows throughput in MB/s.
template <class Step>
void registerTimed(const std::string& name, Step step, std::size_t bytes = 0,
                   benchmark::TimeUnit unit = benchmark::kMicrosecond) {
    configureTimed(*benchmark::RegisterBenchmark(name.c_str(),
                                                 [bytes, step](benchmark::State& state) mutable {
                                                     for (auto _ : state)
                                                         step();
                                                     if (bytes != 0) {
                                                         state.SetBytesProcessed(static_cast<std::int64_t>(
                                                             state.iterations() * bytes));
                                                         state.counters["bytes"] = static_cast<double>(bytes);
                                                     }
                                                 }),
                   unit);
}

// Registers `name`, whose `iterations` each run `step` on a fresh fixture made by `prepare`;
// making and destroying the fixture is not timed, so the count is fixed rather than grown
// until the timed part fills the benchmark's minimum time.
template <class Prepare, class Step>
void registerPrepared(const std::string& name, Prepare prepare, Step step,
                      benchmark::IterationCount iterations,
                      benchmark::TimeUnit unit = benchmark::kMicrosecond) {
    configureTimed(*benchmark::RegisterBenchmark(name.c_str(),
                                                 [prepare, step](benchmark::State& state) mutable {
                                                     for (auto _ : state) {
                                                         state.PauseTiming();
                                                         {
                                                             auto fixture = prepare();
                                                             state.ResumeTiming();
                                                             step(*fixture);
                                                             state.PauseTiming();
                                                         }
                                                         state.ResumeTiming();
                                                     }
                                                 })
                        ->Iterations(iterations),
                   unit);
}

} // namespace kiv::bench
