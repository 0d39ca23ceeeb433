// The cut-off decision on packet members in the shapes that the end-to-end tables leave out:
// hexadecimal and overlong texts, not-a-number, containers as truths and the ends of the 64-bit range.
#include "service/cut_off_schedule.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace kiv::test {
namespace {

using Brix::Client::ShutdownLaw::Api::ShutdownLawStatus;

constexpr std::int64_t kLowestMinutes = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighestMinutes = std::numeric_limits<std::int64_t>::max();

struct DecisionCase {
    const char* packet; // JSON
    std::optional<std::int64_t> cutOff;
    std::optional<ShutdownLawStatus> statusNow;
    bool cutOffJob;
    bool warningJob;
};

void PrintTo(const DecisionCase& c, std::ostream* os) {
    *os << c.packet;
}

Value parsed(const char* json) {
    ConversionResult result = parseJson(json);
    EXPECT_TRUE(result.ok()) << json;
    return std::move(result.value());
}

class CutOffDecision : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(CutOffDecision, FollowsTheFirstRuleThatHolds) {
    const DecisionCase& c = GetParam();
    const std::optional<std::int64_t> cutOff = chooseCutOffMinutes(readLoginData(parsed(c.packet)));
    ASSERT_EQ(cutOff, c.cutOff);
    if (!cutOff) {
        return;
    }
    const CutOffSchedule schedule = scheduleCutOff(*cutOff);
    EXPECT_EQ(schedule.statusNow, c.statusNow);
    EXPECT_EQ(schedule.cutOffJob, c.cutOffJob);
    EXPECT_EQ(schedule.warningJob, c.warningJob);
}

constexpr auto kWarning = ShutdownLawStatus::WARNING;
constexpr auto kCutOff = ShutdownLawStatus::CUT_OFF;
constexpr std::nullopt_t kNone = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    LenientMembers, CutOffDecision,
    ::testing::Values(
        // Truths of other kinds: non-zero numbers, non-empty containers.
        DecisionCase{R"({"minor": 2, "minorShutdownEnforced": -0.5, "minutesUntilMidnight": "45"})", 45,
                     kWarning, true, false},
        DecisionCase{R"({"minor": [0], "minorShutdownEnforced": {"a": 0}, "minutesUntilMidnight": 91})", 91,
                     kNone, true, true},
        // Texts read with automatic base up to the first character that does not fit.
        DecisionCase{R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": "0x60 min"})", 96,
                     kNone, true, true},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": -0.9})", 0, kCutOff, false,
                     false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": "abc"})", 0, kCutOff,
                     false, false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": null})", 0, kCutOff, false,
                     false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": "-1",
                         "minor": 1, "minorShutdownEnforced": 1, "minutesUntilMidnight": 7})",
                     7, kWarning, true, false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": -1.5,
                         "minor": 1, "minorShutdownEnforced": 1, "minutesUntilMidnight": 7})",
                     7, kWarning, true, false},
        // The ends of the 64-bit range: 2^63 arrives unsigned and reads as the lowest signed value.
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 9223372036854775808})",
                     kLowestMinutes, kCutOff, false, false},
        // 2^64 - 1 has the bits of -1: no explicit cut-off.
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 18446744073709551615})",
                     kNone, kNone, false, false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 9223372036854775807})",
                     kHighestMinutes, kNone, true, true},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 1e300})", kHighestMinutes,
                     kNone, true, true},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": -1e300})", kLowestMinutes,
                     kCutOff, false, false},
        DecisionCase{R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": "99999999999999999999"})",
                     kHighestMinutes, kNone, true, true}));

TEST(CutOffDecisionTest, NotANumberReadsAsZeroMinutesAndAsTrue) {
    Value packet;
    packet.member("minutesUntilShutdownEnabled").setFloat(std::nan(""));
    packet.member("minutesUntilShutdown").setFloat(std::nan(""));
    const LoginData login = readLoginData(packet);
    EXPECT_TRUE(login.minutesUntilShutdownEnabled);
    EXPECT_EQ(chooseCutOffMinutes(login), 0);
}

} // namespace
} // namespace kiv::test
