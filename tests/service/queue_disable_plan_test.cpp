// Queue-disable moments at the ends of the minute range, for list elements in every shape, and
// the all-queues moment among several leads; the common cases run end to end.
#include "service/queue_disable_plan.h"
#include "value/json_reader.h"

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
    const char* queueList; // JSON array
    std::vector<std::pair<std::int32_t, std::int64_t>> listed;
    std::int64_t allQueues;
};

void PrintTo(const PlanCase& c, std::ostream* os) {
    *os << c.name;
}

class QueueDisablePlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(QueueDisablePlanTest, ClosesEachQueueItsLeadBeforeTheCutOff) {
    const PlanCase& c = GetParam();
    ConversionResult list = parseJson(c.queueList);
    ASSERT_TRUE(list.ok());
    const QueueDisablePlan plan = planQueueDisables(c.cutOff, c.leads, list.value().elements());
    std::vector<std::pair<std::int32_t, std::int64_t>> listed;
    for (const QueueDisableJob& job : plan.listedQueues) {
        listed.emplace_back(job.queueId, job.remainingMinutes);
    }
    EXPECT_EQ(listed, c.listed);
    EXPECT_EQ(plan.allQueuesMinutes, c.allQueues);
}

INSTANTIATE_TEST_SUITE_P(
    Plans, QueueDisablePlanTest,
    ::testing::Values(
        PlanCase{"AllQueuesFollowTheSmallestLead",
                 300,
                 {{1, 200}, {2, 10}},
                 R"([{"id": 1}, {"id": 2}])",
                 {{1, 100}, {2, 290}},
                 290},
        PlanCase{
            "IdsReadLenientlyAndCutTo32Bits",
            300,
            {{450, 120}},
            R"([{}, {"id": null}, {"id": "0x1C2"}, {"id": 4294967746}, {"id": -1}, {"id": 9223372036854775808},
                     {"id": 450.7}, {"id": true}, 7, "x"])",
            {{0, 225},
             {0, 225},
             {450, 180},
             {450, 180},
             {-1, 225},
             {0, 225},
             {450, 180},
             {1, 225},
             {0, 225},
             {0, 225}},
            225},
        PlanCase{"LargeLeadBeforeANegativeCutOffSaturates",
                 -10,
                 {{1, kMax}},
                 R"([{"id": 1}, {"id": 2}])",
                 {{1, kMin}, {2, -85}},
                 -85},
        PlanCase{"LargestCutOff", kMax, {{1, 1}}, R"([{"id": 1}])", {{1, kMax - 1}}, kMax - 1}),
    [](const ::testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

} // namespace
} // namespace kiv::test
