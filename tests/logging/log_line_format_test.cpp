#include "logging/log_line_format.h"
#include "logging/module_name.h"
#include "platform/thread_id.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

namespace kiv {
namespace {

LogRecord sampleRecord(const char* text = "hello") {
    LogRecord record;
    record.time = {2024, 3, 5, 7, 8, 9, 10};
    record.level = LogLevel::Warn;
    record.groupsLow = 2; // GEN
    record.text = text;
    return record;
}

std::string formatLine(const char* lineTemplate, const LogRecord& record, std::size_t size = kLogBufferSize) {
    std::string out(size, '\x7f');
    const std::size_t length = FormatLogLine(out.data(), size, lineTemplate, record);
    EXPECT_EQ(std::strlen(out.c_str()), length) << "the result is terminated right after its length";
    out.resize(length);
    return out;
}

std::string threadIdText() {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(platform::currentThreadId()));
    return text;
}

// Expected lines name the module as "<E>" and the thread as "<T>".
struct TemplateCase {
    const char* lineTemplate;
    const char* expected;
};

std::string expectedLine(std::string expected) {
    const std::pair<std::string, std::string> names[] = {{"<E>", moduleName()}, {"<T>", threadIdText()}};
    for (const auto& [token, name] : names) {
        if (const auto at = expected.find(token); at != std::string::npos) {
            expected.replace(at, token.size(), name);
        }
    }
    return expected;
}

class LineTemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(LineTemplateTest, ReplacesCodes) {
    captureModuleName();
    EXPECT_EQ(formatLine(GetParam().lineTemplate, sampleRecord()), expectedLine(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LineTemplateTest,
    ::testing::Values(TemplateCase{"#D| #L| #G| #M", "2024-03-05T07:08:09.010|   WARN| GEN| hello\n"},
                      TemplateCase{"#M", "hello\n"}, TemplateCase{"##", "#\n"}, TemplateCase{"#x#Q", "xQ\n"},
                      TemplateCase{"a#", "a\n"}, TemplateCase{"", "\n"}, TemplateCase{nullptr, "\n"},
                      TemplateCase{"#E(#T): #L| #M", "<E>(<T>):   WARN| hello\n"}));

TEST(FormatLogLine, ModuleNameIsTheExecutablesFileName) {
    captureModuleName();
    EXPECT_STREQ(moduleName(), KIV_TEST_EXECUTABLE_NAME);
}

TEST(FormatLogLine, ElapsedTimeHasSixDigitSecondsAndMilliseconds) {
    EXPECT_TRUE(std::regex_match(formatLine("#H", sampleRecord()), std::regex("[0-9]{6}\\.[0-9]{3}\n")));
}

TEST(FormatLogLine, GroupTextOfTheRecordMask) {
    LogRecord record = sampleRecord();
    record.groupsLow = 5;
    EXPECT_EQ(formatLine("#G", record), "DBG;XTR\n");
    record.groupsLow = 0;
    EXPECT_EQ(formatLine("[#G]", record), "[]\n");
}

TEST(FormatLogLine, LevelLabelsAreSixCharacters) {
    LogRecord record = sampleRecord();
    const std::pair<LogLevel, const char*> labels[] = {{LogLevel::Okay, "  OKAY"},
                                                       {LogLevel::Warn, "  WARN"},
                                                       {LogLevel::Error, " ERROR"},
                                                       {LogLevel::Always, "ALWAYS"},
                                                       {static_cast<LogLevel>(-1), "??????"},
                                                       {static_cast<LogLevel>(4), "??????"}};
    for (const auto& [level, label] : labels) {
        record.level = level;
        EXPECT_EQ(formatLine("#L", record), std::string(label) + "\n");
    }
}

TEST(FormatLogLine, TextEndingInALineBreakGetsNoSecond) {
    EXPECT_EQ(formatLine("#M", sampleRecord("done\n")), "done\n");
    EXPECT_EQ(formatLine("#M", sampleRecord("two\n\n")), "two\n\n");
    EXPECT_EQ(formatLine("#M", sampleRecord("")), "\n");
}

TEST(FormatLogLine, LongTextIsCutAndStillEndsWithOneLineBreak) {
    const std::string text(5000, 'x');
    const std::string line = formatLine("#M", sampleRecord(text.c_str()));
    ASSERT_EQ(line.size(), kLogTextLimit);
    EXPECT_EQ(line, std::string(kLogTextLimit - 1, 'x') + "\n");
}

TEST(FormatLogLine, ExpansionsAreCutAtTheEndOfSmallBuffers) {
    const struct {
        std::size_t size;
        std::string expected;
    } cases[] = {{1, ""}, {2, "\n"}, {3, "2\n"}, {6, "2024\n"}, {12, "2024-03-05\n"}};
    for (const auto& c : cases) {
        EXPECT_EQ(formatLine("#D| #M", sampleRecord(), c.size), c.expected) << "size " << c.size;
    }
}

TEST(FormatLogLine, NothingIsWrittenWithoutRoom) {
    char out[1] = {'z'};
    EXPECT_EQ(FormatLogLine(out, 0, "#M", sampleRecord()), 0u);
    EXPECT_EQ(out[0], 'z');
    EXPECT_EQ(FormatLogLine(nullptr, 10, "#M", sampleRecord()), 0u);
}

TEST(TimeTexts, DisplayAndFileNameForms) {
    const platform::LocalTime time{2023, 12, 31, 23, 59, 58, 7};
    char text[kTimeTextSize];
    formatDisplayTime(text, sizeof text, time);
    EXPECT_STREQ(text, "2023-12-31T23:59:58.007");
    formatFileNameTime(text, sizeof text, time);
    EXPECT_STREQ(text, "2023-12-31T23-59-58");
    formatFileNameTime(text, 8, time);
    EXPECT_STREQ(text, "2023-12");
}

// The display time is written without printf; it must read exactly as printf's form, also for
// fields out of their usual ranges and in buffers too small for it.
TEST(TimeTexts, DisplayTimeReadsAsPrintfWritesIt) {
    const platform::LocalTime times[] = {{0, 0, 0, 0, 0, 0, 0},           {1, 2, 3, 4, 5, 6, 7},
                                         {9999, 99, 99, 99, 99, 99, 999}, {10000, 1, 1, 0, 0, 0, 0},
                                         {2024, 100, 1, 0, 0, 0, 0},      {2024, 1, 1, 0, 0, 0, 1000},
                                         {-1, 1, 1, 0, 0, 0, 0},          {2024, 1, -5, 0, 0, 0, -7}};
    for (const platform::LocalTime& time : times) {
        for (const std::size_t size : {std::size_t{1}, std::size_t{5}, std::size_t{12}, kTimeTextSize}) {
            char expected[64];
            std::snprintf(expected, size, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month,
                          time.day, time.hour, time.minute, time.second, time.millisecond);
            char text[64];
            formatDisplayTime(text, size, time);
            EXPECT_STREQ(text, expected) << "year " << time.year << ", size " << size;
        }
    }
}

} // namespace
} // namespace kiv
