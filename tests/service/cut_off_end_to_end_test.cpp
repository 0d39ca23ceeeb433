// The login data packet through the real library: every cut-off rule and boundary, lenient
// members, repeated and deleted packets, and the routes before any packet.
#include "shutdown_law_host.h"

#include <algorithm>

namespace kiv::test {
namespace {

using kivhost::ResourceChangeKind;

constexpr const char* kEnabledLog = "3 KR Law Shutdown Enabled with the cut-off minutes: ";
constexpr const char* kDisabledLog = "3 KR Law Shutdown Disabled.";

std::vector<ScheduledJob> lawJobs(const ShutdownLawHost& law) {
    std::vector<ScheduledJob> found = law.jobs();
    std::erase_if(found, [](const ScheduledJob& job) {
        return job.name != "kiv-kr-shutdown-law.cut-off" && job.name != "kiv-kr-shutdown-law.warning";
    });
    return found;
}

// The law statuses published, in order.
std::vector<std::string> notifications(const ShutdownLawHost& law) {
    std::vector<std::string> found;
    for (const SentEvent& event : law.events()) {
        if (event.name == "OnJsonApiEvent_kiv-kr-shutdown-law_v1_notification") {
            found.push_back(json(event.payload)["data"]["type"].getString("?").data());
        }
    }
    return found;
}

bool readTimetable(const ShutdownLawHost& law) {
    const std::vector<std::string> requests = law.requests();
    return std::any_of(requests.begin(), requests.end(), [](const std::string& request) {
        return request.find(kTimetablePath) != std::string::npos;
    });
}

TEST(RoutesBeforeLoginDataTest, AnswerFromTheInitialState) {
    ShutdownLawHost law;
    law.start();
    EXPECT_EQ(law.requests(), (std::vector<std::string>{"GET /kiv-login/v1/login-data-packet 404"}));
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"NONE"})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/disabled-queues"), "[]");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/status"), R"({"isAllQueuesDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/custom-status"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/450"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/0"), R"({"isDisabled":false})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/-1"), "error 404 Unknown queueId: -1");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/queue-status/-2"), "error 404 Unknown queueId: -2");
    EXPECT_TRUE(law.events().empty());
    EXPECT_TRUE(law.jobs().empty());
    EXPECT_TRUE(law.logs().empty());
}

struct CutOffCase {
    const char* name;
    const char* packet;
    std::string log; // the service's line
    std::vector<ScheduledJob> jobs;
    std::vector<std::string> publishedAtOnce;
    const char* statusAtOnce;
};

void PrintTo(const CutOffCase& c, std::ostream* os) {
    *os << c.packet;
}

std::string enabled(long long minutes) {
    return kEnabledLog + std::to_string(minutes);
}

ScheduledJob cutOffAfter(std::int64_t seconds) {
    return {"kiv-kr-shutdown-law.cut-off", seconds};
}
ScheduledJob warningAfter(std::int64_t seconds) {
    return {"kiv-kr-shutdown-law.warning", seconds};
}

class CutOffRuleTest : public testing::TestWithParam<CutOffCase> {};

TEST_P(CutOffRuleTest, DecidesTheStatusAndTheJobsAtOnce) {
    const CutOffCase& c = GetParam();
    ShutdownLawHost law;
    law.put(kLoginPath, c.packet);
    law.put(kTimetablePath, "{}");
    law.put(kQueuesPath, "[]");
    law.start();
    EXPECT_EQ(law.logs(), std::vector<std::string>{c.log});
    EXPECT_EQ(lawJobs(law), c.jobs);
    EXPECT_EQ(notifications(law), c.publishedAtOnce);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"),
              std::string(R"({"type":")") + c.statusAtOnce + "\"}");
    // Every enabling packet goes on to the timetable, also when the cut-off has passed.
    EXPECT_EQ(readTimetable(law), c.log != kDisabledLog);
}

const std::vector<std::string> kNothing;
const std::vector<std::string> kWarningNow{"WARNING"};
const std::vector<std::string> kCutOffNow{"CUT_OFF"};

INSTANTIATE_TEST_SUITE_P(
    Rules, CutOffRuleTest,
    testing::Values(
        CutOffCase{"ExplicitZero",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 0})",
                   enabled(0),
                   {},
                   kCutOffNow,
                   "CUT_OFF"},
        CutOffCase{"ExplicitNegative",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": -30})",
                   enabled(-30),
                   {},
                   kCutOffNow,
                   "CUT_OFF"},
        CutOffCase{"ExplicitOne",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 1})",
                   enabled(1),
                   {cutOffAfter(60)},
                   kWarningNow,
                   "WARNING"},
        CutOffCase{"ExplicitNinety",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 90})",
                   enabled(90),
                   {cutOffAfter(5400)},
                   kWarningNow,
                   "WARNING"},
        CutOffCase{"ExplicitNinetyOne",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 91})",
                   enabled(91),
                   {cutOffAfter(5460), warningAfter(60)},
                   kNothing,
                   "NONE"},
        CutOffCase{"ExplicitMinusOneFallsToTheMinorRule",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": -1, "minor": true,
                       "minorShutdownEnforced": true, "minutesUntilMidnight": 300})",
                   enabled(300),
                   {cutOffAfter(18000), warningAfter(12600)},
                   kNothing,
                   "NONE"},
        CutOffCase{"ExplicitMinusOneWithoutTheMinorRule",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": -1, "minor": true,
                       "minutesUntilMidnight": 300})",
                   kDisabledLog,
                   {},
                   kNothing,
                   "NONE"},
        CutOffCase{"ExplicitNotInForce",
                   R"({"minutesUntilShutdownEnabled": false, "minutesUntilShutdown": 30, "minor": true,
                       "minorShutdownEnforced": true, "minutesUntilMidnight": 120})",
                   enabled(120),
                   {cutOffAfter(7200), warningAfter(1800)},
                   kNothing,
                   "NONE"},
        CutOffCase{"MinorNotEnforced",
                   R"({"minor": true, "minorShutdownEnforced": false, "minutesUntilMidnight": 5})",
                   kDisabledLog,
                   {},
                   kNothing,
                   "NONE"},
        CutOffCase{"MinorAtMidnight",
                   R"({"minor": true, "minorShutdownEnforced": true, "minutesUntilMidnight": 0})",
                   enabled(0),
                   {},
                   kCutOffNow,
                   "CUT_OFF"},
        CutOffCase{"EmptyPacket", "{}", kDisabledLog, {}, kNothing, "NONE"},
        CutOffCase{"NotAnObject", "[true, 5]", kDisabledLog, {}, kNothing, "NONE"},
        CutOffCase{"StringMinutes",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": "120"})",
                   enabled(120),
                   {cutOffAfter(7200), warningAfter(1800)},
                   kNothing,
                   "NONE"},
        CutOffCase{"StringAndNumberTruths",
                   R"({"minor": "true", "minorShutdownEnforced": 1, "minutesUntilMidnight": "95"})",
                   enabled(95),
                   {cutOffAfter(5700), warningAfter(300)},
                   kNothing,
                   "NONE"},
        CutOffCase{"OtherStringsAreFalse",
                   R"({"minor": "yes", "minorShutdownEnforced": "TRUE", "minutesUntilMidnight": 95})",
                   kDisabledLog,
                   {},
                   kNothing,
                   "NONE"},
        CutOffCase{"BoolMinutes",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": true})",
                   enabled(1),
                   {cutOffAfter(60)},
                   kWarningNow,
                   "WARNING"},
        CutOffCase{"FloatMinutesAreTruncated",
                   R"({"minutesUntilShutdownEnabled": 0.5, "minutesUntilShutdown": 91.99})",
                   enabled(91),
                   {cutOffAfter(5460), warningAfter(60)},
                   kNothing,
                   "NONE"},
        CutOffCase{"LowestMinutes",
                   R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 9223372036854775808})",
                   enabled(std::numeric_limits<std::int64_t>::min()),
                   {},
                   kCutOffNow,
                   "CUT_OFF"}),
    [](const testing::TestParamInfo<CutOffCase>& info) { return std::string(info.param.name); });

TEST(CutOffJobsTest, StatusesFollowTheJobsOnTheClock) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 91})");
    law.start();
    law.runForMinutes(0.5);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"NONE"})");
    law.runForMinutes(0.5);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"WARNING"})");
    law.runForMinutes(89.9);
    EXPECT_EQ(notifications(law), kWarningNow);
    law.runForMinutes(0.1);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"CUT_OFF"})");
    EXPECT_EQ(notifications(law), (std::vector<std::string>{"WARNING", "CUT_OFF"}));
}

TEST(CutOffJobsTest, FarCutOffsAreScheduledWithoutOverflow) {
    ShutdownLawHost law;
    law.put(kLoginPath,
            R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 9223372036854775807})");
    law.start();
    const std::vector<ScheduledJob> jobs = lawJobs(law);
    ASSERT_EQ(jobs.size(), 2u);
    // Both moments lie beyond what the clock can hold and are held at its end.
    for (const ScheduledJob& job : jobs) {
        EXPECT_GT(job.seconds, 1'000'000'000) << job.name;
    }
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"NONE"})");
}

TEST(LoginDataChangesTest, ADeletedPacketChangesNothing) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 100})");
    law.start();
    const std::size_t happened = law.host.happenings().size();
    law.change(ResourceChangeKind::Delete, kLoginPath);
    std::vector<kivhost::Happening> after = law.host.happenings();
    after.erase(after.begin(), after.begin() + static_cast<std::ptrdiff_t>(happened));
    ASSERT_EQ(after.size(), 1u); // the deletion itself
    EXPECT_STREQ(kivhost::happeningType(after[0].detail), "delete");
}

TEST(LoginDataChangesTest, EachPacketIsDecidedAfreshAndEarlierJobsKeepRunning) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 0})");
    law.put(kTimetablePath, "{}");
    law.put(kQueuesPath, "[]");
    law.start();
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"CUT_OFF"})");

    // Not from CUT_OFF back to WARNING: the status moves forward only, whichever packet would set
    // it, and a packet that would move it back publishes nothing.
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 50})");
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"CUT_OFF"})");
    law.change(ResourceChangeKind::Create, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 200})");
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 20})");
    // A disabling packet leaves everything as it was.
    law.change(ResourceChangeKind::Update, kLoginPath, "{}");
    EXPECT_EQ(law.logs(),
              (std::vector<std::string>{enabled(0), enabled(50), enabled(200), enabled(20), kDisabledLog}));
    EXPECT_EQ(lawJobs(law), (std::vector<ScheduledJob>{cutOffAfter(3000), cutOffAfter(12000),
                                                       warningAfter(6600), cutOffAfter(1200)}));
    EXPECT_EQ(notifications(law), kCutOffNow);
    law.runAll();
    // Jobs of every packet fire: cut-off at 20 and 50, warning at 110, cut-off at 200 minutes.
    // The cut-off jobs assign CUT_OFF again, which is no step back; the warning would be one and
    // does nothing.
    EXPECT_EQ(notifications(law), (std::vector<std::string>{"CUT_OFF", "CUT_OFF", "CUT_OFF", "CUT_OFF"}));
    EXPECT_EQ(law.host.nowMs(), 200 * 60000);
}

TEST(LoginDataChangesTest, ARepeatedWarningIsPublishedAgain) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 50})");
    law.start();
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 80})");
    EXPECT_EQ(notifications(law), (std::vector<std::string>{"WARNING", "WARNING"}));
}

TEST(LoginDataChangesTest, APacketAfterTheCutOffLeavesItInPlace) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 0})");
    law.start();
    EXPECT_EQ(notifications(law), kCutOffNow);
    law.runForMinutes(5);
    // 1 to 90 minutes away would be WARNING at once: the status moves forward only, and nothing
    // is published.
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 20})");
    law.runForMinutes(1);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"CUT_OFF"})");
    EXPECT_EQ(notifications(law), kCutOffNow);
    // Its own cut-off job assigns CUT_OFF again, which is no step back.
    law.runAll();
    EXPECT_EQ(notifications(law), (std::vector<std::string>{"CUT_OFF", "CUT_OFF"}));
}

TEST(LoginDataChangesTest, AFurtherPacketsWarningAfterTheCutOffLeavesItInPlace) {
    ShutdownLawHost law;
    law.put(kLoginPath, R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 120})");
    law.start();
    law.runForMinutes(30);
    // The cut-off moves from 02:00 to 03:30, with a warning due at 02:00: the earliest cut-off
    // stands, and the warning finds the status past it.
    law.change(ResourceChangeKind::Update, kLoginPath,
               R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 180})");
    law.runForMinutes(95);
    EXPECT_EQ(law.get("/kiv-kr-shutdown-law/v1/notification"), R"({"type":"CUT_OFF"})");
    law.runAll();
    EXPECT_EQ(notifications(law), (std::vector<std::string>{"WARNING", "CUT_OFF", "CUT_OFF"}));
}

} // namespace
} // namespace kiv::test
