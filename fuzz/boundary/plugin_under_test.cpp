#include "plugin_under_test.h"

#include "kivhost/platform/dynamic_library.h"
#include "record_checks.h"

#include <atomic>
#include <cstring>
#include <memory>

namespace kiv::fuzzing {
namespace {

constexpr const char* kShortName = "kiv-kr-shutdown-law";
constexpr std::uint32_t kMostRecords = 4096;

// The library stays loaded for the life of the process, as a host keeps a library it loaded.
PluginLoadFn loadEntry() {
    static const PluginLoadFn entry = [] {
        std::string error;
        static kivhost::DynamicLibrary library = kivhost::DynamicLibrary::open(KIV_FUZZ_PLUGIN, error);
        require(library.isOpen(), "the plugin library does not open: " + error);
        return reinterpret_cast<PluginLoadFn>(library.symbol(KIV_PLUGIN_ENTRY_NAME));
    }();
    require(entry != nullptr, "the plugin library has no load entry");
    return entry;
}

// The library's statistics entry, kept from the first load; loads on several host threads store
// the same entry.
std::atomic<PluginGetMemoryStatisticsFn> keptStatistics{nullptr};

void readExport(const ApiExport& api, std::vector<KeptFunction>& functions) {
    const ExportedFunction* function = api.functions;
    for (std::uint32_t i = 0; i < api.functionCount && i < kMostRecords; ++i, function = function->next) {
        require(function != nullptr, "the exported functions end before their count");
        const auto& record = *reinterpret_cast<const HttpFunctionRecord*>(function);
        readText(function->name, "an exported function has no name");
        readText(record.pathTemplate, "an exported function has no path template");
        require(record.dispatch != nullptr, "an exported function has no dispatch entry");
        functions.push_back({record.dispatch, function->context, record.pathTemplate});
    }
    const ExportedType* type = api.types;
    for (std::uint32_t i = 0; i < api.typeCount && i < kMostRecords; ++i, type = type->next) {
        require(type != nullptr, "the exported types end before their count");
        readText(type->name, "an exported type has no name");
    }
    const ExportedEvent* event = api.events;
    for (std::uint32_t i = 0; i < api.eventCount && i < kMostRecords; ++i, event = event->next) {
        require(event != nullptr, "the exported events end before their count");
        readText(event->name, "an exported event has no name");
    }
}

// A text the request record points at, or null.
const char* textOrNull(const std::optional<std::string>& text) {
    return text ? text->c_str() : nullptr;
}

} // namespace

PluginUnderTest::PluginUnderTest(const LoadPlan& load) {
    PluginLoadInfo info{};
    info.apiMajor = 18; // any other major ends the process, as it must
    info.apiMinor = load.minor;
    info.apiPatch = load.patch;
    // The words the plugin fills may come in holding anything.
    const auto garbage = static_cast<std::uintptr_t>(load.garbage);
    info.callbacks = reinterpret_cast<PluginCallbacks*>(garbage);
    info.plugin = reinterpret_cast<void*>(garbage);
    info.shortName = reinterpret_cast<const char*>(garbage);
    info.apiExport = reinterpret_cast<ApiExport*>(garbage);
    loadEntry()(&info);
    require(info.apiMajor == 18 && info.apiMinor == 0 && info.apiPatch == 0,
            "the plugin did not write its version");
    require(info.callbacks != nullptr && info.plugin != nullptr && info.apiExport != nullptr,
            "the plugin did not fill its load record");
    readText(info.shortName, "the plugin has no short name");
    require(std::strcmp(info.shortName, kShortName) == 0, "the plugin has another short name");
    callbacks_ = *info.callbacks; // the record lives in the plugin object
    require(callbacks_.initialize && callbacks_.unload && callbacks_.getMemoryStatistics,
            "the plugin's callbacks are missing");
    keptStatistics.store(callbacks_.getMemoryStatistics);
    plugin_ = info.plugin;
    loaded_ = true;
    readExport(*info.apiExport, functions_);
}

bool PluginUnderTest::initialize(FuzzingHost& host) {
    return callbacks_.initialize(plugin_, host.hostInterface()) != 0;
}

void PluginUnderTest::unload() {
    if (loaded_) {
        loaded_ = false;
        callbacks_.unload(plugin_);
    }
}

void dispatchRequest(const std::vector<KeptFunction>& functions, const RequestPlan& plan) {
    HostResponse response = dispatchHeld(functions, plan);
    readAndReleaseResponse(response);
}

HostResponse dispatchHeld(const std::vector<KeptFunction>& functions, const RequestPlan& plan) {
    HostResponse response{};
    if (functions.empty()) {
        return response;
    }
    const KeptFunction& function = functions[plan.function % functions.size()];
    std::vector<HostHeader> headers;
    for (const HeaderPlan& header : plan.headers) {
        headers.push_back({textOrNull(header.name), textOrNull(header.value)});
    }
    std::vector<std::unique_ptr<HostFlat>> values;
    std::vector<HostArgument> arguments;
    for (const ArgumentPlan& argument : plan.arguments) {
        values.push_back(std::make_unique<HostFlat>(argument.value));
        arguments.push_back({textOrNull(argument.name), values.back()->value()});
    }
    HostRequest request{};
    request.method = plan.method;
    request.path = textOrNull(plan.path);
    request.arguments = arguments.data();
    request.argumentCount = static_cast<std::uint32_t>(arguments.size());
    request.context = function.context;
    request.headers = headers.data();
    request.headerCount = static_cast<std::uint32_t>(headers.size());
    request.contentType = textOrNull(plan.contentType);
    request.body = textOrNull(plan.body);
    request.bodyLength = plan.body ? static_cast<std::uint32_t>(plan.body->size()) : 0;
    request.customMethod = textOrNull(plan.customMethod);
    function.dispatch(&response, &request);
    return response;
}

void deliverEvent(FuzzingHost& host, const EventPlan& plan) {
    const std::optional<Subscription> subscription = host.subscriptionFor(plan);
    if (!subscription) {
        return;
    }
    const HostFlat payload(plan.payload);
    HostEventRecord event{};
    event.payload = payload.value();
    event.reserved = plan.reserved;
    switch (plan.name) {
    case EventName::Subscribed:
        event.name = subscription->name.c_str();
        break;
    case EventName::Null:
        event.name = nullptr;
        break;
    case EventName::Odd:
        event.name = plan.oddName.c_str();
        break;
    }
    int foreign = 0;
    switch (plan.userData) {
    case EventUserData::Registered:
        event.userData = subscription->userData;
        break;
    case EventUserData::Null:
        event.userData = nullptr;
        break;
    case EventUserData::Foreign:
        event.userData = &foreign; // an address that is no plugin's
        break;
    }
    subscription->callback(&event);
}

MemoryStatistics memoryStatistics() {
    MemoryStatistics statistics{};
    if (const PluginGetMemoryStatisticsFn read = keptStatistics.load()) {
        read(nullptr, &statistics);
    }
    return statistics;
}

void requireBalancedMemory() {
    const MemoryStatistics statistics = memoryStatistics();
    require(statistics.bytesAllocated == statistics.bytesFreed,
            "the plugin did not free every byte at unload");
    require(statistics.allocationCount == statistics.freeCount,
            "the plugin did not free every block at unload");
    require(statistics.reserved == 0, "the plugin's statistics end in a word that is not 0");
}

} // namespace kiv::fuzzing
