// The memory a game-queue list costs while the service reads it: peak bytes per element at
// 100,000 elements, and in a 32-bit build whether 10,000,000 elements read within 1.5 GB. Each
// read runs in its own process (kiv_list_read), whose allocations all go through the counting
// allocator, so that the peak is the read's alone.
#include "bench_paths.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace kiv::bench {
namespace {

constexpr std::size_t kPerElementCount = 100000;
constexpr double kPerElementBudget = 150;
constexpr std::size_t kLargestCount = 10000000;
constexpr double kLargestBudget = 1.5 * 1024 * 1024 * 1024;

struct ListRead {
    bool ok = false;
    double peakBytes = 0;
    std::string failure;
};

ListRead readList(std::size_t elements) {
    const std::string command = std::string(KIV_LIST_READ_TOOL) + " " + std::to_string(elements);
    ListRead read;
    FILE* tool = popen(command.c_str(), "r");
    if (!tool) {
        read.failure = "kiv_list_read did not start";
        return read;
    }
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, tool)) {
        output += buffer;
    }
    const int status = pclose(tool);
    const nlohmann::json report = nlohmann::json::parse(output, nullptr, false);
    if (status != 0 || report.is_discarded()) {
        read.failure = "kiv_list_read failed (status " + std::to_string(status) + ")";
        return read;
    }
    read.ok = report.value("ok", false);
    read.peakBytes = report.value("peak_bytes", 0.0);
    read.failure = read.ok ? "" : report.value("error", std::string("the list came back incomplete"));
    return read;
}

} // namespace

bool addListMemory(BenchTable& table) {
    const ListRead perElement = readList(kPerElementCount);
    table.budgets.push_back({"queue list", "100000 elements", "B/element",
                             perElement.peakBytes / kPerElementCount, kPerElementBudget, perElement.failure});
    if (sizeof(void*) == 4) {
        const ListRead largest = readList(kLargestCount);
        table.budgets.push_back(
            {"queue list", "10000000 elements", "B", largest.peakBytes, kLargestBudget, largest.failure});
    }
    return true;
}

} // namespace kiv::bench
