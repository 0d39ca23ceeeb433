#include "ratio_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

namespace kiv::bench {

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Aggregate ||
            run.aggregate_name != kFastestStatistic)
            continue;
        const double seconds = run.cpu_accumulated_time / static_cast<double>(run.iterations);
        const auto bytes = run.counters.find("bytes");
        measures_[run.run_name.function_name] = {
            seconds, bytes == run.counters.end() ? 0.0 : bytes->second.value / seconds};
    }
    ConsoleReporter::ReportRuns(runs);
}

bool RatioReporter::report(const std::vector<PeerTarget>& targets, const std::vector<std::string>& documents,
                           const std::string& arch, const std::string& path) const {
    nlohmann::json rows = nlohmann::json::array();
    std::printf("\nours/peer throughput (%s)\n%-8s %-9s %-12s %10s %10s %9s %8s\n", arch.c_str(), "format",
                "document", "peer", "ours MB/s", "peer MB/s", "ours/peer", "target");
    for (const PeerTarget& target : targets) {
        for (const std::string& document : documents) {
            const std::string prefix = target.format + "/" + document + "/";
            const auto ours = measures_.find(prefix + "kiv");
            const auto peer = measures_.find(prefix + target.peer);
            if (ours == measures_.end() || peer == measures_.end())
                continue;
            const double ratio = peer->second.secondsPerIteration / ours->second.secondsPerIteration;
            const bool met = ratio >= target.target;
            std::printf("%-8s %-9s %-12s %10.1f %10.1f %8.2fx %6.1fx %s\n", target.format.c_str(),
                        document.c_str(), target.peer.c_str(), ours->second.bytesPerSecond / 1e6,
                        peer->second.bytesPerSecond / 1e6, ratio, target.target, met ? "met" : "MISSED");
            rows.push_back({{"format", target.format},
                            {"document", document},
                            {"peer", target.peer},
                            {"ours_mb_per_s", ours->second.bytesPerSecond / 1e6},
                            {"peer_mb_per_s", peer->second.bytesPerSecond / 1e6},
                            {"ratio", ratio},
                            {"target", target.target},
                            {"met", met}});
        }
    }
    if (path.empty())
        return true;
    std::ofstream out(path);
    out << nlohmann::json{{"arch", arch}, {"ratios", rows}}.dump(2) << '\n';
    return static_cast<bool>(out);
}

} // namespace kiv::bench
