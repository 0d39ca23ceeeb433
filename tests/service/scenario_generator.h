// Random scenarios for the shutdown law, of two kinds.
//
// Scattered ones throw hostile values at every resource: login packets with members of every
// kind, odd timetables, queue lists with duplicates, missing ids and thousands of entries, and
// changes in random order, repeated and deleted, with requests of the plugin's routes between
// them.
//
// Stories follow one user's session on whole minutes, where moments meet: the timetable and
// the queue list arrive late, fail (deleted, or a value of the wrong shape) and come again, the
// timetable goes before a late list comes, the list grows, shrinks, empties and comes back after
// the first plan, the login packet repeats with the cut-off closer, further, the same or
// disabled, also after the cut-off, and the routes are read on the way. Now and then a story's
// value is a hostile one.
#pragma once

#include "kivhost/core/happening.h"
#include "value/value.h"

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace kiv::test {

struct ScenarioStep {
    std::int64_t atMs = 0;
    // A change of another plugin's resource, or (when `get` is set) a GET of the plugin's own.
    kivhost::ResourceChangeKind change = kivhost::ResourceChangeKind::Update;
    std::string path;
    Value value;
    bool get = false;
};

struct Scenario {
    std::map<std::string, Value> resources; // before the plugin starts
    std::vector<ScenarioStep> steps;        // in time order
};

// The scenario in the YAML that `kivhost run` plays (values as JSON, which cannot carry NaN,
// infinities or blobs as they were).
std::string scenarioYaml(const Scenario& scenario);

class ScenarioGenerator {
  public:
    explicit ScenarioGenerator(std::uint64_t seed) : random_(seed) {}

    Scenario next();

  private:
    Scenario scattered();
    Scenario story();

    Value loginPacket();
    Value timetable();
    Value queueList();
    Value resourceValue(const std::string& path);
    ScenarioStep step(std::int64_t atMs);
    ScenarioStep get(std::int64_t atMs);

    // Members of every kind a lenient reading may meet.
    Value minutes();
    Value truth();
    Value anyScalar();
    std::string memberName();
    std::int64_t queueIdNumber(std::int64_t poolSize);

    // The parts of a story.
    struct Story;
    Value storyPacket(Story& story, std::int64_t atMs);
    Value storyTimetable(const Story& story);
    Value storyQueueList(Story& story);
    Value wrongShape(bool forList);
    void change(Story& story, std::int64_t atMs, const std::string& path);
    void failAndComeAgain(Story& story, std::int64_t atMs, const std::string& path);

    std::size_t below(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }
    std::int64_t between(std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(random_);
    }
    bool chance(double probability) { return std::bernoulli_distribution(probability)(random_); }

    std::mt19937_64 random_;
};

} // namespace kiv::test
