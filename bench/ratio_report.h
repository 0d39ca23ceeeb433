// Collects the benchmark runs and turns them into throughput ratios of our readers against
// their peers on the same inputs, printed as a table and written as JSON.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kiv::bench {

// One comparison: our reader of `format` against `peer`, with the ratio we aim for.
struct PeerTarget {
    std::string format;
    std::string peer;
    double target;
};

// The name of the statistic that holds the fastest of a benchmark's repetitions.
inline constexpr const char* kFastestStatistic = "min";

// Benchmarks are named "<format>/<document>/<reader>"; ours is the reader "kiv". Each
// reports the counter "bytes" (its input size) and the statistic kFastestStatistic, from
// which the ratios are taken (CPU time).
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the ratio table and writes it to `path` (unless empty); `arch` labels it.
    // Returns false when the file cannot be written.
    bool report(const std::vector<PeerTarget>& targets, const std::vector<std::string>& documents,
                const std::string& arch, const std::string& path) const;

  private:
    struct Measure {
        double secondsPerIteration;
        double bytesPerSecond;
    };

    std::map<std::string, Measure> measures_;
};

} // namespace kiv::bench
