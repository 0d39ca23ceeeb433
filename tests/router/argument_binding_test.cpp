// Argument binding seen from the host: requests through the dispatch entry, answered with
// the argument values as bound (before their conversion to the handler's types). The path
// is matched as delivered, so a segment parameter at its end also captures the query.
#include "binding/binding_declaration.h"
#include "router_fixture.h"
#include "value_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace kiv::test {
namespace {

struct Filter {
    Value tags;
    std::string name;
};

Value boundArguments(const RequestInfo& request) {
    Value list;
    list.makeCollection();
    for (const Value& argument : request.arguments) {
        list.append() = argument;
    }
    return list;
}

class ArgumentBindingTest : public RouterFixture {
  protected:
    ArgumentBindingTest() {
        declareStruct<Filter>(registry, {"Filter"}, {{"tags", &Filter::tags}, {"name", &Filter::name}});
        using enum ArgumentLocation;
        router
            .addGet("/bind/{id}",
                    [](const RequestInfo& request, std::string, bool, std::vector<std::string>, std::string,
                       Value, Filter, std::string) { return boundArguments(request); })
            .pathArgument("id")
            .argument("flag", Query)
            .argument("list", Any, "", true)
            .argument("text", Any, "", true)
            .argument("object", Any, "", true)
            .argument("filter", Any, "", true)
            .argument("Mode", Header, "", true);
        router
            .addGet("/pos/{a}", [](const RequestInfo& request, std::string, std::string,
                                   std::string) { return boundArguments(request); })
            .pathArgument("a")
            .argument("b", Any, "", true)
            .argument("c", Any, "", true);
        router
            .addPost("/body/{tag}", [](const RequestInfo& request, std::string, Value,
                                       std::string) { return boundArguments(request); })
            .pathArgument("tag")
            .argument("payload", Body, "", true)
            .argument("note", Query, "", true);
    }

    // The bound arguments as text, or the error text after "error: ".
    std::string answer(std::string_view function, TestRequest& request,
                       const std::function<void(HostRequest&)>& adjust = {}) {
        TestResponse response;
        call(function, request, response, adjust);
        return response.failed() ? "error: " + response.error() : valueText(response.value());
    }
};

struct QueryCase {
    std::string_view query;
    std::string_view expected;
};

class QueryBindingTest : public ArgumentBindingTest, public ::testing::WithParamInterface<QueryCase> {};

// `expected` lists the arguments after the path's own, or the error.
TEST_P(QueryBindingTest, BindsQueryPieces) {
    TestRequest request;
    request.path = "/bind/7" + std::string(GetParam().query);
    std::string expected(GetParam().expected);
    if (!expected.starts_with("error: ")) {
        Value id;
        id.setString(UrlDecode(request.path.substr(6)));
        expected = "[" + valueText(id) + "," + expected;
    }
    EXPECT_EQ(answer("GetBindById", request), expected) << GetParam().query;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryBindingTest,
    ::testing::Values(
        QueryCase{"", "false,~,~,~,~,~]"}, QueryCase{"?", "false,~,~,~,~,~]"},
        QueryCase{"?flag", "true,~,~,~,~,~]"}, QueryCase{"?list", "false,[],~,~,~,~]"},
        QueryCase{"?object&filter", "false,~,~,{},{},~]"},
        QueryCase{"?text", "error: Expected value for argument 'text'."},
        QueryCase{"?text=a&text=b", "false,~,'b',~,~,~]"},
        QueryCase{"?flag=1&", "error: Unknown argument '' for 'GetBindById'."},
        QueryCase{"?zz.a=1", "error: Unknown argument 'zz' for 'GetBindById'."},
        QueryCase{"?filter.tags.0=x", "false,~,~,~,{tags:['x']},~]"},
        QueryCase{"?filter.tags.x1=y", "false,~,~,~,{tags:{x1:'y'}},~]"},
        QueryCase{"?list.0x2=z", "false,[~,~,'z'],~,~,~,~]"},
        QueryCase{"?list.010=z&list=[\"a\"]", "false,['a'],~,~,~,~]"},
        QueryCase{"?list.1a=z", "error: Index 1a is in an incorrect format"},
        QueryCase{"?list.08=z", "error: Index 08 is in an incorrect format"},
        QueryCase{"?list.2147483648=z", "error: Index 2147483648 is out of range"},
        QueryCase{"?list.99999999999999999999=z", "error: Index 99999999999999999999 is out of range"},
        QueryCase{"?list.268435454=1", "error: Index 268435454 is more than 1024 past the end of 'list'"},
        QueryCase{"?filter.tags.0.1025=1",
                  "error: Index 1025 is more than 1024 past the end of 'filter.tags.0'"},
        QueryCase{"?id=3", "error: Argument 'id' for 'GetBindById' was specified in an invalid location."},
        QueryCase{"?list=[\"a\",\"b\"]", "false,['a','b'],~,~,~,~]"},
        QueryCase{"?text=[1,2]", "false,~,'[1,2]',~,~,~]"},
        QueryCase{"?object={\"a\":1}", "false,~,~,{a:u1},~,~]"},
        QueryCase{"?object=%91%01", "false,~,~,[i1],~,~]"},
        QueryCase{"?object=---%0Aa:%20x", "false,~,~,{a:'x'},~,~]"},
        QueryCase{"?object=%20%20[1]", "false,~,~,[u1],~,~]"},
        QueryCase{"?list.0=[1]", "false,['[1]'],~,~,~,~]"}, // no detection below a dotted name
        QueryCase{"?object=%7B",
                  "error: Couldn't deserialize JSON value for parameter 'object' of 'GetBindById': "
                  "Error: Missing a name for object member. at offset 1."},
        QueryCase{"?Mode=x",
                  "error: Argument 'Mode' for 'GetBindById' was specified in an invalid location."}));

TEST_F(ArgumentBindingTest, DecodedTextsKeepTheirNulBytes) {
    std::vector<Value> bound;
    router
        .addGet("/nul/{id}",
                [&bound](const RequestInfo& request, std::string, std::string) { bound = request.arguments; })
        .pathArgument("id")
        .argument("q", ArgumentLocation::Query);
    TestRequest request;
    request.path = "/nul/a%G0?q=x%G0y+z";
    TestResponse response;
    call("GetNulById", request, response);
    ASSERT_FALSE(response.failed()) << response.error();
    ASSERT_EQ(bound.size(), 2u);
    EXPECT_EQ(bound[0].getString({}), std::string_view("a\0?q=x\0y z", 10));
    EXPECT_EQ(bound[1].getString({}), std::string_view("x\0y z", 5));
}

TEST_F(ArgumentBindingTest, IndexesGrowCollectionsByAtMostTheMargin) {
    TestRequest request;
    request.path = "/bind/7?list.1024=a&list.2049=b";
    TestResponse response;
    call("GetBindById", request, response);
    EXPECT_EQ(response.value()[2].size(), 2050u);
    request.path = "/bind/7?list.1025=a";
    EXPECT_EQ(answer("GetBindById", request), "error: Index 1025 is more than 1024 past the end of 'list'");
}

TEST_F(ArgumentBindingTest, HeadersBindByLowerCasedParameterName) {
    TestRequest request;
    request.path = "/bind/7";
    request.header("mode", "first").header("text", "t").header("Text", "T").header("mode", "second");
    request.header("id", "9").header("flag", "true"); // path and query parameters take no header
    EXPECT_EQ(answer("GetBindById", request), "['7',false,~,'t',~,~,'second']");

    TestRequest queueId;
    queueId.path = "/bind/7";
    queueId.header("Mode", "x"); // delivered names are not lower-cased
    EXPECT_EQ(answer("GetBindById", queueId), "['7',false,~,~,~,~,~]");
}

TEST_F(ArgumentBindingTest, NullHostTextsReadAsEmpty) {
    TestRequest request;
    request.path = "/bind/7";
    request.header("text", "unused");
    const HostHeader nullValue{"text", nullptr};
    EXPECT_EQ(answer("GetBindById", request,
                     [&](HostRequest& host) {
                         host.headers = &nullValue;
                         host.headerCount = 1;
                     }),
              "error: Expected value for argument 'text'.");
    const HostHeader nullName{nullptr, "x"};
    EXPECT_EQ(answer("GetBindById", request, [&](HostRequest& host) { host.headers = &nullName; }),
              "['7',false,~,~,~,~,~]");
    EXPECT_EQ(answer("GetBindById", request, [](HostRequest& host) { host.path = nullptr; }),
              "error: Invalid function");
}

TEST_F(ArgumentBindingTest, HostArgumentsByNameOrAfterThePathValues) {
    TestRequest positional;
    positional.path = "/pos/p";
    positional.argument(nullptr, "x").argument(nullptr, "y");
    EXPECT_EQ(answer("GetPosByA", positional), "['p','x','y']");
    positional.argument(nullptr, "z");
    EXPECT_EQ(answer("GetPosByA", positional), "error: Unknown argument '3' for 'GetPosByA'.");

    TestRequest named;
    named.path = "/pos/p?b=q";
    named.argument("c", "z").argument("b", "r");
    EXPECT_EQ(answer("GetPosByA", named), "['p?b=q','r','z']");
    named.argument("zz", "1");
    EXPECT_EQ(answer("GetPosByA", named), "error: Unknown argument 'zz' for 'GetPosByA'.");

    TestRequest badKind;
    badKind.path = "/pos/p";
    badKind.argument("b", "x");
    badKind.arguments[0].value.kind = 11;
    EXPECT_EQ(answer("GetPosByA", badKind), "error: Couldn't assign value to 'b' of type object because the "
                                            "input is of an incompatible type ''.");
    badKind.path = "/pos/p?zz=1"; // the query's error comes first and stays
    EXPECT_EQ(answer("GetPosByA", badKind), "error: Unknown argument 'zz' for 'GetPosByA'.");
}

// Both path values are refused where binding meets them (their arguments come from the query
// only); the first one in the pattern is the one reported, whatever the arguments' order.
TEST_F(ArgumentBindingTest, BadPathValuesAreReportedInThePatternsOrder) {
    using enum ArgumentLocation;
    router
        .addGet("/two/{zeta}/{alpha}",
                [](const RequestInfo& request, std::string, std::string) { return boundArguments(request); })
        .argument("alpha", Query)
        .argument("zeta", Query);
    TestRequest request;
    request.path = "/two/x/y";
    const std::string error = answer("GetTwoByZetaByAlpha", request);
    EXPECT_NE(error.find("'zeta'"), std::string::npos) << error;
    EXPECT_EQ(error.find("'alpha'"), std::string::npos) << error;
}

struct BodyCase {
    std::string_view contentType;
    std::string_view body;
    std::string_view expected;
};

class BodyBindingTest : public ArgumentBindingTest, public ::testing::WithParamInterface<BodyCase> {};

TEST_P(BodyBindingTest, DecodesByContentType) {
    TestRequest request;
    request.method = KIV_HTTP_METHOD_POST;
    request.path = "/body/x";
    request.withBody(std::string(GetParam().contentType), std::string(GetParam().body));
    EXPECT_EQ(answer("PostBodyByTag", request), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, BodyBindingTest,
    ::testing::Values(BodyCase{"application/json; charset=utf-8", "{\"a\":1}", "['x',{a:u1},~]"},
                      BodyCase{"application/vnd.api+json", "[true]", "['x',[true],~]"},
                      BodyCase{"APPLICATION/X-MSGPACK-EXT",
                               "\x81\xA1"
                               "a\x01",
                               "['x',{a:i1},~]"},
                      BodyCase{"application/x-msgpack", "\x01\x02",
                               "error: Extra MessgePack data found in body"},
                      BodyCase{"application/x-yaml", "a: x", "['x',{a:'x'},~]"},
                      BodyCase{"text/plain", "x", "error: Unsupported body content type"},
                      BodyCase{"", "x", "error: Unsupported body content type"},
                      BodyCase{"application/json", "", "error: Error: The document is empty. at offset 0."}));

TEST_F(ArgumentBindingTest, BodyIsReadWithinItsLength) {
    TestRequest request;
    request.method = KIV_HTTP_METHOD_POST;
    request.path = "/body/x";
    request.withBody("application/json", "[1]garbage");
    EXPECT_EQ(answer("PostBodyByTag", request, [](HostRequest& host) { host.bodyLength = 3; }),
              "['x',[u1],~]");
    request.withBody("application/x-yaml", "a: 1\n- b");
    EXPECT_EQ(answer("PostBodyByTag", request, [](HostRequest& host) { host.bodyLength = 4; }),
              "['x',{a:u1},~]");
}

TEST_F(ArgumentBindingTest, BodyStageRunsAfterAnEarlierError) {
    TestRequest request;
    request.method = KIV_HTTP_METHOD_POST;
    request.path = "/body/x?note";
    request.withBody("text/plain", "x");
    EXPECT_EQ(answer("PostBodyByTag", request), "error: Unsupported body content type");
    request.withBody("application/json", "[1]");
    EXPECT_EQ(answer("PostBodyByTag", request), "error: Expected value for argument 'note'.");
    request.path = "/body/x";
    request.withBody("application/json", "[1]");
    EXPECT_EQ(answer("PostBodyByTag", request, [](HostRequest& host) { host.contentType = nullptr; }),
              "error: Unsupported body content type");
}

} // namespace
} // namespace kiv::test
