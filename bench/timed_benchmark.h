// Registration of one timed step, shared by every benchmark of the table.
#pragma once

#include "ratio_report.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::bench {

// The machine may be shared: each benchmark runs several times and the fastest run counts,
// as the one least disturbed by other work.
inline constexpr int kRepetitions = 5;

// "<prefix>/<n>", the name of a benchmark on an input of size n. Built by appending: GCC 12
// warns falsely (-Wrestrict) on a text literal plus a temporary string at -O3.
inline std::string sizedName(std::string_view prefix, std::size_t n) {
    std::string name(prefix);
    name += '/';
    name += std::to_string(n);
    return name;
}

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
                                                     for (auto _ : state) {
                                                         step();
                                                     }
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
// until the timed part fills the benchmark's minimum time. The step may hand its work to other
// threads and wait for them, so it is timed by the wall clock.
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
                                                     state.counters[kWallClockCounter] = 1;
                                                 })
                        ->UseRealTime()
                        ->Iterations(iterations),
                   unit);
}

} // namespace kiv::bench
