// Loading plugin libraries through their export as the platform does: the load record, the
// version words, the refusals, the walk of the API export, and what unloading leaves behind.
#include "case_name.h"
#include "fake_host.h"

#include <filesystem>
#include <fstream>

namespace kiv::test {
namespace {

using kivhost::CoreVersion;
using kivhost::HostError;
using kivhost::HostOptions;
using kivhost::PluginHost;

} // namespace
} // namespace kiv::test

namespace kiv::kivhost {
void PrintTo(const CoreVersion& version, std::ostream* out) {
    *out << version.text();
}
} // namespace kiv::kivhost

namespace kiv::test {
namespace {

class LoadRecordTest : public testing::TestWithParam<CoreVersion> {};

TEST_P(LoadRecordTest, ThePluginRewritesTheVersionWordsAndFillsTheRecord) {
    FakeHost fake(HostOptions{GetParam()});
    const kivhost::PluginId id = fake.start();
    const kivhost::PluginInfo info = fake.host.plugin(id);
    EXPECT_EQ(info.loadRecord.apiMajor, 18u);
    EXPECT_EQ(info.loadRecord.apiMinor, 0u);
    EXPECT_EQ(info.loadRecord.apiPatch, 0u);
    EXPECT_NE(info.loadRecord.callbacks, nullptr);
    EXPECT_NE(info.loadRecord.plugin, nullptr);
    EXPECT_NE(info.loadRecord.apiExport, nullptr);
    EXPECT_EQ(info.shortName, "fake");
    EXPECT_EQ(info.entryName, "load_kivhost_fake_plugin");
    EXPECT_TRUE(info.initialized);

    // The plugin saw the core's words, and initialize the host context of its interface.
    const std::vector<std::string> journal = fake.journal();
    ASSERT_GE(journal.size(), 2u);
    EXPECT_EQ(journal[0], "load core " + GetParam().text());
    EXPECT_EQ(journal[1], "initialize context " + std::to_string(info.hostContext));

    const auto loaded = happeningsOfType(fake.host, "load");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(std::get<kivhost::PluginLoaded>(loaded[0].detail).version, "18.0.0");
    EXPECT_EQ(std::get<kivhost::PluginLoaded>(loaded[0].detail).core, GetParam().text());
}

INSTANTIATE_TEST_SUITE_P(Cores, LoadRecordTest,
                         testing::Values(CoreVersion{18, 0, 0}, CoreVersion{18, 3, 0}, CoreVersion{18, 0, 7}),
                         [](const testing::TestParamInfo<CoreVersion>& info) {
                             const CoreVersion& core = info.param;
                             return "Core" + std::to_string(core.major) + "_" + std::to_string(core.minor) +
                                    "_" + std::to_string(core.patch);
                         });

struct Refusal {
    std::string name;
    std::string entry;
    CoreVersion core;
    std::string message; // empty when the load succeeds
};

void PrintTo(const Refusal& refusal, std::ostream* out) {
    *out << refusal.entry << " on " << refusal.core.text();
}

class RefusalTest : public testing::TestWithParam<Refusal> {};

TEST_P(RefusalTest, TheHostRefusesWhatDoesNotFitAndKeepsNothingOfIt) {
    PluginHost host(HostOptions{GetParam().core});
    // On a core of its major version, a first plugin keeps the library mapped, so that its
    // counters show what the refused one left behind.
    const bool kept = GetParam().core.major == 18;
    if (kept) {
        host.load(fakePluginLibrary(), "load_kivhost_fake_peer");
    }
    if (GetParam().message.empty()) {
        EXPECT_NO_THROW(host.load(fakePluginLibrary(), GetParam().entry));
        return;
    }
    try {
        host.load(fakePluginLibrary(), GetParam().entry);
        ADD_FAILURE() << "the load was not refused";
    } catch (const HostError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
    }
    EXPECT_EQ(host.pluginCount(), kept ? 1u : 0u);
    if (kept) {
        const MemoryStatistics memory = host.memoryStatistics(0);
        EXPECT_EQ(memory.allocationCount - memory.freeCount, 1u) << "a refused plugin is unloaded";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Loads, RefusalTest,
    testing::Values(
        Refusal{"FailedLoad", "load_kivhost_fake_failing", {18, 0, 0}, "its load record holds no callbacks"},
        Refusal{"NewerMinor", "load_kivhost_fake_newer", {18, 0, 0}, "built for plugin API 18.5.0"},
        Refusal{"NewerMinorOnOlderCore",
                "load_kivhost_fake_newer",
                {18, 4, 9},
                "which core 18.4.9 does not offer"},
        Refusal{"NewerMinorOnItsCore", "load_kivhost_fake_newer", {18, 5, 0}, ""},
        Refusal{"NewerMinorOnLaterCore", "load_kivhost_fake_newer", {18, 6, 0}, ""},
        Refusal{"LaterMajor", "load_kivhost_fake_plugin", {19, 0, 0}, "built for plugin API 18.0.0"},
        Refusal{"EarlierMajor", "load_kivhost_fake_plugin", {17, 9, 9}, "which core 17.9.9 does not offer"},
        Refusal{"NoExport", "load_nothing", {18, 0, 0}, "has no export load_nothing"}),
    CaseName());

class LibraryFileTest : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("kivhost-library-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) +
                   "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    std::filesystem::path copyOfFake(const std::string& fileName) {
        const std::filesystem::path copy = folder_ / fileName;
        std::filesystem::copy_file(fakePluginLibrary(), copy);
        return copy;
    }

    std::filesystem::path folder_;
};

TEST_F(LibraryFileTest, TheExportIsNamedAfterTheFileWithOrWithoutLib) {
    const struct {
        const char* file;
        const char* entry;
        const char* shortName;
    } cases[] = {
        {"kivhost_fake_peer.so", "load_kivhost_fake_peer", "peer"},
        {"libkivhost_fake_plugin.so", "load_kivhost_fake_plugin", "fake"},
        {"libkivhost_fake_newer.so", "load_kivhost_fake_newer", "newer"},
    };
    PluginHost host(HostOptions{{18, 9, 0}});
    for (const auto& c : cases) {
        const kivhost::PluginInfo info = host.plugin(host.load(copyOfFake(c.file)));
        EXPECT_EQ(info.entryName, c.entry) << c.file;
        EXPECT_EQ(info.shortName, c.shortName) << c.file;
    }
}

TEST_F(LibraryFileTest, MissingAndBrokenLibrariesAreNamedInTheError) {
    PluginHost host;
    const std::filesystem::path missing = folder_ / "kiv_kr_shutdown_law.so";
    const std::filesystem::path broken = folder_ / "broken.so";
    std::ofstream(broken) << "not a library";
    const struct {
        std::filesystem::path library;
        std::string message;
    } cases[] = {
        {missing, "the plugin library is missing: " + missing.string()},
        {broken, "cannot load the plugin library " + broken.string() + ": "},
        {copyOfFake("unnamed.so"), "has no export load_unnamed"},
    };
    for (const auto& c : cases) {
        try {
            host.load(c.library);
            ADD_FAILURE() << c.library;
        } catch (const HostError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(ApiWalkTest, FunctionsTypesAndEventsAsTheExportHoldsThem) {
    PluginHost host;
    const kivhost::ApiDescription api =
        host.plugin(host.load(fakePluginLibrary(), "load_kivhost_fake_plugin")).api;
    ASSERT_EQ(api.functions.size(), 3u);
    const char* names[] = {"GetJournal", "GetActByAction", "GetStreamByCount"};
    const char* paths[] = {"/fake/v1/journal", "/fake/v1/act/{+action}", "/fake/v1/stream/{count}"};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(api.functions[i].name, names[i]);
        EXPECT_EQ(api.functions[i].pathTemplate, paths[i]);
        EXPECT_EQ(api.functions[i].method, KIV_HTTP_METHOD_GET);
        EXPECT_NE(api.functions[i].dispatch, nullptr);
        EXPECT_NE(api.functions[i].context, nullptr);
        EXPECT_EQ(api.functions[i].tags, std::vector<std::string>{"Plugins"});
    }
    ASSERT_EQ(api.functions[1].arguments.size(), 1u);
    const kivhost::ArgumentDescription& action = api.functions[1].arguments[0];
    EXPECT_EQ(action.name, "action");
    EXPECT_EQ(action.location, KIV_ARGUMENT_LOCATION_PATH);
    EXPECT_EQ(action.type.kind, KIV_TYPE_KIND_STRING);

    ASSERT_EQ(api.types.size(), 2u);
    ASSERT_EQ(api.types[0].fields.size(), 1u);
    EXPECT_EQ(api.types[0].fields[0].name, "done");
    EXPECT_TRUE(api.types[0].enumValues.empty());
    ASSERT_EQ(api.types[1].enumValues.size(), 2u);
    EXPECT_EQ(api.types[1].enumValues[1].name, "Busy");
    EXPECT_EQ(api.types[1].enumValues[1].value, 1);
    ASSERT_EQ(api.events.size(), 1u);
    EXPECT_EQ(api.events[0].payloadTypeName, "FakeStatus");
    EXPECT_EQ(api.events[0].description, "Fired on request.");
}

TEST(ApiWalkTest, CountsAndNextWordsEndTheWalkWhicheverComesFirst) {
    ExportedEnumValue values[3] = {
        {&values[1], "A", nullptr, 1}, {&values[2], nullptr, "", 2}, {nullptr, "C", "", 3}};
    ExportedType types[2] = {{&types[1], "Short", nullptr, 4, nullptr, nullptr, 7, nullptr, values, 2},
                             {nullptr, "Long", "", 4, "", nullptr, 0, nullptr, values, 99}};
    ExportedEvent event{nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 3};
    const ApiExport api{nullptr, 5, types, 9, &event, 1};
    const kivhost::ApiDescription description = kivhost::readApiExport(&api);
    EXPECT_TRUE(description.functions.empty());
    ASSERT_EQ(description.types.size(), 2u);
    ASSERT_EQ(description.types[0].enumValues.size(), 2u) << "the count ends the list";
    EXPECT_EQ(description.types[0].enumValues[1].name, "") << "a null text reads as empty";
    EXPECT_TRUE(description.types[0].tags.empty()) << "no tag array, no tags";
    EXPECT_EQ(description.types[1].enumValues.size(), 3u) << "the last next word ends the list";
    ASSERT_EQ(description.events.size(), 1u);
    EXPECT_EQ(description.events[0].name, "");
    EXPECT_TRUE(kivhost::readApiExport(nullptr).types.empty());
}

TEST(UnloadTest, SubscriptionsEndTimersAreDroppedAndMemoryBalances) {
    FakeHost fake;
    const kivhost::PluginId id = fake.start();
    fake.act("timers:10,20");
    fake.host.unload(id);
    fake.host.unload(id); // a second unload does nothing

    const auto unsubscribed = happeningsOfType(fake.host, "unsubscribe");
    ASSERT_EQ(unsubscribed.size(), 1u);
    EXPECT_EQ(std::get<kivhost::Unsubscribed>(unsubscribed[0].detail).name,
              "OnJsonApiEvent_fake-input_v1_value");
    const auto unloaded = happeningsOfType(fake.host, "unload");
    ASSERT_EQ(unloaded.size(), 1u);
    const auto& detail = std::get<kivhost::PluginUnloaded>(unloaded[0].detail);
    EXPECT_EQ(detail.pendingTimers, 2u);
    EXPECT_EQ(detail.memory.bytesAllocated, detail.memory.bytesFreed);
    EXPECT_EQ(fake.host.pendingTimers(), 0u);
    EXPECT_TRUE(fake.host.plugin(id).unloaded);
    EXPECT_THROW(fake.host.initialize(id), HostError);

    // Its functions are gone from the routing: the path now reaches the resource store.
    EXPECT_EQ(fake.act("op1").status, 404u);
}

} // namespace
} // namespace kiv::test
