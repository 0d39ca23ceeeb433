// The job table against a model (a map from id to job) through random runs of adding, taking and
// looking up, many jobs pending at once, and past the points where it grows, empties and refills.
#include "host/job_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

namespace kiv::test {
namespace {

// Adds and takes at random; every id ever handed out is looked up again, so that ids of jobs
// that are gone are tried against slots that hold later jobs.
void runAgainstModel(std::uint32_t seed, std::size_t steps, std::size_t mostPending) {
    std::mt19937 random(seed);
    JobTable table;
    std::map<std::uint64_t, std::uintptr_t> model; // id -> token
    std::vector<std::uint64_t> everIssued;
    std::uintptr_t nextToken = 1;
    for (std::size_t step = 0; step < steps; ++step) {
        const bool add = model.empty() || (model.size() < mostPending && random() % 3 != 0);
        if (add) {
            const std::uintptr_t token = nextToken++;
            const std::uint64_t id = table.add({[] {}, token});
            ASSERT_NE(id, 0u);
            ASSERT_TRUE(model.emplace(id, token).second) << "an id is handed out twice while pending";
            everIssued.push_back(id);
        } else {
            const std::uint64_t id = everIssued[random() % everIssued.size()];
            const std::optional<PendingJob> taken = table.take(id);
            const auto expected = model.find(id);
            ASSERT_EQ(taken.has_value(), expected != model.end());
            if (taken) {
                EXPECT_EQ(taken->token, expected->second);
                EXPECT_TRUE(taken->callback);
                model.erase(expected);
            }
        }
        ASSERT_EQ(table.size(), model.size());
    }
    for (const std::uint64_t id : everIssued) {
        const PendingJob* found = table.find(id);
        const auto expected = model.find(id);
        ASSERT_EQ(found != nullptr, expected != model.end());
        if (found) {
            EXPECT_EQ(found->token, expected->second);
        }
    }
    std::vector<std::uintptr_t> visited;
    table.forEach([&](const PendingJob& job) { visited.push_back(job.token); });
    std::vector<std::uintptr_t> pending;
    for (const auto& [id, token] : model) {
        pending.push_back(token);
    }
    std::sort(visited.begin(), visited.end());
    EXPECT_EQ(visited, pending);
    table.clear();
    EXPECT_EQ(table.size(), 0u);
    for (const std::uint64_t id : everIssued) {
        EXPECT_EQ(table.find(id), nullptr);
    }
}

struct ModelRun {
    std::uint32_t seed;
    std::size_t steps;
    std::size_t mostPending;
};

class JobTableModel : public ::testing::TestWithParam<ModelRun> {};

TEST_P(JobTableModel, AgreesWithAMapOfPendingJobs) {
    runAgainstModel(GetParam().seed, GetParam().steps, GetParam().mostPending);
}

INSTANTIATE_TEST_SUITE_P(Runs, JobTableModel,
                         ::testing::Values(ModelRun{1, 200, 1}, ModelRun{2, 2000, 3}, ModelRun{3, 20000, 64},
                                           ModelRun{4, 20000, 5000}));

TEST(JobTable, AnEmptiedTableHandsOutNoIdOfItsEarlierJobs) {
    JobTable table;
    std::vector<std::uint64_t> first;
    for (std::uintptr_t token = 1; token <= 5000; ++token) {
        first.push_back(table.add({[] {}, token}));
    }
    for (const std::uint64_t id : first) {
        ASSERT_TRUE(table.take(id).has_value());
    }
    ASSERT_EQ(table.size(), 0u);
    for (std::uintptr_t token = 1; token <= 5000; ++token) {
        const std::uint64_t id = table.add({[] {}, token});
        EXPECT_EQ(std::find(first.begin(), first.end(), id), first.end());
    }
    for (const std::uint64_t id : first) {
        EXPECT_FALSE(table.take(id).has_value());
    }
    EXPECT_EQ(table.size(), 5000u);
}

} // namespace
} // namespace kiv::test
