// `kivhost run --json` on every scenario under scenarios/, on the built-in default and with GETs
// answered as streamed bodies of 7 bytes, byte for byte against the JSON lines kept beside the
// readable timelines. Those lines are what hosts and tools parse, so a change in how the plugin
// works inside may not move one of them. The unload line's allocation figures, which differ from
// build to build, are checked for balance and kept as "N". KIV_WRITE_TIMELINES=1 rewrites them.
#include "scenario_files.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/wait.h>

namespace kiv::test {
namespace {

namespace fs = std::filesystem;

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines `kivhost run --json <arguments>` prints, its memory figures made "N".
std::string playedAsJson(const std::string& arguments) {
    const fs::path out =
        fs::temp_directory_path() / ("kivhost-json-" + std::to_string(::getpid()) + ".jsonl");
    const std::string command = std::string("'") + KIVHOST_BINARY + "' run --json --plugin '" +
                                KIV_SHUTDOWN_LAW_LIBRARY + "' " + arguments + " >'" + out.string() + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    std::string lines = readAll(out);
    fs::remove(out);
    static const std::regex kBalance(
        R"re("bytesAllocated":([0-9]+),"allocationCount":([0-9]+),"bytesFreed":([0-9]+),"freeCount":([0-9]+))re");
    for (auto match = std::sregex_iterator(lines.begin(), lines.end(), kBalance);
         match != std::sregex_iterator(); ++match) {
        EXPECT_EQ((*match)[1], (*match)[3]) << "bytes allocated and freed differ";
        EXPECT_EQ((*match)[2], (*match)[4]) << "allocations and frees differ";
    }
    static const std::regex kFigure(
        R"re(("(peakLiveBytes|liveAllocationsAtPeak|bytesAllocated|allocationCount|bytesFreed|freeCount)"):[0-9]+)re");
    return std::regex_replace(lines, kFigure, "$1:\"N\"");
}

struct JsonPlay {
    std::string name;
    fs::path scenario; // empty for the built-in default
    std::string kept;  // the stem of the kept lines
    std::string options;
};

void PrintTo(const JsonPlay& play, std::ostream* out) {
    *out << play.name;
}

std::vector<JsonPlay> plays() {
    std::vector<JsonPlay> all;
    for (const fs::path& file : scenarioFiles()) {
        const std::string stem = file.stem().string();
        all.push_back({scenarioTestName(file), file, stem, ""});
        all.push_back({scenarioTestName(file) + "_streamed", file, stem, "--stream 7"});
    }
    // The built-in default is scenarios/default.yaml itself.
    all.push_back({"built_in_default", {}, "default", ""});
    return all;
}

class JsonTimelineTest : public ::testing::TestWithParam<JsonPlay> {};

TEST_P(JsonTimelineTest, PrintsTheKeptJsonLines) {
    const JsonPlay& play = GetParam();
    const fs::path kept = fs::path(KIV_TIMELINE_DIR) / (play.kept + ".jsonl");
    const std::string scenario = play.scenario.empty() ? "" : "'" + play.scenario.string() + "'";
    const std::string lines = playedAsJson(play.options + " " + scenario);
    if (std::getenv("KIV_WRITE_TIMELINES") && play.options.empty() && !play.scenario.empty()) {
        std::ofstream(kept, std::ios::binary) << lines;
        GTEST_SKIP() << "wrote " << kept;
    }
    ASSERT_TRUE(fs::exists(kept)) << "no JSON lines kept for this scenario at " << kept;
    EXPECT_EQ(lines, readAll(kept));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, JsonTimelineTest, ::testing::ValuesIn(plays()),
                         [](const ::testing::TestParamInfo<JsonPlay>& info) { return info.param.name; });

} // namespace
} // namespace kiv::test
