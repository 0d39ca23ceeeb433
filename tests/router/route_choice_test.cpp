#include "router/route.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {
namespace {

struct RouteDeclaration {
    std::string_view pathTemplate;
    HttpMethod method = HttpMethod::Get;
    std::string_view customMethod = {};
};

struct ChoiceCase {
    std::string_view title;
    std::vector<RouteDeclaration> routes;
    HttpMethod method;
    std::string_view path;
    int chosen;             // index into routes, -1 for none
    PathValues values = {}; // in the pattern's order
    std::string_view customMethod = {};
};

class RouteChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(RouteChoiceTest, ChoosesByPathMethodAndShortestValues) {
    const ChoiceCase& test = GetParam();
    std::vector<std::unique_ptr<BindingFunction>> functions;
    std::vector<std::unique_ptr<FunctionHttpInfo>> infos;
    std::vector<Route> routes;
    for (const RouteDeclaration& declared : test.routes) {
        auto& function = functions.emplace_back(std::make_unique<BindingFunction>());
        function->name = "F" + std::to_string(functions.size() - 1);
        auto& info = infos.emplace_back(std::make_unique<FunctionHttpInfo>(*function));
        info->setPathTemplate(declared.pathTemplate);
        info->method = declared.method;
        info->customMethod = declared.customMethod;
        routes.push_back(makeRoute(*info));
    }
    RouteMatch match;
    match.method = test.method;
    match.customMethod = test.customMethod;
    match.path = test.path;
    const bool found = FindRoute(match, routes, false);
    ASSERT_EQ(found, test.chosen >= 0);
    if (!found) {
        EXPECT_EQ(match.info, nullptr);
        return;
    }
    EXPECT_EQ(match.info, infos[test.chosen].get());
    EXPECT_EQ(match.function, functions[test.chosen].get());
    EXPECT_EQ(match.pathValues, test.values);
}

using enum HttpMethod;

INSTANTIATE_TEST_SUITE_P(
    Cases, RouteChoiceTest,
    ::testing::Values(
        ChoiceCase{"EncodedSlashStaysInSegment", {{"/a/{id}/b"}}, Get, "/a/x%2Fy/b", 0, {{"id", "x/y"}}},
        ChoiceCase{"SegmentStopsAtSlash", {{"/a/{id}/b"}}, Get, "/a/x/y/b", -1},
        ChoiceCase{"ReservedExpansionTakesSlashes",
                   {{"/files/{+path}"}},
                   Get,
                   "/files/a/b/c",
                   0,
                   {{"path", "a/b/c"}}},
        ChoiceCase{"FragmentAfterHash", {{"/p{#f}"}}, Get, "/p#x/y", 0, {{"f", "x/y"}}},
        ChoiceCase{"RequestTrailingSlashKept", {{"/v1/status"}}, Get, "/v1/status/", -1},
        ChoiceCase{"LiteralIsExact", {{"/v1/status"}}, Get, "/v1/status", 0},
        ChoiceCase{"QueryNotStrippedForLiteral", {{"/x"}}, Get, "/x?a=1", -1},
        ChoiceCase{"QueryCapturedBySegment", {{"/y/{id}"}}, Get, "/y/id?a=1", 0, {{"id", "id?a=1"}}},
        ChoiceCase{
            "ShorterValuesWin", {{"/{a}/{b}"}, {"/x{a}/{b}"}}, Get, "/xy/z", 1, {{"a", "y"}, {"b", "z"}}},
        ChoiceCase{"ValuesKeepThePatternsOrder", {{"/{z}/{a}"}}, Get, "/1/2", 0, {{"z", "1"}, {"a", "2"}}},
        ChoiceCase{"RepeatedNameKeepsItsPlaceAndLastCapture",
                   {{"/{a}/{b}/{a}"}},
                   Get,
                   "/1/2/3",
                   0,
                   {{"a", "3"}, {"b", "2"}}},
        ChoiceCase{"TieKeepsFirst", {{"/{a}/z"}, {"/{b}/z"}}, Get, "/q/z", 0, {{"a", "q"}}},
        // Raw captures would keep the first route (4 bytes against 6); decoded, "AA" is shorter.
        ChoiceCase{
            "DecodedLengthsCompare", {{"/{b}/%41%41"}, {"/abcd/{a}"}}, Get, "/abcd/%41%41", 1, {{"a", "AA"}}},
        ChoiceCase{"LiteralBeatsTemplate", {{"/{a}"}, {"/v"}}, Get, "/v", 1},
        ChoiceCase{"MethodNoneTakesPost", {{"/v", None}}, Post, "/v", 0},
        ChoiceCase{"MethodNoneTakesGet", {{"/v", None}}, Get, "/v", 0},
        ChoiceCase{"OtherMethodRefused", {{"/v", Get}}, Post, "/v", -1},
        ChoiceCase{"MethodPicksRoute", {{"/v", Get}, {"/v", Post}}, Post, "/v", 1},
        ChoiceCase{"CustomNameMustMatch", {{"/v", Custom, "PURGE"}}, Custom, "/v", -1, {}, "FETCH"},
        ChoiceCase{"CustomNameMatches", {{"/v", Custom, "PURGE"}}, Custom, "/v", 0, {}, "PURGE"},
        ChoiceCase{"CustomWithoutNameRefused", {{"/v", Custom, "PURGE"}}, Custom, "/v", -1},
        ChoiceCase{"ValuesAreDecoded", {{"/q/{v}"}}, Get, "/q/a+b%20c", 0, {{"v", "a b c"}}},
        ChoiceCase{"RepeatedNameKeepsLast", {{"/{n}/{n}"}}, Get, "/a/b", 0, {{"n", "b"}}}),
    [](const ::testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.title); });

TEST(RouteChoiceMethodCheckTest, SkippedCheckAcceptsAnyMethod) {
    BindingFunction function;
    function.name = "F";
    FunctionHttpInfo info(function);
    info.setPathTemplate("/v");
    info.method = HttpMethod::Get;
    const Route route = makeRoute(info);
    RouteMatch match;
    match.method = HttpMethod::Delete;
    match.path = "/v";
    EXPECT_FALSE(FindRoute(match, std::span(&route, 1), false));
    EXPECT_TRUE(FindRoute(match, std::span(&route, 1), true));
}

TEST(RouteChoiceNameTest, EmptyTemplateAddressesTheFunctionByName) {
    BindingFunction function;
    function.name = "GetThing";
    FunctionHttpInfo info(function);
    info.setPathTemplate("");
    std::vector<Route> routes = {makeRoute(info), makeRoute(function, info, "/other/{x}")};
    EXPECT_EQ(routes[0].pattern, info.pattern()); // compiled once, when the template was set
    RouteMatch match;
    match.path = "GetThing";
    ASSERT_TRUE(FindRoute(match, std::span(routes.data(), 1), true));
    match.path = "/other/y";
    ASSERT_TRUE(FindRoute(match, std::span(routes.data() + 1, 1), true));
    EXPECT_EQ(match.pathValues, (PathValues{{"x", "y"}}));
}

} // namespace
} // namespace kiv::test
