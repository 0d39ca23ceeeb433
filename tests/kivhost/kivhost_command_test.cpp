// The kivhost command end to end: the binary plays scenarios against the fake plugin library,
// prints JSON lines and readable timelines, describes the plugin's API, and refuses what it
// cannot play with a message and a non-zero exit.
#include "fake_host.h"

#include "kivhost/core/json_text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace kiv::test {
namespace {

struct CommandResult {
    int exitCode;
    std::string out;
    std::string errors;
};

class CommandTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            std::filesystem::temp_directory_path() /
            ("kivhost-command-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path write(const std::string& name, const std::string& text) {
        const std::filesystem::path file = folder_ / name;
        std::ofstream(file) << text;
        return file;
    }

    static std::string quoted(const std::string& text) { return "'" + text + "'"; }

    CommandResult kivhost(const std::string& arguments,
                          const std::filesystem::path& binary = KIVHOST_BINARY) {
        const std::filesystem::path out = folder_ / "out.txt";
        const std::filesystem::path errors = folder_ / "errors.txt";
        const std::string command = quoted(binary.string()) + " " + arguments + " >" + quoted(out.string()) +
                                    " 2>" + quoted(errors.string());
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readAll(out), readAll(errors)};
    }

    static std::string readAll(const std::filesystem::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path folder_;
};

TEST_F(CommandTest, RunPrintsTheTimelineAsJsonLines) {
    const std::filesystem::path scenario = write("play.yaml", R"(
core: 18.2.0
resources:
  /fake-input/v1/value: {n: 1}
steps:
  - {at: 0, get: "/fake/v1/act/timers:60,30.0004,1.5"}
  - {at: 1, update: /fake-input/v1/value, value: [true]}
  - {at: 1.5, get: "/fake/v1/act/event:OnFakeEvent"}
  - {at: 2, delete: /fake-input/v1/value}
)");
    const CommandResult result =
        kivhost("run " + quoted(scenario.string()) + " --json --plugin " + quoted(fakePluginLibrary()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.errors, "");
    EXPECT_EQ(result.out,
              R"({"t":0,"type":"load","plugin":"fake","version":"18.0.0","core":"18.2.0"}
{"t":0,"type":"subscribe","name":"OnJsonApiEvent_fake-input_v1_value"}
{"t":0,"type":"request","method":"GET","path":"/fake-input/v1/value","status":200}
{"t":0,"type":"log","level":3,"text":"fake initialized"}
{"t":0,"type":"timer","name":"fake.t0","delay":60}
{"t":0,"type":"timer","name":"fake.t1","delay":30}
{"t":0,"type":"timer","name":"fake.t2","delay":1.5}
{"t":0,"type":"response","path":"/fake/v1/act/timers:60,30.0004,1.5","status":200,"value":{"done":"timers:60,30.0004,1.5"}}
{"t":1.5,"type":"fire","name":"fake.t2"}
{"t":30,"type":"fire","name":"fake.t1"}
{"t":60,"type":"fire","name":"fake.t0"}
{"t":60,"type":"update","path":"/fake-input/v1/value","name":"OnJsonApiEvent_fake-input_v1_value","value":[true]}
{"t":90,"type":"event","name":"OnFakeEvent","payload":{"from":"fake","n":7}}
{"t":90,"type":"response","path":"/fake/v1/act/event:OnFakeEvent","status":200,"value":{"done":"event:OnFakeEvent"}}
{"t":120,"type":"delete","path":"/fake-input/v1/value","name":"OnJsonApiEvent_fake-input_v1_value"}
{"t":120,"type":"unsubscribe","name":"OnJsonApiEvent_fake-input_v1_value"}
{"t":120,"type":"unload","plugin":"fake","pendingTimers":0,"memory":{"peakLiveBytes":0,"liveAllocationsAtPeak":0,"bytesAllocated":64,"allocationCount":1,"bytesFreed":64,"freeCount":1}}
)");

    // The readable form has the same happenings, the time first.
    const CommandResult text = kivhost("run " + quoted(scenario.string()) + " --plugin " +
                                       quoted(fakePluginLibrary()) + " --until 1.5 --core 18.0.7");
    EXPECT_EQ(text.exitCode, 0) << text.errors;
    EXPECT_NE(text.out.find("00:00:00  load         fake loaded: plugin API 18.0.0 on core 18.0.7\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("00:00:01.500  fire         fake.t2\n"), std::string::npos);
    EXPECT_NE(text.out.find("00:01:00  update       /fake-input/v1/value [true]\n"), std::string::npos);
    EXPECT_NE(text.out.find("00:01:30  unload       fake unloaded"), std::string::npos);
    EXPECT_EQ(text.out.find("delete"), std::string::npos) << "the play ended before the step at 2";
}

TEST_F(CommandTest, TheBuiltInScenarioIsTheDefaultFile) {
    const std::string plugin = " --json --plugin " + quoted(fakePluginLibrary());
    const CommandResult builtIn = kivhost("run" + plugin);
    const CommandResult file = kivhost("run " + quoted(KIVHOST_DEFAULT_SCENARIO) + plugin);
    EXPECT_EQ(builtIn.exitCode, 0) << builtIn.errors;
    EXPECT_EQ(builtIn.out, file.out);
    EXPECT_NE(builtIn.out.find(R"("path":"/kiv-kr-shutdown-law/v1/notification")"), std::string::npos);
}

TEST_F(CommandTest, StreamedAnswersMakeThePluginYield) {
    const std::filesystem::path scenario =
        write("stream.yaml", "resources: {/fake-input/v1/value: [1, 2, 3]}\n");
    const CommandResult result =
        kivhost("run " + quoted(scenario.string()) + " --stream 2 --plugin " + quoted(fakePluginLibrary()));
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.out.find("request      GET /fake-input/v1/value -> 200\n"), std::string::npos)
        << result.out;
}

TEST_F(CommandTest, DescribePrintsTheApiAsJson) {
    const CommandResult result = kivhost("describe --plugin " + quoted(fakePluginLibrary()));
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    const Value api = json(result.out); // members read back in key order
    EXPECT_EQ(api["plugin"].getString(""), "fake");
    ASSERT_EQ(api["functions"].size(), 3u);
    const Value& act = api["functions"][1];
    EXPECT_EQ(
        kivhost::toJson(act["arguments"]),
        R"([{"description":"what to do","location":"path","name":"action","optional":false,"type":{"kind":"string"}}])");
    EXPECT_EQ(act["method"].getString(""), "GET");
    EXPECT_EQ(act["path"].getString(""), "/fake/v1/act/{+action}");
    EXPECT_EQ(
        kivhost::toJson(api["types"][0]["fields"]),
        R"([{"description":"the action done","name":"done","offset":0,"optional":false,"type":{"kind":"string"}}])");
    EXPECT_EQ(kivhost::toJson(api["types"][1]["values"]),
              R"([{"description":"","name":"Calm","value":0},{"description":"","name":"Busy","value":1}])");
    EXPECT_EQ(
        kivhost::toJson(api["events"]),
        R"([{"description":"Fired on request.","name":"OnFakeEvent","namespace":"Fake","payload":"FakeStatus","tags":["Plugins"]}])");
}

TEST_F(CommandTest, WhatCannotBePlayedIsRefusedWithAMessage) {
    const std::filesystem::path bad =
        write("bad.yaml", "steps:\n  - {at: 1, get: /a}\n  - {at: 0, get: /b}\n");
    const std::filesystem::path good = write("good.yaml", "core: 18.0.0\n");
    const std::string missing = (folder_ / "kiv_kr_shutdown_law.so").string();
    const std::string fake = " --plugin " + quoted(fakePluginLibrary());
    const struct {
        std::string arguments;
        std::string message;
    } cases[] = {
        {"run " + quoted(bad.string()) + fake,
         "kivhost: " + bad.string() +
             ": step 2: at 0 comes before the previous step's at 1; steps are in time order\n"},
        {"run " + quoted((folder_ / "none.yaml").string()) + fake,
         "kivhost: " + (folder_ / "none.yaml").string() + ": cannot be read: No such file or directory\n"},
        {"run " + quoted(good.string()) + " --plugin " + quoted(missing),
         "kivhost: the plugin library is missing: " + missing + "\n"},
        {"run " + quoted(good.string()) + " --core 19.0.0" + fake,
         "kivhost: the plugin fake is built for plugin API 18.0.0, which core 19.0.0 does not offer\n"},
        {"describe --plugin " + quoted(missing), "kivhost: the plugin library is missing: " + missing + "\n"},
        {"run --frobnicate", "The following argument was not expected: --frobnicate\n..."},
        {"run --core 18.0", "--core: must be a version such as 18.0.0\n..."},
        {"run --until -3", "--until: must be a number of minutes from 0 to 1000000000\n..."},
        {"run --until nan", "--until: must be a number of minutes from 0 to 1000000000\n..."},
        {"", "A subcommand is required\n..."},
    };
    for (const auto& c : cases) {
        const CommandResult result = kivhost(c.arguments);
        EXPECT_NE(result.exitCode, 0) << c.arguments;
        if (c.message.ends_with("...")) {
            EXPECT_EQ(result.errors.substr(0, c.message.size() - 3),
                      c.message.substr(0, c.message.size() - 3));
        } else {
            EXPECT_EQ(result.errors, c.message);
        }
    }
}

TEST_F(CommandTest, TheDefaultPluginIsTheShutdownLawLibraryNextToTheBinary) {
    const std::filesystem::path binary = folder_ / "kivhost";
    std::filesystem::copy_file(KIVHOST_BINARY, binary);
    const CommandResult result = kivhost("run", binary);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors,
              "kivhost: the plugin library is missing: " + (folder_ / "kiv_kr_shutdown_law.so").string() +
                  "\nkivhost: build the shutdown-law library, or pick another with --plugin PATH\n");
    EXPECT_EQ(result.out, "");

    std::filesystem::copy_file(fakePluginLibrary(), folder_ / "kiv_kr_shutdown_law.so");
    EXPECT_NE(kivhost("describe", binary).errors.find("has no export load_kiv_kr_shutdown_law"),
              std::string::npos);
}

} // namespace
} // namespace kiv::test
