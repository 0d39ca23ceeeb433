#include "router/function_name.h"
#include "router/url_template.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

struct NameCase {
    std::string_view method;
    std::string_view text;
    std::string_view name;
};

class FunctionNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FunctionNameTest, CamelCasesMethodAndText) {
    EXPECT_EQ(MakeFunctionName(GetParam().method, GetParam().text), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FunctionNameTest,
    ::testing::Values(NameCase{"GET", "/kiv-kr-shutdown-law/v1/queue-status/{queue_id}",
                               "GetKivKrShutdownLawV1QueueStatusByQueueId"},
                      NameCase{"GET", "/kiv-kr-shutdown-law/v1/status", "GetKivKrShutdownLawV1Status"},
                      NameCase{"DELETE", "/a", "DeleteA"}, NameCase{"pOsT", "/x", "PostX"},
                      NameCase{"", "kiv-kr-shutdown-law", "KivKrShutdownLaw"},
                      NameCase{"", "a!b+c.d_e", "ABCDE"},
                      NameCase{"GET", "/files/{+path}", "GetFilesByPath"}, // "+" drops and capitalises
                      NameCase{"GET", "/page/{#frag}", "GetPageBy#frag"},  // "#" is an ordinary character
                      NameCase{"GET", "/a}b", "GetAb"},                    // "}" drops without capitalising
                      NameCase{"", "", ""}, NameCase{"GET", "", "Get"}));

struct RegexCase {
    std::string_view pathTemplate;
    std::string_view regex;
    std::vector<PathParameter> parameters;
};

class TemplateToRegexTest : public ::testing::TestWithParam<RegexCase> {};

TEST_P(TemplateToRegexTest, EscapesLiteralsAndEmitsOneGroupPerParameter) {
    std::vector<PathParameter> parameters;
    EXPECT_EQ(TemplateToRegex(GetParam().pathTemplate, parameters), GetParam().regex);
    EXPECT_EQ(parameters, GetParam().parameters);
}

using enum PathParameterKind;

INSTANTIATE_TEST_SUITE_P(
    Templates, TemplateToRegexTest,
    ::testing::Values(RegexCase{"/kiv-kr-shutdown-law/v1/queue-status/{queue_id}",
                                "/kiv-kr-shutdown-law/v1/queue-status/([^/]*)",
                                {{Segment, "queue_id"}}},
                      RegexCase{"/files/{+path}", "/files/(.*)", {{ReservedExpansion, "path"}}},
                      RegexCase{"/page{#frag}", "/page#(.*)", {{Fragment, "frag"}}},
                      RegexCase{"^$.*+?()[]|\\", "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\", {}},
                      RegexCase{"/{++a}/{#+b}/{+#c}",
                                "/(.*)/#(.*)/(.*)",
                                {{ReservedExpansion, "+a"}, {Fragment, "+b"}, {ReservedExpansion, "#c"}}},
                      // Unbalanced braces: "{" restarts the parameter (its name so far kept), a stray "}"
                      // closes one with the last kind, an unclosed "{" swallows the rest.
                      RegexCase{"/{a{b}", "/([^/]*)", {{Segment, "ab"}}},
                      RegexCase{"/x}", "/x([^/]*)", {{Segment, ""}}},
                      RegexCase{"/{+a}}", "/(.*)(.*)", {{ReservedExpansion, "a"}, {ReservedExpansion, ""}}},
                      RegexCase{"/a/{id", "/a/", {}}, RegexCase{"{}", "([^/]*)", {{Segment, ""}}}));

struct DecodeCase {
    std::string_view encoded;
    std::string decoded;
};

class UrlDecodeTest : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(UrlDecodeTest, Decodes) {
    EXPECT_EQ(UrlDecode(GetParam().encoded), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(Pieces, UrlDecodeTest,
                         ::testing::Values(DecodeCase{"a+b%20c", "a b c"}, DecodeCase{"50%", "50"},
                                           DecodeCase{"%4", "4"}, DecodeCase{"%", ""},
                                           DecodeCase{"x%2Fy", "x/y"},
                                           DecodeCase{"%e2%82%ac", "\xE2\x82\xAC"},
                                           DecodeCase{"%G0", std::string(1, '\0')}, // (16 * 16 | 0) & 0xFF
                                           DecodeCase{"%GG", "\x10"}, DecodeCase{"%0G", "\x10"},
                                           DecodeCase{"%%41", "\x04"
                                                              "1"}, // "%%4" is (16 * 16 | 4) & 0xFF
                                           DecodeCase{"%2", "2"}, DecodeCase{"a%4x", "aP"}));

} // namespace
} // namespace kiv::test
