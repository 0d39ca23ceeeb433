#include "kivhost/scenario/scenario.h"

#include "kivhost/scenario/expectation_reader.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_text_scan.h"
#include "kivhost/scenario/value_description.h"
#include "value/json_reader.h"
#include "value/yaml_reader.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

namespace kiv::kivhost {
namespace {

constexpr std::string_view kScenarioKeys[] = {"core", "until", "resources", "steps"};
constexpr std::string_view kStepKeys[] = {"at", "get", "update", "create", "delete", "value"};
constexpr std::string_view kExpectationKeys[] = {"at", "through", "expect"};

struct ActionName {
    std::string_view key;
    StepAction action;
};
constexpr ActionName kActions[] = {{"get", StepAction::Get},
                                   {"update", StepAction::Update},
                                   {"create", StepAction::Create},
                                   {"delete", StepAction::Delete}};

template <std::size_t N> bool isOneOf(std::string_view key, const std::string_view (&keys)[N]) {
    return std::find(std::begin(keys), std::end(keys), key) != std::end(keys);
}

// A step's moment (`at`, or an expectation's `through`) lies within play: at or before `until`,
// or within a day without one.
void checkWithinPlay(const Scenario& scenario, std::size_t number, std::string_view key, std::int64_t ms) {
    const std::string at = "step " + std::to_string(number) + ": " + std::string(key) + " " + minutesText(ms);
    if (scenario.untilMs && ms > *scenario.untilMs) {
        throw ScenarioError(scenario.source + ": " + at + " lies after until " +
                            minutesText(*scenario.untilMs));
    }
    if (!scenario.untilMs && ms > kDefaultPlayMinutes * 60000) {
        throw ScenarioError(scenario.source + ": " + at + " lies after the end of play at " +
                            std::to_string(kDefaultPlayMinutes) + " minutes; give an 'until'");
    }
}

// Steps are checked in the order of the file, so the first one out of play is named.
void checkStepsWithinPlay(const Scenario& scenario) {
    std::size_t nextExpectation = 0;
    for (const ScenarioStep& step : scenario.steps) {
        for (; nextExpectation < scenario.expectations.size() &&
               scenario.expectations[nextExpectation].number < step.number;
             ++nextExpectation) {
            const Expectation& expectation = scenario.expectations[nextExpectation];
            checkWithinPlay(scenario, expectation.number, "through", expectation.throughMs);
        }
        checkWithinPlay(scenario, step.number, "at", step.atMs);
    }
    for (; nextExpectation < scenario.expectations.size(); ++nextExpectation) {
        const Expectation& expectation = scenario.expectations[nextExpectation];
        checkWithinPlay(scenario, expectation.number, "through", expectation.throughMs);
    }
}

class ScenarioReader {
  public:
    ScenarioReader(std::string source, std::optional<std::int64_t> untilOverride,
                   std::vector<std::size_t> stepLines)
        : untilOverride_(untilOverride), stepLines_(std::move(stepLines)) {
        scenario_.source = std::move(source);
    }

    Scenario read(const Value& document) {
        if (document.isEmpty()) {
            fail("the scenario is empty");
        }
        if (!document.isStructure()) {
            fail("a scenario is a mapping with core, until, resources and steps, " + described(document));
        }
        for (const ValueMember member : document.members()) {
            if (!isOneOf(member.key, kScenarioKeys)) {
                fail("unknown key '" + std::string(member.key) +
                     "'; a scenario has core, until, resources and steps");
            }
        }
        if (const Value* core = document.find("core")) {
            readCore(*core);
        }
        if (const Value* until = document.find("until")) {
            scenario_.untilMs =
                minutesInMs(*until, [&](const std::string& what) { fail("'until' " + what); });
        }
        if (const Value* resources = document.find("resources")) {
            readResources(*resources);
        }
        if (const Value* steps = document.find("steps")) {
            readSteps(*steps);
        }
        if (untilOverride_) {
            scenario_.untilMs = untilOverride_;
        }
        checkStepsWithinPlay(scenario_);
        return std::move(scenario_);
    }

  private:
    [[noreturn]] void fail(const std::string& what) const {
        throw ScenarioError(scenario_.source + ": " + what);
    }
    [[noreturn]] void failStep(std::size_t number, const std::string& what) const {
        fail("step " + std::to_string(number) + ": " + what);
    }

    // A number of minutes from 0 to the limit, as milliseconds rounded to the nearest.
    template <class Fail> static std::int64_t minutesInMs(const Value& value, Fail failWith) {
        double minutes = 0.0;
        switch (value.kind()) {
        case ValueKind::Signed:
            minutes = static_cast<double>(value.getSigned(0));
            break;
        case ValueKind::Unsigned:
            minutes = static_cast<double>(value.getUnsigned(0));
            break;
        case ValueKind::Float:
            minutes = value.getFloat(0.0);
            break;
        default:
            failWith("must be a number of minutes, " + described(value));
        }
        if (!(minutes >= 0.0 && minutes <= static_cast<double>(kMaxScenarioMinutes))) {
            failWith("must be a number of minutes from 0 to " + std::to_string(kMaxScenarioMinutes) + ", " +
                     described(value));
        }
        return std::llround(minutes * 60000.0);
    }

    void readCore(const Value& core) {
        scenario_.core = CoreVersion::parse(core.getString(""));
        if (core.kind() != ValueKind::String || !scenario_.core) {
            fail("'core' must be a version such as 18.0.0, " + described(core));
        }
    }

    void readResources(const Value& resources) {
        if (!resources.isStructure()) {
            fail("'resources' must be a mapping from path to value, " + described(resources));
        }
        for (const ValueMember member : resources.members()) {
            if (!member.key.starts_with("/")) {
                fail("resource '" + std::string(member.key) + "': a path begins with '/'");
            }
            scenario_.resources.emplace_back(std::string(member.key), member.value);
        }
    }

    void readSteps(const Value& steps) {
        if (!steps.isCollection()) {
            fail("'steps' must be a list of steps, " + described(steps));
        }
        std::size_t number = 0;
        for (const Value& step : steps.elements()) {
            ++number;
            if (step.isStructure() && step.find("expect")) {
                scenario_.expectations.push_back(readExpectationStep(step, number));
            } else {
                scenario_.steps.push_back(readStep(step, number));
            }
        }
    }

    Expectation readExpectationStep(const Value& step, std::size_t number) {
        for (const ValueMember member : step.members()) {
            if (!isOneOf(member.key, kExpectationKeys)) {
                failStep(number, "unknown key '" + std::string(member.key) +
                                     "'; a step with 'expect' has at, through (for a span) and expect");
            }
        }
        Expectation expectation;
        expectation.number = number;
        expectation.line = number <= stepLines_.size() ? stepLines_[number - 1] : 0;
        expectation.stepsBefore = scenario_.steps.size();
        expectation.atMs = atOf(step, number);
        expectation.throughMs = expectation.atMs;
        if (const Value* through = step.find("through")) {
            expectation.throughMs = minutesInMs(
                *through, [&](const std::string& what) { failStep(number, "'through' " + what); });
            if (expectation.throughMs < expectation.atMs) {
                failStep(number, "through " + minutesText(expectation.throughMs) + " comes before at " +
                                     minutesText(expectation.atMs));
            }
        }
        readExpectation(*step.find("expect"), scenario_.source + ": step " + std::to_string(number) + ": ",
                        expectation);
        checkTime(number, expectation.atMs);
        return expectation;
    }

    std::int64_t atOf(const Value& step, std::size_t number) const {
        const Value* at = step.find("at");
        if (!at) {
            failStep(number, "it has no 'at', the minutes since the start");
        }
        return minutesInMs(*at, [&](const std::string& what) { failStep(number, "'at' " + what); });
    }

    ScenarioStep readStep(const Value& step, std::size_t number) {
        if (!step.isStructure()) {
            failStep(number, "a step is a mapping such as {at: 10, get: /path}, " + described(step));
        }
        for (const ValueMember member : step.members()) {
            if (!isOneOf(member.key, kStepKeys)) {
                failStep(number,
                         "unknown key '" + std::string(member.key) +
                             "'; a step has at, one of get, update, create or delete, and a value for "
                             "update and create");
            }
        }
        ScenarioStep result;
        result.number = number;
        result.atMs = atOf(step, number);

        const ActionName* action = nullptr;
        for (const ActionName& candidate : kActions) {
            if (!step.find(candidate.key)) {
                continue;
            }
            if (action) {
                failStep(number, "it has two actions, " + std::string(action->key) + " and " +
                                     std::string(candidate.key) + "; a step does one thing");
            }
            action = &candidate;
        }
        if (!action) {
            failStep(number, "it has no action: get, update, create or delete");
        }
        result.action = action->action;
        const Value& path = *step.find(action->key);
        result.path = std::string(path.getString(""));
        if (path.kind() != ValueKind::String || !result.path.starts_with("/")) {
            failStep(number, "the path of '" + std::string(action->key) +
                                 "' must be a text beginning with '/', " + described(path));
        }

        const bool takesValue = result.action == StepAction::Update || result.action == StepAction::Create;
        const Value* value = step.find("value");
        if (takesValue && !value) {
            failStep(number, "'" + std::string(action->key) + "' needs a 'value', the resource's new value");
        }
        if (!takesValue && value) {
            failStep(number, "'" + std::string(action->key) + "' takes no 'value'");
        }
        if (value) {
            result.value = *value;
        }
        checkTime(number, result.atMs);
        return result;
    }

    void checkTime(std::size_t number, std::int64_t atMs) {
        if (previousAtMs_ && atMs < *previousAtMs_) {
            failStep(number, "at " + minutesText(atMs) + " comes before the previous step's at " +
                                 minutesText(*previousAtMs_) + "; steps are in time order");
        }
        previousAtMs_ = atMs;
    }

    std::optional<std::int64_t> untilOverride_;
    std::vector<std::size_t> stepLines_;
    std::optional<std::int64_t> previousAtMs_;
    Scenario scenario_;
};

// The YAML reader's "What is wrong. At line: 3 col: 7" as every scenario error names its place:
// "line 3, column 7: What is wrong". Other texts are kept as they are.
std::string placedReaderError(std::string_view text) {
    constexpr std::string_view kAt = ". At line: ";
    constexpr std::string_view kColumn = " col: ";
    const std::size_t at = text.rfind(kAt);
    const std::size_t column = text.rfind(kColumn);
    if (at == std::string_view::npos || column == std::string_view::npos || column < at) {
        return std::string(text);
    }
    const std::string_view line = text.substr(at + kAt.size(), column - at - kAt.size());
    return "line " + std::string(line) + ", column " + std::string(text.substr(column + kColumn.size())) +
           ": " + std::string(text.substr(0, at));
}

// ".JSON" as ".json".
std::string lowerCaseExtension(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool endsWithJson(const std::filesystem::path& file) {
    return lowerCaseExtension(file) == ".json";
}

} // namespace

bool isScenarioFileName(const std::filesystem::path& file) {
    const std::string extension = lowerCaseExtension(file);
    return extension == ".yaml" || extension == ".yml" || extension == ".json";
}

Scenario readScenarioText(std::string_view text, ScenarioFormat format, const std::string& source,
                          std::optional<std::int64_t> untilMs) {
    ScenarioTextScan scan = scanScenarioText(text, format);
    if (scan.problem) {
        throw ScenarioError(source + ": " + *scan.problem);
    }
    ConversionResult parsed = format == ScenarioFormat::Json ? parseJson(text) : parseYaml(text);
    if (!parsed.ok()) {
        throw ScenarioError(source + ": " + placedReaderError(parsed.errorText()));
    }
    return ScenarioReader(source, untilMs, std::move(scan.stepLines)).read(parsed.value());
}

Scenario readScenarioStream(std::istream& in, ScenarioFormat format, const std::string& source,
                            std::optional<std::int64_t> untilMs, std::size_t maxBytes) {
    // Read piece by piece, so that a small scenario costs no more than its size.
    std::string text;
    std::array<char, 64 * 1024> piece;
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
        text.append(piece.data(), static_cast<std::size_t>(in.gcount()));
        if (text.size() > maxBytes) {
            const std::string limit = maxBytes % (1u << 20) == 0 ? std::to_string(maxBytes >> 20) + " MiB"
                                                                 : std::to_string(maxBytes) + " bytes";
            throw ScenarioError(source + ": cannot be read: it is larger than " + limit +
                                ", the most a scenario may hold");
        }
    }
    if (in.bad()) {
        throw ScenarioError(source + ": cannot be read");
    }
    return readScenarioText(text, format, source, untilMs);
}

Scenario readScenarioFile(const std::filesystem::path& file, std::optional<std::int64_t> untilMs) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        throw ScenarioError(file.string() + ": cannot be read: it is a folder");
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ScenarioError(file.string() + ": cannot be read: " + std::strerror(errno));
    }
    return readScenarioStream(in, endsWithJson(file) ? ScenarioFormat::Json : ScenarioFormat::Yaml,
                              file.string(), untilMs);
}

} // namespace kiv::kivhost
