// The law's model on sessions whose moments are worked out by hand, and the same sessions
// through the real library held against it. Scenarios are written as `kivhost run` reads them
// (times in minutes).
#include "kivhost/scenario/scenario.h"
#include "model_comparison.h"
#include "shutdown_law_model.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

Scenario fromYaml(const char* yaml) {
    const kivhost::Scenario read = kivhost::readScenarioText(yaml, kivhost::ScenarioFormat::Yaml, "session");
    Scenario scenario;
    for (const auto& [path, value] : read.resources) {
        scenario.resources[path] = value;
    }
    for (const kivhost::ScenarioStep& step : read.steps) {
        ScenarioStep played;
        played.atMs = step.atMs;
        played.path = step.path;
        played.value = step.value;
        switch (step.action) {
        case kivhost::StepAction::Get:
            played.get = true;
            break;
        case kivhost::StepAction::Create:
            played.change = kivhost::ResourceChangeKind::Create;
            break;
        case kivhost::StepAction::Update:
            played.change = kivhost::ResourceChangeKind::Update;
            break;
        case kivhost::StepAction::Delete:
            played.change = kivhost::ResourceChangeKind::Delete;
            break;
        }
        scenario.steps.push_back(std::move(played));
    }
    return scenario;
}

std::string minutes(std::int64_t ms) {
    return ms % 60000 == 0 ? std::to_string(ms / 60000) : std::to_string(ms) + "ms";
}

// "<queue>@<minute>" for each closing by queue id, "all@<minute>", then "<STATUS>@<minute>" for
// each notification in order.
std::vector<std::string> moments(const LawOutcome& outcome) {
    std::vector<std::string> found;
    for (const auto& [queue, atMs] : outcome.queueClosings) {
        found.push_back(std::to_string(queue) + "@" + minutes(atMs));
    }
    if (outcome.allQueuesClosing) {
        found.push_back("all@" + minutes(*outcome.allQueuesClosing));
    }
    for (const auto& [atMs, status] : outcome.notifications) {
        found.push_back(std::string(lawStatusName(status)) + "@" + minutes(atMs));
    }
    return found;
}

struct Session {
    const char* name;
    const char* yaml;
    std::vector<std::string> moments;
};

void PrintTo(const Session& session, std::ostream* os) {
    *os << session.name;
}

const Session kSessions[] = {
    {"ListArrivesAfterItsQueuesMoments",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 100}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"450": 60}
        steps:
          - {at: 95, create: /kiv-game-queues/v1/queues, value: [{id: 450}, {id: 830}]})",
     {"-2@25", "450@95", "830@95", "all@95", "WARNING@10", "CUT_OFF@100"}},
    {"CloserCutOffClosesWhatHasPassedAtOnce",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"450": 120}
          /kiv-game-queues/v1/queues: [{id: 450}, {id: 830}]
        steps:
          - {at: 10, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 50}}
          - {at: 10, get: /kiv-kr-shutdown-law/v1/disabled-queues})",
     // The first packet's cut-off job still assigns CUT_OFF, which is no step back.
     {"-2@10", "450@10", "830@10", "all@10", "WARNING@10", "CUT_OFF@60", "CUT_OFF@300"}},
    {"SupersededWarningNeverUndoesTheCutOff",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minor: true, minorShutdownEnforced: true, minutesUntilMidnight: 300}
        steps:
          - {at: 10, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 50}})",
     {"-2@10", "WARNING@10", "CUT_OFF@60", "CUT_OFF@300"}},
    {"CustomQueueClosesWithoutTimetableOrList",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 10})",
     {"-2@0", "WARNING@0", "CUT_OFF@10"}},
    // The further packet's warning, due after the first cut-off, finds the status past it.
    {"FurtherCutOffMovesNoQueueAndItsWarningLeavesTheCutOff",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-game-queues/v1/queues: [{id: 1}]
        steps:
          - {at: 10, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 500}})",
     {"-2@225", "1@225", "all@225", "WARNING@210", "CUT_OFF@300", "CUT_OFF@510"}},
    {"DisabledPacketChangesNothing",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 100}
        steps:
          - {at: 5, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: false, minutesUntilShutdown: 5}}
          - {at: 6, update: /kiv-login/v1/login-data-packet, value: {minor: true, minutesUntilMidnight: 1}})",
     {"-2@25", "WARNING@10", "CUT_OFF@100"}},
    // The timetable at 50 moves no queue; the list at 60 plans its new queue with it.
    {"FailedListIsReadAgainAndALaterListPlansItsNewQueue",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minor: 1, minorShutdownEnforced: "true", minutesUntilMidnight: 300}
        steps:
          - {at: 20, create: /kiv-game-queues/v1/queues, value: {id: 3}}
          - {at: 30, delete: /kiv-game-queues/v1/queues}
          - {at: 40, create: /kiv-game-queues/v1/queues, value: [{id: 3}, {id: 4}]}
          - {at: 50, create: /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable, value: {"3": 100}}
          - {at: 60, update: /kiv-game-queues/v1/queues, value: [{id: 5}]})",
     {"-2@225", "3@225", "4@225", "5@225", "all@225", "WARNING@210", "CUT_OFF@300"}},
    {"DeletedTimetableReadsAsEmptyOnTheNextPacket",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"-2": 30, "7": 100}
          /kiv-game-queues/v1/queues: [{id: 7}]
        steps:
          - {at: 10, delete: /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable}
          - {at: 20, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 200}})",
     {"-2@145", "7@145", "all@145", "WARNING@130", "WARNING@210", "CUT_OFF@220", "CUT_OFF@300"}},
    {"ALaterPacketNeverMovesCutOffBackToWarning",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: -5}
          /kiv-game-queues/v1/queues: []
        steps:
          - {at: 30, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 120}}
          - {at: 61, get: /kiv-kr-shutdown-law/v1/notification})",
     {"-2@0", "all@0", "CUT_OFF@0", "CUT_OFF@150"}},
    {"APacketMinutesAwayAfterTheCutOffPublishesNothing",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 0}
        steps:
          - {at: 5, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 20}}
          - {at: 6, get: /kiv-kr-shutdown-law/v1/notification})",
     {"-2@0", "CUT_OFF@0", "CUT_OFF@25"}},
    {"AListThatGrowsPlansItsNewQueues",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-game-queues/v1/queues: [{id: 5}]
        steps:
          - {at: 10, update: /kiv-game-queues/v1/queues, value: [{id: 5}, {id: 7}]}
          - {at: 301, get: /kiv-kr-shutdown-law/v1/queue-status/7}
          - {at: 301, get: /kiv-kr-shutdown-law/v1/status})",
     {"-2@225", "5@225", "7@225", "all@225", "WARNING@210", "CUT_OFF@300"}},
    // The closer packet plans 7 at 80 and 5 at 205 from the timetable as last read; 5 keeps 100.
    {"AllQueuesCloseWithTheLastQueueWhenACloserPacketFollowsATimetableChange",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"5": 200}
          /kiv-game-queues/v1/queues: [{id: 5}, {id: 7}]
        steps:
          - {at: 5, update: /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable, value: {"7": 200}}
          - {at: 10, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 270}}
          - {at: 100.5, get: /kiv-kr-shutdown-law/v1/status})",
     {"-2@205", "5@100", "7@80", "all@100", "WARNING@190", "WARNING@210", "CUT_OFF@280", "CUT_OFF@300"}},
    // Queue 7 joins at 10 (closing at 290), and the closer packet plans it at 280, 5 at 215.
    {"AllQueuesWaitForTheQueueAGrownListGainedWhenACloserPacketFollows",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"7": 10}
          /kiv-game-queues/v1/queues: [{id: 5}]
        steps:
          - {at: 10, update: /kiv-game-queues/v1/queues, value: [{id: 5}, {id: 7}]}
          - {at: 20, update: /kiv-login/v1/login-data-packet, value: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 270}}
          - {at: 225.5, get: /kiv-kr-shutdown-law/v1/status})",
     {"-2@215", "5@215", "7@280", "all@280", "WARNING@200", "WARNING@210", "CUT_OFF@290", "CUT_OFF@300"}},
    // Queue 5 closed at 100; when 7 leaves the list at 150 every listed queue has closed.
    {"AQueueThatLeavesTheListKeepsItsMomentAndTakesNoPartInAllQueues",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"5": 200}
          /kiv-game-queues/v1/queues: [{id: 5}, {id: 7}]
        steps:
          - {at: 150, update: /kiv-game-queues/v1/queues, value: [{id: 5}]})",
     {"-2@225", "5@100", "7@225", "all@150", "WARNING@210", "CUT_OFF@300"}},
    // The deleted timetable's leads stay the ones last read when the list comes back grown.
    {"ADeletedListComesBackGrownAfterATimetableDelete",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"7": 30}
          /kiv-game-queues/v1/queues: [{id: 5}]
        steps:
          - {at: 10, delete: /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable}
          - {at: 20, delete: /kiv-game-queues/v1/queues}
          - {at: 30, create: /kiv-game-queues/v1/queues, value: [{id: 5}, {id: 7}]})",
     {"-2@225", "5@225", "7@270", "all@270", "WARNING@210", "CUT_OFF@300"}},
    {"AnEmptyListAfterTheFirstPlanClosesAllQueuesAtOnce",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 300}
          /kiv-game-queues/v1/queues: [{id: 5}]
        steps:
          - {at: 10, update: /kiv-game-queues/v1/queues, value: []})",
     {"-2@225", "5@225", "all@10", "WARNING@210", "CUT_OFF@300"}},
    {"WarningAndQueueOnTheSameMinute",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: 100}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"5": 90, "-2": 90}
          /kiv-game-queues/v1/queues: [{id: 5}, {id: 5}, {id: -2}]
        steps:
          - {at: 10, get: /kiv-kr-shutdown-law/v1/queue-status/5}
          - {at: 10, get: /kiv-kr-shutdown-law/v1/custom-status})",
     {"-2@10", "5@10", "all@10", "WARNING@10", "CUT_OFF@100"}},
    // Plain YAML numbers pass through a double, which does not hold 2^63 - 1; texts read whole.
    {"FarCutOffSaturates",
     R"(
        resources:
          /kiv-login/v1/login-data-packet: {minutesUntilShutdownEnabled: true, minutesUntilShutdown: "9223372036854775807"}
          /kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: {"1": "9223372036854775807"}
          /kiv-game-queues/v1/queues: [{id: 1}]
        steps:
          - {at: 1, get: /kiv-kr-shutdown-law/v1/queue-status/1})",
     {"-2@9223372036850275807ms", "1@0", "all@0", "WARNING@9223372036849375807ms",
      "CUT_OFF@9223372036854775807ms"}},
};

class ModelSessionTest : public testing::TestWithParam<Session> {};

TEST_P(ModelSessionTest, TheModelGivesTheMomentsWorkedOutByHand) {
    EXPECT_EQ(moments(expectedOutcome(fromYaml(GetParam().yaml))), GetParam().moments);
}

TEST_P(ModelSessionTest, ThePluginRunsTheSessionAsTheModelDoes) {
    const Scenario scenario = fromYaml(GetParam().yaml);
    const LawOutcome expected = expectedOutcome(scenario);
    const PlayedRun run = playOnPlugin(scenario);
    if (const std::optional<std::string> difference = differenceFromModel(expected, run.happenings)) {
        ADD_FAILURE() << *difference << mismatchReport(scenario, expected, run.happenings);
    }
}

INSTANTIATE_TEST_SUITE_P(Sessions, ModelSessionTest, testing::ValuesIn(kSessions),
                         [](const testing::TestParamInfo<Session>& info) {
                             return std::string(info.param.name);
                         });

TEST(ModelMemberNameTest, ReadsDecimalQueueIdsAsTheTimetableWritesThem) {
    constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::min() + 1; // not a result below
    const std::pair<const char*, std::int32_t> cases[] = {
        {"450", 450},
        {" 12", 12},
        {"\t5", 5},
        {"+7", 7},
        {"-2", -2},
        {"12x", 12},
        {"007", 7},
        {"-0", 0},
        {"1e3", 1},
        {"0x10", 0},
        {"", kNone},
        {"-", kNone},
        {"+", kNone},
        {"abc", kNone},
        {"+-3", kNone},
        {" - 3", kNone},
        {"x12", kNone},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", kNone},
        {"99999999999", kNone},
        {"-2147483649", kNone},
        {"99999999999999999999999x", kNone},
    };
    for (const auto& [name, id] : cases) {
        const std::optional<std::int32_t> read = queueIdOfMemberName(name);
        EXPECT_EQ(read.value_or(kNone), id) << "'" << name << "'";
    }
}

} // namespace
} // namespace kiv::test
