#include "scenario_generator.h"

#include "kivhost/core/json_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace kiv::test {

namespace {

constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
constexpr const char* kTimetablePath = "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";
constexpr const char* kOtherPaths[] = {kLoginPath, kTimetablePath, kQueuesPath};
// An episode of a story: the timetable deleted.
constexpr const char* kTimetableDeleted = "timetable deleted";

constexpr std::int64_t kLowest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kHighest = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinuteMs = 60000;

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
        for (std::size_t i = below(3); i > 0; --i) {
            value.append().setSigned(static_cast<std::int64_t>(below(100)));
        }
        break;
    case 2:
        value.makeStructure();
        if (chance(0.5)) {
            value.member("x").setBool(true);
        }
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
    if (chance(0.05)) {
        return anyScalar();
    }
    Value packet;
    packet.makeStructure();
    if (chance(0.7)) {
        packet.member("minor") = truth();
    }
    if (chance(0.7)) {
        packet.member("minorShutdownEnforced") = truth();
    }
    if (chance(0.7)) {
        packet.member("minutesUntilMidnight") = minutes();
    }
    if (chance(0.6)) {
        packet.member("minutesUntilShutdownEnabled") = truth();
    }
    if (chance(0.6)) {
        packet.member("minutesUntilShutdown") = minutes();
    }
    if (chance(0.1)) {
        packet.member("unrelated") = anyScalar();
    }
    return packet;
}

std::string ScenarioGenerator::memberName() {
    static constexpr const char* kOdd[] = {
        "-2",         " 12",         "+7",         "12x", "abc", "",    "-",   "+", "99999999999",
        "2147483647", "-2147483648", "2147483648", "0",   "007", "\t5", "1e3", "-0"};
    if (chance(0.5)) {
        return kOdd[below(std::size(kOdd))];
    }
    return std::to_string(queueIdNumber(40));
}

std::int64_t ScenarioGenerator::queueIdNumber(std::int64_t poolSize) {
    if (chance(0.03)) {
        return below(2) ? std::int64_t{1} << 32 | 5 : kHighest;
    }
    return static_cast<std::int64_t>(below(static_cast<std::size_t>(poolSize))) - 2;
}

Value ScenarioGenerator::timetable() {
    if (chance(0.1)) {
        return anyScalar();
    }
    Value table;
    table.makeStructure();
    for (std::size_t i = below(12); i > 0; --i) {
        table.member(memberName()) = chance(0.6) ? [&] {
            Value lead;
            lead.setSigned(static_cast<std::int64_t>(below(400)) - 50);
            return lead;
        }()
                                                 : minutes();
    }
    return table;
}

Value ScenarioGenerator::queueList() {
    if (chance(0.08)) {
        return chance(0.5) ? anyScalar() : timetable();
    }
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
    if (path == kLoginPath) {
        return loginPacket();
    }
    if (path == kTimetablePath) {
        return timetable();
    }
    return queueList();
}

ScenarioStep ScenarioGenerator::get(std::int64_t atMs) {
    static constexpr const char* kRoutes[] = {
        "/kiv-kr-shutdown-law/v1/notification", "/kiv-kr-shutdown-law/v1/disabled-queues",
        "/kiv-kr-shutdown-law/v1/custom-status", "/kiv-kr-shutdown-law/v1/status"};
    ScenarioStep step;
    step.atMs = atMs;
    step.get = true;
    step.path = below(3) == 0 ? "/kiv-kr-shutdown-law/v1/queue-status/" + std::to_string(queueIdNumber(40))
                              : kRoutes[below(std::size(kRoutes))];
    return step;
}

ScenarioStep ScenarioGenerator::step(std::int64_t atMs) {
    if (chance(0.25)) {
        return get(atMs);
    }
    ScenarioStep step;
    step.atMs = atMs;
    step.path = kOtherPaths[below(std::size(kOtherPaths))];
    step.change = static_cast<kivhost::ResourceChangeKind>(below(3));
    if (step.change != kivhost::ResourceChangeKind::Delete) {
        step.value = resourceValue(step.path);
    }
    return step;
}

Scenario ScenarioGenerator::scattered() {
    Scenario scenario;
    for (const char* path : kOtherPaths) {
        if (chance(0.8)) {
            scenario.resources[path] = resourceValue(path);
        }
    }
    // Enabled packets are the interesting ones: make a good share of the scenarios start with one.
    if (chance(0.5)) {
        Value packet;
        packet.member("minutesUntilShutdownEnabled").setBool(true);
        packet.member("minutesUntilShutdown") = minutes();
        scenario.resources[kLoginPath] = std::move(packet);
    }
    std::vector<std::int64_t> moments(below(14));
    for (std::int64_t& atMs : moments) {
        atMs = static_cast<std::int64_t>(below(400 * 60000));
    }
    std::sort(moments.begin(), moments.end());
    for (const std::int64_t atMs : moments) {
        scenario.steps.push_back(step(atMs));
    }
    return scenario;
}

// ---- Stories ----------------------------------------------------------------------------------

struct ScenarioGenerator::Story {
    Scenario scenario;
    std::vector<std::int64_t> queuePool;          // the ids the story's lists and timetables name
    std::optional<std::int64_t> cutOffMs;         // of the last enabled packet the story sent
    std::optional<std::int64_t> earliestCutOffMs; // of every enabled packet the story sent
    std::vector<std::int64_t> lastList;           // the ids of the last list the story wrote
    std::map<std::string, bool> present;          // what the world holds, as far as the story knows
};

Value ScenarioGenerator::storyPacket(Story& story, std::int64_t atMs) {
    if (chance(0.08)) {
        return loginPacket();
    }
    Value packet;
    packet.makeStructure();
    const std::optional<std::int64_t> remaining =
        story.cutOffMs ? std::optional<std::int64_t>((*story.cutOffMs - atMs) / kMinuteMs) : std::nullopt;
    std::int64_t minutes = 0;
    const bool pastCutOff = story.earliestCutOffMs && atMs >= *story.earliestCutOffMs;
    const std::size_t choice = below(10);
    if (choice == 7) {
        switch (below(4)) { // a packet under which the law is off
        case 0:
            packet.member("minutesUntilShutdownEnabled").setBool(false);
            packet.member("minutesUntilShutdown").setSigned(20);
            break;
        case 1:
            packet.member("minor").setBool(true);
            packet.member("minorShutdownEnforced").setBool(false);
            packet.member("minutesUntilMidnight").setSigned(20);
            break;
        case 2:
            packet.member("minutesUntilShutdownEnabled").setBool(true);
            packet.member("minutesUntilShutdown").setSigned(-1);
            break;
        default:
            break;
        }
        return packet;
    }
    if (pastCutOff && choice < 3) { // after the cut-off, a cut-off minutes or hours away again
        minutes = chance(0.6) ? between(1, 90) : between(91, 300);
    } else if (remaining && choice < 4) { // closer
        minutes = *remaining - 1 < -10 ? *remaining - 1 : between(-10, *remaining - 1);
    } else if (remaining && choice < 6) { // further
        minutes = *remaining + between(1, 240);
    } else if (remaining && choice == 6) { // the same moment again
        minutes = *remaining;
    } else if (chance(0.3)) {
        static constexpr std::int64_t kEdges[] = {-1, 0, 1, 74, 75, 76, 89, 90, 91, 165, 166};
        minutes = kEdges[below(std::size(kEdges))];
    } else {
        minutes = between(-10, 400);
    }
    story.cutOffMs = atMs + minutes * kMinuteMs;
    story.earliestCutOffMs = std::min(story.earliestCutOffMs.value_or(*story.cutOffMs), *story.cutOffMs);

    Value reading;
    switch (below(10)) {
    case 0:
        reading.setString(std::to_string(minutes));
        break;
    case 1:
        reading.setFloat(static_cast<double>(minutes) + (minutes < 0 ? -0.25 : 0.25));
        break;
    default:
        reading.setSigned(minutes);
    }
    const bool minorRule = minutes == -1 || chance(0.3);
    if (minorRule) {
        packet.member("minor").setBool(true);
        Value& enforced = packet.member("minorShutdownEnforced");
        if (chance(0.8)) {
            enforced.setBool(true);
        } else {
            enforced.setString("1");
        }
        packet.member("minutesUntilMidnight") = reading;
        if (chance(0.3)) { // an explicit cut-off that does not apply
            packet.member("minutesUntilShutdownEnabled").setBool(chance(0.5));
            packet.member("minutesUntilShutdown").setSigned(-1);
        }
    } else {
        packet.member("minutesUntilShutdownEnabled").setBool(true);
        packet.member("minutesUntilShutdown") = reading;
        if (chance(0.3)) { // a midnight rule that the explicit cut-off overrides
            packet.member("minor").setBool(true);
            packet.member("minorShutdownEnforced").setBool(true);
            packet.member("minutesUntilMidnight").setSigned(between(-10, 400));
        }
    }
    return packet;
}

Value ScenarioGenerator::storyTimetable(const Story& story) {
    if (chance(0.1)) {
        return timetable();
    }
    Value table;
    table.makeStructure();
    std::vector<std::int64_t> named = story.queuePool;
    named.push_back(-2);
    for (const std::int64_t queue : named) {
        if (!chance(0.6)) {
            continue;
        }
        std::string name = std::to_string(queue);
        if (chance(0.1)) { // a name read up to its first other character, never with its plain twin
            static constexpr const char* kDress[] = {" ", "+", "\t"};
            name = queue < 0 ? " " + name : kDress[below(std::size(kDress))] + name;
            if (chance(0.5)) {
                name += "min";
            }
        }
        Value& lead = table.member(name);
        static constexpr std::int64_t kEdges[] = {0, -5, 1, 74, 75, 76, 90, 91, 300, 1000};
        const std::int64_t minutes = chance(0.6) ? between(1, 200) : kEdges[below(std::size(kEdges))];
        if (chance(0.1)) {
            lead.setString(std::to_string(minutes));
        } else {
            lead.setSigned(minutes);
        }
    }
    return table;
}

Value ScenarioGenerator::storyQueueList(Story& story) {
    if (chance(0.1)) {
        return queueList();
    }
    // Mostly a list that follows the last one: grown by queues no plan has yet, shrunk, emptied or
    // the same again; else one drawn afresh from the story's queues.
    std::vector<std::int64_t> ids;
    const std::size_t choice = story.lastList.empty() ? 9 : below(10);
    if (choice < 3) { // grown
        ids = story.lastList;
        for (std::size_t i = 1 + below(3); i > 0; --i) {
            if (chance(0.5)) {
                story.queuePool.push_back(between(-3, 40));
            }
            ids.insert(ids.begin() + static_cast<std::ptrdiff_t>(below(ids.size() + 1)),
                       story.queuePool[below(story.queuePool.size())]);
        }
    } else if (choice < 5) { // shrunk
        ids = story.lastList;
        for (std::size_t i = 1 + below(ids.size()); i > 0 && !ids.empty(); --i) {
            ids.erase(ids.begin() + static_cast<std::ptrdiff_t>(below(ids.size())));
        }
    } else if (choice == 5) { // emptied
    } else if (choice == 6) { // the same again
        ids = story.lastList;
    } else {
        for (std::size_t i = below(7); i > 0; --i) {
            ids.push_back(story.queuePool[below(story.queuePool.size())]);
        }
    }
    story.lastList = ids;
    Value list;
    list.makeCollection();
    for (const std::int64_t id : ids) {
        Value& queue = list.append();
        queue.makeStructure();
        if (!chance(0.05)) {
            queue.member("id").setSigned(id);
        }
    }
    return list;
}

// A value that is no timetable (read as an empty one) or no queue list (a failed read).
Value ScenarioGenerator::wrongShape(bool forList) {
    Value value;
    switch (below(4)) {
    case 0:
        if (forList) {
            value.member("id").setSigned(3);
        } else {
            value.makeCollection();
            value.append().member("3").setSigned(10);
        }
        break;
    case 1:
        value.setString(forList ? "queues" : "timetable");
        break;
    case 2:
        value.setSigned(5);
        break;
    default:
        break; // null
    }
    return value;
}

void ScenarioGenerator::change(Story& story, std::int64_t atMs, const std::string& path) {
    ScenarioStep step;
    step.atMs = atMs;
    step.path = path;
    const bool present = story.present[path];
    const bool login = path == kLoginPath;
    if (present && chance(login ? 0.12 : 0.3)) {
        step.change = kivhost::ResourceChangeKind::Delete;
        story.present[path] = false;
        story.scenario.steps.push_back(std::move(step));
        return;
    }
    // Mostly the kind of change the world's state calls for, now and then the other one.
    step.change =
        present != chance(0.15) ? kivhost::ResourceChangeKind::Update : kivhost::ResourceChangeKind::Create;
    if (login) {
        step.value = storyPacket(story, atMs);
    } else if (chance(0.15)) {
        step.value = wrongShape(path == kQueuesPath);
    } else {
        step.value = path == kQueuesPath ? storyQueueList(story) : storyTimetable(story);
    }
    story.present[path] = true;
    story.scenario.steps.push_back(std::move(step));
}

// Deleted or replaced by a value of the wrong shape, then back, at once or minutes later. Steps
// are sorted by time once the story is written.
void ScenarioGenerator::failAndComeAgain(Story& story, std::int64_t atMs, const std::string& path) {
    ScenarioStep failure;
    failure.atMs = atMs;
    failure.path = path;
    if (chance(0.6)) {
        failure.change = kivhost::ResourceChangeKind::Delete;
    } else {
        failure.change = kivhost::ResourceChangeKind::Update;
        failure.value = wrongShape(path == kQueuesPath);
    }
    story.scenario.steps.push_back(std::move(failure));
    const std::int64_t backAtMs = atMs + (chance(0.3) ? 0 : between(1, 120) * kMinuteMs);
    // The session goes on meanwhile: a packet while the resource is missing is planned without it.
    if (chance(0.5)) {
        change(story, between(atMs, backAtMs), kLoginPath);
    }
    ScenarioStep back;
    back.atMs = backAtMs;
    back.path = path;
    back.change = chance(0.8) ? kivhost::ResourceChangeKind::Create : kivhost::ResourceChangeKind::Update;
    back.value = path == kQueuesPath ? storyQueueList(story) : storyTimetable(story);
    story.present[path] = true;
    story.scenario.steps.push_back(std::move(back));
}

Scenario ScenarioGenerator::story() {
    Story story;
    for (std::size_t i = 1 + below(6); i > 0; --i) {
        story.queuePool.push_back(between(-3, 30));
    }

    if (chance(0.7)) {
        story.scenario.resources[kLoginPath] = storyPacket(story, 0);
        story.present[kLoginPath] = true;
    }
    if (chance(0.55)) {
        story.scenario.resources[kTimetablePath] = chance(0.1) ? wrongShape(false) : storyTimetable(story);
        story.present[kTimetablePath] = true;
    }
    if (chance(0.5)) {
        story.scenario.resources[kQueuesPath] = chance(0.1) ? wrongShape(true) : storyQueueList(story);
        story.present[kQueuesPath] = true;
    }

    // On whole minutes mostly, so that changes, reads and jobs meet on the same moment. A resource
    // absent at the start mostly arrives later; the other moments bring a change of any kind.
    const auto moment = [&] {
        return between(0, 360) * kMinuteMs + (chance(0.2) ? between(1, kMinuteMs - 1) : 0);
    };
    std::vector<std::pair<std::int64_t, const char*>> episodes; // a null path: any change
    for (std::size_t i = 2 + below(9); i > 0; --i) {
        episodes.emplace_back(moment(), nullptr);
    }
    for (const char* path : {kTimetablePath, kQueuesPath}) {
        if (!story.present[path] && chance(0.7)) {
            const std::int64_t atMs = moment();
            episodes.emplace_back(atMs, path);
            // Now and then the timetable goes before a late list comes: the list is planned with
            // the lead times as last read.
            if (path == kQueuesPath && chance(0.3)) {
                episodes.emplace_back(between(0, atMs / kMinuteMs) * kMinuteMs, kTimetableDeleted);
            }
        }
    }
    // After the first plan the list changes again and again, now and then deleted on the way.
    if (chance(0.4)) {
        for (std::size_t i = 1 + below(4); i > 0; --i) {
            episodes.emplace_back(moment(), kQueuesPath);
        }
    }
    std::sort(episodes.begin(), episodes.end());
    for (const auto& [atMs, path] : episodes) {
        const std::size_t kind = below(20);
        if (path == kTimetableDeleted) {
            ScenarioStep deletion;
            deletion.atMs = atMs;
            deletion.path = kTimetablePath;
            deletion.change = kivhost::ResourceChangeKind::Delete;
            story.present[kTimetablePath] = false;
            story.scenario.steps.push_back(std::move(deletion));
        } else if (path) {
            change(story, atMs, path);
        } else if (kind < 7) {
            change(story, atMs, kLoginPath);
        } else if (kind < 11) {
            change(story, atMs, kTimetablePath);
        } else if (kind < 15) {
            change(story, atMs, kQueuesPath);
        } else if (kind < 18) {
            failAndComeAgain(story, atMs, chance(0.5) ? kTimetablePath : kQueuesPath);
        } else {
            for (std::size_t i = 1 + below(3); i > 0; --i) {
                story.scenario.steps.push_back(get(atMs));
            }
        }
    }
    for (std::size_t i = 2 + below(8); i > 0; --i) {
        story.scenario.steps.push_back(get(between(0, 420) * kMinuteMs));
    }
    std::stable_sort(story.scenario.steps.begin(), story.scenario.steps.end(),
                     [](const ScenarioStep& a, const ScenarioStep& b) { return a.atMs < b.atMs; });
    return std::move(story.scenario);
}

Scenario ScenarioGenerator::next() {
    return below(3) == 0 ? scattered() : story();
}

std::string scenarioYaml(const Scenario& scenario) {
    const auto minutes = [](std::int64_t ms) {
        if (ms % kMinuteMs == 0) {
            return std::to_string(ms / kMinuteMs);
        }
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", static_cast<double>(ms) / kMinuteMs);
        return std::string(text);
    };
    std::string text = "resources:\n";
    for (const auto& [path, value] : scenario.resources) {
        text += "  " + path + ": " + kivhost::toJson(value) + "\n";
    }
    text += "steps:\n";
    for (const ScenarioStep& step : scenario.steps) {
        text += "  - {at: " + minutes(step.atMs) + ", ";
        if (step.get) {
            text += "get: " + step.path + "}\n";
            continue;
        }
        static constexpr const char* kActions[] = {"create", "update", "delete"};
        text += std::string(kActions[static_cast<std::size_t>(step.change)]) + ": " + step.path;
        if (step.change != kivhost::ResourceChangeKind::Delete) {
            text += ", value: " + kivhost::toJson(step.value);
        }
        text += "}\n";
    }
    return text;
}

} // namespace kiv::test
