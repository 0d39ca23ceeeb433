#include "value/value.h"
#include "value/value_context.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace kiv {
namespace {

std::vector<std::string> keysOf(const Value& value) {
    std::vector<std::string> keys;
    for (const ValueMember member : value.members()) {
        keys.emplace_back(member.key);
    }
    return keys;
}

TEST(ValueKindTest, NamesFollowTheCodes) {
    const char* names[] = {"empty",  "bool", "signed", "unsigned",   "float",
                           "string", "blob", "enum",   "collection", "structure"};
    for (int code = 0; code < 10; ++code) {
        EXPECT_EQ(valueKindName(static_cast<ValueKind>(code)), names[code]) << code;
    }
    EXPECT_EQ(valueKindName(static_cast<ValueKind>(10)), "");
    EXPECT_EQ(valueKindName(static_cast<ValueKind>(255)), "");
}

TEST(ValueTest, FreshRootIsEmptyWithoutContext) {
    Value value;
    EXPECT_EQ(value.kind(), ValueKind::Empty);
    EXPECT_EQ(value.size(), 0u);
    EXPECT_TRUE(value.ownsContext());
    EXPECT_EQ(value.context(), nullptr);
    value.setSigned(5);
    EXPECT_EQ(value.context(), nullptr) << "scalars need no storage";
}

TEST(ValueTest, GettersReturnPayloadOnlyForTheirExactKind) {
    Value value;
    value.setSigned(-3);
    EXPECT_EQ(value.getSigned(0), -3);
    EXPECT_EQ(value.getUnsigned(7), 7u) << "no conversion between kinds";
    EXPECT_EQ(value.getFloat(1.5), 1.5);
    EXPECT_EQ(value.getString("x"), "x");
    EXPECT_EQ(value.size(), 1u);

    value.setUnsigned(std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(value.getUnsigned(0), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(value.getSigned(9), 9);

    value.setFloat(2.25);
    EXPECT_EQ(value.getFloat(0), 2.25);
    value.setBool(true);
    EXPECT_TRUE(value.getBool(false));

    value.setString("hello");
    EXPECT_EQ(value.getString(""), "hello");
    EXPECT_STREQ(value.c_str(), "hello");
    EXPECT_EQ(value.size(), 5u);
    EXPECT_FALSE(value.getBool(false));

    const std::vector<std::uint8_t> bytes{1, 2, 3};
    value.setBlob(std::span<const std::uint8_t>(bytes));
    EXPECT_EQ(value.size(), 3u);
    auto blob = value.getBlob({});
    EXPECT_EQ(std::vector<std::uint8_t>(blob.begin(), blob.end()), bytes);

    value.setEnum({4, nullptr});
    EXPECT_EQ(value.getEnum({}).value, 4);
    EXPECT_EQ(value.size(), 1u);
}

TEST(ValueTest, BlobTakesTheVectorOver) {
    std::vector<std::uint8_t> bytes{9, 8, 7, 0, 6};
    Value value;
    value.setBlob(std::move(bytes));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(value.size(), 5u);
    EXPECT_EQ(value.getBlob({})[3], 0);
}

TEST(ValueTest, StringsKeepEmbeddedNulBytes) {
    Value value;
    value.setString(std::string_view("a\0b", 3));
    EXPECT_EQ(value.size(), 3u);
    EXPECT_EQ(value.getString(""), std::string_view("a\0b", 3));
}

// A small tree lives in its context's nursery: the context is its one heap block.
TEST(ValueTest, ASmallTreeTakesNoPage) {
    Value value;
    value.member("type").setString("WARNING");
    value.member("minutes").setSigned(50);
    EXPECT_EQ(value.context()->blocks().sharedPageCount(), 0u);
    for (int i = 0; i < 100; ++i) {
        value.member("type").setString("CUT_OFF");
    }
    EXPECT_EQ(value["type"].getString(""), "CUT_OFF");
    EXPECT_GT(value.context()->blocks().sharedPageCount(), 0u) << "past the nursery, pages serve";
}

TEST(ValueTest, EmptyStringUsesTheSharedRecordAndPoolsNothing) {
    Value value;
    value.makeStructure();
    const std::size_t before = value.context()->strings().size();
    value.member("k").setString("");
    EXPECT_EQ(value["k"].kind(), ValueKind::String);
    EXPECT_EQ(value["k"].size(), 0u);
    EXPECT_EQ(value.context()->strings().size(), before + 1) << "only the key is pooled";
}

// Member names are pooled, one record per name shared by every key that holds it; String
// values are not.
TEST(ValueTest, StringPoolSharesEqualKeysAndDropsUnusedOnes) {
    Value value;
    value.element(0).member("same").setString("same");
    value.element(1).member("same").setString("other");
    value.element(2).member("other").setSigned(1);
    StringPool& pool = value.context()->strings();
    EXPECT_EQ(pool.size(), 2u);
    value.element(0).setEmpty();
    EXPECT_EQ(pool.size(), 2u);
    value.element(1).setSigned(1);
    EXPECT_EQ(pool.size(), 1u);
    value.setEmpty();
    EXPECT_EQ(pool.size(), 0u);
}

TEST(ValueTest, StringPoolGrowsPastItsInitialBuckets) {
    Value value;
    for (int i = 0; i < 1000; ++i) {
        value.member("key-" + std::to_string(i)).setString("text-" + std::to_string(i));
    }
    StringPool& pool = value.context()->strings();
    EXPECT_EQ(pool.size(), 1000u);
    EXPECT_GE(pool.bucketCount(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(value["key-" + std::to_string(i)].getString(""), "text-" + std::to_string(i));
    }
}

TEST(ValueTest, SetStringFromItsOwnText) {
    Value value;
    value.setString("self");
    value.setString(value.getString(""));
    EXPECT_EQ(value.getString(""), "self");
}

TEST(ValueTest, StructureIteratesInByteWiseKeyOrder) {
    Value value;
    value.member("b").setSigned(2);
    value.member("a").setSigned(1);
    value.member("c").setSigned(3);
    EXPECT_EQ(keysOf(value), (std::vector<std::string>{"a", "b", "c"}));

    Value bytes;
    bytes.member("\xC3\xA9").setBool(true); // above ASCII: sorts after every ASCII key
    bytes.member("ab").setBool(true);
    bytes.member("a").setBool(true); // a prefix sorts first
    bytes.member("B").setBool(true); // upper case before lower case
    EXPECT_EQ(keysOf(bytes), (std::vector<std::string>{"B", "a", "ab", "\xC3\xA9"}));
}

TEST(ValueTest, MemberWriteReusesAndReadNeverCreates) {
    Value value;
    value.member("x").setSigned(1);
    value.member("x").setSigned(2);
    EXPECT_EQ(value.size(), 1u);
    EXPECT_EQ(value["x"].getSigned(0), 2);
    EXPECT_TRUE(value["missing"].isEmpty());
    EXPECT_EQ(value.find("missing"), nullptr);
    EXPECT_EQ(value.size(), 1u);
    EXPECT_TRUE(value["x"]["deeper"][3].isEmpty()) << "reads chain through non-containers";
}

TEST(ValueTest, ElementWriteFillsTheGapWithEmptyChildren) {
    Value value;
    value.element(5).setSigned(5);
    ASSERT_EQ(value.kind(), ValueKind::Collection);
    EXPECT_EQ(value.size(), 6u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(value[i].isEmpty());
    }
    EXPECT_EQ(value[5].getSigned(0), 5);
    EXPECT_TRUE(value[6].isEmpty());
}

TEST(ValueTest, WritesTurnOtherKindsIntoContainers) {
    Value value;
    value.setString("was text");
    value.member("k").setBool(true);
    EXPECT_EQ(value.kind(), ValueKind::Structure);
    value.append().setSigned(1);
    EXPECT_EQ(value.kind(), ValueKind::Collection);
    EXPECT_EQ(value.size(), 1u);
    value.makeCollection();
    EXPECT_EQ(value.size(), 1u) << "making a collection of a collection keeps it";
}

TEST(ValueTest, CollectionsRefuseToGrowPastTheirLimit) {
    Value value;
    value.makeCollection();
    EXPECT_THROW(value.reserve(kMaxCollectionSize + 1), std::length_error);
    EXPECT_THROW(value.element(kMaxCollectionSize), std::length_error);
    EXPECT_EQ(value.size(), 0u);
}

TEST(ValueTest, ManyMembersAndElementsKeepTheirValues) {
    Value value;
    for (int i = 0; i < 5000; ++i) {
        value.member("key" + std::to_string(4999 - i)).element(i % 3).setSigned(i);
    }
    EXPECT_EQ(value.size(), 5000u);
    std::string previous;
    for (const ValueMember member : value.members()) {
        EXPECT_LT(previous, std::string(member.key));
        previous = member.key;
    }
    EXPECT_EQ(value["key4999"][0].getSigned(-1), 0);
    EXPECT_EQ(value["key0"][4999 % 3].getSigned(-1), 4999);
}

TEST(ValueTest, MemberReferencesSurviveLaterInsertions) {
    // Insertions in descending order move every entry of a flat table and finally switch it to
    // a tree; the member nodes themselves must stay where they are.
    Value value;
    std::vector<Value*> members;
    for (int i = 199; i >= 0; --i) {
        char key[16];
        std::snprintf(key, sizeof key, "k%03d", i);
        Value& member = value.member(key);
        member.setSigned(i);
        members.push_back(&member);
    }
    for (int i = 199; i >= 0; --i) {
        EXPECT_EQ(members[199 - i]->getSigned(-1), i);
    }
    EXPECT_EQ(value.find("k000"), members.back());
    EXPECT_EQ(keysOf(value).front(), "k000");
}

struct TruthCase {
    const char* label;
    void (*set)(Value&);
    bool expected;
};

const TruthCase kTruthCases[] = {
    {"empty", [](Value&) {}, false},
    {"bool true", [](Value& v) { v.setBool(true); }, true},
    {"bool false", [](Value& v) { v.setBool(false); }, false},
    {"signed 0", [](Value& v) { v.setSigned(0); }, false},
    {"signed -1", [](Value& v) { v.setSigned(-1); }, true},
    {"unsigned 2", [](Value& v) { v.setUnsigned(2); }, true},
    {"float 0", [](Value& v) { v.setFloat(0.0); }, false},
    {"float -0", [](Value& v) { v.setFloat(-0.0); }, false},
    {"float NaN", [](Value& v) { v.setFloat(std::nan("")); }, true},
    {"string true", [](Value& v) { v.setString("true"); }, true},
    {"string 1", [](Value& v) { v.setString("1"); }, true},
    {"string TRUE", [](Value& v) { v.setString("TRUE"); }, false},
    {"string yes", [](Value& v) { v.setString("yes"); }, false},
    {"string empty", [](Value& v) { v.setString(""); }, false},
    {"blob empty", [](Value& v) { v.setBlob(std::vector<std::uint8_t>{}); }, false},
    {"blob", [](Value& v) { v.setBlob(std::vector<std::uint8_t>{0}); }, true},
    {"enum 0",
     [](Value& v) {
         v.setEnum({0, nullptr});
     },
     false},
    {"enum 3",
     [](Value& v) {
         v.setEnum({3, nullptr});
     },
     true},
    {"empty collection", [](Value& v) { v.makeCollection(); }, false},
    {"collection", [](Value& v) { v.append(); }, true},
    {"empty structure", [](Value& v) { v.makeStructure(); }, false},
    {"structure", [](Value& v) { v.member("a"); }, true},
};

TEST(ValueLenientTest, AsTruth) {
    for (const TruthCase& c : kTruthCases) {
        Value value;
        c.set(value);
        EXPECT_EQ(value.asTruth(), c.expected) << c.label;
    }
}

struct IntegerCase {
    const char* label;
    void (*set)(Value&);
    std::int64_t expected;
};

const IntegerCase kIntegerCases[] = {
    {"empty", [](Value&) {}, -99},
    {"bool", [](Value& v) { v.setBool(true); }, 1},
    {"signed", [](Value& v) { v.setSigned(-42); }, -42},
    {"unsigned max", [](Value& v) { v.setUnsigned(UINT64_MAX); }, -1},
    {"float truncates", [](Value& v) { v.setFloat(-2.9); }, -2},
    {"float too large", [](Value& v) { v.setFloat(1e300); }, INT64_MAX},
    {"hex", [](Value& v) { v.setString("0x1F"); }, 31},
    {"octal", [](Value& v) { v.setString("010"); }, 8},
    {"stops at junk", [](Value& v) { v.setString("12abc"); }, 12},
    {"no digits", [](Value& v) { v.setString("abc"); }, 0},
    {"blank and sign", [](Value& v) { v.setString("  -7"); }, -7},
    {"enum",
     [](Value& v) {
         v.setEnum({-5, nullptr});
     },
     -5},
    {"collection", [](Value& v) { v.append().setSigned(3); }, -99},
    {"structure", [](Value& v) { v.member("a").setSigned(3); }, -99},
    {"blob", [](Value& v) { v.setBlob(std::vector<std::uint8_t>{1}); }, -99},
};

TEST(ValueLenientTest, AsInteger) {
    for (const IntegerCase& c : kIntegerCases) {
        Value value;
        c.set(value);
        EXPECT_EQ(value.asInteger(-99), c.expected) << c.label;
    }
}

} // namespace
} // namespace kiv
