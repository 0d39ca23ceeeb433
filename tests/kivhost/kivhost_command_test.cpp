// The kivhost command end to end: the binary plays scenarios against the fake plugin library,
// prints JSON lines and readable timelines, describes the plugin's API, and refuses what it
// cannot play with a message and a non-zero exit.
#include "command_fixture.h"

#include "kivhost/core/json_text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace kiv::test {
namespace {

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
              R"({"t":0,"type":"load","format":1,"plugin":"fake","version":"18.0.0","core":"18.2.0"}
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
                                       quoted(fakePluginLibrary()) + " --until 2.5 --core 18.0.7");
    EXPECT_EQ(text.exitCode, 0) << text.errors;
    EXPECT_NE(text.out.find("00:00:00  load         fake loaded: plugin API 18.0.0 on core 18.0.7\n"),
              std::string::npos);
    EXPECT_NE(text.out.find("00:00:01.500  fire         fake.t2\n"), std::string::npos);
    EXPECT_NE(text.out.find("00:01:00  update       /fake-input/v1/value [true]\n"), std::string::npos);
    EXPECT_NE(text.out.find("00:02:30  unload       fake unloaded"), std::string::npos)
        << "--until ends play";
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
        R"([{"description":"Fired on request.","name":"OnFakeEvent","namespace":"Fake","owner":"plugin","payload":"FakeStatus","tags":["Plugins"]}])");

    // What a UI engineer looks for in the shutdown-law library's: the event each resource's
    // change comes under, its status in value order, its own types apart from the framework's.
    const Value law = json(kivhost("describe").out);
    EXPECT_EQ(law["functions"][2]["path"].getString(""), "/kiv-kr-shutdown-law/v1/queue-status/{queue_id}");
    EXPECT_EQ(law["functions"][2]["event"].getString(""),
              "OnJsonApiEvent_kiv-kr-shutdown-law_v1_queue-status");
    std::map<std::string, std::string> owners;
    for (const Value& type : law["types"].elements()) {
        owners[std::string(type["name"].getString(""))] = type["owner"].getString("");
        if (type["name"].getString("") == "KivKrShutdownLawShutdownLawStatus") {
            EXPECT_EQ(
                kivhost::toJson(type["values"]),
                R"([{"description":"","name":"NONE","value":0},{"description":"","name":"WARNING","value":1},)"
                R"({"description":"","name":"CUT_OFF","value":2}])");
        }
    }
    EXPECT_EQ(owners["KivKrShutdownLawShutdownLawNotification"], "plugin");
    EXPECT_EQ(owners["PluginResourceEvent"], "framework");
    EXPECT_EQ(law["events"][0]["owner"].getString(""), "framework");

    // The errors each route answered when asked, and the jobs the built-in scenario made the law
    // schedule, each as the plugin gave it.
    const std::vector<std::string> queueErrors = [&] {
        std::vector<std::string> lines;
        for (const Value& answer : law["functions"][2]["errors"].elements()) {
            lines.push_back(std::to_string(answer["status"].getUnsigned(0)) + " " +
                            std::string(answer["request"].getString("")) + ": " +
                            std::string(answer["error"].getString("")));
        }
        return lines;
    }();
    EXPECT_EQ(
        queueErrors,
        (std::vector<std::string>{
            "500 GET /kiv-kr-shutdown-law/v1/queue-status/x: Value x for 'queue_id' of type int32 is in "
            "an incorrect format",
            "404 GET /kiv-kr-shutdown-law/v1/queue-status/-1: Unknown queueId: -1",
            "500 GET /kiv-kr-shutdown-law/v1/queue-status/2147483648: Value 2147483648 for 'queue_id' of "
            "type int32 is out of range",
            "500 GET /kiv-kr-shutdown-law/v1/queue-status/0?kivhost-probe=1: Unknown argument "
            "'kivhost-probe' for 'GetKivKrShutdownLawV1QueueStatusByQueueId'."}));
    EXPECT_EQ(law["functions"][0]["errors"][0]["error"].getString(""), "Invalid function");
    EXPECT_EQ(
        kivhost::toJson(law["jobs"]),
        R"([{"name":"kiv-kr-shutdown-law.cut-off"},{"name":"kiv-kr-shutdown-law.warning"},)"
        R"({"examples":["kiv-kr-shutdown-law.disable-queue.450","kiv-kr-shutdown-law.disable-queue.420",)"
        R"("kiv-kr-shutdown-law.disable-queue.830"],"name":"kiv-kr-shutdown-law.disable-queue.{number}"},)"
        R"({"name":"kiv-kr-shutdown-law.disable-all-queues"}])");
    EXPECT_EQ(kivhost::toJson(api["jobs"]), "[]"); // the fake plugin schedules none
}

// Exit status 1 for a failure the run found, 2 for a command line that cannot be taken; every
// error line carries the program's name.
TEST_F(CommandTest, FailuresAndUsageErrorsHaveTheirExitCodesAndMessages) {
    const std::filesystem::path bad =
        write("bad.yaml", "steps:\n  - {at: 1, get: /a}\n  - {at: 0, get: /b}\n");
    const std::filesystem::path good = write("good.yaml", "core: 18.0.0\n");
    const std::filesystem::path late = write("late.yaml", "until: 10\nsteps: [{at: 20, get: /a}]\n");
    const std::string missing = (folder_ / "kiv_kr_shutdown_law.so").string();
    const std::string fake = " --plugin " + quoted(fakePluginLibrary());
    const struct {
        std::string arguments;
        int exitCode;
        std::string message; // the whole error output, or its start when it ends in "..."
    } cases[] = {
        {"run " + quoted(bad.string()) + fake, 1,
         "kivhost: " + bad.string() +
             ": step 2: at 0 comes before the previous step's at 1; steps are in time order\n"},
        {"run " + quoted((folder_ / "none.yaml").string()) + fake, 1,
         "kivhost: " + (folder_ / "none.yaml").string() + ": cannot be read: No such file or directory\n"},
        {"run " + quoted(good.string()) + " --plugin " + quoted(missing), 1,
         "kivhost: the plugin library is missing: " + missing + "\n"},
        {"run " + quoted(good.string()) + " --core 19.0.0" + fake, 1,
         "kivhost: the plugin fake is built for plugin API 18.0.0, which core 19.0.0 does not offer\n"},
        {"run /dev/urandom" + fake, 1,
         "kivhost: /dev/urandom: cannot be read: it is larger than 256 MiB, the most a scenario may hold\n"},
        {"describe --plugin " + quoted(missing), 1,
         "kivhost: the plugin library is missing: " + missing + "\n"},
        // --until is held to the steps as the file's own until is, and replaces it.
        {"run --until 200" + fake, 1,
         "kivhost: the built-in default scenario: step 2: through 209 lies after until 200\n"},
        {"run " + quoted(late.string()) + fake, 1,
         "kivhost: " + late.string() + ": step 1: at 20 lies after until 10\n"},
        {"run " + quoted(late.string()) + " --until 19.5" + fake, 1,
         "kivhost: " + late.string() + ": step 1: at 20 lies after until 19.5\n"},
        // The parser's own texts never show; an unknown option names the nearest one.
        {"run --frobnicate", 2, "kivhost: unknown option '--frobnicate'\nkivhost: see 'kivhost help run'\n"},
        {"run --jsn", 2, "kivhost: unknown option '--jsn'; did you mean '--json'?\n..."},
        {"test --quite x.yaml", 2, "kivhost: unknown option '--quite'; did you mean '--quiet'?\n..."},
        {"run a.yaml b.yaml", 2, "kivhost: unexpected argument 'b.yaml'\n..."},
        {"serve --port 65536", 2, "kivhost: --port: must be a whole number from 0 to 65535\n..."},
        {"serve --speed 0", 2, "kivhost: --speed: must be a number from 0.001 to 1000000\n..."},
        {"serve --clock wall", 2, "kivhost: --clock: must be virtual or real\n..."},
        {"run --stream 16777217", 2, "kivhost: --stream: must be a whole number from 1 to 16777216\n..."},
        {"run --only", 2, "kivhost: --only: needs a value\n..."},
        {"run --only ''", 2, "kivhost: --only: must name timeline types, such as fire,event\n..."},
        {"run --only fire --exclude ''", 2,
         "kivhost: --exclude: must name timeline types, such as fire,event\n..."},
        {"run --plugin ''", 2, "kivhost: --plugin: must name a library file\n..."},
        {"run --print-scenario " + quoted(good.string()), 2,
         "kivhost: --print-scenario prints the built-in scenario; give no SCENARIO with it\n"},
        {"run --core 18.0", 2, "kivhost: --core: must be a version such as 18.0.0\n..."},
        {"run --until -3", 2,
         "kivhost: --until: must be a decimal number of minutes from 0 to 1000000000\n..."},
        {"run --until 0x10", 2,
         "kivhost: --until: must be a decimal number of minutes from 0 to 1000000000\n..."},
        {"run --only fire,tick", 2, "kivhost: --only: 'tick' is no timeline type; the types are load,..."},
        {"runn", 2,
         "kivhost: unknown command 'runn'; the commands are run, test, serve, describe, help; did you mean "
         "'run'?\n..."},
        {"", 2, "kivhost: a command is required: run, test, serve, describe, help\n..."},
        {"help runn", 2,
         "kivhost: no command 'runn'; the commands are run, test, serve, describe, help; did you mean "
         "'run'?\n"
         "..."},
    };
    for (const auto& c : cases) {
        const CommandResult result = kivhost(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments;
        if (c.message.ends_with("...")) {
            EXPECT_EQ(result.errors.substr(0, c.message.size() - 3),
                      c.message.substr(0, c.message.size() - 3));
        } else {
            EXPECT_EQ(result.errors, c.message);
        }
        std::istringstream lines(result.errors);
        for (std::string line; std::getline(lines, line);) {
            EXPECT_TRUE(line.starts_with("kivhost: ")) << c.arguments << ": " << line;
        }
    }
    EXPECT_EQ(kivhost("run " + quoted(late.string()) + " --until 20 --only response" + fake).exitCode, 0);
    EXPECT_EQ(kivhost("run " + quoted(good.string()) + " --stream 16777216" + fake).exitCode, 0)
        << "the largest chunk";
}

// --only may be repeated and --exclude leaves types out of what it keeps; --quiet prints nothing
// but errors; --print-scenario prints the built-in scenario, the default file.
TEST_F(CommandTest, TheTimelineCanBeNarrowedOrSilenced) {
    const std::string fake = " --plugin " + quoted(fakePluginLibrary());
    const auto types = [](const std::string& timeline) {
        std::set<std::string> seen;
        std::istringstream lines(timeline);
        for (std::string time, type, rest; lines >> time >> type && std::getline(lines, rest);) {
            seen.insert(type);
        }
        return seen;
    };
    EXPECT_EQ(types(kivhost("run --only load,unload --only log" + fake).out),
              (std::set<std::string>{"load", "log", "unload"}));
    EXPECT_EQ(types(kivhost("run --only load,unload,log --exclude unload --exclude log" + fake).out),
              (std::set<std::string>{"load"}));
    const std::set<std::string> all = types(kivhost("run" + fake).out);
    std::set<std::string> allButSubscriptions = all;
    allButSubscriptions.erase("subscribe");
    allButSubscriptions.erase("unsubscribe");
    EXPECT_EQ(types(kivhost("run --exclude subscribe,unsubscribe" + fake).out), allButSubscriptions);

    const CommandResult quiet = kivhost("run --quiet" + fake);
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out + quiet.errors, "");
    const CommandResult printed = kivhost("run --print-scenario");
    EXPECT_EQ(printed.exitCode, 0);
    EXPECT_EQ(printed.out, readAll(KIVHOST_DEFAULT_SCENARIO));
}

// Help names its placeholders and exit codes; --version names the timeline format.
TEST_F(CommandTest, HelpAndVersionAnswerOnTheOutput) {
    const CommandResult run = kivhost("help run");
    EXPECT_EQ(run.exitCode, 0) << run.errors;
    for (const char* word : {"--plugin PATH", "--until MINUTES", "--stream BYTES", "--only TYPES",
                             "Example:", "Exit status: 0 success; 1 ", "2 a command line"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word << " in\n" << run.out;
    }
    EXPECT_EQ(kivhost("run --help").out, run.out);
    const CommandResult all = kivhost("help");
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_NE(all.out.find("describe"), std::string::npos);
    const CommandResult version = kivhost("--version");
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.starts_with("kivhost ")) << version.out;
    EXPECT_NE(version.out.find("timeline format 1"), std::string::npos) << version.out;
}

// A timeline that cannot be written fails the run; a plugin that aborts fails it with its report.
TEST_F(CommandTest, OutputThatCannotBeWrittenAndAnAbortingPluginFailTheRun) {
    const CommandResult full =
        kivhost("run --plugin " + quoted(fakePluginLibrary()), quoted(KIVHOST_BINARY), ">/dev/full");
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.errors, "kivhost: cannot write the output: No space left on device\n");

    // The shutdown-law library next to kivhost refuses an older core by ending the process.
    const CommandResult aborted = kivhost("run --core 17.0.0");
    EXPECT_EQ(aborted.exitCode, 1) << aborted.errors;
    EXPECT_NE(aborted.errors.find("ALE-EECF0606"), std::string::npos) << aborted.errors;
    EXPECT_TRUE(aborted.errors.ends_with("kivhost: the plugin library ended the process (SIGABRT); the lines "
                                         "above are what it wrote\n"))
        << aborted.errors;
    std::istringstream lines(aborted.errors);
    for (std::string line; std::getline(lines, line);) {
        EXPECT_TRUE(line.starts_with("kivhost: ")) << line;
    }
}

// "-" is standard input; a plugin named without a folder is a file in the current folder, and a
// bare name found nowhere goes to the library search path.
TEST_F(CommandTest, StandardInputAndPluginNamesWithoutAFolder) {
    const std::filesystem::path scenario = write("in.yaml", "steps: [{at: 1, get: /fake/v1/act/x}]\n");
    const std::string plugin = " --plugin " + quoted(fakePluginLibrary());
    const CommandResult fromFile = kivhost("run " + quoted(scenario.string()) + plugin);
    const CommandResult fromInput =
        kivhost("run -" + plugin, quoted(KIVHOST_BINARY), "<" + quoted(scenario.string()));
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.errors;
    EXPECT_EQ(fromInput.out, fromFile.out);
    const std::filesystem::path bad = write("bad.yaml", "until: [1]\n");
    const CommandResult badInput =
        kivhost("run -" + plugin, quoted(KIVHOST_BINARY), "<" + quoted(bad.string()));
    EXPECT_EQ(badInput.errors, "kivhost: standard input: 'until' must be a number of minutes, got a list\n");

    const std::string name = std::filesystem::path(fakePluginLibrary()).filename().string();
    std::filesystem::copy_file(fakePluginLibrary(), folder_ / name);
    const std::string inFolder = "cd " + quoted(folder_.string()) + " && " + quoted(KIVHOST_BINARY);
    const CommandResult here = kivhost("describe --plugin " + name, inFolder);
    EXPECT_EQ(here.exitCode, 0) << here.errors;
    const CommandResult nowhere = kivhost("describe --plugin nosuch_plugin.so", inFolder);
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.errors.starts_with("kivhost: cannot load the plugin library nosuch_plugin.so: "));
    EXPECT_TRUE(nowhere.errors.ends_with(
        "(it is no file in the current folder, so the library search path was used)\n"))
        << nowhere.errors;
}

TEST_F(CommandTest, TheDefaultPluginIsTheShutdownLawLibraryNextToTheBinary) {
    const std::filesystem::path binary = folder_ / "kivhost";
    std::filesystem::copy_file(KIVHOST_BINARY, binary);
    const CommandResult result = kivhost("run", quoted(binary.string()));
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors,
              "kivhost: the plugin library is missing: " + (folder_ / "kiv_kr_shutdown_law.so").string() +
                  "\nkivhost: build the shutdown-law library, or pick another with --plugin PATH\n");
    EXPECT_EQ(result.out, "");

    std::filesystem::copy_file(fakePluginLibrary(), folder_ / "kiv_kr_shutdown_law.so");
    EXPECT_NE(
        kivhost("describe", quoted(binary.string())).errors.find("has no export load_kiv_kr_shutdown_law"),
        std::string::npos);
}

// A queue list too long for the memory kivhost may use: wherever the memory runs out (reading the
// scenario, storing its resources, loading the plugin, playing), the run ends with one
// out-of-memory message and exit 1, never an exception's raw name, and no timer call is reported
// as a fault of the plugin's; with the most memory, play has begun when it runs out. (A
// sanitizer's own reservations do not fit under such limits.)
TEST_F(CommandTest, RunningOutOfMemoryEndsTheRunOnce) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer reserves more address space than the limit";
#endif
    std::string list;
    for (int id = 1; id <= 400'000; ++id) {
        list += (id > 1 ? ",{\"id\":" : "{\"id\":") + std::to_string(id) + "}";
    }
    const std::filesystem::path scenario =
        write("long-list.json", R"({"until": 10, "resources": {"/kiv-login/v1/login-data-packet": )"
                                R"({"minutesUntilShutdownEnabled": true, "minutesUntilShutdown": 600}, )"
                                R"("/kiv-game-queues/v1/queues": [)" +
                                    list + "]}, \"steps\": []}");
    const std::set<std::string> messages = {"kivhost: " + scenario.string() + ": Out of memory.\n",
                                            "kivhost: out of memory\n",
                                            "kivhost: out of memory; the timeline ends here\n"};
    for (int limitKb = 40'000; limitKb <= 170'000; limitKb += 10'000) {
        const CommandResult run =
            kivhost("run " + quoted(scenario.string()),
                    "ulimit -v " + std::to_string(limitKb) + "; " + quoted(KIVHOST_BINARY));
        EXPECT_EQ(run.exitCode, 1) << limitKb;
        EXPECT_TRUE(messages.contains(run.errors)) << limitKb << " KiB: " << run.errors;
        EXPECT_EQ(run.out.find("fault"), std::string::npos) << limitKb;
        if (limitKb == 170'000) {
            EXPECT_EQ(run.errors, "kivhost: out of memory; the timeline ends here\n");
        }
    }
}

} // namespace
} // namespace kiv::test
