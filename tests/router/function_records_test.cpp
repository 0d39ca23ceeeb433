// Route registration, and the records published to the host, read as a host reads them:
// by byte offsets in the 32-bit build, by walking the next words everywhere.
#include "router/response_writer.h"
#include "router/route_contexts.h"
#include "router_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace kiv::test {
namespace {

class FunctionRecordsTest : public RouterFixture {
  protected:
    template <class T> static T at(const void* record, std::size_t offset) {
        T value;
        std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof value);
        return value;
    }
};

TEST_F(FunctionRecordsTest, RegistrationNamesTrimsAndKeepsTheFirstBinding) {
    const std::vector<std::string> tags = {"Plugins", "Plugin kiv"};
    RouteBuilder first = router.addGet(
        "/v1/status/", [] { return 1; }, tags);
    EXPECT_FALSE(first.alreadyRegistered());
    EXPECT_EQ(first.info().pathTemplate(), "/v1/status");
    EXPECT_EQ(first.function().name, "GetV1Status");
    EXPECT_EQ(first.function().tags, tags);
    EXPECT_EQ(first.function().returns.kind, BindingTypeKind::Int32);

    RouteBuilder again = router.addGet(
        "/v1/status", [](std::string) { return 2; }, tags);
    EXPECT_TRUE(again.alreadyRegistered());
    again.argument("ignored").setDescription("ignored");
    EXPECT_EQ(&again.info(), &first.info());
    EXPECT_TRUE(first.function().arguments.empty());
    EXPECT_EQ(first.function().tags, tags);
    EXPECT_EQ(first.function().description, "");

    EXPECT_EQ(router.addGet("/", [] {}).info().pathTemplate(), "/");
    EXPECT_EQ(router.addDelete("/x", [] {}).function().name, "DeleteX");
    EXPECT_EQ(router.addHead("/x", [] {}).function().name, "HeadX");
    EXPECT_EQ(router.addOptions("/x", [] {}).function().name, "OptionsX");
    EXPECT_EQ(router.addPatch("/x", [] {}).function().name, "PatchX");
    EXPECT_EQ(router.addPost("/x", [] {}).info().method, HttpMethod::Post);
    EXPECT_EQ(router.addPut("/x", [] {}).info().method, HttpMethod::Put);
    EXPECT_EQ(router.addRoute(HttpMethod::None, "/x", [] {}).function().name, "X");
}

TEST_F(FunctionRecordsTest, RecordsLinkOnlyWithinTheArrayAndCarryTheBinding) {
    router.addGet("/a/{id}", [](std::int32_t, bool, std::string) {})
        .pathArgument("id")
        .argument("flag", ArgumentLocation::Query)
        .argument("blob", ArgumentLocation::Body);
    router.addCustom("PURGE", "/b", [] {}).info().flags = 9;
    router.addPost("/c", [] {}).info().textLists = {{"x", "y"}, {}};
    auto unrouted = std::make_unique<BindingFunction>();
    unrouted->name = "NotARoute";
    ASSERT_TRUE(registry.registerFunction(std::move(unrouted)).created);

    const ApiExport& published = router.exportApi();
    const ApiExport& registryExport = registry.exportApi();
    ASSERT_EQ(published.functionCount, 3u);
    EXPECT_EQ(published.typeCount, registryExport.typeCount);
    EXPECT_EQ(published.eventCount, registryExport.eventCount);

    // A host that walks the functions as a list visits exactly the three records.
    const auto* records = reinterpret_cast<const HttpFunctionRecord*>(published.functions);
    std::set<std::string> names;
    std::size_t visited = 0;
    for (const ExportedFunction* f = published.functions; f != nullptr; f = f->next) {
        ASSERT_EQ(reinterpret_cast<const HttpFunctionRecord*>(f), records + visited);
        names.insert(f->name);
        ++visited;
    }
    EXPECT_EQ(visited, 3u);
    EXPECT_EQ(names, (std::set<std::string>{"GetAById", "PurgeB", "PostC"}));

    for (std::uint32_t i = 0; i < published.functionCount; ++i) {
        const HttpFunctionRecord& record = records[i];
        const ResolvedRouteContext context = resolveRouteContext(record.function.context);
        ASSERT_EQ(context.state, RouteContextState::Live);
        EXPECT_EQ(context.context.registry, &router.registry());
        EXPECT_EQ(context.context.gate, router.entryGate());
        EXPECT_EQ(context.context.info->function().name, +record.function.name);
        EXPECT_EQ(+record.dispatch, &DispatchRequest);
        const std::string name = record.function.name;
        if (name == "GetAById") {
            std::vector<std::uint32_t> locations;
            for (const ArgumentLocationEntry* e = record.argumentLocations; e != nullptr; e = e->next) {
                locations.push_back(e->location);
            }
            EXPECT_EQ(locations, (std::vector<std::uint32_t>{2, 1, 5}));
            EXPECT_EQ(+record.function.argumentCount, 3u);
            EXPECT_STREQ(record.pathTemplate, "/a/{id}");
            EXPECT_EQ(+record.method, 2u);
        } else if (name == "PurgeB") {
            EXPECT_EQ(+record.method, 8u);
            EXPECT_STREQ(record.customMethod, "PURGE");
            EXPECT_EQ(+record.flags, 9);
            EXPECT_EQ(+record.argumentLocations, nullptr);
        } else {
            ASSERT_EQ(+record.textListCount, 2u);
            EXPECT_STREQ(record.textLists->texts[1], "y");
            EXPECT_EQ(record.textLists->next->count, 0u);
            EXPECT_EQ(record.textLists->next->next, nullptr);
            EXPECT_STREQ(record.customMethod, "");
        }
    }
}

#if UINTPTR_MAX == 0xFFFFFFFFu
TEST_F(FunctionRecordsTest, RecordArrayBytesAtTheirOffsets) {
    router.addGet("/a/{id}", [](std::int32_t) {}).pathArgument("id");
    router.addPost("/b", [] {});
    const ApiExport& published = router.exportApi();
    ASSERT_EQ(published.functionCount, 2u);
    const auto* bytes = reinterpret_cast<const unsigned char*>(published.functions);
    const unsigned char* second = bytes + 90;
    EXPECT_EQ(at<std::uint32_t>(bytes, 0), reinterpret_cast<std::uintptr_t>(second));
    EXPECT_EQ(at<std::uint32_t>(second, 0), 0u); // the last record ends the list
    for (const unsigned char* record : {bytes, second}) {
        const ResolvedRouteContext resolved =
            resolveRouteContext(reinterpret_cast<const void*>(at<std::uint32_t>(record, 8)));
        ASSERT_EQ(resolved.state, RouteContextState::Live);
        const RouteContext* context = &resolved.context;
        EXPECT_EQ(context->registry, &router.registry());
        EXPECT_STREQ(reinterpret_cast<const char*>(at<std::uint32_t>(record, 12)),
                     context->info->function().name.c_str());
        EXPECT_EQ(at<std::uint32_t>(record, 61), reinterpret_cast<std::uintptr_t>(&DispatchRequest));
        EXPECT_STREQ(reinterpret_cast<const char*>(at<std::uint32_t>(record, 69)),
                     context->info->pathTemplate().c_str());
        EXPECT_EQ(at<std::uint32_t>(record, 73), static_cast<std::uint32_t>(context->info->method));
        EXPECT_EQ(record[77], 0);
        EXPECT_EQ(at<std::uint32_t>(record, 78), 0u);
        EXPECT_EQ(at<std::uint32_t>(record, 82), 0u);
        EXPECT_STREQ(reinterpret_cast<const char*>(at<std::uint32_t>(record, 86)), "");
    }
    const unsigned char* withArgument = at<std::uint32_t>(bytes, 24) == 1 ? bytes : second;
    const auto* location = reinterpret_cast<const unsigned char*>(at<std::uint32_t>(withArgument, 65));
    EXPECT_EQ(at<std::uint32_t>(location, 0), 0u);
    EXPECT_EQ(at<std::uint32_t>(location, 4), 2u);
}

TEST_F(FunctionRecordsTest, FilledResponseBytesAtTheirOffsets) {
    router.addGet("/r", [](CallContext& call) {
        call.headers = {{"k", "v"}};
        call.fail(409, "taken");
    });
    TestRequest request;
    request.path = "/r";
    TestResponse response;
    call("GetR", request, response);
    const auto* bytes = reinterpret_cast<const unsigned char*>(&response.record());
    EXPECT_EQ(at<std::uint32_t>(bytes, 0), 0u); // no value
    EXPECT_STREQ(reinterpret_cast<const char*>(at<std::uint32_t>(bytes, 12)), "taken");
    EXPECT_EQ(bytes[16], 1);
    EXPECT_EQ(bytes[17], 0);
    EXPECT_EQ(at<std::uint32_t>(bytes, 18), 0u);
    EXPECT_EQ(at<std::uint32_t>(bytes, 22), 409u);
    EXPECT_STREQ(reinterpret_cast<const char*>(at<std::uint32_t>(bytes, 26)), "");
    const auto* headers = reinterpret_cast<const HostHeader*>(at<std::uint32_t>(bytes, 30));
    EXPECT_EQ(at<std::uint32_t>(bytes, 34), 1u);
    EXPECT_STREQ(headers[0].name, "k");
    EXPECT_STREQ(headers[0].value, "v");
    EXPECT_EQ(at<std::uint32_t>(bytes, 38), 0u);
    EXPECT_EQ(at<std::uint64_t>(bytes, 46), 0u);
    EXPECT_EQ(at<std::uint32_t>(bytes, 54), 0u);
    EXPECT_EQ(at<std::uint32_t>(bytes, 58), reinterpret_cast<std::uintptr_t>(&releaseResponse));
}
#endif

} // namespace
} // namespace kiv::test
