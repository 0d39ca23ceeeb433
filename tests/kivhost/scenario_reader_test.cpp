// Reading scenarios: what a well-formed one gives, and a table of malformed ones, each refused
// with a message that names the file, the step and what is wrong.
#include "kivhost/scenario/scenario.h"

#include "kivhost/core/json_text.h"

#include "case_name.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace kiv::test {
namespace {

using kivhost::ScenarioError;
using kivhost::ScenarioFormat;

struct Malformed {
    std::string name;
    std::string text;
    std::string message; // the whole message, or its start when it ends in "..."
    ScenarioFormat format = ScenarioFormat::Yaml;
};

void PrintTo(const Malformed& malformed, std::ostream* out) {
    *out << malformed.text;
}

std::string repeated(std::string_view text, std::size_t times) {
    std::string all;
    for (std::size_t i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

class MalformedScenarioTest : public testing::TestWithParam<Malformed> {};

TEST_P(MalformedScenarioTest, IsRefusedWithAMessageNamingFileStepAndFault) {
    const std::string source = GetParam().format == ScenarioFormat::Json ? "bad.json" : "bad.yaml";
    try {
        kivhost::readScenarioText(GetParam().text, GetParam().format, source);
        ADD_FAILURE() << "not refused";
    } catch (const ScenarioError& error) {
        const std::string& expected = GetParam().message;
        if (expected.ends_with("...")) {
            EXPECT_EQ(std::string(error.what()).substr(0, expected.size() - 3),
                      expected.substr(0, expected.size() - 3));
        } else {
            EXPECT_EQ(error.what(), expected);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, MalformedScenarioTest,
    testing::Values(
        Malformed{"Empty", "", "bad.yaml: the scenario is empty"},
        Malformed{"NotAMapping", "[1, 2]",
                  "bad.yaml: a scenario is a mapping with core, until, resources and steps, got a list"},
        Malformed{"UnknownKey", "cores: 18.0.0",
                  "bad.yaml: unknown key 'cores'; a scenario has core, until, resources and steps"},
        Malformed{"CoreNumber", "core: 18", "bad.yaml: 'core' must be a version such as 18.0.0, got 18"},
        Malformed{"CoreFourWords", "core: 18.0.0.1",
                  "bad.yaml: 'core' must be a version such as 18.0.0, got '18.0.0.1'"},
        Malformed{"UntilNegative", "until: -1",
                  "bad.yaml: 'until' must be a number of minutes from 0 to 1000000000, got -1"},
        Malformed{"UntilTooLarge", "until: 1.0e12",
                  "bad.yaml: 'until' must be a number of minutes from 0 to 1000000000, got "
                  "1000000000000"},
        Malformed{"UntilInfinityText", "until: .inf",
                  "bad.yaml: 'until' must be a number of minutes, got '.inf'"},
        Malformed{"UntilText", "until: soon", "bad.yaml: 'until' must be a number of minutes, got 'soon'"},
        Malformed{"UntilList", "until: [1]", "bad.yaml: 'until' must be a number of minutes, got a list"},
        Malformed{"ResourcesList", "resources: [1]",
                  "bad.yaml: 'resources' must be a mapping from path to value, got a list"},
        Malformed{"ResourcePath", "resources: {login: 1}",
                  "bad.yaml: resource 'login': a path begins with '/'"},
        Malformed{"StepsMapping", "steps: {at: 1}",
                  "bad.yaml: 'steps' must be a list of steps, got a mapping"},
        Malformed{"StepNotAMapping", "steps: [5]",
                  "bad.yaml: step 1: a step is a mapping such as {at: 10, get: /path}, got 5"},
        Malformed{"StepWithoutAt", "steps: [{at: 0, get: /a}, {get: /a}]",
                  "bad.yaml: step 2: it has no 'at', the minutes since the start"},
        Malformed{"AtText", "steps: [{at: x, get: /a}]",
                  "bad.yaml: step 1: 'at' must be a number of minutes, got 'x'"},
        Malformed{"AtTooLarge", "steps: [{at: 2000000001, get: /a}]",
                  "bad.yaml: step 1: 'at' must be a number of minutes from 0 to 1000000000, got 2000000001"},
        Malformed{"NoAction", "steps: [{at: 1}]",
                  "bad.yaml: step 1: it has no action: get, update, create or delete"},
        Malformed{"TwoActions", "steps: [{at: 1, get: /a, delete: /b}]",
                  "bad.yaml: step 1: it has two actions, get and delete; a step does one thing"},
        Malformed{"RelativePath", "steps: [{at: 1, get: a}]",
                  "bad.yaml: step 1: the path of 'get' must be a text beginning with '/', got 'a'"},
        Malformed{"PathNumber", "steps: [{at: 1, create: 5, value: 1}]",
                  "bad.yaml: step 1: the path of 'create' must be a text beginning with '/', got 5"},
        Malformed{"UpdateWithoutValue", "steps: [{at: 1, update: /a}]",
                  "bad.yaml: step 1: 'update' needs a 'value', the resource's new value"},
        Malformed{"DeleteWithValue", "steps: [{at: 1, delete: /a, value: 1}]",
                  "bad.yaml: step 1: 'delete' takes no 'value'"},
        Malformed{
            "UnknownStepKey", "steps: [{at: 1, get: /a, vaule: 1}]",
            "bad.yaml: step 1: unknown key 'vaule'; a step has at, one of get, update, create or delete, "
            "and a value for update and create"},
        Malformed{"OutOfOrder", "steps: [{at: 5, get: /a}, {at: 2.5, get: /b}]",
                  "bad.yaml: step 2: at 2.5 comes before the previous step's at 5; steps are in time order"},
        Malformed{"AfterUntil", "until: 10\nsteps: [{at: 11, get: /a}]",
                  "bad.yaml: step 1: at 11 lies after until 10"},
        Malformed{"AfterTheDay", "steps: [{at: 1441, get: /a}]",
                  "bad.yaml: step 1: at 1441 lies after the end of play at 1440 minutes; give an 'until'"},
        // Lines and columns count from 1, as editors count them.
        Malformed{"YamlSyntax", "core: 18.0.0\nsteps: [",
                  "bad.yaml: line 3, column 1: did not find expected node content"},
        Malformed{"YamlTab", "until: 1\n\tsteps: []",
                  "bad.yaml: line 2, column 1: found a tab character that violates indentation"},
        // A repeated key is refused with its place wherever it is; the readers would keep one.
        Malformed{"RepeatedUntil", "until: 10\ncore: 18.0.0\nuntil: 20",
                  "bad.yaml: line 3, column 1: 'until' is repeated (first on line 1)"},
        Malformed{"RepeatedResource", "resources:\n  /a/v1/x: 1\n  '/a/v1/x': 2",
                  "bad.yaml: line 3, column 3: '/a/v1/x' is repeated (first on line 2)"},
        Malformed{"RepeatedInValue", "steps:\n  - at: 1\n    update: /a\n    value: {n: 1,\n      n: 2}",
                  "bad.yaml: line 5, column 7: 'n' is repeated (first on line 4)"},
        Malformed{"RepeatedJson",
                  "{\"until\": 1,\n \"steps\": [{\"at\": 0, \"get\": \"/a\"}],\n \"until\": 2}",
                  "bad.json: line 3, column 2: 'until' is repeated (first on line 1)", ScenarioFormat::Json},
        Malformed{"RepeatedJsonNested", "{\"resources\": {\"/a\": {\"k\": 1}, \"/b\": {\"k\": 1, \"k\": 2}}}",
                  "bad.json: line 1, column 47: 'k' is repeated (first on line 1)", ScenarioFormat::Json},
        Malformed{"JsonSteps", R"({"steps": 1})", "bad.json: 'steps' must be a list of steps, got 1",
                  ScenarioFormat::Json},
        Malformed{"JsonAt", R"({"steps": [{"at": 0, "get": "/a"}, {"at": true}]})",
                  "bad.json: step 2: 'at' must be a number of minutes, got true", ScenarioFormat::Json},
        // Steps with expect.
        Malformed{"ExpectNothing", "steps: [{at: 1, expect: {}}]",
                  "bad.yaml: step 1: 'expect' names none of get, law, closed, event or log"},
        Malformed{"ExpectTwo", "steps: [{at: 1, expect: {law: NONE, closed: []}}]",
                  "bad.yaml: step 1: 'expect' has both law and closed; a step expects one thing"},
        Malformed{
            "ExpectWithAction", "steps: [{at: 1, get: /a, expect: {law: NONE}}]",
            "bad.yaml: step 1: unknown key 'get'; a step with 'expect' has at, through (for a span) and "
            "expect"},
        Malformed{"ExpectForeignKey", "steps: [{at: 1, expect: {law: NONE, times: 1}}]",
                  "bad.yaml: step 1: 'times' does not go with 'law'"},
        Malformed{"ThroughBeforeAt", "steps: [{at: 5, through: 4.5, expect: {law: NONE}}]",
                  "bad.yaml: step 1: through 4.5 comes before at 5"},
        Malformed{"ThroughAfterUntil", "until: 10\nsteps: [{at: 5, through: 11, expect: {law: NONE}}]",
                  "bad.yaml: step 1: through 11 lies after until 10"},
        Malformed{"ExpectOutOfOrder", "steps: [{at: 5, get: /a}, {at: 4, expect: {law: NONE}}]",
                  "bad.yaml: step 2: at 4 comes before the previous step's at 5; steps are in time order"},
        Malformed{"LawNotText", "steps: [{at: 1, expect: {law: [NONE]}}]",
                  "bad.yaml: step 1: 'law' must be a status such as WARNING, got a list"},
        Malformed{"ClosedNotList", "steps: [{at: 1, expect: {closed: 450}}]",
                  "bad.yaml: step 1: 'closed' must be a list of queue ids such as [450, -2], got 450"},
        Malformed{
            "GetNothing", "steps: [{at: 1, expect: {get: /a}}]",
            "bad.yaml: step 1: 'get' needs a 'status', and a 'value' or an 'error', what the answer must be"},
        Malformed{"GetValueAndError", "steps: [{at: 1, expect: {get: /a, value: 1, error: x}}]",
                  "bad.yaml: step 1: 'get' expects a 'value' or an 'error', not both"},
        Malformed{"StatusTooLarge", "steps: [{at: 1, expect: {get: /a, status: 600}}]",
                  "bad.yaml: step 1: 'status' must be a whole number from 0 to 599, got 600"},
        Malformed{"TimesNegative", "steps: [{at: 1, expect: {event: E, times: -1}}]",
                  "bad.yaml: step 1: 'times' must be a whole number from 0 to 1000000, got -1"},
        Malformed{"LevelUnknown", "steps: [{at: 1, expect: {log: x, level: LOUD}}]",
                  "bad.yaml: step 1: 'level' must be OKAY, WARN, ERROR, ALWAYS or a number, got 'LOUD'"},
        Malformed{"EventEmpty", "steps: [{at: 1, expect: {event: ''}}]",
                  "bad.yaml: step 1: 'event' must be a text, got ''"},
        // Every error of the text names its line and column from 1 in one format; nesting is
        // refused as soon as it passes the readers' limit, however deep the text goes on.
        Malformed{"JsonSyntax", "{\"until\": 1,\n \"steps\" []}",
                  "bad.json: line 2, column 10: Missing a colon after a name of object member.",
                  ScenarioFormat::Json},
        Malformed{"DeepFlowList", std::string(100000, '['),
                  "bad.yaml: line 1, column 65: [ and { nested deeper than 64 levels"},
        Malformed{"DeepFlowMapping", repeated("{a: ", 100000),
                  "bad.yaml: line 1, column 257: [ and { nested deeper than 64 levels"},
        Malformed{"NulByte", std::string("until: 10\nsteps: [{at: 1, get: /a}]\0\nbad: 1", 43),
                  "bad.yaml: line 2, column 26: a NUL byte; a scenario is text"},
        Malformed{"NulByteJson", std::string("{\"until\": 1\0}", 13),
                  "bad.json: line 1, column 12: a NUL byte; a scenario is text", ScenarioFormat::Json},
        Malformed{"UndefinedAlias", "core: 18.0.0\nuntil: *nowhere",
                  "bad.yaml: line 2, column 8: Undefined alias encountered: \"nowhere\""},
        Malformed{"NotUtf8", "until: 1\ncore: 18.0.0\nsteps: \xff[]",
                  "bad.yaml: line 3, column 8: invalid leading UTF-8 octet"},
        Malformed{"NotUtf8Json", "{\"until\": 1,\n\"c\xffre\": 1}",
                  "bad.json: line 2, column 3: Invalid encoding in string.", ScenarioFormat::Json}),
    CaseName());

// A key may come again in another mapping, also one that an alias repeats.
TEST(ScenarioTest, KeysAgainInOtherMappingsAreTaken) {
    const kivhost::Scenario scenario =
        kivhost::readScenarioText("resources:\n  /a: &base {k: 1}\n  /b: *base\n  /c: {k: 3, j: {k: 4}}\n",
                                  ScenarioFormat::Yaml, "ok.yaml");
    ASSERT_EQ(scenario.resources.size(), 3u);
    EXPECT_EQ(kivhost::toJson(scenario.resources[1].second), R"({"k":1})");
}

TEST(ScenarioTest, AWellFormedScenarioGivesItsWorldAndSteps) {
    const kivhost::Scenario scenario = kivhost::readScenarioText(R"(
core: 18.3.0
until: 400
resources:
  /b/v1/x: {n: 1}
  /a/v1/y: [1, 2]
steps:
  - {at: 0, get: /a/v1/y}
  - {at: 0.0005, update: /b/v1/x, value: null}
  - {at: 10, create: /c/v1/z, value: {deep: [true]}}
  - {at: 10, delete: /b/v1/x}
  - {at: 400, get: /a/v1/y}
)",
                                                                 ScenarioFormat::Yaml, "good.yaml");
    EXPECT_EQ(scenario.core, (kivhost::CoreVersion{18, 3, 0}));
    EXPECT_EQ(scenario.untilMs, 400 * 60000);
    ASSERT_EQ(scenario.resources.size(), 2u);
    EXPECT_EQ(scenario.resources[0].first, "/a/v1/y");
    EXPECT_EQ(kivhost::toJson(scenario.resources[1].second), R"({"n":1})");
    ASSERT_EQ(scenario.steps.size(), 5u);
    const std::int64_t at[] = {0, 30, 600000, 600000, 24000000};
    const kivhost::StepAction actions[] = {kivhost::StepAction::Get, kivhost::StepAction::Update,
                                           kivhost::StepAction::Create, kivhost::StepAction::Delete,
                                           kivhost::StepAction::Get};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(scenario.steps[i].number, i + 1);
        EXPECT_EQ(scenario.steps[i].atMs, at[i]);
        EXPECT_EQ(scenario.steps[i].action, actions[i]);
    }
    EXPECT_TRUE(scenario.steps[1].value.isEmpty());
    EXPECT_EQ(kivhost::toJson(scenario.steps[2].value), R"({"deep":[true]})");
}

// The same expectations written in YAML and in JSON read alike, each with the line its step is on.
TEST(ScenarioTest, ExpectationsReadAlikeFromYamlAndJson) {
    const std::string yaml = R"(until: 30
steps:
  - {at: 0, expect: {law: WARNING}}
  - {at: 1, get: /a}
  - at: 1
    through: 2.5
    expect: {event: OnE, payload: {n: 1}, times: 0}
  - {at: 3, expect: {log: text, level: 2}}
  - {at: 3, expect: {get: /b, status: 404, error: gone}}
)";
    const std::string json = R"({"until": 30, "steps": [
  {"at": 0, "expect": {"law": "WARNING"}}, {"at": 1, "get": "/a"},
  {"at": 1,
   "through": 2.5, "expect": {"event": "OnE", "payload": {"n": 1}, "times": 0}},
  {"at": 3, "expect": {"log": "text", "level": "ERROR"}},
  {"at": 3, "expect": {"get": "/b", "status": 404, "error": "gone"}}]}
)";
    const kivhost::Scenario fromYaml = kivhost::readScenarioText(yaml, ScenarioFormat::Yaml, "e.yaml");
    const kivhost::Scenario fromJson = kivhost::readScenarioText(json, ScenarioFormat::Json, "e.json");
    ASSERT_EQ(fromYaml.expectations.size(), 4u);
    ASSERT_EQ(fromJson.expectations.size(), 4u);
    const std::size_t yamlLines[] = {3, 5, 8, 9};
    const std::size_t jsonLines[] = {2, 3, 5, 6};
    for (std::size_t i = 0; i < 4; ++i) {
        const kivhost::Expectation& a = fromYaml.expectations[i];
        const kivhost::Expectation& b = fromJson.expectations[i];
        EXPECT_EQ(a.line, yamlLines[i]) << i;
        EXPECT_EQ(b.line, jsonLines[i]) << i;
        EXPECT_EQ(a.number, b.number);
        EXPECT_EQ(a.stepsBefore, b.stepsBefore);
        EXPECT_EQ(a.atMs, b.atMs);
        EXPECT_EQ(a.throughMs, b.throughMs);
        EXPECT_EQ(a.kind, b.kind);
        EXPECT_EQ(a.subject, b.subject);
        EXPECT_EQ(a.label, b.label);
        EXPECT_EQ(a.status, b.status);
        EXPECT_EQ(a.value ? kivhost::toJson(*a.value) : "-", b.value ? kivhost::toJson(*b.value) : "-");
        EXPECT_EQ(a.error, b.error);
        EXPECT_EQ(a.level, b.level);
        EXPECT_EQ(a.times, b.times);
    }
    EXPECT_EQ(fromYaml.expectations[0].subject, "/kiv-kr-shutdown-law/v1/notification");
    EXPECT_EQ(kivhost::toJson(*fromYaml.expectations[0].value), R"({"type":"WARNING"})");
    EXPECT_EQ(fromYaml.expectations[1].stepsBefore, 1u);
    EXPECT_EQ(fromYaml.expectations[1].throughMs, 150000);
    EXPECT_EQ(fromYaml.expectations[2].label, "log ERROR 'text'");
    EXPECT_EQ(fromYaml.steps.size(), 1u);
}

TEST(ScenarioTest, FilesAreReadByTheirNameAndNamedInMessages) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "kivhost-scenario-files";
    std::filesystem::create_directories(folder);
    const std::filesystem::path json = folder / "world.JSON";
    std::ofstream(json) << R"({"until": 5, "steps": [{"at": 1, "get": "/a"}]})";
    EXPECT_EQ(kivhost::readScenarioFile(json).steps.size(), 1u);
    const std::filesystem::path yaml = folder / "world.yaml";
    std::ofstream(yaml) << "steps:\n  - {at: 1, get: /a}\n  - {at: 2, get: nowhere}\n";
    const struct {
        std::filesystem::path file;
        std::string message;
    } cases[] = {
        {yaml,
         yaml.string() + ": step 2: the path of 'get' must be a text beginning with '/', got 'nowhere'"},
        {folder / "missing.yaml",
         (folder / "missing.yaml").string() + ": cannot be read: No such file or directory"},
        {folder, folder.string() + ": cannot be read: it is a folder"},
    };
    for (const auto& c : cases) {
        try {
            kivhost::readScenarioFile(c.file);
            ADD_FAILURE() << c.file;
        } catch (const ScenarioError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
    std::filesystem::remove_all(folder);
}

// A scenario is read up to its limit and refused beyond it, without reading further (a small
// limit here; the command test refuses /dev/urandom at the real one).
TEST(ScenarioTest, AScenarioIsReadUpToItsSizeLimit) {
    constexpr std::size_t kLimit = 4096;
    const std::string start = "until: 1\n#";
    for (const std::size_t size : {kLimit - 1, kLimit, kLimit + 1}) {
        std::istringstream in(start + std::string(size - start.size() - 1, 'x') + '\n');
        if (size <= kLimit) {
            EXPECT_EQ(
                kivhost::readScenarioStream(in, kivhost::ScenarioFormat::Yaml, "in", {}, kLimit).untilMs,
                60000);
            continue;
        }
        try {
            (void)kivhost::readScenarioStream(in, kivhost::ScenarioFormat::Yaml, "in", {}, kLimit);
            ADD_FAILURE() << "a scenario of " << size << " bytes is read";
        } catch (const ScenarioError& error) {
            EXPECT_STREQ(error.what(),
                         "in: cannot be read: it is larger than 4096 bytes, the most a scenario may hold");
        }
    }
}

TEST(ScenarioTest, TheDefaultScenarioReads) {
    const kivhost::Scenario scenario = kivhost::readScenarioFile(KIVHOST_DEFAULT_SCENARIO);
    EXPECT_EQ(scenario.core, kivhost::CoreVersion{});
    EXPECT_FALSE(scenario.untilMs.has_value());
    EXPECT_EQ(scenario.resources.size(), 3u);
    EXPECT_FALSE(scenario.steps.empty());
}

} // namespace
} // namespace kiv::test
