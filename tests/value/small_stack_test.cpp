#include "value/small_stack.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace kiv {
namespace {

// Random pushes and pops across the move from the inline room to the heap and back down, held
// against a vector. The entries own heap memory, so that a lost, doubled or unmoved entry shows
// as a wrong text here and as a leak or double free under the sanitizers.
TEST(SmallStackTest, AgreesWithAVectorAcrossTheInlineRoom) {
    std::mt19937 random(7);
    SmallStack<std::unique_ptr<std::string>, 4> stack;
    std::vector<std::string> model;
    for (int step = 0; step < 20000; ++step) {
        // Phases that mostly push, then mostly pop, so that the depth crosses the inline room often.
        const bool pushing = (step / 500) % 2 == 0 ? random() % 4 != 0 : random() % 4 == 0;
        if (pushing || model.empty()) {
            std::string text = "entry " + std::to_string(step) + std::string(random() % 40, 'x');
            stack.push(std::make_unique<std::string>(text));
            model.push_back(text);
        } else {
            ASSERT_EQ(*stack.pop(), model.back()) << "step " << step;
            model.pop_back();
        }
        ASSERT_EQ(stack.size(), model.size());
        if (!model.empty()) {
            ASSERT_EQ(*stack.back(), model.back());
        }
    }
    std::vector<std::string> remaining;
    for (const auto& entry : stack) {
        remaining.push_back(*entry);
    }
    EXPECT_EQ(remaining, model);
}

} // namespace
} // namespace kiv
