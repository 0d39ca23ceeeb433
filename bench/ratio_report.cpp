#include "ratio_report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>

namespace kiv::bench {
namespace {

// MB/s when the input size is known, else the time of one iteration.
std::string describe(double secondsPerIteration, double bytesPerSecond) {
    char text[32];
    if (bytesPerSecond > 0) {
        std::snprintf(text, sizeof text, "%.1f MB/s", bytesPerSecond / 1e6);
    } else if (secondsPerIteration >= 1e-3) {
        std::snprintf(text, sizeof text, "%.2f ms", secondsPerIteration * 1e3);
    } else if (secondsPerIteration >= 1e-6) {
        std::snprintf(text, sizeof text, "%.2f us", secondsPerIteration * 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.1f ns", secondsPerIteration * 1e9);
    }
    return text;
}

// The growth of time allowed from n1 to n2.
double allowedGrowth(const Growth& growth) {
    const double linear = growth.nLarger / growth.nSmaller;
    if (growth.bound == GrowthBound::Linear) {
        return linear;
    }
    return linear * std::log(growth.nLarger) / std::log(growth.nSmaller);
}

constexpr const char* kRowFormat = "%-14s %-22s %-14s %12s %12s %9s %9s %s\n";

} // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Aggregate ||
            run.aggregate_name != kFastestStatistic) {
            continue;
        }
        const bool wallClock = run.counters.find(kWallClockCounter) != run.counters.end();
        const double seconds = (wallClock ? run.real_accumulated_time : run.cpu_accumulated_time) /
                               static_cast<double>(run.iterations);
        const auto bytes = run.counters.find("bytes");
        measures_[run.run_name.function_name] = {
            seconds, bytes == run.counters.end() ? 0.0 : bytes->second.value / seconds};
    }
    ConsoleReporter::ReportRuns(runs);
}

const RatioReporter::Measure* RatioReporter::find(const std::string& name) const {
    const auto found = measures_.find(name);
    return found == measures_.end() ? nullptr : &found->second;
}

bool RatioReporter::report(const BenchTable& table, const std::string& arch, const std::string& path) const {
    nlohmann::json rows = nlohmann::json::array();
    std::printf("\nours beside the peers (%s); ratio = ours/peer throughput, target = least ratio\n",
                arch.c_str());
    std::printf(kRowFormat, "path", "input", "peer", "ours", "peer", "ours/peer", "target", "");
    for (const Comparison& row : table.comparisons) {
        const Measure* ours = find(row.ours);
        if (ours == nullptr) {
            continue;
        }
        nlohmann::json entry = {
            {"path", row.path}, {"input", row.input}, {"ours_seconds", ours->secondsPerIteration}};
        if (ours->bytesPerSecond > 0) {
            entry["ours_mb_per_s"] = ours->bytesPerSecond / 1e6;
        }
        const Measure* peer = row.peer.empty() ? nullptr : find(row.peer);
        if (peer == nullptr) {
            std::printf(kRowFormat, row.path.c_str(), row.input.c_str(), "-",
                        describe(ours->secondsPerIteration, ours->bytesPerSecond).c_str(), "-", "-", "-",
                        "reported");
            rows.push_back(entry);
            continue;
        }
        const double ratio = peer->secondsPerIteration / ours->secondsPerIteration;
        const bool hasTarget = row.target > 0;
        const bool met = ratio >= row.target;
        char ratioText[16], targetText[16] = "-";
        std::snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
        if (hasTarget) {
            std::snprintf(targetText, sizeof targetText, "%.2fx", row.target);
        }
        std::printf(kRowFormat, row.path.c_str(), row.input.c_str(), row.peerLabel.c_str(),
                    describe(ours->secondsPerIteration, ours->bytesPerSecond).c_str(),
                    describe(peer->secondsPerIteration, peer->bytesPerSecond).c_str(), ratioText, targetText,
                    !hasTarget ? "reported"
                    : met      ? "met"
                               : "MISSED");
        entry.update(
            {{"peer", row.peerLabel}, {"peer_seconds", peer->secondsPerIteration}, {"ratio", ratio}});
        if (hasTarget) {
            entry.update({{"target", row.target}, {"met", met}});
        }
        if (peer->bytesPerSecond > 0) {
            entry["peer_mb_per_s"] = peer->bytesPerSecond / 1e6;
        }
        rows.push_back(entry);
    }
    for (const Budget& row : table.budgets) {
        const bool ran = row.failure.empty();
        const double ratio = ran && row.figure > 0 ? row.budget / row.figure : 0;
        const bool met = ran && ratio >= 1;
        char figureText[32] = "failed", budgetText[32], ratioText[16];
        if (ran) {
            std::snprintf(figureText, sizeof figureText, "%.0f %s", row.figure, row.unit.c_str());
        }
        std::snprintf(budgetText, sizeof budgetText, "%.0f %s", row.budget, row.unit.c_str());
        std::snprintf(ratioText, sizeof ratioText, "%.2fx", ratio);
        std::printf(kRowFormat, row.path.c_str(), row.input.c_str(), "budget", figureText, budgetText,
                    ratioText, "1.00x", met ? "met" : "MISSED");
        if (!ran) {
            std::printf("  %s\n", row.failure.c_str());
        }
        rows.push_back({{"path", row.path},
                        {"input", row.input},
                        {"peer", "budget"},
                        {"unit", row.unit},
                        {"ours", row.figure},
                        {"budget", row.budget},
                        {"failure", row.failure},
                        {"ratio", ratio},
                        {"target", 1.0},
                        {"met", met}});
    }

    nlohmann::json growths = nlohmann::json::array();
    std::printf("\nhow our time grows with the input (%s); target = growth of the bound\n", arch.c_str());
    std::printf(kRowFormat, "path", "from -> to", "bound", "ours from", "ours to", "growth", "target", "");
    for (const Growth& growth : table.growths) {
        const Measure* smaller = find(growth.smaller);
        const Measure* larger = find(growth.larger);
        if (smaller == nullptr || larger == nullptr) {
            continue;
        }
        const double factor = larger->secondsPerIteration / smaller->secondsPerIteration;
        const double allowed = allowedGrowth(growth);
        const bool met = factor <= allowed;
        char input[32], factorText[16], allowedText[16];
        std::snprintf(input, sizeof input, "%.0f -> %.0f", growth.nSmaller, growth.nLarger);
        std::snprintf(factorText, sizeof factorText, "%.1fx", factor);
        std::snprintf(allowedText, sizeof allowedText, "%.1fx", allowed);
        const char* bound = growth.bound == GrowthBound::Linear ? "linear" : "n log n";
        std::printf(kRowFormat, growth.path.c_str(), input, bound,
                    describe(smaller->secondsPerIteration, 0).c_str(),
                    describe(larger->secondsPerIteration, 0).c_str(), factorText, allowedText,
                    met ? "met" : "MISSED");
        growths.push_back({{"path", growth.path},
                           {"from", growth.nSmaller},
                           {"to", growth.nLarger},
                           {"bound", bound},
                           {"growth", factor},
                           {"allowed", allowed},
                           {"met", met}});
    }
    if (path.empty()) {
        return true;
    }
    std::ofstream out(path);
    out << nlohmann::json{{"arch", arch}, {"ratios", rows}, {"growth", growths}}.dump(2) << '\n';
    return static_cast<bool>(out);
}

} // namespace kiv::bench
