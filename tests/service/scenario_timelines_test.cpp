// Every scenario under scenarios/ played through the real library on the virtual clock, its
// readable timeline compared line by line with the one kept under scenarios/timelines/. A
// scenario shows a rule of the law; the kept timeline is what a reader should see it do. Run
// with KIV_WRITE_TIMELINES=1 to write the timelines afresh after a deliberate change, then read
// the difference before keeping it.
#include "scenario_files.h"

#include "kivhost/scenario/scenario.h"
#include "kivhost/scenario/scenario_player.h"
#include "kivhost/timeline/timeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

namespace fs = std::filesystem;

// The unload line's byte figures measure the C runtime's heap blocks, which differ from build to
// build (sanitizers, 64 bits, Windows): they are checked for balance and kept as "N".
std::string lineOf(const kivhost::Happening& happening) {
    const std::string line = kivhost::timelineText(happening);
    const auto* unloaded = std::get_if<kivhost::PluginUnloaded>(&happening.detail);
    if (!unloaded) {
        return line;
    }
    EXPECT_EQ(unloaded->memory.bytesAllocated, unloaded->memory.bytesFreed) << line;
    static const std::regex kFigures("[0-9]+ bytes allocated and [0-9]+ freed");
    return std::regex_replace(line, kFigures, "N bytes allocated and N freed");
}

std::string played(const fs::path& file) {
    kivhost::PlayOptions options;
    options.plugin = KIV_SHUTDOWN_LAW_LIBRARY;
    std::string timeline;
    (void)kivhost::playScenario(
        kivhost::readScenarioFile(file), options,
        [&](const kivhost::Happening& happening) { timeline += lineOf(happening) + "\n"; });
    return timeline;
}

class ScenarioTimelineTest : public ::testing::TestWithParam<fs::path> {};

TEST_P(ScenarioTimelineTest, PlaysAsItsKeptTimelineShows) {
    const fs::path kept = fs::path(KIV_TIMELINE_DIR) / (GetParam().stem().string() + ".txt");
    const std::string timeline = played(GetParam());
    if (std::getenv("KIV_WRITE_TIMELINES")) {
        std::ofstream(kept, std::ios::binary) << timeline;
        GTEST_SKIP() << "wrote " << kept;
    }
    std::ifstream in(kept, std::ios::binary);
    ASSERT_TRUE(in) << "no timeline kept for this scenario at " << kept;
    std::stringstream expected;
    expected << in.rdbuf();
    EXPECT_EQ(timeline, expected.str());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioTimelineTest, ::testing::ValuesIn(scenarioFiles()),
                         [](const ::testing::TestParamInfo<fs::path>& info) {
                             return scenarioTestName(info.param);
                         });

} // namespace
} // namespace kiv::test
