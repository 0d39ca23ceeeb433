#include "value/yaml_reader.h"

#include "value/yaml_tree_builder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace kiv::yaml_reader_test {
namespace {

using namespace std::string_literals;

struct ScalarCase {
    const char* document;
    ValueKind kind;
    std::int64_t signedValue = 0;
    std::uint64_t unsignedValue = 0;
    double floatValue = 0.0;
    const char* text = "";
    bool boolValue = false;
};

class YamlScalarTest : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(YamlScalarTest, TypesTheValueOfA) {
    const ScalarCase& c = GetParam();
    ConversionResult result = parseYaml(c.document);
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& a = result.value()["a"];
    ASSERT_EQ(a.kind(), c.kind) << c.document;
    EXPECT_EQ(a.getSigned(0), c.signedValue);
    EXPECT_EQ(a.getUnsigned(0), c.unsignedValue);
    if (std::isnan(c.floatValue)) {
        EXPECT_TRUE(std::isnan(a.getFloat(0)));
    } else {
        EXPECT_EQ(a.getFloat(0), c.floatValue);
    }
    EXPECT_EQ(a.getString(""), c.text);
    EXPECT_EQ(a.getBool(false), c.boolValue);
}

constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Plain, YamlScalarTest,
    ::testing::Values(
        ScalarCase{"a: 1", ValueKind::Unsigned, 0, 1}, ScalarCase{"a: -1", ValueKind::Signed, -1},
        ScalarCase{"a: 1.5", ValueKind::Float, 0, 0, 1.5}, ScalarCase{"a: 1e3", ValueKind::Unsigned, 0, 1000},
        ScalarCase{"a: 0x1F", ValueKind::Unsigned, 0, 31}, ScalarCase{"a: -0", ValueKind::Unsigned, 0, 0},
        // Integers beyond 2^53 go through a double and are rounded.
        ScalarCase{"a: 9007199254740993", ValueKind::Unsigned, 0, 9007199254740992u},
        // Whole numbers beyond 64 bits, and negative infinity, have no integer
        // form: they stay doubles.
        ScalarCase{"a: 1e300", ValueKind::Float, 0, 0, 1e300},
        ScalarCase{"a: 18446744073709551616", ValueKind::Float, 0, 0, 18446744073709551616.0},
        ScalarCase{"a: -1e19", ValueKind::Float, 0, 0, -1e19},
        ScalarCase{"a: -9223372036854775808", ValueKind::Signed, INT64_MIN},
        ScalarCase{"a: -inf", ValueKind::Float, 0, 0, -kInf},
        ScalarCase{"a: -1e400", ValueKind::Float, 0, 0, -kInf},
        ScalarCase{"a: nan", ValueKind::Float, 0, 0, std::nan("")},
        ScalarCase{"a: inf", ValueKind::String, 0, 0, 0, "inf"},
        ScalarCase{"a: 1e400", ValueKind::String, 0, 0, 0, "1e400"},
        ScalarCase{"a: 12abc", ValueKind::String, 0, 0, 0, "12abc"},
        ScalarCase{"a: yes", ValueKind::Bool, 0, 0, 0, "", true},
        ScalarCase{"a: On", ValueKind::Bool, 0, 0, 0, "", true},
        ScalarCase{"a: Y", ValueKind::Bool, 0, 0, 0, "", true},
        ScalarCase{"a: OFF", ValueKind::Bool, 0, 0, 0, "", false},
        ScalarCase{"a: n", ValueKind::Bool, 0, 0, 0, "", false},
        ScalarCase{"a: yES", ValueKind::String, 0, 0, 0, "yES"},
        ScalarCase{"a: 'yes'", ValueKind::String, 0, 0, 0, "yes"},
        ScalarCase{"a: \"1\"", ValueKind::String, 0, 0, 0, "1"}, ScalarCase{"a: ''", ValueKind::String},
        ScalarCase{"a: ~", ValueKind::Empty}, ScalarCase{"a:", ValueKind::Empty},
        ScalarCase{"a: NULL", ValueKind::Empty}, ScalarCase{"a: nULL", ValueKind::String, 0, 0, 0, "nULL"},
        ScalarCase{"a: |\n  12\n", ValueKind::String, 0, 0, 0, "12\n"},
        ScalarCase{"a: hello world", ValueKind::String, 0, 0, 0, "hello world"}));

INSTANTIATE_TEST_SUITE_P(Tagged, YamlScalarTest,
                         ::testing::Values(ScalarCase{"a: !!str 12", ValueKind::String, 0, 0, 0, "12"},
                                           ScalarCase{"a: !!str", ValueKind::String},
                                           ScalarCase{"a: !!int 12", ValueKind::Unsigned, 0, 12},
                                           ScalarCase{"a: !!int 0x10", ValueKind::Unsigned, 0, 16},
                                           ScalarCase{"a: !!int 010", ValueKind::Unsigned, 0, 8},
                                           ScalarCase{"a: !!int -12", ValueKind::Signed, -12},
                                           ScalarCase{"a: !!int 18446744073709551615", ValueKind::Unsigned, 0,
                                                      UINT64_MAX},
                                           ScalarCase{"a: !!float 2", ValueKind::Float, 0, 0, 2.0},
                                           ScalarCase{"a: !!float -1.5e3", ValueKind::Float, 0, 0, -1500.0},
                                           ScalarCase{"a: !!bool yes", ValueKind::Bool, 0, 0, 0, "", true},
                                           ScalarCase{"a: !!bool FALSE", ValueKind::Bool},
                                           ScalarCase{"a: !!bool maybe", ValueKind::Empty}));

struct ErrorCase {
    std::string document;
    std::string message;
};

class YamlErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(YamlErrorTest, FailsWithTheMessage) {
    const ErrorCase& c = GetParam();
    ConversionResult result = parseYaml(c.document);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.errorText(), c.message) << c.document;
    EXPECT_EQ(result.value().size(), 1u); // only {"error": message} is left
}

INSTANTIATE_TEST_SUITE_P(
    Errors, YamlErrorTest,
    ::testing::Values(
        ErrorCase{"a: !!int 12x", "Value 12x for 'yaml' of type uint64_t is in an incorrect format"},
        ErrorCase{"a: !!int -12x", "Value -12x for 'yaml' of type int64_t is in an incorrect format"},
        ErrorCase{"a: !!int 18446744073709551616",
                  "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
        ErrorCase{"a: !!int -9223372036854775809",
                  "Value -9223372036854775809 for 'yaml' of type int64_t is out of range"},
        ErrorCase{"a: !!float abc", "Value abc for 'yaml' of type double is in an incorrect format"},
        ErrorCase{"a: !!float 1e400", "Value 1e400 for 'yaml' of type double is out of range"},
        ErrorCase{"a: !foo x", "Unsupported YAML tag '!foo'."},
        ErrorCase{"a: !!map x", "Unsupported YAML tag 'tag:yaml.org,2002:map'."},
        ErrorCase{"!!int 1: x",
                  "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        ErrorCase{"a: 1\n? [b]\n: 2", "Unexpected start of sequence. At line: 2 col: 3"},
        ErrorCase{"- ? {b: 1}\n  : 2", "Unexpected start of mapping. At line: 1 col: 5"},
        ErrorCase{"a: &x 1\nb: &x 2", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        ErrorCase{"&k a: 1\nb: &k 2", "Duplicate occurrence of anchor \"k\". At line: 2 col: 4"},
        ErrorCase{"a: &x {b: *x}", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
        ErrorCase{"a: &x\n  - [*x]", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 6"},
        ErrorCase{"a: *nope", "Undefined alias encountered: \"nope\". At line: 1 col: 4"},
        ErrorCase{"a: 1\n---\nb: 2", "Multi-document YAML is not supported."},
        ErrorCase{"a: [1, 2", "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
        ErrorCase{"a: b: c",
                  "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
        ErrorCase{"a: \"\\q\"", "YAML parser error: found unknown escape character. At line: 0 col: 4"}));

TEST(YamlReader, EmptyTextIsAnEmptyValue) {
    for (std::string text : {""s, "\n\n"s, "# comment only\n"s, "---\n"s, "\0a: 1"s}) {
        ConversionResult result = parseYaml(text);
        EXPECT_TRUE(result.ok()) << result.errorText();
        EXPECT_TRUE(result.value().isEmpty());
    }
}

TEST(YamlReader, TextAfterTheFirstNulIsNotRead) {
    ConversionResult result = parseYaml("a: 1\0\n---\nb: 2"s);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.value().size(), 1u);
}

TEST(YamlReader, ADocumentAfterAnEmptyOneIsRead) {
    ConversionResult result = parseYaml("---\n---\na: 1\n");
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.value()["a"].getUnsigned(0), 1u);
}

TEST(YamlReader, KeysAreStrings) {
    ConversionResult result = parseYaml("1: one\n!!str 2: two\n'3': three\nyes: four\n~: five");
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& root = result.value();
    EXPECT_EQ(root["1"].getString(""), "one");
    EXPECT_EQ(root["2"].getString(""), "two");
    EXPECT_EQ(root["3"].getString(""), "three");
    EXPECT_EQ(root["yes"].getString(""), "four");
    EXPECT_EQ(root["~"].getString(""), "five");
}

TEST(YamlReader, NestedBlockAndFlowCollections) {
    ConversionResult result = parseYaml("list:\n  - 1\n  - [a, {b: c}]\n  -\nmap: {x: [], y: {}}\n");
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& list = result.value()["list"];
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[1][0].getString(""), "a");
    EXPECT_EQ(list[1][1]["b"].getString(""), "c");
    EXPECT_TRUE(list[2].isEmpty());
    EXPECT_TRUE(result.value()["map"]["x"].isCollection());
    EXPECT_TRUE(result.value()["map"]["y"].isStructure());
}

TEST(YamlReader, RepeatedKeysMergeAndConcatenate) {
    ConversionResult result = parseYaml("a: {x: 1}\na: {y: 2}\nl: [1]\nl: [2]\ns: 1\ns: 2\n");
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& root = result.value();
    EXPECT_EQ(root["a"]["x"].getUnsigned(0), 1u);
    EXPECT_EQ(root["a"]["y"].getUnsigned(0), 2u);
    ASSERT_EQ(root["l"].size(), 2u);
    EXPECT_EQ(root["l"][1].getUnsigned(0), 2u);
    EXPECT_EQ(root["s"].getUnsigned(0), 2u);
}

TEST(YamlReader, AliasesAreIndependentCopies) {
    ConversionResult result = parseYaml("a: &x [1, 2]\nb: *x\n");
    ASSERT_TRUE(result.ok()) << result.errorText();
    Value& root = result.value();
    ASSERT_EQ(root["b"].size(), 2u);
    EXPECT_EQ(root["b"][1].getUnsigned(0), 2u);
    root.member("b").element(0).setString("changed");
    EXPECT_EQ(root["a"][0].getUnsigned(0), 1u);
}

TEST(YamlReader, AnchorsAnywhereInTheTree) {
    const char* document = "list:\n"
                           "  - skip\n"
                           "  - deep: {inner: &s [x, &t why]}\n"
                           "  - &k key: &v value\n"
                           "copies: [*s, *t, *k, *v]\n"
                           "root: &r {n: 1}\n"
                           "again: *r\n";
    ConversionResult result = parseYaml(document);
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value& copies = result.value()["copies"];
    ASSERT_EQ(copies.size(), 4u);
    EXPECT_EQ(copies[0][1].getString(""), "why");
    EXPECT_EQ(copies[1].getString(""), "why");
    EXPECT_EQ(copies[2].getString(""), "key"); // a key anchor gives the key's text
    EXPECT_EQ(copies[3].getString(""), "value");
    EXPECT_EQ(result.value()["again"]["n"].getUnsigned(0), 1u);
}

TEST(YamlReader, AnchoredCollectionsThatGrowAfterwards) {
    // The sequence holding the anchored node grows after the anchor; the alias still finds it.
    ConversionResult result = parseYaml("l:\n  - &a {v: 1}\n  - 2\n  - 3\n  - 4\n  - 5\n  - *a\n");
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.value()["l"][5]["v"].getUnsigned(0), 1u);
}

TEST(YamlReader, AliasInKeyPositionSuppliesTheKey) {
    ConversionResult keys = parseYaml("base: {&k name: 1, *k : 2}\nx: &s other\n*s : 3\n");
    ASSERT_TRUE(keys.ok()) << keys.errorText();
    const Value& root = keys.value();
    EXPECT_EQ(root["base"].size(), 1u);
    EXPECT_EQ(root["base"]["name"].getUnsigned(0), 2u);
    EXPECT_EQ(root["other"].getUnsigned(0), 3u);
    EXPECT_EQ(root["x"].getString(""), "other");

    ConversionResult notString = parseYaml("x: &n 5\n*n : 3\n");
    EXPECT_EQ(notString.errorText(),
              "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1");
}

TEST(YamlReader, ExponentialAliasesAreBounded) {
    std::string document = "a0: &a0 [x, x, x, x, x, x, x, x, x, x]\n";
    for (int i = 1; i < 10; ++i) {
        const std::string prev = "*a" + std::to_string(i - 1);
        document += "a" + std::to_string(i) + ": &a" + std::to_string(i) + " [" + prev;
        for (int j = 1; j < 10; ++j) {
            document += ", " + prev;
        }
        document += "]\n";
    }
    // a5 is the first anchor whose ten copies no longer fit: its eighth alias fails.
    EXPECT_EQ(parseYaml(document).errorText(),
              "Aliases expand the document beyond 1000000 nodes. Alias \"a4\". At line: 6 col: 45");
}

TEST(YamlReader, ModerateAliasUseStaysWithinTheBound) {
    std::string document = "base: &b {name: n, values: [1, 2, 3, 4, 5, 6, 7, 8]}\nitems:\n";
    for (int i = 0; i < 5000; ++i) {
        document += "  - *b\n";
    }
    ConversionResult result = parseYaml(document);
    ASSERT_TRUE(result.ok()) << result.errorText();
    EXPECT_EQ(result.value()["items"].size(), 5000u);
    EXPECT_EQ(result.value()["items"][4999]["values"][7].getUnsigned(0), 8u);
}

TEST(YamlReader, AliasesToDeepAnchorsAreChargedForTheirPath) {
    // Many aliases of an anchor at the bottom of a deep tree would walk its path each time.
    constexpr std::size_t kDepth = 20'000;
    std::string document;
    for (std::size_t i = 0; i < kDepth; ++i) {
        document += "- ";
    }
    document += "&a x\n";
    for (std::size_t i = 0; i < 100; ++i) {
        document += "- *a\n";
    }
    ConversionResult result = parseYaml(document);
    EXPECT_TRUE(
        result.errorText().starts_with("Aliases expand the document beyond 1000000 nodes. Alias \"a\"."))
        << result.errorText();
}

TEST(YamlReader, FlowNestingIsBounded) {
    const std::size_t limit = YamlTreeBuilder::kMaxFlowDepth;
    const std::string deepest = std::string(limit, '[') + std::string(limit, ']');
    EXPECT_TRUE(parseYaml(deepest).ok());

    const std::string tooDeep = std::string(limit + 1, '[') + std::string(limit + 1, ']');
    EXPECT_EQ(parseYaml(tooDeep).errorText(),
              "Flow collections nested deeper than 64 levels are not supported. At line: 1 col: 65");

    // Flow collections inside deep block collections count only their own levels.
    std::string mixed;
    for (std::size_t i = 0; i < 200; ++i) {
        mixed += std::string(i * 2, ' ') + "k:\n";
    }
    mixed += std::string(400, ' ') + std::string(limit, '[') + std::string(limit, ']') + "\n";
    EXPECT_TRUE(parseYaml(mixed).ok()) << parseYaml(mixed).errorText();
}

TEST(YamlReader, DeepBlockNesting) {
    constexpr std::size_t kDepth = 300'000;
    std::string document;
    for (std::size_t i = 0; i < kDepth; ++i) {
        document += "- ";
    }
    document += "leaf\n";
    ConversionResult result = parseYaml(document);
    ASSERT_TRUE(result.ok()) << result.errorText();
    const Value* node = &result.value();
    std::size_t depth = 0;
    for (; node->isCollection(); node = &(*node)[0]) {
        ++depth;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(node->getString(""), "leaf");
}

TEST(YamlReader, LooksLikeYaml) {
    struct Case {
        const char* text;
        bool expected;
    };
    const Case cases[] = {{"  ---", true},  {"---\na: 1", true}, {"a: 1", false},
                          {"\t---", false}, {"--", false},       {"", false}};
    for (const Case& c : cases) {
        EXPECT_EQ(looksLikeYaml(c.text), c.expected) << '"' << c.text << '"';
    }
}

} // namespace
} // namespace kiv::yaml_reader_test
