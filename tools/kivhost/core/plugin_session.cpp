#include "kivhost/core/plugin_session.h"

#include "kivhost/core/happening.h"
#include "kivhost/core/host_error.h"
#include "platform/saturating.h"
#include "value/flat_value.h"

#include <cmath>
#include <cstring>
#include <system_error>

namespace kiv::kivhost {
namespace {

std::string textOrEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

// The exports a library may carry: load_ and the file name's stem, or the stem without a
// leading "lib" that the build may have added.
std::vector<std::string> entryCandidates(const std::filesystem::path& library, const std::string& entryName) {
    if (!entryName.empty()) {
        return {entryName};
    }
    const std::string stem = library.stem().string();
    std::vector<std::string> names{"load_" + stem};
    if (stem.starts_with("lib") && stem.size() > 3) {
        names.push_back("load_" + stem.substr(3));
    }
    return names;
}

std::string joinedWithOr(const std::vector<std::string>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : " or ") + names[i];
    }
    return text;
}

} // namespace

PluginSession::PluginSession(const PluginServices& services, PluginId id,
                             const std::filesystem::path& library, const std::string& entryName)
    : services_(services), id_(id) {
    info_.library = library;
    // A name without a folder is a file in the current folder when there is one: the system's
    // loader would look for it in the library search path instead. Only a bare name that is on
    // disk nowhere goes to that search path.
    std::error_code ignored;
    const bool onDisk = std::filesystem::exists(library, ignored);
    const bool bareName = !library.has_parent_path();
    if (!onDisk && !bareName) {
        throw HostError("the plugin library is missing: " + library.string());
    }
    std::string reason;
    library_ =
        DynamicLibrary::open(onDisk && bareName ? std::filesystem::path(".") / library : library, reason);
    if (!library_.isOpen()) {
        throw HostError(
            "cannot load the plugin library " + library.string() + ": " + reason +
            (onDisk ? "" : " (it is no file in the current folder, so the library search path was used)"));
    }
    callExport(entryName);
}

void PluginSession::callExport(const std::string& entryName) {
    const std::vector<std::string> candidates = entryCandidates(info_.library, entryName);
    PluginLoadFn load = nullptr;
    for (const std::string& candidate : candidates) {
        load = reinterpret_cast<PluginLoadFn>(library_.symbol(candidate.c_str()));
        if (load) {
            info_.entryName = candidate;
            break;
        }
    }
    if (!load) {
        throw HostError("the plugin library " + info_.library.string() + " has no export " +
                        joinedWithOr(candidates));
    }

    const CoreVersion& core = services_.core;
    PluginLoadInfo record{};
    record.apiMajor = core.major;
    record.apiMinor = core.minor;
    record.apiPatch = core.patch;
    load(&record);
    info_.loadRecord = record;
    info_.apiVersion = {record.apiMajor, record.apiMinor, record.apiPatch};

    // A plugin whose load failed leaves no callbacks; the callbacks table lives in the plugin
    // object, so its entries are copied while that object is known to be alive.
    if (!record.callbacks) {
        throw HostError("the plugin's load failed: its load record holds no callbacks");
    }
    std::memcpy(&callbacks_, record.callbacks, sizeof callbacks_);
    auto refuse = [&](const std::string& why) {
        if (callbacks_.unload) {
            callbacks_.unload(record.plugin);
        }
        info_.unloaded = true;
        throw HostError(why);
    };
    if (!callbacks_.initialize || !callbacks_.unload) {
        refuse("the plugin's load record lacks its initialize or unload callback");
    }
    if (!record.shortName) {
        refuse("the plugin's load record holds no short name");
    }
    info_.shortName = record.shortName;
    if (!core.accepts(info_.apiVersion)) {
        refuse("the plugin " + info_.shortName + " is built for plugin API " + info_.apiVersion.text() +
               ", which core " + core.text() + " does not offer");
    }

    info_.api = readApiExport(record.apiExport);
    for (const FunctionDescription& function : info_.api.functions) {
        routes_.emplace_back(function.pathTemplate.empty() ? function.name : function.pathTemplate);
    }
    // Host contexts are small numbers of the host's own; 0 would look like no context at all.
    info_.hostContext = id_ + 1;
    hostInterface_ = {table_.api(), info_.hostContext};
    services_.journal.record(info_.shortName, PluginLoaded{info_.apiVersion.text(), core.text()});
}

bool PluginSession::initialize() {
    if (info_.unloaded) {
        throw HostError("the plugin " + info_.shortName + " is unloaded");
    }
    if (info_.initialized) {
        throw HostError("the plugin " + info_.shortName + " is initialized already");
    }
    info_.initialized = true;
    return callbacks_.initialize(info_.loadRecord.plugin, &hostInterface_) != 0;
}

void PluginSession::unload() {
    if (info_.unloaded) {
        return;
    }
    unloading_ = true;
    callbacks_.unload(info_.loadRecord.plugin);
    unloading_ = false;
    info_.unloaded = true;
    const std::size_t pending = services_.timers.dropPlugin(id_);
    services_.bus.dropPlugin(id_);
    services_.journal.record(info_.shortName, PluginUnloaded{pending, memoryStatistics()});
}

MemoryStatistics PluginSession::memoryStatistics() {
    MemoryStatistics statistics{};
    if (callbacks_.getMemoryStatistics) {
        callbacks_.getMemoryStatistics(info_.loadRecord.plugin, &statistics);
    }
    return statistics;
}

bool PluginSession::admits(std::string_view entry) {
    if (!services_.delivery.isCurrent()) {
        fault(std::string(entry) +
              " was called from a thread other than the host's delivery thread; ignored");
        return false;
    }
    if (info_.unloaded && !unloading_) {
        fault(std::string(entry) + " was called after the plugin was unloaded; ignored");
        return false;
    }
    return true;
}

void PluginSession::checkHostContext(std::string_view entry, std::uintptr_t hostContext) {
    if (hostContext != info_.hostContext) {
        fault(std::string(entry) + " came with host context " + std::to_string(hostContext) +
              ", not the plugin's " + std::to_string(info_.hostContext));
    }
}

void PluginSession::fault(std::string text) {
    services_.journal.record(info_.shortName, HostFault{std::move(text)});
}

void PluginSession::reportFault(std::string_view entry, std::string_view what) noexcept {
    try {
        fault(std::string(entry) + " failed in the host: " + std::string(what));
    } catch (...) {
        // Nothing is left to report with.
    }
}

void PluginSession::reportOutOfMemory(std::string_view) noexcept {
    // Not a fault of the plugin's, and not one line per call: the host ends its work once the
    // plugin has returned (CoreProcess::endIfOutOfMemory).
    services_.calls.outOfMemory = true;
}

void PluginSession::sendRequest(HostResponse* response, const HostRequest* request) {
    if (!response) {
        fault("sendRequest came without a response record");
        return;
    }
    std::memset(static_cast<void*>(response), 0, sizeof *response);
    if (!admits("sendRequest")) {
        issueErrorResponse(*response, "The host serves no request now", 503, services_.issued);
        return;
    }
    if (!request || !request->path) {
        fault("sendRequest came without a request path");
        issueErrorResponse(*response, "The request names no path", 400, services_.issued);
        return;
    }
    services_.router.serveRequest(*response, *request);
    RequestSent sent{methodName(request->method), request->path, response->status, std::nullopt};
    if (request->method == KIV_HTTP_METHOD_CUSTOM) {
        sent.method = textOrEmpty(request->customMethod);
    }
    if (const char* error = response->result.error) {
        sent.error = error;
    }
    services_.journal.record(info_.shortName, std::move(sent));
}

void PluginSession::hostOperation1(std::uint32_t, std::uint32_t) {
    if (admits("hostOperation1")) {
        ++services_.calls.hostOperation1Calls;
    }
}

void PluginSession::sendEvent(const HostEventRecord* event) {
    if (!admits("sendEvent")) {
        return;
    }
    if (!event || !event->name) {
        fault("sendEvent came without an event name");
        return;
    }
    Value payload;
    FlatResult failure{};
    const bool converted = flatToValue(event->payload, payload, "<payload>", failure);
    const std::string failureText = textOrEmpty(failure.error);
    releaseFlat(failure);
    if (!converted) {
        fault("sendEvent: the payload of " + std::string(event->name) + " does not convert: " + failureText);
        return;
    }
    services_.journal.record(info_.shortName, EventSent{event->name, payload});
    services_.bus.post(event->name, std::move(payload));
}

void PluginSession::subscribeEvent(const char* eventName, std::uintptr_t hostContext,
                                   PluginEventCallbackFn callback, void* userData, std::uint32_t eventKind) {
    if (!admits("subscribeEvent")) {
        return;
    }
    if (!eventName || !callback) {
        fault(std::string("subscribeEvent came without ") + (eventName ? "a callback" : "an event name"));
        return;
    }
    checkHostContext("subscribeEvent", hostContext);
    services_.bus.subscribe(id_, eventName, callback, userData, eventKind);
    services_.journal.record(info_.shortName, Subscribed{eventName});
}

void PluginSession::unsubscribeEvent(const char* eventName, std::uintptr_t hostContext) {
    if (!admits("unsubscribeEvent")) {
        return;
    }
    if (!eventName) {
        fault("unsubscribeEvent came without an event name");
        return;
    }
    checkHostContext("unsubscribeEvent", hostContext);
    services_.bus.unsubscribe(id_, eventName);
    services_.journal.record(info_.shortName, Unsubscribed{eventName});
}

void PluginSession::scheduleTimer(const char* jobName, PluginTimerCallbackFn callback, void* userData,
                                  double delaySeconds) {
    if (!admits("scheduleTimer")) {
        return;
    }
    const std::string name = textOrEmpty(jobName);
    if (!callback) {
        fault("scheduleTimer came without a callback for job '" + name + "'");
        return;
    }
    if (std::isnan(delaySeconds)) {
        fault("scheduleTimer: the delay of job '" + name + "' is not a number; the job is due at once");
    }
    const std::int64_t delayMs = TimerQueue::roundDelayMs(delaySeconds);
    services_.timers.schedule(id_, name, callback, userData,
                              platform::saturatingAdd(services_.clock.nowMs(), delayMs));
    services_.journal.record(info_.shortName, TimerScheduled{name, delayMs});
}

void PluginSession::yieldToHost() {
    if (admits("yieldToHost")) {
        ++services_.calls.yields;
    }
}

void PluginSession::beginWait(const char* label) {
    if (!admits("beginWait")) {
        return;
    }
    ++services_.calls.waitsBegun;
    services_.calls.lastWaitLabel = textOrEmpty(label);
}

void PluginSession::endWait() {
    if (admits("endWait")) {
        ++services_.calls.waitsEnded;
    }
}

void PluginSession::writeLog(std::uint32_t level, const char* text) {
    if (admits("writeLog")) {
        services_.journal.record(info_.shortName, LogWritten{level, textOrEmpty(text)});
    }
}

} // namespace kiv::kivhost
