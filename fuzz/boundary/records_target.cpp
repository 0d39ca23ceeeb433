// Hostile records from the host. One plugin is loaded with the load record the input chooses and
// initialised; then the input's events, requests, timers and answers reach it through its
// callbacks, its function records' dispatch entries and its requests to the host. Nothing the
// plugin hands back may be malformed, and once it is unloaded every block it allocated is freed.
#include "kivhost/core/plugin_clock.h"
#include "plugin_under_test.h"
#include "target_steps.h"

namespace kiv::fuzzing {
namespace {

void runStep(FuzzInput& input, FuzzingHost& host, const PluginUnderTest& plugin) {
    switch (static_cast<RecordStep>(input.pick(static_cast<std::size_t>(RecordStep::Count)))) {
    case RecordStep::Event:
        deliverEvent(host, readEvent(input));
        break;
    case RecordStep::Request:
        dispatchRequest(plugin.functions(), readRequest(input));
        break;
    case RecordStep::Advance:
        for (const Timer& timer : host.advanceTo(host.clock().nowMs() + input.integer<std::uint32_t>())) {
            fire(timer);
        }
        break;
    case RecordStep::FireTimer:
        if (const std::optional<Timer> timer = host.pickTimer(input.byte(), false)) {
            fire(*timer);
        }
        break;
    case RecordStep::Answer:
    case RecordStep::Count:
        host.setAnswer(readAnswer(input));
        break;
    }
}

} // namespace
} // namespace kiv::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kiv::fuzzing;
    FuzzInput input(data, size);
    FuzzingHost host;
    kiv::kivhost::bindPluginClockToThisThread(&host.clock());
    {
        const StartPlan start = readStart(input);
        for (const AnswerPlan& answer : start.answers) {
            host.setAnswer(answer);
        }
        PluginUnderTest plugin(start.load);
        if (start.load.initialized()) {
            plugin.initialize(host);
        }
        for (std::size_t step = 0; step < kMostRecordSteps && !input.empty(); ++step) {
            runStep(input, host, plugin);
        }
    }
    kiv::kivhost::bindPluginClockToThisThread(nullptr);
    host.requireSettled();
    requireBalancedMemory();
    return 0;
}
