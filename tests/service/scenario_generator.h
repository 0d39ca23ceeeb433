// Random scenarios for the shutdown law: hostile login packets, odd timetables, queue lists
// with duplicates, missing ids and thousands of entries, and resource events in random order,
// repeated and deleted, with requests of the plugin's routes between them.
#pragma once

#include "kivhost/core/happening.h"
#include "value/value.h"

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace kiv::test {

struct ScenarioStep {
    std::int64_t atMs = 0;
    // A change of another plugin's resource, or (when `get` is set) a GET of the plugin's own.
    kivhost::ResourceChange change = kivhost::ResourceChange::Update;
    std::string path;
    Value value;
    bool get = false;
};

struct Scenario {
    std::map<std::string, Value> resources; // before the plugin starts
    std::vector<ScenarioStep> steps;        // in time order
};

class ScenarioGenerator {
  public:
    explicit ScenarioGenerator(std::uint64_t seed) : random_(seed) {}

    Scenario next();

  private:
    Value loginPacket();
    Value timetable();
    Value queueList();
    Value resourceValue(const std::string& path);
    ScenarioStep step(std::int64_t atMs);

    // Members of every kind a lenient reading may meet.
    Value minutes();
    Value truth();
    Value anyScalar();
    std::string memberName();
    std::int64_t queueIdNumber(std::int64_t poolSize);

    std::size_t below(std::size_t bound) {
        return std::uniform_int_distribution<std::size_t>(0, bound - 1)(random_);
    }
    bool chance(double probability) { return std::bernoulli_distribution(probability)(random_); }

    std::mt19937_64 random_;
};

} // namespace kiv::test
