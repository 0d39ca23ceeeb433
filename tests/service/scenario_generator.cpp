#include "scenario_generator.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kiv::test {

namespace {

constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr const char* kTimetablePath = "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";
constexpr const char* kOtherPaths[] = {kLoginPath, kTimetablePath, kQueuesPath};

constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();

} // namespace

Value ScenarioGenerator::minutes() {
    Value value;
    switch (below(12)) {
    case 0:
        value.setSigned(static_cast<std::int64_t>(below(400)) - 60);
        break;
    case 1: {
        static constexpr std::int64_t kEdges[] = {-1, 0,  1,  74,      75,       76,
                                                  89, 90, 91, kLowest, kHighest, kLowest + 1};
        value.setSigned(kEdges[below(std::size(kEdges))]);
        break;
    }
    case 2:
        value.setUnsigned(below(2) ? std::numeric_limits<std::uint64_t>::max() : std::uint64_t{1} << 63);
        break;
    case 3: {
        static constexpr double kFloats[] = {90.5, -0.5, 1e300, -1e300, 91.999, 1e19, -1e19};
        value.setFloat(below(3) == 0 ? std::nan("") : kFloats[below(std::size(kFloats))]);
        break;
    }
    case 4: {
        static constexpr const char* kTexts[] = {"120",
                                                 "abc",
                                                 "-1",
                                                 "0x60",
                                                 "",
                                                 " 95",
                                                 "9999999999999999999999",
                                                 "91minutes",
                                                 "-9223372036854775809",
                                                 "010"};
        value.setString(kTexts[below(std::size(kTexts))]);
        break;
    }
    case 5:
        value.setBool(chance(0.5));
        break;
    case 6:
        value.setFloat(below(2) ? std::numeric_limits<double>::infinity()
                                : -std::numeric_limits<double>::infinity());
        break;
    default:
        value = anyScalar();
    }
    return value;
}

Value ScenarioGenerator::truth() {
    Value value;
    switch (below(6)) {
    case 0:
    case 1:
        value.setBool(chance(0.7));
        break;
    case 2: {
        static constexpr const char* kTexts[] = {"true", "1", "false", "TRUE", "yes", ""};
        value.setString(kTexts[below(std::size(kTexts))]);
        break;
    }
    case 3:
        value.setSigned(static_cast<std::int64_t>(below(3)) - 1);
        break;
    default:
        value = anyScalar();
    }
    return value;
}

Value ScenarioGenerator::anyScalar() {
    Value value;
    switch (below(6)) {
    case 0:
        break; // Empty, as null
    case 1:
        value.makeCollection();
        for (std::size_t i = below(3); i > 0; --i)
            value.append().setSigned(static_cast<std::int64_t>(below(100)));
        break;
    case 2:
        value.makeStructure();
        if (chance(0.5))
            value.member("x").setBool(true);
        break;
    case 3:
        value.setBlob(std::vector<std::uint8_t>(below(4), 7));
        break;
    case 4:
        value.setEnum({static_cast<std::int32_t>(below(3)), nullptr});
        break;
    default:
        value.setFloat(static_cast<double>(below(200)) - 50.25);
    }
    return value;
}

Value ScenarioGenerator::loginPacket() {
    if (chance(0.05))
        return anyScalar();
    Value packet;
    packet.makeStructure();
    if (chance(0.7))
        packet.member("minor") = truth();
    if (chance(0.7))
        packet.member("minorShutdownEnforced") = truth();
    if (chance(0.7))
        packet.member("minutesUntilMidnight") = minutes();
    if (chance(0.6))
        packet.member("minutesUntilShutdownEnabled") = truth();
    if (chance(0.6))
        packet.member("minutesUntilShutdown") = minutes();
    if (chance(0.1))
        packet.member("unrelated") = anyScalar();
    return packet;
}

std::string ScenarioGenerator::memberName() {
    static constexpr const char* kOdd[] = {
        "-2",         " 12",         "+7",         "12x", "abc", "",    "-",   "+", "99999999999",
        "2147483647", "-2147483648", "2147483648", "0",   "007", "\t5", "1e3", "-0"};
    if (chance(0.5))
        return kOdd[below(std::size(kOdd))];
    return std::to_string(queueIdNumber(40));
}

std::int64_t ScenarioGenerator::queueIdNumber(std::int64_t poolSize) {
    if (chance(0.03))
        return below(2) ? std::int64_t{1} << 32 | 5 : kHighest;
    return static_cast<std::int64_t>(below(static_cast<std::size_t>(poolSize))) - 2;
}

Value ScenarioGenerator::timetable() {
    if (chance(0.1))
        return anyScalar();
    Value table;
    table.makeStructure();
    for (std::size_t i = below(12); i > 0; --i)
        table.member(memberName()) = chance(0.6) ? [&] {
            Value lead;
            lead.setSigned(static_cast<std::int64_t>(below(400)) - 50);
            return lead;
        }()
                                                 : minutes();
    return table;
}

Value ScenarioGenerator::queueList() {
    if (chance(0.08))
        return chance(0.5) ? anyScalar() : timetable();
    Value list;
    list.makeCollection();
    // Now and then thousands of entries; their ids come from a pool of a few hundred, so that
    // the disabled-queue list (published whole at every closing) stays of modest size.
    const std::size_t count = chance(0.04) ? 1000 + below(3000) : below(12);
    const std::int64_t pool = count > 100 ? 300 : 40;
    list.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Value& queue = list.append();
        switch (below(20)) {
        case 0:
            queue.makeStructure(); // no id: queue 0
            break;
        case 1:
            queue = anyScalar();
            break;
        case 2:
            queue.member("id") = minutes();
            break;
        default:
            queue.member("id").setSigned(queueIdNumber(pool));
        }
    }
    return list;
}

Value ScenarioGenerator::resourceValue(const std::string& path) {
    if (path == kLoginPath)
        return loginPacket();
    if (path == kTimetablePath)
        return timetable();
    return queueList();
}

ScenarioStep ScenarioGenerator::step(std::int64_t atMs) {
    ScenarioStep step;
    step.atMs = atMs;
    if (chance(0.25)) {
        static constexpr const char* kRoutes[] = {
            "/kiv-kr-shutdown-law/v1/notification", "/kiv-kr-shutdown-law/v1/disabled-queues",
            "/kiv-kr-shutdown-law/v1/custom-status", "/kiv-kr-shutdown-law/v1/status"};
        step.get = true;
        step.path = below(3) == 0
                        ? "/kiv-kr-shutdown-law/v1/queue-status/" + std::to_string(queueIdNumber(40))
                        : kRoutes[below(std::size(kRoutes))];
        return step;
    }
    step.path = kOtherPaths[below(std::size(kOtherPaths))];
    step.change = static_cast<kivhost::ResourceChange>(below(3));
    if (step.change != kivhost::ResourceChange::Delete)
        step.value = resourceValue(step.path);
    return step;
}

Scenario ScenarioGenerator::next() {
    Scenario scenario;
    for (const char* path : kOtherPaths)
        if (chance(0.8))
            scenario.resources[path] = resourceValue(path);
    // Enabled packets are the interesting ones: make a good share of the scenarios start with one.
    if (chance(0.5)) {
        Value packet;
        packet.member("minutesUntilShutdownEnabled").setBool(true);
        packet.member("minutesUntilShutdown") = minutes();
        scenario.resources[kLoginPath] = std::move(packet);
    }
    std::vector<std::int64_t> moments(below(14));
    for (std::int64_t& atMs : moments)
        atMs = static_cast<std::int64_t>(below(400 * 60000));
    std::sort(moments.begin(), moments.end());
    for (const std::int64_t atMs : moments)
        scenario.steps.push_back(step(atMs));
    return scenario;
}

} // namespace kiv::test
