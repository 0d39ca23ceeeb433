#include "fake_plugin.h"

#include "flat_records.h"
#include "platform/thread_id.h"

#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#if defined(_WIN32)
#define FAKE_EXPORT __declspec(dllexport)
#else
#define FAKE_EXPORT __attribute__((visibility("default")))
#endif

namespace kiv::test::fake {
namespace {

// Plugin objects made and destroyed, reported as memory statistics of 64 bytes each.
std::atomic<std::uint64_t> pluginsMade{0};
std::atomic<std::uint64_t> pluginsDestroyed{0};
constexpr std::uint64_t kPluginBytes = 64;

struct TimerToken {
    Plugin* plugin;
    std::string name;
};
std::mutex timerMutex;
std::map<std::uint64_t, TimerToken> timerTokens;
std::uint64_t nextTimerToken = 1;

void KIV_CDECL onTimer(void* userData) {
    std::unique_lock lock(timerMutex);
    const auto found = timerTokens.find(reinterpret_cast<std::uintptr_t>(userData));
    if (found == timerTokens.end()) {
        return;
    }
    Plugin& plugin = *found->second.plugin;
    const std::string name = found->second.name;
    lock.unlock();
    noteEntry(plugin);
    plugin.journal.push_back("fire " + name);
}

void KIV_CDECL onEvent(const HostEventRecord* event) {
    const auto* tag = static_cast<const SubscriptionTag*>(event->userData);
    noteEntry(*tag->plugin);
    tag->plugin->journal.push_back("event " + std::string(event->name) + " " + tag->tag + " kind " +
                                   std::to_string(event->reserved) + " " + printFlat(event->payload));
}

std::uint8_t KIV_CDECL initialize(void* handle, HostInterface* host) {
    Plugin& plugin = *static_cast<Plugin*>(handle);
    noteEntry(plugin);
    plugin.host = host;
    plugin.journal.push_back("initialize context " + std::to_string(host->hostContext));
    subscribe(plugin, "OnJsonApiEvent_fake-input_v1_value", plugin.shortName + ":init");
    get(plugin, "/fake-input/v1/value");
    host->api->writeLog(host->api, KIV_LOG_LEVEL_ALWAYS, (plugin.shortName + " initialized").c_str());
    return 1;
}

void KIV_CDECL unload(void* handle) {
    auto* plugin = static_cast<Plugin*>(handle);
    noteEntry(*plugin);
    if (plugin->host) {
        for (const std::string& name : plugin->subscribed) {
            plugin->host->api->unsubscribeEvent(plugin->host->api, name.c_str(), plugin->host->hostContext);
        }
    }
    {
        std::lock_guard lock(timerMutex);
        std::erase_if(timerTokens, [&](const auto& entry) { return entry.second.plugin == plugin; });
    }
    delete plugin;
    ++pluginsDestroyed;
}

void KIV_CDECL getMemoryStatistics(void*, MemoryStatistics* statistics) {
    *statistics = MemoryStatistics{};
    statistics->allocationCount = pluginsMade.load();
    statistics->bytesAllocated = pluginsMade.load() * kPluginBytes;
    statistics->freeCount = pluginsDestroyed.load();
    statistics->bytesFreed = pluginsDestroyed.load() * kPluginBytes;
}

void fillFunction(Plugin& plugin, std::size_t index, const char* name, const char* pathSuffix,
                  Route::Kind kind) {
    plugin.routes[index] = {&plugin, kind};
    plugin.paths[index] = plugin.prefix + pathSuffix;
    HttpFunctionRecord& record = plugin.records[index];
    record.function.next = index + 1 < plugin.records.size()
                               ? reinterpret_cast<const ExportedFunction*>(&plugin.records[index + 1])
                               : nullptr;
    record.function.context = &plugin.routes[index];
    record.function.name = name;
    record.function.namespaceName = "Fake";
    record.function.result = {KIV_TYPE_KIND_OBJECT, 0, ""};
    record.function.description = "";
    record.function.help = "";
    record.function.asyncTypeName = "";
    record.function.tags = plugin.tagTexts.data();
    record.function.tagCount = 1;
    record.dispatch = dispatch;
    record.pathTemplate = plugin.paths[index].c_str();
    record.method = KIV_HTTP_METHOD_GET;
    record.customMethod = "";
}

void fillApi(Plugin& plugin) {
    plugin.tagTexts = {"Plugins", nullptr};
    fillFunction(plugin, 0, "GetJournal", "/journal", Route::Journal);
    fillFunction(plugin, 1, "GetActByAction", "/act/{+action}", Route::Act);
    fillFunction(plugin, 2, "GetStreamByCount", "/stream/{count}", Route::Stream);
    plugin.actionArgument = {nullptr, "action", "what to do", {KIV_TYPE_KIND_STRING, 0, ""}, 0};
    plugin.actionLocation = {nullptr, KIV_ARGUMENT_LOCATION_PATH};
    plugin.records[1].function.arguments = &plugin.actionArgument;
    plugin.records[1].function.argumentCount = 1;
    plugin.records[1].argumentLocations = &plugin.actionLocation;

    plugin.doneField = {nullptr, "done", "the action done", 0, {KIV_TYPE_KIND_STRING, 0, ""}, 0};
    plugin.moods[0] = {&plugin.moods[1], "Calm", "", 0};
    plugin.moods[1] = {nullptr, "Busy", "", 1};
    plugin.types[0] = {&plugin.types[1],  "FakeStatus", "Fake", 4, "", plugin.tagTexts.data(), 1,
                       &plugin.doneField, nullptr,      1};
    plugin.types[1] = {nullptr, "FakeMood",          "Fake", 4, "", plugin.tagTexts.data(), 1,
                       nullptr, plugin.moods.data(), 2};
    plugin.event = {nullptr, "OnFakeEvent", "Fake", "FakeStatus", "Fired on request.", plugin.tagTexts.data(),
                    1};
    plugin.apiExport = {reinterpret_cast<const ExportedFunction*>(plugin.records.data()),
                        static_cast<std::uint32_t>(plugin.records.size()),
                        plugin.types.data(),
                        static_cast<std::uint32_t>(plugin.types.size()),
                        &plugin.event,
                        1};
}

void loadAs(PluginLoadInfo* info, const char* shortName, const char* prefix, std::uint32_t minor) {
    auto* plugin = new Plugin(shortName, prefix);
    ++pluginsMade;
    noteEntry(*plugin);
    plugin->journal.push_back("load core " + std::to_string(info->apiMajor) + "." +
                              std::to_string(info->apiMinor) + "." + std::to_string(info->apiPatch));
    info->apiMajor = 18;
    info->apiMinor = minor;
    info->apiPatch = 0;
    info->callbacks = &plugin->callbacks;
    info->plugin = plugin;
    info->shortName = plugin->shortName.c_str();
    info->apiExport = &plugin->apiExport;
}

} // namespace

Plugin::Plugin(std::string name, std::string pathPrefix)
    : shortName(std::move(name)), prefix(std::move(pathPrefix)) {
    callbacks = {initialize, unload, getMemoryStatistics};
    fillApi(*this);
}

void noteEntry(Plugin& plugin) {
    plugin.entryThreads.insert(platform::currentThreadId());
}

void subscribe(Plugin& plugin, const std::string& name, const std::string& tag) {
    plugin.tags.push_back(std::make_unique<SubscriptionTag>(SubscriptionTag{&plugin, tag}));
    plugin.subscribed.push_back(name);
    plugin.host->api->subscribeEvent(plugin.host->api, name.c_str(), plugin.host->hostContext, onEvent,
                                     plugin.tags.back().get(), KIV_EVENT_KIND_RESOURCE);
}

void scheduleTimer(Plugin& plugin, const std::string& name, double delaySeconds) {
    std::uint64_t token;
    {
        std::lock_guard lock(timerMutex);
        token = nextTimerToken++;
        timerTokens[token] = {&plugin, name};
    }
    plugin.host->api->scheduleTimer(plugin.host->api, name.c_str(), onTimer,
                                    reinterpret_cast<void*>(static_cast<std::uintptr_t>(token)), delaySeconds,
                                    0);
}

void get(Plugin& plugin, const std::string& path, int release) {
    HostApi* api = plugin.host->api;
    HostRequest request{};
    request.method = KIV_HTTP_METHOD_GET;
    request.path = path.c_str();
    request.userData = plugin.host->hostContext;
    HostResponse response{};
    api->sendRequest(api, &response, &request);
    const std::string status = std::to_string(response.status);
    if (response.result.error) {
        plugin.journal.push_back("error " + status + " " + response.result.error);
    } else if (response.readBody) {
        // Short reads yield to the host before reading on, as the framework's client does.
        std::string body;
        char buffer[4096];
        std::uint8_t more = 1;
        while (more) {
            std::uint32_t length = sizeof buffer;
            if (!response.readBody(response.bodyStream, buffer, &length, &more)) {
                body = "<read error>";
                break;
            }
            body.append(buffer, length);
            if (more && length < sizeof buffer) {
                api->beginWait(api, "Wait: yield", 0);
                api->yieldToHost(api);
                api->endWait(api);
            }
        }
        plugin.journal.push_back("got " + status + " body " + body);
    } else {
        plugin.journal.push_back("got " + status + " " + printFlat(response.result.value));
    }
    if (response.releaseBody) {
        response.releaseBody(response.bodyStream);
    }
    HostResponse copy = response;
    for (int i = 0; i < release && copy.release; ++i) {
        copy.release(i == 0 ? &response : &copy);
    }
}

} // namespace kiv::test::fake

using namespace kiv::test::fake;

extern "C" {

FAKE_EXPORT void KIV_CDECL load_kivhost_fake_plugin(PluginLoadInfo* info) {
    loadAs(info, "fake", "/fake/v1", 0);
}

FAKE_EXPORT void KIV_CDECL load_kivhost_fake_peer(PluginLoadInfo* info) {
    loadAs(info, "peer", "/peer/v1", 0);
}

// A plugin built for a later minor version of the plugin API than 18.0.
FAKE_EXPORT void KIV_CDECL load_kivhost_fake_newer(PluginLoadInfo* info) {
    loadAs(info, "newer", "/newer/v1", 5);
}

// A load that fails after the version words: the record says so with null callbacks.
FAKE_EXPORT void KIV_CDECL load_kivhost_fake_failing(PluginLoadInfo* info) {
    info->apiMajor = 18;
    info->apiMinor = 0;
    info->apiPatch = 0;
    info->callbacks = nullptr;
    info->plugin = nullptr;
    info->shortName = nullptr;
    info->apiExport = nullptr;
}

} // extern "C"
