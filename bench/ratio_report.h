// Collects the benchmark runs and turns them into the table of every path a user pays for:
// our time beside a peer's on the same input as an ours/peer throughput ratio against its
// target, how our time grows with the input, printed and written as JSON.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace kiv::bench {

// One row: our benchmark against a peer's on the same input. The ratio is ours/peer
// throughput (the peer's time over ours), and `target` the least ratio aimed for; a time
// target "at most 3x the peer's time" is the ratio 1/3. Without a peer the row reports our
// time alone.
struct Comparison {
    std::string path;  // what the user pays for, e.g. "json" or "dispatch"
    std::string input; // e.g. "timeline" or "templated"
    std::string ours;  // benchmark names
    std::string peer;  // empty: no peer
    std::string peerLabel;
    double target = 0; // 0: reported, no target
};

// How our time grows from `smaller` to `larger` (benchmark names), whose inputs have the
// sizes nSmaller and nLarger, against the growth allowed by `bound`.
enum class GrowthBound { Linear, NLogN };
struct Growth {
    std::string path;
    std::string smaller, larger;
    double nSmaller = 0, nLarger = 0;
    GrowthBound bound = GrowthBound::Linear;
};

// A measured figure held against a budget instead of a peer: the ratio is budget/figure and
// the target 1, so that a row reads as the comparisons do. A failed run has no figure.
struct Budget {
    std::string path;
    std::string input;
    std::string unit;  // of figure and budget, e.g. "B/element"
    double figure = 0; // measured
    double budget = 0;
    std::string failure; // why the run failed; empty when it succeeded
};

struct BenchTable {
    std::vector<Comparison> comparisons;
    std::vector<Budget> budgets;
    std::vector<Growth> growths;
};

// The name of the statistic that holds the fastest of a benchmark's repetitions.
inline constexpr const char* kFastestStatistic = "min";

// A counter that a benchmark sets when its wall-clock time counts rather than its CPU time.
inline constexpr const char* kWallClockCounter = "wall_clock";

// Every benchmark reports the statistic kFastestStatistic, from which the table is made (CPU
// time per iteration, or wall-clock time with kWallClockCounter), and may report the counter
// "bytes" (its input size) to be shown in MB/s.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;

    // Prints the table and writes it to `path` (unless empty); `arch` labels it. Returns
    // false when the file cannot be written.
    bool report(const BenchTable& table, const std::string& arch, const std::string& path) const;

  private:
    struct Measure {
        double secondsPerIteration;
        double bytesPerSecond; // 0 without a "bytes" counter
    };

    const Measure* find(const std::string& name) const;

    std::map<std::string, Measure> measures_;
};

} // namespace kiv::bench
