// The queue-disable timetable and the game-queue list through the real library: lead times,
// defaults, the custom queue, duplicates, late and failed reads, the events and their order,
// the queue-status route, and unloading with jobs pending.
#include "shutdown_law_host.h"

namespace kiv::test {
namespace {

using kivhost::ResourceChangeKind;

constexpr const char* kLoginAt300 =
    R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 300})";

std::vector<ScheduledJob> queueJobs(const ShutdownLawHost& law) {
    std::vector<ScheduledJob> found = law.jobs();
    std::erase_if(
        found, [](const ScheduledJob& job) { return !job.name.starts_with("kiv-kr-shutdown-law.disable-"); });
    return found;
}

ScheduledJob disableAfterMinutes(std::int32_t queueId, std::int64_t minutes) {
    return {"kiv-kr-shutdown-law.disable-queue." + std::to_string(queueId), minutes * 60};
}
ScheduledJob disableAllAfterMinutes(std::int64_t minutes) {
    return {"kiv-kr-shutdown-law.disable-all-queues", minutes * 60};
}

// "<minute> <event name without its common prefix> <data>" for each event sent under its path's
// name, and a check that each is followed by the same payload under "OnJsonApiEvent".
std::vector<std::string> queueTimeline(const ShutdownLawHost& law) {
    std::vector<std::string> lines;
    const std::vector<kivhost::Happening> happenings = law.host.happenings();
    for (std::size_t i = 0; i < happenings.size(); ++i) {
        const auto* event = std::get_if<kivhost::EventSent>(&happenings[i].detail);
        if (!event || event->name == "OnJsonApiEvent") {
            continue;
        }
        const auto* generic =
            i + 1 < happenings.size() ? std::get_if<kivhost::EventSent>(&happenings[i + 1].detail) : nullptr;
        EXPECT_TRUE(generic && generic->name == "OnJsonApiEvent" &&
                    kivhost::toJson(generic->payload) == kivhost::toJson(event->payload))
            << event->name;
        const Value& payload = event->payload;
        EXPECT_EQ(payload["eventType"].getString(""), "Update");
        const std::string name =
            event->name.substr(std::string_view("OnJsonApiEvent_kiv-kr-shutdown-law_v1_").size());
        std::string line = std::to_string(happenings[i].timeMs / 60000) + " " + name;
        if (name == "queue-status") {
            line += " " + std::string(payload["uri"].getString(""));
        }
        lines.push_back(line + " " + kivhost::toJson(payload["data"]));
    }
    return lines;
}

std::vector<std::string> errorLogs(const ShutdownLawHost& law) {
    std::vector<std::string> found = law.logs();
    std::erase_if(found, [](const std::string& line) { return !line.starts_with("2 "); });
    return found;
}

TEST(QueueTimetableTest, QueuesCloseTheirLeadBeforeTheCutOffInOrder) {
    ShutdownLawHost law;
    law.put(kLoginPath, kLoginAt300);
    law.put(kTimetablePath, R"({"450": 120, "420": 0})");
    law.put(kQueuesPath, R"([{"id": 450}, {"id": 420}, {"id": 830}])");
    law.start();
    EXPECT_EQ(queueJobs(law),
              (std::vector<ScheduledJob>{disableAfterMinutes(450, 180), disableAfterMinutes(420, 225),
                                         disableAfterMinutes(830, 225), disableAfterMinutes(-2, 225),
                                         disableAllAfterMinutes(225)}));
    law.runForMinutes(180);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/450"), R"({"isDisabled":true})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/420"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":false})");
    law.runAll();
    EXPECT_EQ(queueTimeline(law),
              (std::vector<std::string>{
                  R"(180 queue-status /kiv-kr-shutdown-law/v1/queue-status/450 {"isDisabled":true})",
                  R"(180 disabled-queues [450])",
                  R"(210 notification {"type":"WARNING"})",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/420 {"isDisabled":true})",
                  R"(225 disabled-queues [450,420])",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/830 {"isDisabled":true})",
                  R"(225 disabled-queues [450,420,830])",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/-2 {"isDisabled":true})",
                  R"(225 disabled-queues [450,420,830,-2])",
                  R"(225 status {"isAllQueuesDisabled":true})",
                  R"(300 notification {"type":"CUT_OFF"})",
              }));
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/disabled-queues"), "[450,420,830,-2]");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/custom-status"), R"({"isDisabled":true})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
    // The custom queue is read at its own route; its id names no queue at the queue-status route.
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/-2"), "error 404 Unknown queueId: -2");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/-1"), "error 404 Unknown queueId: -1");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/999"), R"({"isDisabled":false})");
}

struct QueueCase {
    const char* name;
    const char* login;
    const char* timetable; // null: absent
    const char* queues;
    std::vector<ScheduledJob> jobs;
    const char* disabledAtEnd;
};

void PrintTo(const QueueCase& c, std::ostream* os) {
    *os << c.name;
}

class QueueJobsTest : public testing::TestWithParam<QueueCase> {};

TEST_P(QueueJobsTest, ScheduleOneJobPerListedQueueTheCustomQueueAndAllQueues) {
    const QueueCase& c = GetParam();
    ShutdownLawHost law;
    law.put(kLoginPath, c.login);
    if (c.timetable) {
        law.put(kTimetablePath, c.timetable);
    }
    law.put(kQueuesPath, c.queues);
    law.start();
    EXPECT_EQ(queueJobs(law), c.jobs);
    law.runAll();
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/disabled-queues"), c.disabledAtEnd);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
}

INSTANTIATE_TEST_SUITE_P(
    Timetables, QueueJobsTest,
    testing::Values(
        QueueCase{"CutOffWithinTheDefaultLead",
                  R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 60})",
                  "{}",
                  R"([{"id": 1}, {"id": 2}])",
                  {disableAfterMinutes(1, 0), disableAfterMinutes(2, 0), disableAfterMinutes(-2, 0),
                   disableAllAfterMinutes(0)},
                  "[1,2,-2]"},
        QueueCase{"CustomLeadMovesOnlyTheCustomQueue",
                  kLoginAt300,
                  R"({"-2": 30})",
                  R"([{"id": 7}])",
                  {disableAfterMinutes(7, 225), disableAfterMinutes(-2, 270), disableAllAfterMinutes(225)},
                  "[7,-2]"},
        QueueCase{"DuplicatesCloseOnce",
                  kLoginAt300,
                  R"({"5": 100})",
                  R"([{"id": 5}, {"id": 5}])",
                  {disableAfterMinutes(5, 200), disableAfterMinutes(5, 200), disableAfterMinutes(-2, 225),
                   disableAllAfterMinutes(200)},
                  "[5,-2]"},
        QueueCase{"EmptyListClosesAllQueuesAtOnce",
                  kLoginAt300,
                  "{}",
                  "[]",
                  {disableAfterMinutes(-2, 225), disableAllAfterMinutes(0)},
                  "[-2]"},
        QueueCase{"AbsentTimetableGivesTheDefaultLead",
                  kLoginAt300,
                  nullptr,
                  R"([{"id": 3}])",
                  {disableAfterMinutes(3, 225), disableAfterMinutes(-2, 225), disableAllAfterMinutes(225)},
                  "[3,-2]"},
        QueueCase{"TimetableThatIsNoObjectGivesTheDefaultLead",
                  kLoginAt300,
                  R"([{"3": 10}])",
                  R"([{"id": 3}])",
                  {disableAfterMinutes(3, 225), disableAfterMinutes(-2, 225), disableAllAfterMinutes(225)},
                  "[3,-2]"},
        QueueCase{
            "OddMemberNamesAndValues",
            kLoginAt300,
            // Names without digits or beyond 32 bits name no queue: neither 0 nor the largest id
            // takes their leads.
            R"({"12x": 100, " +13": "50", "abc": 10, "": 20, "-": 30, "99999999999": 40, "2147483648": 60,
                "14": -5, "15": null, "16": 1.9})",
            R"([{"id": 12}, {"id": 13}, {"id": 14}, {"id": 15}, {"id": 16}, {"id": 0}, {"id": 2147483647}])",
            {disableAfterMinutes(12, 200), disableAfterMinutes(13, 250), disableAfterMinutes(14, 225),
             disableAfterMinutes(15, 225), disableAfterMinutes(16, 299), disableAfterMinutes(0, 225),
             disableAfterMinutes(2147483647, 225), disableAfterMinutes(-2, 225), disableAllAfterMinutes(299)},
            "[12,14,15,0,2147483647,-2,13,16]"},
        QueueCase{"ListElementsReadLeniently",
                  kLoginAt300,
                  "{}",
                  R"([{}, {"id": "0x10"}, {"id": 4294967297}, 5])",
                  {disableAfterMinutes(0, 225), disableAfterMinutes(16, 225), disableAfterMinutes(1, 225),
                   disableAfterMinutes(0, 225), disableAfterMinutes(-2, 225), disableAllAfterMinutes(225)},
                  "[0,16,1,-2]"},
        QueueCase{"LowestCutOffSaturates",
                  R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 9223372036854775808})",
                  R"({"1": 9223372036854775807})",
                  R"([{"id": 1}, {"id": 2}])",
                  {{"kiv-kr-shutdown-law.disable-queue.1", 0},
                   {"kiv-kr-shutdown-law.disable-queue.2", 0},
                   {"kiv-kr-shutdown-law.disable-queue.-2", 0},
                   {"kiv-kr-shutdown-law.disable-all-queues", 0}},
                  "[1,2,-2]"}),
    [](const testing::TestParamInfo<QueueCase>& info) { return std::string(info.param.name); });

TEST(QueueTimetableTest, QueueZeroIsAnOrdinaryQueue) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 10})");
    law.put(kTimetablePath, "{}");
    law.put(kQueuesPath, R"([{"name": "no id"}])");
    law.start();
    law.runForMinutes(0);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/0"), R"({"isDisabled":true})");
}

TEST(QueueTimetableTest, AnAbsentTimetableIsLoggedAndTheQueuesStillClose) {
    ShutdownLawHost law;
    law.put(kLoginPath, kLoginAt300);
    law.put(kQueuesPath, R"([{"id": 3}])");
    law.start();
    // A namespace the configuration does not hold is an ordinary state, not an error.
    EXPECT_TRUE(errorLogs(law).empty());
    EXPECT_EQ(law.logs().back(), "3 No queue-disable timetable at "
                                 "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable: every "
                                 "queue closes 75 minutes before the cut-off.");
    // A timetable that appears later is read, though the jobs are built already.
    law.change(ResourceChangeKind::Create, kTimetablePath, R"({"3": 10})");
    EXPECT_EQ(queueJobs(law).size(), 3u);
}

TEST(QueueListTest, AFailedReadPlansOnlyTheCustomQueueUntilTheNextEvent) {
    ShutdownLawHost law;
    law.put(kLoginPath, kLoginAt300);
    law.put(kTimetablePath, R"({"9": 100})");
    law.start();
    const std::vector<ScheduledJob> customOnly{disableAfterMinutes(-2, 225)};
    EXPECT_EQ(queueJobs(law), customOnly);
    EXPECT_EQ(errorLogs(law),
              (std::vector<std::string>{"2 Couldn't read the queue list /kiv-game-queues/v1/queues: "
                                        "Error response for GET /kiv-game-queues/v1/queues: No "
                                        "resource at '/kiv-game-queues/v1/queues'."}));

    // A list that is not a Collection fails the same way.
    law.change(ResourceChangeKind::Create, kQueuesPath, R"({"id": 9})");
    EXPECT_EQ(queueJobs(law), customOnly);
    ASSERT_EQ(errorLogs(law).size(), 2u);
    EXPECT_EQ(errorLogs(law)[1],
              "2 Couldn't read the queue list /kiv-game-queues/v1/queues: Error converting "
              "response for GET /kiv-game-queues/v1/queues: Couldn't assign value to '<result>' of "
              "type vector because the input not a collection.");

    // The deleted timetable leaves its lead times; the next timetable-less event builds the jobs.
    law.change(ResourceChangeKind::Delete, kTimetablePath);
    law.host.putResource(kQueuesPath, json(R"([{"id": 9}])"));
    law.change(ResourceChangeKind::Update, kQueuesPath, R"([{"id": 9}])");
    EXPECT_EQ(queueJobs(law),
              (std::vector<ScheduledJob>{disableAfterMinutes(-2, 225), disableAfterMinutes(9, 200),
                                         disableAllAfterMinutes(200)}));
}

TEST(QueueListTest, LaterTimetablesAndFurtherCutOffsMoveNoQueue) {
    ShutdownLawHost law;
    law.put(kLoginPath, kLoginAt300);
    law.put(kTimetablePath, R"({"1": 100})");
    law.put(kQueuesPath, R"([{"id": 1}])");
    law.start();
    const std::vector<ScheduledJob> built = queueJobs(law);
    law.change(ResourceChangeKind::Update, kQueuesPath, R"([{"id": 1}])");
    law.change(ResourceChangeKind::Update, kTimetablePath, R"({"1": 10})");
    // A second packet with a further cut-off re-reads the timetable and schedules its own
    // cut-off, but the queues keep the moments of the first.
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": 1, "minutesUntilShutdown": 500})");
    EXPECT_EQ(queueJobs(law), built);
    std::size_t timetableReads = 0;
    for (const std::string& request : law.requests()) {
        timetableReads += request.find(kTimetablePath) != std::string::npos;
    }
    EXPECT_EQ(timetableReads, 2u);
}

constexpr const char* kExplicitAt300 =
    R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 300})";

TEST(QueueListTest, AListThatGrowsPlansItsNewQueues) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kQueuesPath, R"([{"id": 5}])");
    law.start();
    law.runForMinutes(10);
    law.change(ResourceChangeKind::Update, kQueuesPath, R"([{"id": 5}, {"id": 7}])");
    // Queue 7 closes at the default lead before the cut-off, as 5 does; all queues with the last.
    EXPECT_EQ(queueJobs(law),
              (std::vector<ScheduledJob>{disableAfterMinutes(5, 225), disableAfterMinutes(-2, 225),
                                         disableAllAfterMinutes(225), disableAfterMinutes(7, 215),
                                         disableAllAfterMinutes(215)}));
    law.runForMinutes(291);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/7"), R"({"isDisabled":true})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
    law.runAll();
    EXPECT_EQ(queueTimeline(law),
              (std::vector<std::string>{
                  R"(210 notification {"type":"WARNING"})",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/5 {"isDisabled":true})",
                  R"(225 disabled-queues [5])",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/-2 {"isDisabled":true})",
                  R"(225 disabled-queues [5,-2])",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/7 {"isDisabled":true})",
                  R"(225 disabled-queues [5,-2,7])",
                  R"(225 status {"isAllQueuesDisabled":true})",
                  R"(300 notification {"type":"CUT_OFF"})",
              }));
}

TEST(QueueListTest, ALaterListPlansItsNewQueuesFromTheQueueCutOffWithTheTimetableAsLastRead) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kTimetablePath, R"({"5": 100})");
    law.put(kQueuesPath, R"([{"id": 5}])");
    law.start();
    law.runForMinutes(10);
    // A further packet does not move the queue cut-off; a timetable read later gives the leads.
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 400})");
    law.change(ResourceChangeKind::Update, kTimetablePath, R"({"5": 10, "7": 30, "8": 250})");
    law.runForMinutes(10);
    // The list is deleted and comes back grown; queue 5 keeps its moment.
    law.change(ResourceChangeKind::Delete, kQueuesPath);
    law.change(ResourceChangeKind::Create, kQueuesPath, R"([{"id": 7}, {"id": 5}, {"id": 8}])");
    EXPECT_EQ(queueJobs(law),
              (std::vector<ScheduledJob>{disableAfterMinutes(5, 200), disableAfterMinutes(-2, 225),
                                         disableAllAfterMinutes(200), disableAfterMinutes(7, 250),
                                         disableAfterMinutes(8, 30), disableAllAfterMinutes(250)}));
    law.runAll();
    EXPECT_EQ(queueTimeline(law),
              (std::vector<std::string>{
                  R"(50 queue-status /kiv-kr-shutdown-law/v1/queue-status/8 {"isDisabled":true})",
                  R"(50 disabled-queues [8])",
                  R"(200 queue-status /kiv-kr-shutdown-law/v1/queue-status/5 {"isDisabled":true})",
                  R"(200 disabled-queues [8,5])",
                  R"(210 notification {"type":"WARNING"})",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/-2 {"isDisabled":true})",
                  R"(225 disabled-queues [8,5,-2])",
                  R"(270 queue-status /kiv-kr-shutdown-law/v1/queue-status/7 {"isDisabled":true})",
                  R"(270 disabled-queues [8,5,-2,7])",
                  R"(270 status {"isAllQueuesDisabled":true})",
                  R"(300 notification {"type":"CUT_OFF"})",
                  R"(410 notification {"type":"CUT_OFF"})",
              }));
}

TEST(QueueListTest, AQueueThatLeavesTheListKeepsItsMomentAndAllQueuesFollowTheListAsLastRead) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kTimetablePath, R"({"5": 200})");
    law.put(kQueuesPath, R"([{"id": 5}, {"id": 7}])");
    law.start();
    law.runForMinutes(150);
    // Queue 5 closed at 100; 7, due at 225, leaves the list, so every listed queue has closed.
    law.change(ResourceChangeKind::Update, kQueuesPath, R"([{"id": 5}])");
    law.runForMinutes(0); // the jobs due at once
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
    law.runAll();
    EXPECT_EQ(queueTimeline(law),
              (std::vector<std::string>{
                  R"(100 queue-status /kiv-kr-shutdown-law/v1/queue-status/5 {"isDisabled":true})",
                  R"(100 disabled-queues [5])",
                  R"(150 status {"isAllQueuesDisabled":true})",
                  R"(210 notification {"type":"WARNING"})",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/7 {"isDisabled":true})",
                  R"(225 disabled-queues [5,7])",
                  R"(225 queue-status /kiv-kr-shutdown-law/v1/queue-status/-2 {"isDisabled":true})",
                  R"(225 disabled-queues [5,7,-2])",
                  R"(300 notification {"type":"CUT_OFF"})",
              }));
}

TEST(AllQueuesTest, ACloserPacketAfterTheTimetableChangedClosesAllQueuesWithTheLastOfThem) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kTimetablePath, R"({"5": 200})");
    law.put(kQueuesPath, R"([{"id": 5}, {"id": 7}])");
    law.start();
    law.runForMinutes(5);
    law.change(ResourceChangeKind::Update, kTimetablePath, R"({"7": 200})");
    law.runForMinutes(5);
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 270})");
    // Queue 7 closes at 80 by the new plan, 5 at 100 by the first.
    law.runForMinutes(90.5);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/disabled-queues"), "[7,5]");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
    law.runAll();
    const std::vector<std::string> timeline = queueTimeline(law);
    ASSERT_GE(timeline.size(), 5u);
    EXPECT_EQ(timeline[4], R"(100 status {"isAllQueuesDisabled":true})");
}

TEST(AllQueuesTest, AGrownListAndACloserPacketCloseAllQueuesWithTheLastOfThem) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kTimetablePath, R"({"7": 10})");
    law.put(kQueuesPath, R"([{"id": 5}])");
    law.start();
    law.runForMinutes(10);
    law.change(ResourceChangeKind::Update, kQueuesPath, R"([{"id": 5}, {"id": 7}])");
    law.runForMinutes(10);
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 270})");
    // Queue 5 closes at 215, 7 at 280.
    law.runForMinutes(205.5);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/7"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":false})");
    law.runAll();
    EXPECT_EQ(queueTimeline(law),
              (std::vector<std::string>{
                  R"(200 notification {"type":"WARNING"})",
                  R"(210 notification {"type":"WARNING"})",
                  R"(215 queue-status /kiv-kr-shutdown-law/v1/queue-status/5 {"isDisabled":true})",
                  R"(215 disabled-queues [5])",
                  R"(215 queue-status /kiv-kr-shutdown-law/v1/queue-status/-2 {"isDisabled":true})",
                  R"(215 disabled-queues [5,-2])",
                  R"(280 queue-status /kiv-kr-shutdown-law/v1/queue-status/7 {"isDisabled":true})",
                  R"(280 disabled-queues [5,-2,7])",
                  R"(280 status {"isAllQueuesDisabled":true})",
                  R"(290 notification {"type":"CUT_OFF"})",
                  R"(300 notification {"type":"CUT_OFF"})",
              }));
}

TEST(AllQueuesTest, AnEmptyListClosesAllQueuesAtOnceAndTheCustomQueueTakesNoPart) {
    ShutdownLawHost law;
    law.put(kLoginPath, kExplicitAt300);
    law.put(kQueuesPath, R"([{"id": 5}])");
    law.start();
    law.runForMinutes(10);
    law.change(ResourceChangeKind::Update, kQueuesPath, "[]");
    law.runForMinutes(0);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":true})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/custom-status"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/5"), R"({"isDisabled":false})");
}

TEST(UnloadTest, PendingJobsAreDroppedAndSendNothing) {
    ShutdownLawHost law;
    law.put(kLoginPath, kLoginAt300);
    law.put(kTimetablePath, "{}");
    law.put(kQueuesPath, R"([{"id": 1}])");
    law.start();
    law.runForMinutes(100);
    const std::size_t eventsBefore = law.events().size();
    law.host.unload(law.plugin);
    const std::vector<kivhost::PluginUnloaded> unloaded = law.seen<kivhost::PluginUnloaded>();
    ASSERT_EQ(unloaded.size(), 1u);
    EXPECT_EQ(unloaded[0].pendingTimers, 5u); // warning, cut-off, queue 1, custom queue, all queues
    EXPECT_EQ(unloaded[0].memory.bytesAllocated, unloaded[0].memory.bytesFreed);
    EXPECT_EQ(unloaded[0].memory.allocationCount, unloaded[0].memory.freeCount);
    // A platform that fires a dropped timer anyway reaches nothing.
    const std::vector<kivhost::TimerRecord> timers = law.host.timerHistory();
    for (std::size_t i = 0; i < timers.size(); ++i) {
        law.host.replayTimer(i);
    }
    EXPECT_EQ(law.events().size(), eventsBefore);
}

} // namespace
} // namespace kiv::test
