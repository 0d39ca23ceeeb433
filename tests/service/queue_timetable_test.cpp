// Timetable reading: member names against the C library's decimal reading, and lead times of
// odd documents.
#include "service/queue_timetable.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace kiv::test {
namespace {

// What strtoll in base 10 makes of the name, narrowed to the names that give a queue id.
std::optional<std::int32_t> referenceQueueId(const std::string& name) {
    const char* begin = name.c_str();
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(begin, &end, 10);
    if (end == begin || errno == ERANGE || value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    // strtoll stops at a NUL inside the name, and so must the reading: a NUL is not a digit.
    return static_cast<std::int32_t>(value);
}

TEST(TimetableQueueIdTest, AgreesWithDecimalStrtollOnGeneratedNames) {
    static constexpr char kAlphabet[] = " \t\n\v\f\r+-0123456789x.\0";
    std::mt19937 random(20240611);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kAlphabet) - 1);
    std::uniform_int_distribution<std::size_t> length(0, 14);
    for (int i = 0; i < 200000; ++i) {
        std::string name(length(random), ' ');
        for (char& c : name) {
            c = kAlphabet[pick(random)];
        }
        ASSERT_EQ(readTimetableQueueId(name), referenceQueueId(name)) << '"' << name << '"';
    }
}

TEST(TimetableQueueIdTest, ReadsTheEdgesOfTheRange) {
    const struct {
        const char* name;
        std::optional<std::int32_t> id;
    } cases[] = {
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"+000000000000000000000000000012", 12},
        {"99999999999999999999999999999999", std::nullopt},
        {"-2", -2},
        {"12x", 12},
        {" \t-0", 0},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {"x12", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readTimetableQueueId(c.name), c.id) << c.name;
    }
}

QueueLeadTimes leadTimesOf(const char* json) {
    ConversionResult parsed = parseJson(json);
    EXPECT_TRUE(parsed.ok()) << json;
    return readQueueLeadTimes(parsed.value());
}

TEST(QueueLeadTimesTest, KeepsPositiveLeadsOfNamedQueues) {
    EXPECT_EQ(leadTimesOf(R"({"450": 120, "420": 0, "-2": 30, "7": -5, "8": null, "9": "abc", "10": [3],
                              "11": "15", "12": 1.9, "13": true, "x": 40, "": 50,
                              "2147483648": 60, "14": 9223372036854775808})"),
              (QueueLeadTimes{{-2, 30}, {11, 15}, {12, 1}, {13, 1}, {450, 120}}));
}

TEST(QueueLeadTimesTest, LaterNamesOfTheSameQueueReplaceEarlierOnesUnlessNotPositive) {
    // Key order is byte order: " 12" < "+12" < "012" < "12" < "12x" < "12y".
    EXPECT_EQ(leadTimesOf(R"({" 12": 10, "+12": 20, "012": 30, "12": 40, "12x": 0, "12y": -1})"),
              (QueueLeadTimes{{12, 40}}));
    EXPECT_EQ(leadTimesOf(R"({" 12": 10, "+12": 20, "012": 30, "12": 40, "12x": 55})"),
              (QueueLeadTimes{{12, 55}}));
    // Names of other queues between them: "012" < "09" < "11" < "12" < "9".
    EXPECT_EQ(leadTimesOf(R"({"012": 30, "09": 2, "11": 5, "12": 40, "9": 1})"),
              (QueueLeadTimes{{9, 1}, {11, 5}, {12, 40}}));
}

TEST(QueueLeadTimesTest, AnythingButAnObjectGivesNoLeads) {
    for (const char* json : {"[]", "[{\"450\": 1}]", "5", "\"450\"", "null", "{}"}) {
        EXPECT_TRUE(leadTimesOf(json).empty()) << json;
    }
}

TEST(QueueLeadTimesTest, UnnamedQueuesTakeTheDefault) {
    const QueueLeadTimes leads{{450, 120}};
    EXPECT_EQ(leadMinutesOf(leads, 450), 120);
    EXPECT_EQ(leadMinutesOf(leads, 420), kDefaultLeadMinutes);
    EXPECT_EQ(leadMinutesOf(leads, kCustomQueueId), kDefaultLeadMinutes);
}

} // namespace
} // namespace kiv::test
