// `kivhost test` end to end on the shutdown-law library: the default scenario with one
// expectation made wrong at a time, for each kind of expectation, fails with the line, the
// expected and the observed value; the JUnit report is well formed XML; usage and scenario errors
// exit 2.
#include "command_fixture.h"

#include "kivhost/scenario/scenario.h"

#include <algorithm>

namespace kiv::test {
namespace test_command_test {

struct WrongExpectation {
    std::string right;   // a step of scenarios/default.yaml
    std::string wrong;   // what it becomes
    std::string failure; // the failure line after "FILE:LINE: "
};

// The line (from 1) of the first line of `text` that holds `part`.
std::size_t lineOf(const std::string& text, const std::string& part) {
    const std::size_t at = text.find(part);
    return at == std::string::npos
               ? 0
               : 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + at, '\n'));
}

using TestCommandTest = CommandTest;

TEST_F(TestCommandTest, AWrongExpectationFailsWithItsLineAndBothValues) {
    const std::string defaultScenario = readAll(KIVHOST_DEFAULT_SCENARIO);
    const WrongExpectation cases[] = {
        {"{at: 180, expect: {closed: [450]}}", "{at: 180, expect: {closed: [451]}}",
         "step 5 at 180: closed (GET /kiv-kr-shutdown-law/v1/disabled-queues): expected 200 [451], got 200 "
         "[450]"},
        {"{at: 0,   through: 209, expect: {law: NONE}}", "{at: 0,   through: 215, expect: {law: NONE}}",
         "step 2 at 0 through 215: law (GET /kiv-kr-shutdown-law/v1/notification): expected 200 "
         "{\"type\":\"NONE\"}, got 200 {\"type\":\"WARNING\"} at minute 210"},
        {"through: 239, expect: {event: OnJsonApiEvent_kiv-kr-shutdown-law_v1_status, times: 0}",
         "through: 240, expect: {event: OnJsonApiEvent_kiv-kr-shutdown-law_v1_status, times: 0}",
         "step 4 at 0 through 240: event OnJsonApiEvent_kiv-kr-shutdown-law_v1_status: expected published 0 "
         "times, got once"},
        {"payload: {data: {isAllQueuesDisabled: true}}", "payload: {data: {isAllQueuesDisabled: false}}",
         "step 11 at 240: event OnJsonApiEvent_kiv-kr-shutdown-law_v1_status: expected published with "
         "payload "
         "{\"data\":{\"isAllQueuesDisabled\":false}} at least once, got never, and once with other payloads, "
         "the "
         "last "
         "{\"data\":{\"isAllQueuesDisabled\":true},\"eventType\":\"Update\",\"uri\":\"/kiv-kr-shutdown-law/"
         "v1/status\"}"},
        // The text has what XML must escape, and the report stays well formed.
        {"{log: \"cut-off minutes: 300\", level: ALWAYS}", "{log: \"<&\\\"'>\\x01\", level: ERROR}",
         "step 3 at 0: log ERROR '<&\"'>\x01': expected written at least once, got never"},
        {"{at: 300, expect: {law: CUT_OFF}}",
         "{at: 300, expect: {get: /kiv-kr-shutdown-law/v1/queue-status/-2, error: Unknown}}",
         "step 15 at 300: GET /kiv-kr-shutdown-law/v1/queue-status/-2: expected error \"Unknown\", got 404 "
         "error "
         "\"Unknown queueId: -2\""},
    };
    for (const WrongExpectation& c : cases) {
        std::string text = defaultScenario;
        ASSERT_NE(text.find(c.right), std::string::npos) << c.right;
        text.replace(text.find(c.right), c.right.size(), c.wrong);
        const std::filesystem::path scenario = write("wrong.yaml", text);
        const std::filesystem::path report = folder_ / "report.xml";
        const CommandResult result =
            kivhost("test --quiet " + quoted(scenario.string()) + " --junit " + quoted(report.string()));
        EXPECT_EQ(result.exitCode, 1) << c.wrong;
        EXPECT_EQ(result.errors, "");
        const std::string expectations =
            std::to_string(kivhost::readScenarioFile(scenario).expectations.size());
        EXPECT_EQ(result.out, scenario.string() + ":" + std::to_string(lineOf(text, c.wrong)) + ": " +
                                  c.failure + "\n1 scenario, " + expectations + " expectations, 1 failed\n");

        // CI systems read the report: well formed, one case per expectation, the failure in it.
        EXPECT_EQ(std::system(("xmllint --noout " + quoted(report.string())).c_str()), 0);
        const std::string xml = readAll(report);
        EXPECT_NE(xml.find("<testsuites name=\"kivhost test\" tests=\"" + expectations + "\" failures=\"1\""),
                  std::string::npos)
            << xml;
        EXPECT_NE(xml.find("<failure message=\"expected "), std::string::npos) << xml;
    }
}

// A scenario that cannot be read, or a command line without one, exits 2; without --quiet each
// scenario whose expectations all held gets a line, and standard input is a scenario too.
TEST_F(TestCommandTest, ScenarioAndUsageErrorsExitTwo) {
    const std::filesystem::path bad =
        write("bad.yaml", "steps: [{at: 1, expect: {law: NONE, closed: []}}]\n");
    const CommandResult refused =
        kivhost("test " + quoted(bad.string()) + " " + quoted(KIVHOST_DEFAULT_SCENARIO));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.errors, "kivhost: " + bad.string() +
                                  ": step 1: 'expect' has both law and closed; a step expects one thing\n");
    EXPECT_EQ(refused.out, "") << "nothing is played when a scenario cannot be read";
    EXPECT_EQ(kivhost("test").exitCode, 2);
    EXPECT_EQ(kivhost("test " + quoted(folder_.string())).exitCode, 2) << "a folder without scenarios";

    // An answer expected at a moment is asked at its turn, before a later step of that moment.
    const std::filesystem::path good = write("good.yaml", R"(until: 1
resources: {/kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}}
steps:
  - {at: 1, expect: {law: NONE}}
  - {at: 1, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 50}}
  - {at: 1, expect: {law: WARNING}}
)");
    const CommandResult held = kivhost("test -", quoted(KIVHOST_BINARY), "<" + quoted(good.string()));
    EXPECT_EQ(held.exitCode, 0) << held.errors;
    EXPECT_EQ(held.out, "standard input: 2 expectations held\n1 scenario, 2 expectations, 0 failed\n");
}

// A scenario whose library ends the process is reported as not played, and the others play on;
// the report carries it as an error.
TEST_F(TestCommandTest, AScenarioThatEndsTheProcessLeavesTheOthersToPlay) {
    const std::filesystem::path refused =
        write("a-old-core.yaml", "core: 17.0.0\nsteps: [{at: 1, expect: {law: NONE}}]\n");
    std::filesystem::copy_file(KIVHOST_DEFAULT_SCENARIO, folder_ / "b-default.yaml");
    const std::filesystem::path report = folder_ / "report.xml";
    const CommandResult result =
        kivhost("test --quiet " + quoted(folder_.string()) + " --junit " + quoted(report.string()));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.errors.find("kivhost: Expression: ALE-EECF0606\n"), std::string::npos) << result.errors;
    EXPECT_TRUE(result.errors.ends_with("kivhost: " + refused.string() +
                                        ": the plugin library ended the process (SIGABRT)\n"))
        << result.errors;
    const std::size_t expectations =
        1 + kivhost::readScenarioFile(KIVHOST_DEFAULT_SCENARIO).expectations.size();
    EXPECT_EQ(result.out, "2 scenarios, " + std::to_string(expectations) +
                              " expectations, 0 failed, 1 scenario not played\n");
    EXPECT_EQ(std::system(("xmllint --noout " + quoted(report.string())).c_str()), 0);
    EXPECT_NE(readAll(report).find("<error message=\"the plugin library ended the process (SIGABRT)\"/>"),
              std::string::npos);
}

} // namespace test_command_test
} // namespace kiv::test
