#include "value/conversion_result.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace kiv {
namespace {

TEST(ConversionResultTest, FreshResultIsOkAndEmpty) {
    ConversionResult result;
    EXPECT_TRUE(result.ok());
    EXPECT_TRUE(result.value().isEmpty());
    EXPECT_EQ(result.errorText(), "");
}

TEST(ConversionResultTest, ErrorReplacesTheValueWithTheMessage) {
    ConversionResult result;
    result.value().member("partial").setSigned(1);
    result.setError("it failed");
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.value().size(), 1u);
    EXPECT_EQ(result.value()["error"].getString(""), "it failed");
    EXPECT_EQ(result.errorText(), "it failed");
}

TEST(ConversionResultTest, ErrorFromItsOwnText) {
    ConversionResult result;
    result.setError("first");
    result.setError(result.errorText());
    EXPECT_EQ(result.errorText(), "first");
}

TEST(ConversionResultTest, GuardTurnsLengthAndMemoryErrorsIntoResults) {
    struct Case {
        void (*step)(ConversionResult&);
        const char* message;
    };
    const Case cases[] = {
        {[](ConversionResult& r) { r.value().element(kMaxCollectionSize); },
         "The value is too large: a collection holds at most 268435455 elements."},
        // Only the length counts: the text is not read once it is past the limit.
        {[](ConversionResult& r) { r.value().setString(std::string_view("x", kMaxTextSize + 1)); },
         "The value is too large: a text holds at most 2147483647 bytes."},
        {[](ConversionResult& r) { r.value().member(std::string_view("k", kMaxTextSize + 1)); },
         "The value is too large: a text holds at most 2147483647 bytes."},
        {[](ConversionResult&) { throw std::bad_alloc(); }, "Out of memory."},
        {[](ConversionResult&) { throw std::runtime_error("x"); },
         "Unexpected error while converting a value."},
    };
    for (const Case& c : cases) {
        ConversionResult result;
        result.guard([&] { c.step(result); });
        EXPECT_FALSE(result.ok());
        EXPECT_EQ(result.errorText(), c.message);
    }
}

} // namespace
} // namespace kiv
