// A small plugin library for the development host's tests, written against the boundary header
// alone: it publishes three HTTP functions, two types and an event, and does on request what a
// plugin may do to its host (send events, subscribe, schedule timers, send requests and read
// streamed answers, log, and hand over faulty records), noting what reaches it in a journal.
#pragma once

#include "kiv/plugin_abi.h"

#include <array>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kiv::test::fake {

struct Plugin;

// The context of one HTTP function record.
struct Route {
    enum Kind { Journal, Act, Stream };
    Plugin* plugin;
    Kind kind;
};

// The user data of one subscription.
struct SubscriptionTag {
    Plugin* plugin;
    std::string tag;
};

struct Plugin {
    Plugin(std::string name, std::string pathPrefix);

    PluginCallbacks callbacks{};
    std::string shortName;
    std::string
        prefix; // the paths of its functions: prefix + "/journal", "/act/{+action}", "/stream/{count}"
    HostInterface* host = nullptr;
    std::vector<std::string> journal;
    std::vector<std::string> subscribed;
    std::vector<std::unique_ptr<SubscriptionTag>> tags;
    std::set<std::uint32_t> entryThreads; // system ids of the threads that called into the plugin

    // The API records handed to the host.
    std::array<Route, 3> routes;
    std::array<std::string, 3> paths;
    std::array<HttpFunctionRecord, 3> records{};
    ExportedArgument actionArgument{};
    ArgumentLocationEntry actionLocation{};
    ExportedField doneField{};
    std::array<ExportedEnumValue, 2> moods{};
    std::array<ExportedType, 2> types{};
    ExportedEvent event{};
    std::array<const char*, 2> tagTexts{};
    ApiExport apiExport{};
};

void noteEntry(Plugin& plugin);
void subscribe(Plugin& plugin, const std::string& name, const std::string& tag);
// Sends a GET and notes the answer in the journal: "got <status> <value>" or "error <status> <text>".
// release: how many times the response record's release routine is run (0, 1 or 2).
void get(Plugin& plugin, const std::string& path, int release = 1);

// The dispatch entry of all three functions.
void KIV_CDECL dispatch(HostResponse* response, const HostRequest* request);

} // namespace kiv::test::fake

namespace kiv::test::fake {

// Schedules a host timer whose user data is a token, never a pointer: a timer the host runs
// again, or after unload, finds its token or nothing.
void scheduleTimer(Plugin& plugin, const std::string& name, double delaySeconds);

} // namespace kiv::test::fake
