// Writes the seeds of the two boundary targets' corpora: for every scenario in a folder, the
// records the development host would hand the plugin while playing it (the stored resources as
// answers, each step's event or request, the clock moving to each step), as one input of each
// target.
//   boundary_seed_corpus SCENARIO_FOLDER OUTPUT_FOLDER
#include "host_script.h"
#include "kiv/plugin_abi.h"
#include "kivhost/core/json_text.h"
#include "kivhost/scenario/scenario.h"
#include "target_steps.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>

namespace kiv::fuzzing {
namespace {

using kivhost::Scenario;
using kivhost::ScenarioStep;
using kivhost::StepAction;

AnswerPlan storedAnswer(const std::string& path, const Value& value) {
    AnswerPlan answer;
    answer.path = path;
    answer.json = kivhost::toJson(value);
    return answer;
}

const char* eventTypeOf(StepAction action) {
    switch (action) {
    case StepAction::Create:
        return "Create";
    case StepAction::Delete:
        return "Delete";
    default:
        return "Update";
    }
}

// Writes the steps of a scenario through `step`, which writes a step's kind (and, for the
// sequence target, its thread) before the description that follows.
template <class WriteStepKind>
void writeSteps(FuzzScript& script, const Scenario& scenario, WriteStepKind kind) {
    std::int64_t nowMs = 0;
    const auto advanceTo = [&](std::int64_t ms) {
        while (nowMs < ms) {
            const auto stride = static_cast<std::uint32_t>(
                std::min<std::int64_t>(ms - nowMs, std::numeric_limits<std::uint32_t>::max()));
            kind(RecordStep::Advance);
            script.integer(stride);
            nowMs += stride;
        }
    };
    for (const ScenarioStep& step : scenario.steps) {
        advanceTo(step.atMs);
        if (step.action == StepAction::Get) {
            RequestPlan request;
            request.method = KIV_HTTP_METHOD_GET;
            request.path = step.path;
            kind(RecordStep::Request);
            writeRequest(script, request);
            continue;
        }
        AnswerPlan answer = storedAnswer(step.path, step.value);
        if (step.action == StepAction::Delete) {
            answer.kind = AnswerKind::Error;
            answer.status = 404;
            answer.error = "Not found";
        }
        kind(RecordStep::Answer);
        writeAnswer(script, answer);
        EventPlan event;
        event.path = step.path;
        event.payload.kind = PayloadKind::ResourceEvent;
        event.payload.uri = step.path;
        event.payload.eventType = eventTypeOf(step.action);
        event.payload.json = kivhost::toJson(step.value);
        kind(RecordStep::Event);
        writeEvent(script, event);
    }
    advanceTo(scenario.untilMs.value_or(kivhost::kDefaultPlayMinutes * 60'000));
}

StartPlan startOf(const Scenario& scenario) {
    StartPlan start;
    for (const auto& [path, value] : scenario.resources) {
        start.answers.push_back(storedAnswer(path, value));
    }
    return start;
}

void save(const std::filesystem::path& file, const FuzzScript& script) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << script.bytes();
}

} // namespace
} // namespace kiv::fuzzing

int main(int argc, char** argv) {
    using namespace kiv::fuzzing;
    if (argc != 3) {
        std::fprintf(stderr, "usage: boundary_seed_corpus SCENARIO_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path output(argv[2]);
    std::size_t written = 0;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
        const std::string extension = entry.path().extension().string();
        if (!entry.is_regular_file() || (extension != ".yaml" && extension != ".json")) {
            continue;
        }
        try {
            const kiv::kivhost::Scenario scenario = kiv::kivhost::readScenarioFile(entry.path());
            const std::string name = entry.path().stem().string() + ".bin";

            FuzzScript records;
            writeStart(records, startOf(scenario));
            writeSteps(records, scenario,
                       [&](RecordStep step) { records.byte(static_cast<std::uint8_t>(step)); });
            save(output / "records" / name, records);

            // The same steps on the first host thread; on the second, an unload, a load and a
            // request to the new plugin.
            FuzzScript sequence;
            writeStart(sequence, startOf(scenario));
            writeSteps(sequence, scenario, [&](RecordStep step) {
                sequence.byte(0);
                sequence.byte(static_cast<std::uint8_t>(step));
                if (step == RecordStep::Request) {
                    sequence.byte(0); // the first plugin's function records
                }
            });
            for (const SequenceStep step :
                 {SequenceStep::Unload, SequenceStep::Load, SequenceStep::Request}) {
                sequence.byte(1);
                sequence.byte(static_cast<std::uint8_t>(step));
            }
            RequestPlan status;
            status.method = KIV_HTTP_METHOD_GET;
            status.path = "/kiv-kr-shutdown-law/v1/status";
            sequence.byte(1); // the second plugin's function records
            writeRequest(sequence, status);
            // On the third, 300 answers held at once, then an object loaded beside without the
            // host's clock.
            sequence.byte(2);
            sequence.byte(static_cast<std::uint8_t>(SequenceStep::Hold));
            sequence.byte(0);
            sequence.byte(1); // released in the reverse order
            sequence.integer(std::uint16_t{299});
            writeRequest(sequence, status);
            sequence.byte(2);
            sequence.byte(static_cast<std::uint8_t>(SequenceStep::LoadBeside));
            sequence.byte(0);
            save(output / "sequences" / name, sequence);
            ++written;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "boundary_seed_corpus: %s\n", error.what());
            return 1;
        }
    }
    std::printf("boundary_seed_corpus: %zu scenarios\n", written);
    return written > 0 ? 0 : 1;
}
