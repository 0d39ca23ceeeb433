// The timer queue against a plain model (every timer in a vector, searched each time): the same
// timers come due in the same order, dropped plugins' timers never come, and the history names
// every timer as it was scheduled, across many timers held at once. Job names are kept as a stem
// and a number: every name reads back as it was given.
#include "kivhost/core/timer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace kiv::timer_queue_test {
namespace {

using kivhost::JobNameTable;
using kivhost::TimerQueue;

TEST(JobNameTable, EveryNameReadsBackAsGiven) {
    const std::vector<std::string> names = {"kiv-kr-shutdown-law.disable-queue.450",
                                            "kiv-kr-shutdown-law.disable-queue.-2",
                                            "kiv-kr-shutdown-law.disable-queue.450",
                                            "kiv-kr-shutdown-law.cut-off",
                                            "",
                                            "7",
                                            "-",
                                            "-7",
                                            "x0",
                                            "x007",
                                            "x-0",
                                            "x--5",
                                            "x2147483647",
                                            "x2147483648",
                                            "x-2147483648",
                                            "x-2147483649",
                                            "x99999999999999999999",
                                            std::string("with\0nul.5", 10)};
    JobNameTable table;
    std::vector<kivhost::JobName> interned;
    for (const std::string& name : names) {
        interned.push_back(table.intern(name));
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(table.text(interned[i]), names[i]);
    }
}

struct ModelTimer {
    std::int64_t dueMs;
    std::size_t order;
    kivhost::PluginId plugin;
    std::string name;
    bool pending = true;
};

TEST(TimerQueue, AgreesWithAModelOverManyTimers) {
    std::mt19937 random(7);
    TimerQueue queue;
    std::vector<ModelTimer> model;
    std::int64_t now = 0;
    for (int step = 0; step < 20'000; ++step) {
        const unsigned choice = random() % 100;
        if (choice < 60) {
            const kivhost::PluginId plugin = random() % 4;
            const std::int64_t due = now + static_cast<std::int64_t>(random() % 50'000);
            std::string name = "job." + std::to_string(static_cast<int>(random() % 2000) - 1000);
            queue.schedule(plugin, name, nullptr, nullptr, due);
            model.push_back({due, model.size(), plugin, name});
        } else if (choice < 99) {
            now += random() % 1000;
            while (const auto timer = queue.takeDue(now)) {
                auto first = std::min_element(model.begin(), model.end(), [](const auto& a, const auto& b) {
                    return std::tie(b.pending, a.dueMs, a.order) < std::tie(a.pending, b.dueMs, b.order);
                });
                ASSERT_TRUE(first->pending && first->dueMs <= now);
                EXPECT_EQ(timer->historyIndex, first->order);
                EXPECT_EQ(timer->name, first->name);
                first->pending = false;
            }
        } else {
            const kivhost::PluginId plugin = random() % 4;
            const auto dropped = std::count_if(model.begin(), model.end(), [&](ModelTimer& timer) {
                const bool drop = timer.pending && timer.plugin == plugin;
                timer.pending = timer.pending && !drop;
                return drop;
            });
            EXPECT_EQ(queue.dropPlugin(plugin), static_cast<std::size_t>(dropped));
        }
        ASSERT_EQ(queue.pending(),
                  static_cast<std::size_t>(std::count_if(model.begin(), model.end(),
                                                         [](const auto& timer) { return timer.pending; })));
    }
    const std::vector<kivhost::TimerRecord> history = queue.history();
    ASSERT_EQ(history.size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(history[i].name, model[i].name);
        EXPECT_EQ(history[i].dueMs, model[i].dueMs);
        EXPECT_EQ(queue.replay(i).name, model[i].name);
    }
    // The pending list, as serve's state shows it: in the order the timers will run.
    std::vector<ModelTimer> pending;
    std::copy_if(model.begin(), model.end(), std::back_inserter(pending),
                 [](const auto& timer) { return timer.pending; });
    std::stable_sort(pending.begin(), pending.end(),
                     [](const auto& a, const auto& b) { return a.dueMs < b.dueMs; });
    const std::vector<kivhost::PendingTimer> listed = queue.pendingInDueOrder();
    ASSERT_EQ(listed.size(), pending.size());
    for (std::size_t i = 0; i < pending.size(); ++i) {
        EXPECT_EQ(listed[i].scheduled, pending[i].order);
        EXPECT_EQ(listed[i].name, pending[i].name);
        EXPECT_EQ(listed[i].dueMs, pending[i].dueMs);
    }
}

} // namespace
} // namespace kiv::timer_queue_test
