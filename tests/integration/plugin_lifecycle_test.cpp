// The test plugin loaded through its export by the development host: the load record, the API
// export the host walks, the version refusal, initialisation and unloading.
#include "test_plugin_host.h"

#include <algorithm>
#include <memory>

namespace kiv::test {

namespace {

using kivhost::CoreVersion;
using kivhost::HostOptions;
using kivhost::PluginHost;

std::string coreName(const ::testing::TestParamInfo<CoreVersion>& info) {
    std::string name = "Core" + info.param.text();
    std::replace(name.begin(), name.end(), '.', '_');
    return name;
}

class LoadRecord : public ::testing::TestWithParam<CoreVersion> {};

TEST_P(LoadRecord, CarriesThePluginsVersionAndAnswers) {
    PluginHost host(HostOptions{GetParam()});
    const kivhost::PluginId id = host.load(kTestPluginLibrary, kEntryName);
    const kivhost::PluginInfo info = host.plugin(id);
    EXPECT_EQ(info.loadRecord.apiMajor, 18u);
    EXPECT_EQ(info.loadRecord.apiMinor, 0u);
    EXPECT_EQ(info.loadRecord.apiPatch, 0u);
    EXPECT_NE(info.loadRecord.callbacks, nullptr);
    EXPECT_NE(info.loadRecord.plugin, nullptr);
    EXPECT_NE(info.loadRecord.apiExport, nullptr);
    EXPECT_EQ(info.shortName, "kiv-test-plugin");
    const std::vector<kivhost::PluginLoaded> loaded = happeningsOf<kivhost::PluginLoaded>(host);
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(loaded[0].version, "18.0.0");
    EXPECT_EQ(loaded[0].core, GetParam().text());
}

INSTANTIATE_TEST_SUITE_P(Cores, LoadRecord,
                         ::testing::Values(CoreVersion{18, 0, 0}, CoreVersion{18, 3, 0},
                                           CoreVersion{18, 0, 7}),
                         coreName);

class VersionRefusal : public ::testing::TestWithParam<CoreVersion> {};

TEST_P(VersionRefusal, EndsTheProcessAfterTheReportNamingThePlugin) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const CoreVersion core = GetParam();
    // Escaped dots, which both GoogleTest's POSIX and its simple (Windows) regular expressions read.
    std::string coreText;
    for (const char c : core.text()) {
        coreText += c == '.' ? std::string("\\.") : std::string(1, c);
    }
    const auto load = [core] {
        PluginHost host(HostOptions{core});
        host.load(kTestPluginLibrary, kEntryName);
    };
    std::string pattern =
        "Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: kiv-test-plugin which "
        "supports plugin API 18\\.0\\.0 is not compatible with core's plugin API " +
        coreText;
    EXPECT_DEATH(load(), pattern);
}

INSTANTIATE_TEST_SUITE_P(Cores, VersionRefusal,
                         ::testing::Values(CoreVersion{17, 9, 9}, CoreVersion{19, 0, 0}), coreName);

TEST(ApiExport, TheHostWalksTheRoutesTypesAndEvents) {
    TestPluginHost plugin({}, false);
    const kivhost::ApiDescription api = plugin.host.plugin(plugin.id).api;

    ASSERT_EQ(api.functions.size(), 2u);
    std::vector<kivhost::FunctionDescription> functions = api.functions;
    std::sort(functions.begin(), functions.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    const kivhost::FunctionDescription& items = functions[0];
    const kivhost::FunctionDescription& status = functions[1];
    EXPECT_EQ(items.name, "GetKivTestPluginV1ItemsByItemId");
    EXPECT_EQ(items.pathTemplate, "/kiv-test-plugin/v1/items/{item_id}");
    EXPECT_EQ(items.method, static_cast<std::uint32_t>(KIV_HTTP_METHOD_GET));
    ASSERT_EQ(items.arguments.size(), 1u);
    EXPECT_EQ(items.arguments[0].name, "item_id");
    EXPECT_EQ(items.arguments[0].location, static_cast<std::uint32_t>(KIV_ARGUMENT_LOCATION_PATH));
    EXPECT_EQ(items.arguments[0].type.kind, static_cast<std::uint32_t>(KIV_TYPE_KIND_INT32));
    EXPECT_EQ(items.result.kind, static_cast<std::uint32_t>(KIV_TYPE_KIND_STRING));
    EXPECT_NE(items.dispatch, nullptr);
    EXPECT_NE(items.context, nullptr);
    EXPECT_EQ(status.name, "GetKivTestPluginV1Status");
    EXPECT_EQ(status.pathTemplate, kStatusPath);
    EXPECT_EQ(status.description, "The test plugin's status.");
    EXPECT_EQ(status.result.typeName, "KivTestPluginStatus");
    EXPECT_EQ(status.tags, (std::vector<std::string>{"Plugins", "Plugin kiv-test-plugin"}));

    const auto type = std::find_if(api.types.begin(), api.types.end(),
                                   [](const auto& t) { return t.name == "KivTestPluginStatus"; });
    ASSERT_NE(type, api.types.end());
    std::vector<std::string> fields;
    for (const kivhost::FieldDescription& field : type->fields) {
        fields.push_back(field.name);
    }
    EXPECT_EQ(fields, (std::vector<std::string>{"state", "loginMinutes", "ticks", "settings"}));

    std::vector<std::string> hostEvents;
    for (const kivhost::EventDescription& event : api.events) {
        if (event.tags == std::vector<std::string>{"pclient"}) {
            hostEvents.push_back(event.name);
        }
    }
    std::sort(hostEvents.begin(), hostEvents.end());
    EXPECT_EQ(hostEvents,
              (std::vector<std::string>{"OnJsonApiEvent", "OnLcdsEvent", "OnServiceProxyAsyncEvent",
                                        "OnServiceProxyMethodEvent", "OnServiceProxyUuidEvent"}));
}

TEST(Routes, AnswerFromThePluginsState) {
    TestPluginHost plugin;
    const kivhost::Response item = plugin.host.request(KIV_HTTP_METHOD_GET, "/kiv-test-plugin/v1/items/1");
    ASSERT_FALSE(item.error.has_value());
    EXPECT_EQ(item.value.getString({}), "beta");
    const kivhost::Response missing = plugin.host.request(KIV_HTTP_METHOD_GET, "/kiv-test-plugin/v1/items/7");
    ASSERT_TRUE(missing.error.has_value());
    EXPECT_EQ(*missing.error, "Unknown item: 7");
    EXPECT_EQ(missing.status, 404u);
}

TEST(Initialisation, SubscribesTheServiceProxyAndObservedEvents) {
    TestPluginHost plugin;
    std::vector<std::string> names;
    for (const kivhost::Subscribed& subscribed : happeningsOf<kivhost::Subscribed>(plugin.host)) {
        names.push_back(subscribed.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent",
                                               "OnServiceProxyAsyncEvent",
                                               "OnJsonApiEvent_kiv-login_v1_login-data-packet",
                                               "OnJsonApiEvent_kiv-test-config_v1_settings"}));
}

TEST(Unloading, UnsubscribesEverythingAndDropsPendingJobs) {
    TestPluginHost plugin;
    plugin.host.unload(plugin.id);
    std::vector<std::string> subscribed;
    for (const kivhost::Subscribed& s : happeningsOf<kivhost::Subscribed>(plugin.host)) {
        subscribed.push_back(s.name);
    }
    std::vector<std::string> unsubscribed;
    for (const kivhost::Unsubscribed& u : happeningsOf<kivhost::Unsubscribed>(plugin.host)) {
        unsubscribed.push_back(u.name);
    }
    std::sort(subscribed.begin(), subscribed.end());
    std::sort(unsubscribed.begin(), unsubscribed.end());
    EXPECT_EQ(unsubscribed, subscribed);
    const std::vector<kivhost::PluginUnloaded> unloaded = happeningsOf<kivhost::PluginUnloaded>(plugin.host);
    ASSERT_EQ(unloaded.size(), 1u);
    EXPECT_EQ(unloaded[0].pendingTimers, 1u);
    EXPECT_EQ(plugin.host.counters().faults, 0u);
}

TEST(MemoryStatistics, ReturnToBalanceOnceThePluginIsGone) {
    TestPluginHost plugin;
    const ::MemoryStatistics running = plugin.host.memoryStatistics(plugin.id);
    EXPECT_GT(running.allocationCount, running.freeCount);
    EXPECT_GT(running.peakLiveBytes, 0u);
    plugin.host.unload(plugin.id);
    const ::MemoryStatistics after = plugin.host.memoryStatistics(plugin.id);
    EXPECT_EQ(after.bytesAllocated, after.bytesFreed);
    EXPECT_EQ(after.allocationCount, after.freeCount);
    EXPECT_GE(after.peakLiveBytes, running.bytesAllocated - running.bytesFreed);
    EXPECT_EQ(after.reserved, 0u);
}

TEST(MemoryStatistics, TheHostsOwnAllocationsAreNotCounted) {
    TestPluginHost plugin;
    const ::MemoryStatistics before = plugin.host.memoryStatistics(plugin.id);
    auto hostBlock = std::make_unique<char[]>(1 << 20);
    std::vector<std::string> hostTexts(1000, std::string(100, 'h'));
    const ::MemoryStatistics after = plugin.host.memoryStatistics(plugin.id);
    EXPECT_EQ(after.bytesAllocated, before.bytesAllocated);
    EXPECT_EQ(after.allocationCount, before.allocationCount);
    EXPECT_EQ(after.freeCount, before.freeCount);
    hostBlock[0] = 'h';
    EXPECT_EQ(hostTexts.size(), 1000u);
}

} // namespace

} // namespace kiv::test
