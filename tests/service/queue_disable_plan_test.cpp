// Queue-disable moments at the ends of the minute range, for listed ids at the ends of their
// range, and several leads; the common cases run end to end.
#include "service/queue_disable_plan.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace kiv::test {
namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct PlanCase {
    const char* name;
    std::int64_t cutOff;
    QueueLeadTimes leads;
    std::vector<std::int64_t> listedIds;
    std::vector<std::pair<std::int32_t, std::int64_t>> listed;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class QueueDisablePlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(QueueDisablePlanTest, ClosesEachQueueItsLeadBeforeTheCutOff) {
    const PlanCase& c = GetParam();
    std::vector<std::pair<std::int32_t, std::int64_t>> listed;
    for (const std::int64_t listedId : c.listedIds) {
        const std::int32_t queueId = queueIdOf(listedId);
        listed.emplace_back(queueId, minutesUntilQueueCloses(c.cutOff, c.leads, queueId));
    }
    EXPECT_EQ(listed, c.listed);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, QueueDisablePlanTest,
    ::testing::Values(
        PlanCase{"EachQueueItsOwnLead", 300, {{1, 200}, {2, 10}}, {1, 2, 3}, {{1, 100}, {2, 290}, {3, 225}}},
        PlanCase{"NoListedId", 300, {{1, 200}}, {}, {}},
        PlanCase{"IdsCutTo32Bits",
                 300,
                 {{450, 120}},
                 {0, 450, 4294967746, -1, kMin, kMax, -4294966846},
                 {{0, 225}, {450, 180}, {450, 180}, {-1, 225}, {0, 225}, {-1, 225}, {450, 180}}},
        PlanCase{"LargeLeadBeforeANegativeCutOffSaturates", -10, {{1, kMax}}, {1, 2}, {{1, kMin}, {2, -85}}},
        PlanCase{"LargestCutOff", kMax, {{1, 1}}, {1}, {{1, kMax - 1}}}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kiv::test
