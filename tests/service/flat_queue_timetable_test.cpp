// The timetable read from the host's flat record against the tree it does without: random flat
// records, hostile ones among them, and documents of every odd shape give the same lead times, or
// fail with the same text.
#include "../value/flat_record_forge.h"
#include "host/event_payload.h"
#include "service/flat_queue_timetable.h"
#include "value/flat_value.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace kiv::test::flat_queue_timetable_test {
namespace {

// Frees a failed reading's message on every way out.
struct HeldFailure {
    FlatResult result{};
    ~HeldFailure() { releaseFlat(result); }
};

// Both readings of `flat` agree; returns the error text, or "" for lead times.
std::string expectSameReading(const FlatValue& flat) {
    HeldFailure flatFailure;
    QueueLeadTimes leads{{7, 7}}; // what a failed reading leaves as it was
    const bool read = readFlatQueueLeadTimes(flat, leads, flatFailure.result);
    HeldFailure treeFailure;
    Value tree;
    const bool converted = flatToValue(flat, tree, kResultName, treeFailure.result);
    EXPECT_EQ(read, converted);
    if (read && converted) {
        EXPECT_EQ(leads, readQueueLeadTimes(tree));
        return "";
    }
    if (!read && !converted) {
        EXPECT_EQ(leads, (QueueLeadTimes{{7, 7}}));
        const std::string message = flatFailure.result.error ? flatFailure.result.error : "";
        EXPECT_EQ(message, treeFailure.result.error ? treeFailure.result.error : "");
        return message.empty() ? "?" : message;
    }
    return "?";
}

TEST(FlatQueueTimetable, RandomFlatRecordsReadAsTheirTrees) {
    constexpr std::uint32_t kSeed = 20261209;
    // Names of one queue in several spellings, repeated names, and names of no queue.
    RecordForge forge(kSeed, {"1", "01", " 1", "+1", "1x", "1", "-2", "-2", "450", "0450", "2147483647",
                              "2147483648", "-2147483648", "x", "", nullptr});
    std::map<std::string, int> met;
    for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
        SCOPED_TRACE("seed " + std::to_string(kSeed) + ", round " + std::to_string(round));
        const FlatValue record = forge.structureRecord();
        const std::string error = expectSameReading(record);
        ++met[error.empty() ? "lead times" : "an error"];
        for (const char* outcome : {"contains itself", "incompatible type"}) {
            met[outcome] += error.find(outcome) != std::string::npos;
        }
    }
    for (const char* outcome : {"lead times", "an error", "contains itself", "incompatible type"}) {
        EXPECT_GT(met[outcome], 0) << outcome;
    }
}

class FlatTimetableDocuments : public ::testing::TestWithParam<const char*> {};

TEST_P(FlatTimetableDocuments, ReadAsTheirTrees) {
    const ConversionResult parsed = parseJson(GetParam());
    ASSERT_TRUE(parsed.ok());
    FlatValue flat{};
    ASSERT_TRUE(valueToFlat(parsed.value(), flat, nullptr));
    EXPECT_EQ(expectSameReading(flat), "");
    releaseFlat(flat);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, FlatTimetableDocuments,
    ::testing::Values(R"({"450": 120, "420": 0, "-2": 30, "7": -5, "8": null, "9": "abc", "10": [3],
                          "11": "15", "12": 1.9, "13": true, "x": 40, "": 50, "2147483648": 60,
                          "14": 9223372036854775808, "15": {"16": 5}})",
                      R"({" 12": 10, "+12": 20, "012": 30, "12": 40, "12x": 0, "12y": -1})",
                      R"({"012": 30, "09": 2, "11": 5, "12": 40, "9": 1})", "{}", "[]", "[{\"450\": 1}]", "5",
                      "\"450\"", "null"));

} // namespace
} // namespace kiv::test::flat_queue_timetable_test
