// Host calls in the order and on the threads the input chooses: events, timers (also twice, late,
// or after the plugin is gone), requests on function records kept past unload, slow and streamed
// answers, unload and loading again, spread over three host threads. The fuzzer does not control
// the threads' timing, so each input runs three times with small pauses between the steps. The
// pauses come from a seed that is the input's FNV-1a hash plus the run's number, so the input of
// a finding replays the same pauses (KIV_FUZZ_SEED, when set, replaces the hash).
#include "kivhost/core/plugin_clock.h"
#include "plugin_under_test.h"
#include "record_checks.h"
#include "target_steps.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

namespace kiv::fuzzing {
namespace {

constexpr int kRuns = 3;
constexpr int kMostPauseMicroseconds = 40;

struct Step {
    SequenceStep kind = SequenceStep::Load;
    EventPlan event;
    RequestPlan request;
    AnswerPlan answer;
    std::uint32_t ms = 0;
    std::uint8_t pick = 0;
    std::uint8_t flags = 0;
};

struct Sequence {
    StartPlan start;
    std::vector<Step> threads[kSequenceThreads];
};

Sequence readSequence(FuzzInput& input) {
    Sequence sequence;
    sequence.start = readStart(input);
    for (std::size_t count = 0; count < kMostSequenceSteps && !input.empty(); ++count) {
        std::vector<Step>& thread = sequence.threads[input.pick(kSequenceThreads)];
        Step& step = thread.emplace_back();
        step.kind = static_cast<SequenceStep>(input.pick(static_cast<std::size_t>(SequenceStep::Count)));
        switch (step.kind) {
        case SequenceStep::Event:
            step.event = readEvent(input);
            break;
        case SequenceStep::Request:
            step.pick = input.byte();
            step.request = readRequest(input);
            break;
        case SequenceStep::Advance:
            step.ms = input.integer<std::uint32_t>();
            break;
        case SequenceStep::FireTimer:
            step.pick = input.byte();
            step.flags = input.byte();
            step.ms = input.integer<std::uint32_t>();
            break;
        case SequenceStep::Answer:
            step.answer = readAnswer(input);
            break;
        case SequenceStep::Hold:
            step.pick = input.byte();
            step.flags = input.byte();
            step.ms = input.integer<std::uint16_t>() % kMostHeldAnswers + 1; // the count
            step.request = readRequest(input);
            break;
        case SequenceStep::LoadBeside:
            step.flags = input.byte();
            break;
        case SequenceStep::Unload:
        case SequenceStep::Load:
        case SequenceStep::Count:
            break;
        }
    }
    return sequence;
}

// The plugins of one run: the one loaded now, if any, and the function records of every plugin
// loaded so far, which the host keeps and may still call after their plugin is gone.
class Plugins {
  public:
    Plugins(FuzzingHost& host, const LoadPlan& load) : host_(host), load_(load) { loadOne(); }

    // Loads and initialises a plugin when none is loaded; loads do not overlap, as a host's do not.
    void loadOne() {
        std::lock_guard loading(loadMutex_);
        {
            std::lock_guard lock(mutex_);
            if (current_ != nullptr) {
                return;
            }
        }
        auto plugin = std::make_shared<PluginUnderTest>(load_);
        if (load_.initialized()) {
            plugin->initialize(host_);
        }
        std::lock_guard lock(mutex_);
        kept_.push_back(plugin->functions());
        current_ = std::move(plugin);
    }

    // Loads a second plugin object while the current one stays, when there is none beside it;
    // without `withClock` the loading thread reads no host clock.
    void loadBeside(bool withClock) {
        std::lock_guard loading(loadMutex_);
        {
            std::lock_guard lock(mutex_);
            if (beside_ != nullptr) {
                return;
            }
        }
        if (!withClock) {
            kivhost::bindPluginClockToThisThread(nullptr);
        }
        auto plugin = std::make_shared<PluginUnderTest>(load_);
        kivhost::bindPluginClockToThisThread(&host_.clock());
        if (load_.initialized()) {
            plugin->initialize(host_);
        }
        std::lock_guard lock(mutex_);
        kept_.push_back(plugin->functions());
        beside_ = std::move(plugin);
    }

    // Unloads the current object and the one beside it.
    void unloadCurrent() {
        std::shared_ptr<PluginUnderTest> plugins[2];
        {
            std::lock_guard lock(mutex_);
            plugins[0].swap(current_);
            plugins[1].swap(beside_);
        }
        for (const std::shared_ptr<PluginUnderTest>& plugin : plugins) {
            if (plugin != nullptr) {
                plugin->unload();
            }
        }
    }

    std::vector<KeptFunction> keptFunctions(std::uint8_t pick) const {
        std::lock_guard lock(mutex_);
        return kept_[pick % kept_.size()];
    }

  private:
    FuzzingHost& host_;
    const LoadPlan load_;
    std::mutex loadMutex_;
    mutable std::mutex mutex_;
    std::shared_ptr<PluginUnderTest> current_;
    std::shared_ptr<PluginUnderTest> beside_;
    std::vector<std::vector<KeptFunction>> kept_;
};

void runStep(const Step& step, FuzzingHost& host, Plugins& plugins) {
    switch (step.kind) {
    case SequenceStep::Event:
        deliverEvent(host, step.event);
        break;
    case SequenceStep::Request:
        dispatchRequest(plugins.keptFunctions(step.pick), step.request);
        break;
    case SequenceStep::Advance:
        for (const Timer& timer : host.advanceTo(host.clock().nowMs() + step.ms)) {
            fire(timer);
        }
        break;
    case SequenceStep::FireTimer:
        if ((step.flags & 2) != 0) {
            host.clock().advanceTo(host.clock().nowMs() + step.ms); // late: the moment has passed
        }
        if (const std::optional<Timer> timer = host.pickTimer(step.pick, (step.flags & 1) != 0)) {
            fire(*timer);
            if ((step.flags & 1) != 0) {
                fire(*timer); // the host fires the timer twice
            }
        }
        break;
    case SequenceStep::Answer:
        host.setAnswer(step.answer);
        break;
    case SequenceStep::Hold: {
        const std::vector<KeptFunction> functions = plugins.keptFunctions(step.pick);
        std::vector<HostResponse> held;
        held.reserve(step.ms);
        for (std::uint32_t i = 0; i < step.ms; ++i) {
            held.push_back(dispatchHeld(functions, step.request));
        }
        if ((step.flags & 1) != 0) {
            std::reverse(held.begin(), held.end());
        }
        for (HostResponse& response : held) {
            readAndReleaseResponse(response);
        }
        break;
    }
    case SequenceStep::LoadBeside:
        plugins.loadBeside((step.flags & 1) != 0);
        break;
    case SequenceStep::Unload:
        plugins.unloadCurrent();
        break;
    case SequenceStep::Load:
    case SequenceStep::Count:
        plugins.loadOne();
        break;
    }
}

std::uint64_t seedOf(const std::uint8_t* data, std::size_t size) {
    if (const char* given = std::getenv("KIV_FUZZ_SEED")) {
        return std::strtoull(given, nullptr, 10);
    }
    std::uint32_t hash = 0x811C9DC5u;
    for (std::size_t i = 0; i < size; ++i) {
        hash = (hash ^ data[i]) * 16777619u;
    }
    return hash;
}

void runOnce(const Sequence& sequence, std::uint64_t seed) {
    FuzzingHost host;
    kivhost::bindPluginClockToThisThread(&host.clock());
    for (const AnswerPlan& answer : sequence.start.answers) {
        host.setAnswer(answer);
    }
    {
        Plugins plugins(host, sequence.start.load);
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < kSequenceThreads; ++t) {
            threads.emplace_back([&, t] {
                kivhost::bindPluginClockToThisThread(&host.clock());
                std::minstd_rand pauses(static_cast<std::uint32_t>(seed * kSequenceThreads + t));
                for (const Step& step : sequence.threads[t]) {
                    std::this_thread::sleep_for(std::chrono::microseconds(pauses() % kMostPauseMicroseconds));
                    runStep(step, host, plugins);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        plugins.unloadCurrent();
    }
    kivhost::bindPluginClockToThisThread(nullptr);
    host.requireSettled();
    requireBalancedMemory();
}

} // namespace
} // namespace kiv::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kiv::fuzzing;
    FuzzInput input(data, size);
    const Sequence sequence = readSequence(input);
    const std::uint64_t seed = seedOf(data, size);
    for (int run = 0; run < kRuns; ++run) {
        runOnce(sequence, seed + static_cast<std::uint64_t>(run));
    }
    return 0;
}
