#include "log_service_fixture.h"
#include "recording_log_target.h"

#include "logging/assertion_report.h"
#include "logging/log_groups.h"

#include <gtest/gtest.h>

#include <string>

namespace kiv {
namespace {

struct ReportCase {
    const char* name;
    AssertionSite site;
    const char* expected;
};

class AssertionReportTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(AssertionReportTest, Layout) {
    char report[kLogBufferSize];
    const std::size_t length = formatAssertionReport(report, sizeof report, GetParam().site);
    EXPECT_EQ(std::string(report, length), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, AssertionReportTest,
    ::testing::Values(
        ReportCase{"ExpressionOnly",
                   {"ALE-EECF0606", nullptr, nullptr, 0, nullptr},
                   "Assertion failed!\n\nExpression: ALE-EECF0606"},
        ReportCase{"EmptyTextsCountAsMissing",
                   {"ALE-EECF0606", "", "", 0, ""},
                   "Assertion failed!\n\nExpression: ALE-EECF0606"},
        ReportCase{
            "Everything",
            {"x > 0", "x must be positive", "plugin.cpp", 42, "load"},
            "Assertion failed!\n\nFile: plugin.cpp\nLine: 42\n\nFunction: load\n\nExpression: x > 0\n\n"
            "Description: x must be positive"},
        ReportCase{"NegativeLine",
                   {"e", nullptr, nullptr, -7, nullptr},
                   "Assertion failed!\n\nLine: -7\n\nExpression: e"},
        ReportCase{"SmallestLine",
                   {nullptr, nullptr, nullptr, INT32_MIN, nullptr},
                   "Assertion failed!\n\nLine: -2147483648\n\n"},
        ReportCase{"ExpressionAndDescription",
                   {"ALE-EECF0606", "incompatible", nullptr, 0, nullptr},
                   "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: incompatible"},
        ReportCase{"DescriptionWithoutExpression",
                   {nullptr, "why", nullptr, 0, nullptr},
                   "Assertion failed!\n\n\n\nDescription: why"},
        ReportCase{"Nothing", {}, "Assertion failed!\n\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AssertionReport, CutToTheBuffer) {
    char report[12];
    EXPECT_EQ(formatAssertionReport(report, sizeof report, {"expression"}), 11u);
    EXPECT_STREQ(report, "Assertion f");
    EXPECT_EQ(formatAssertionReport(report, 0, {"expression"}), 0u);
}

using AssertionLogTest = test::LogServiceFixture;

TEST_F(AssertionLogTest, ReportIsLoggedAsAnErrorInGroupDbg) {
    detachBuiltInTargets();
    test::RecordingLogTarget recorder;
    recorder.applySettings({LogLevel::Okay, 0, 0, "#M"});
    reportAssertion({"ALE-EECF0606", "%1 is not compatible", nullptr, 0, nullptr});
    const auto lines = recorder.lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, LogLevel::Error);
    EXPECT_EQ(lines[0].groups, kLogGroupDbg);
    EXPECT_EQ(lines[0].text,
              "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: %1 is not compatible")
        << "the report is an argument, not a format";
}

} // namespace
} // namespace kiv
