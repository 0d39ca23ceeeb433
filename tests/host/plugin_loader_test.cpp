// Loading through the loader: the load record, the version refusal, failed loads, the callbacks
// with stale handles, the host types every plugin registers and log forwarding.
#include "host/counting_allocator.h"
#include "loaded_plugin.h"
#include "logging/log_groups.h"
#include "logging/log_message.h"
#include "logging/log_record.h"
#include "logging/log_service.h"

#include "../binding/value_builders.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace kiv::test {

namespace {

struct CoreVersion {
    std::uint32_t major, minor, patch;
};

std::string coreName(const ::testing::TestParamInfo<CoreVersion>& info) {
    return "Core" + std::to_string(info.param.major) + "_" + std::to_string(info.param.minor) + "_" +
           std::to_string(info.param.patch);
}

class CompatibleCores : public ::testing::TestWithParam<CoreVersion> {};

TEST_P(CompatibleCores, LoadAndAnswerWithThePluginsVersion) {
    FakeHost host;
    auto created = std::make_unique<ProbePlugin>();
    ProbePlugin* plugin = created.get();
    PluginLoadInfo info{GetParam().major, GetParam().minor, GetParam().patch, nullptr,
                        nullptr,          nullptr,          nullptr};
    loadPlugin(std::move(created), &info, kProbeShortName);
    EXPECT_EQ(info.apiMajor, 18u);
    EXPECT_EQ(info.apiMinor, 0u);
    EXPECT_EQ(info.apiPatch, 0u);
    ASSERT_NE(info.callbacks, nullptr);
    EXPECT_EQ(info.plugin, plugin->handle());
    EXPECT_STREQ(info.shortName, kProbeShortName);
    EXPECT_EQ(info.apiExport, plugin->apiExport());
    EXPECT_EQ(plugin->coreApiVersion().text(), std::to_string(GetParam().major) + "." +
                                                   std::to_string(GetParam().minor) + "." +
                                                   std::to_string(GetParam().patch));
    info.callbacks->unload(info.plugin);
}

INSTANTIATE_TEST_SUITE_P(Cores, CompatibleCores,
                         ::testing::Values(CoreVersion{18, 0, 0}, CoreVersion{18, 3, 0},
                                           CoreVersion{18, 0, 7}),
                         coreName);

class IncompatibleCores : public ::testing::TestWithParam<CoreVersion> {};

TEST_P(IncompatibleCores, EndTheProcessAfterTheReport) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const CoreVersion core = GetParam();
    const std::string coreText =
        std::to_string(core.major) + "\\." + std::to_string(core.minor) + "\\." + std::to_string(core.patch);
    const auto load = [core] {
        PluginLoadInfo info{core.major, core.minor, core.patch, nullptr, nullptr, nullptr, nullptr};
        loadPlugin(std::make_unique<ProbePlugin>(), &info, kProbeShortName);
    };
    EXPECT_DEATH(
        load(),
        "Expression: ALE-EECF0606\n\nDescription: kiv-probe which supports plugin API 18\\.0\\.0 is not "
        "compatible "
        "with core's plugin API " +
            coreText);
}

INSTANTIATE_TEST_SUITE_P(Cores, IncompatibleCores,
                         ::testing::Values(CoreVersion{17, 9, 9}, CoreVersion{19, 0, 0}), coreName);

TEST(PluginIdentityAtLoad, NamesTagsAndTypePrefixFollowTheShortName) {
    FakeHost host;
    LoadedPlugin loaded(host, {}, false);
    const HostedPlugin& plugin = loaded.plugin();
    EXPECT_EQ(plugin.identity().fullName, "ucx-be-kiv-probe");
    EXPECT_EQ(plugin.identity().typeName, "backend");
    EXPECT_EQ(plugin.tags(), (std::vector<std::string>{"Plugins", "Plugin kiv-probe"}));
    EXPECT_EQ(plugin.typeNamePrefix(), "KivProbe");
    // Loading registers the library's own log group.
    EXPECT_NE(libraryLogGroup(), 0u);
    char text[kLogGroupTextSize];
    formatLogGroups(text, sizeof text, libraryLogGroup());
    EXPECT_STREQ(text, "LOC");
}

struct FailedLoad {
    const char* name;
    void (*registerApi)(ProbePlugin&);
};

class FailedLoads : public ::testing::TestWithParam<FailedLoad> {};

TEST_P(FailedLoads, DestroyThePluginAndLeaveNullsForTheHost) {
    PluginLoadInfo info{18, 1, 0, nullptr, nullptr, nullptr, nullptr};
    const std::size_t liveBefore = livePluginCount();
    auto created = std::make_unique<ProbePlugin>();
    created->registerApi = GetParam().registerApi;
    loadPlugin(std::move(created), &info, kProbeShortName);
    EXPECT_EQ(info.apiMajor, 18u);
    EXPECT_EQ(info.apiMinor, 0u);
    EXPECT_EQ(info.callbacks, nullptr);
    EXPECT_EQ(info.plugin, nullptr);
    EXPECT_EQ(info.shortName, nullptr);
    EXPECT_EQ(info.apiExport, nullptr);
    EXPECT_EQ(livePluginCount(), liveBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FailedLoads,
    ::testing::Values(FailedLoad{"LengthError", [](ProbePlugin&) { throw std::length_error("vector"); }},
                      FailedLoad{"OutOfMemory", [](ProbePlugin&) { throw std::bad_alloc(); }}),
    [](const ::testing::TestParamInfo<FailedLoad>& info) { return std::string(info.param.name); });

struct Unconstructible final : HostedPlugin {
    Unconstructible() { throw std::bad_alloc(); }
};

TEST(FailedLoads, APluginThatCannotBeConstructedIsAFailedLoad) {
    PluginLoadInfo info{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
    loadNewPlugin<Unconstructible>(&info, "kiv-unconstructible");
    EXPECT_EQ(info.callbacks, nullptr);
    EXPECT_EQ(info.plugin, nullptr);
    loadNewPlugin<Unconstructible>(nullptr, "kiv-unconstructible");
}

TEST(Callbacks, StaleAndForeignHandlesDoNothing) {
    FakeHost host;
    PluginCallbacks callbacks{};
    void* stale = nullptr;
    {
        LoadedPlugin loaded(host);
        stale = loaded.info().plugin;
        callbacks = *loaded.info().callbacks;
    }
    int foreign = 0;
    for (void* handle : {stale, static_cast<void*>(&foreign), static_cast<void*>(nullptr)}) {
        EXPECT_EQ(callbacks.initialize(handle, host.hostInterface()), 0);
        callbacks.unload(handle);
    }
    MemoryStatistics statistics{};
    statistics.reserved = 99;
    callbacks.getMemoryStatistics(stale, &statistics);
    EXPECT_EQ(statistics.reserved, 0u);
    callbacks.getMemoryStatistics(stale, nullptr);
}

TEST(Callbacks, InitializeRunsStartAndPassesItsResult) {
    FakeHost host;
    int starts = 0;
    LoadedPlugin refused(host, [&](ProbePlugin& plugin) {
        plugin.start = [&](ProbePlugin&) {
            ++starts;
            return false;
        };
    });
    EXPECT_FALSE(refused.initialized());
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(refused.info().callbacks->initialize(refused.info().plugin, nullptr), 0);
    EXPECT_EQ(starts, 1);
}

TEST(HostTypes, EveryPluginDescribesTheHostsEvents) {
    FakeHost host;
    LoadedPlugin loaded(host, {}, false);
    const ApiExport& exported = *loaded.info().apiExport;
    std::vector<std::string> events;
    for (const ExportedEvent* event = exported.events; event; event = event->next) {
        const std::string name = event->name;
        if (name.rfind("On", 0) != 0 || name == "OnCallback") {
            continue;
        }
        ASSERT_EQ(event->tagCount, 1u);
        EXPECT_STREQ(event->tags[0], "pclient");
        events.push_back(name + " " + event->payloadTypeName + ": " + event->description);
    }
    std::sort(events.begin(), events.end());
    EXPECT_EQ(
        events,
        (std::vector<std::string>{
            "OnJsonApiEvent PluginResourceEvent: Fired when a resource is changed.",
            "OnLcdsEvent PluginLcdsEvent: Fired when a message is received over the LCDS connection.",
            "OnServiceProxyAsyncEvent PluginServiceProxyResponse: Fired when an async service proxy message "
            "is "
            "received.",
            "OnServiceProxyMethodEvent PluginServiceProxyResponse: Fired when a method-based service proxy "
            "message is received.",
            "OnServiceProxyUuidEvent PluginServiceProxyResponse: Fired when a uuid-based service proxy "
            "message "
            "is received."}));
}

TEST(HostTypes, IdentitiesAndMembersAreFixed) {
    FakeHost host;
    LoadedPlugin loaded(host, {}, false);
    const BindingRegistry& registry = loaded.plugin().registry();
    struct Expected {
        const char* name;
        std::uint32_t identity;
        std::vector<std::string> members;
    };
    const std::vector<Expected> expected = {
        {"PluginManagerState", 0xF4E3B901, {"NotReady", "PluginsInitialized"}},
        {"PluginManagerResource", 0xFA58397C, {"state"}},
        {"PluginResourceEventType", 0xDC24D2AD, {"Create", "Delete", "Update"}},
        {"PluginResourceEvent", 0xA54F35FD, {"uri", "eventType", "data"}},
        {"PluginLcdsEvent", 0x739F2EF4, {"clientId", "subtopic", "typeName", "body"}},
        {"PluginLcdsResponse", 0xF4476A4F, {"typeName", "body"}},
        {"PluginServiceProxyResponse",
         0x2C5E7588,
         {"uuid", "serviceName", "methodName", "payload", "status", "error"}},
    };
    for (const Expected& type : expected) {
        const BindingTypeDescriptor* descriptor = registry.findTypeByName(type.name);
        ASSERT_NE(descriptor, nullptr) << type.name;
        EXPECT_EQ(descriptor->identityHash, type.identity) << type.name;
        EXPECT_EQ(descriptor->tags, std::vector<std::string>{"pclient"}) << type.name;
        std::vector<std::string> members;
        for (const BindingField& field : descriptor->fields) {
            members.push_back(field.name);
        }
        for (const auto& [name, enumerator] : descriptor->enumerators) {
            members.push_back(name);
        }
        EXPECT_EQ(members, type.members) << type.name;
    }
    // Registering again changes nothing.
    const auto typeCount = [&] {
        return registry.readListing([](const BindingListing& l) { return l.types.size(); });
    };
    const std::size_t types = typeCount();
    registerHostTypes(loaded.plugin().registry());
    EXPECT_EQ(typeCount(), types);
}

class LogForwarding : public ::testing::Test {
  protected:
    static std::vector<HostLogLine> linesContaining(const FakeHost& host, std::string_view marker) {
        std::vector<HostLogLine> found;
        for (const HostLogLine& line : host.logLines) {
            if (line.text.find(marker) != std::string::npos) {
                found.push_back(line);
            }
        }
        return found;
    }
};

TEST_F(LogForwarding, LinesReachTheHostWithTheirLevelUnlessMuted) {
    FakeHost host;
    LoadedPlugin loaded(host);
    LogMessage(LogLevel::Okay, 1, "forwarded %d", 1);
    LogMessage(LogLevel::Always, kLogGroupXtr, "forwarded %d", 2);
    LogMessage(LogLevel::Error, 0, "forwarded %d", 3);
    const std::vector<HostLogLine> lines = linesContaining(host, "forwarded");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].level, 0u);
    EXPECT_EQ(lines[0].text, "forwarded 1");
    EXPECT_EQ(lines[1].level, 2u);
    EXPECT_EQ(lines[1].text, "forwarded 3");
}

TEST_F(LogForwarding, LongMessagesAreCut) {
    FakeHost host;
    LoadedPlugin loaded(host);
    const std::string message = "long:" + std::string(5000, 'x');
    LogMessage(LogLevel::Always, 1, "%s", message.c_str());
    const std::vector<HostLogLine> lines = linesContaining(host, "long:");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].text, message.substr(0, 4095));
}

TEST_F(LogForwarding, ASecondPluginLeavesTheFirstTargetInPlace) {
    FakeHost first;
    FakeHost second;
    LoadedPlugin firstPlugin(first);
    {
        std::lock_guard lock(LogService::lock());
        LogService::current()->setMinimumLevel(LogLevel::Warn);
    }
    LoadedPlugin secondPlugin(second);
    LogMessage(LogLevel::Always, 1, "shared line");
    EXPECT_EQ(linesContaining(first, "shared line").size(), 1u);
    EXPECT_TRUE(linesContaining(second, "shared line").empty());
    std::lock_guard lock(LogService::lock());
    EXPECT_EQ(LogService::current()->minimumLevel(), LogLevel::Warn);
}

} // namespace

} // namespace kiv::test
