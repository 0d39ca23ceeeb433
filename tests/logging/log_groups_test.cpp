#include "logging/log_groups.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace kiv {
namespace {

std::string groupText(std::uint64_t mask, std::size_t size = kLogGroupTextSize) {
    std::string out(size, '\x7f');
    formatLogGroups(out.data(), size, mask);
    return out.c_str();
}

TEST(RegisterLogGroup, BuiltInCodesKeepTheirBits) {
    const std::pair<const char*, std::uint64_t> builtIn[] = {
        {"DBG", 1}, {"GEN", 2}, {"XTR", 4}, {"PRF", 8}, {"MEM", 16}, {"DSK", 32}, {"NET", 64}, {"TST", 128}};
    for (const auto& [code, mask] : builtIn) {
        EXPECT_EQ(RegisterLogGroup(code), mask) << code;
    }
}

TEST(RegisterLogGroup, NewCodeGetsOneNewBitAndKeepsIt) {
    const std::uint64_t first = RegisterLogGroup("ABC");
    ASSERT_NE(first, 0u);
    EXPECT_EQ(first & (first - 1), 0u) << "a single bit";
    EXPECT_GT(first, 128u) << "after the built-in groups";
    EXPECT_EQ(RegisterLogGroup("ABC"), first);
    EXPECT_EQ(RegisterLogGroup("ABCDEF"), first) << "only the first three characters count";
    EXPECT_EQ(groupText(first), "ABC");
}

TEST(RegisterLogGroup, ShortCodesAreTheirOwnGroup) {
    const std::uint64_t shortCode = RegisterLogGroup("Q");
    ASSERT_NE(shortCode, 0u);
    EXPECT_NE(RegisterLogGroup("QQ"), shortCode);
    EXPECT_EQ(groupText(shortCode), "Q");
}

TEST(RegisterLogGroup, NoCodeGivesNoGroup) {
    EXPECT_EQ(RegisterLogGroup(nullptr), 0u);
    EXPECT_EQ(RegisterLogGroup(""), 0u);
}

TEST(RegisterLogGroup, LibraryGroupIsLoc) {
    const std::uint64_t mask = registerLibraryLogGroup();
    EXPECT_EQ(libraryLogGroup(), mask);
    EXPECT_EQ(RegisterLogGroup("LOC"), mask);
    EXPECT_EQ(groupText(mask), "LOC");
}

// Runs in a child process: filling the table would change what other tests can register.
TEST(RegisterLogGroupDeathTest, FullTableHandsOutNoGroupAndKeepsItsEntries) {
    EXPECT_EXIT(
        {
            int registered = 0;
            char code[4] = "#00";
            for (int i = 0; i < 80; ++i) {
                code[1] = static_cast<char>('A' + i / 26);
                code[2] = static_cast<char>('a' + i % 26);
                if (RegisterLogGroup(code) != 0) {
                    ++registered;
                }
            }
            const bool ok = registered <= 56 && RegisterLogGroup("ZZZ") == 0 &&
                            RegisterLogGroup("GEN") == 2 && RegisterLogGroup("#Aa") != 0 &&
                            groupText(std::uint64_t{1} << 63) != "???";
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

// Threads register the same new codes in the same order into a fresh table, round after round, so
// that they keep meeting on one code: each code must end up with one bit, whichever thread got
// there first, and every code with its own bit and its own text.
TEST(LogGroupTable, ConcurrentRegistrationsAgreeOnEachCodesBit) {
    constexpr std::size_t kThreads = 4;
    constexpr std::size_t kRounds = 200;
    constexpr std::size_t kCodes = kLogGroupCount - kBuiltInLogGroupCount;
    std::vector<std::string> codes;
    for (std::size_t i = 0; i < kCodes; ++i) {
        codes.push_back({'N', static_cast<char>('A' + i / 26), static_cast<char>('a' + i % 26)});
    }

    for (std::size_t round = 0; round < kRounds; ++round) {
        LogGroupTable table;
        std::vector<std::vector<std::uint64_t>> bits(kThreads, std::vector<std::uint64_t>(kCodes));
        std::atomic<std::size_t> waiting{kThreads};
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                waiting.fetch_sub(1);
                while (waiting.load() != 0) {
                    std::this_thread::yield();
                }
                for (std::size_t i = 0; i < kCodes; ++i) {
                    bits[t][i] = table.registerCode(codes[i].c_str());
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }

        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < kCodes; ++i) {
            const std::uint64_t bit = bits[0][i];
            for (std::size_t t = 1; t < kThreads; ++t) {
                ASSERT_EQ(bits[t][i], bit) << "round " << round << ", code " << codes[i] << ", thread " << t;
            }
            ASSERT_TRUE(bit != 0 && (bit & (bit - 1)) == 0 && (bit & seen) == 0) << codes[i];
            seen |= bit;
            char text[kLogGroupTextSize];
            table.format(text, sizeof text, bit);
            ASSERT_STREQ(text, codes[i].c_str());
        }
    }
}

TEST(FormatLogGroups, JoinsCodesFromBitZeroUp) {
    EXPECT_EQ(groupText(5), "DBG;XTR");
    EXPECT_EQ(groupText(0), "");
    EXPECT_EQ(groupText(0x82), "GEN;TST");
    EXPECT_EQ(groupText(std::uint64_t{1} << 62), "???") << "entries never registered";
}

TEST(FormatLogGroups, CutsToTheBuffer) {
    EXPECT_EQ(groupText(7, 6), "DBG;G");
    EXPECT_EQ(groupText(7, 1), "");
    const std::string all = groupText(~std::uint64_t{0});
    EXPECT_LT(all.size(), kLogGroupTextSize);
    EXPECT_EQ(all.substr(0, 32), "DBG;GEN;XTR;PRF;MEM;DSK;NET;TST;");
}

} // namespace
} // namespace kiv
