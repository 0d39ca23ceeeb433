/* A recording host in plain C; see c_host.h. */
#include "c_host.h"

#include <string.h>

static CHostCall lastCall = {-1, 0, {0, 0, 0}, {0, 0}, 0.0, 0};

static void beginCall(int entry, HostApi* api) {
    memset(&lastCall, 0, sizeof lastCall);
    lastCall.entry = entry;
    lastCall.api = api;
}

static void KIV_CDECL sendRequest(HostApi* api, HostResponse* response, const HostRequest* request) {
    beginCall(0, api);
    lastCall.pointers[0] = response;
    lastCall.pointers[1] = request;
}

static void KIV_CDECL hostOperation1(HostApi* api, uint32_t first, uint32_t second) {
    beginCall(1, api);
    lastCall.words[0] = first;
    lastCall.words[1] = second;
}

static void KIV_CDECL sendEvent(HostApi* api, const HostEventRecord* event) {
    beginCall(2, api);
    lastCall.pointers[0] = event;
}

static void KIV_CDECL subscribeEvent(HostApi* api, const char* eventName, uintptr_t hostContext,
                                     PluginEventCallbackFn callback, void* userData, uint32_t eventKind) {
    beginCall(3, api);
    lastCall.text = eventName;
    lastCall.words[0] = hostContext;
    lastCall.words[1] = eventKind;
    /* Deliver one event at once, as a host does for a subscription it can already serve. */
    HostEventRecord event;
    memset(&event, 0, sizeof event);
    event.name = eventName;
    event.payload.kind = KIV_FLAT_BOOL;
    event.payload.a = 1;
    event.userData = userData;
    callback(&event);
    lastCall.pointers[0] = userData;
}

static void KIV_CDECL unsubscribeEvent(HostApi* api, const char* eventName, uintptr_t hostContext) {
    beginCall(4, api);
    lastCall.text = eventName;
    lastCall.words[0] = hostContext;
}

static void KIV_CDECL scheduleTimer(HostApi* api, const char* jobName, PluginTimerCallbackFn callback,
                                    void* userData, double delaySeconds, uint32_t reserved) {
    beginCall(5, api);
    lastCall.text = jobName;
    lastCall.pointers[0] = userData;
    lastCall.delaySeconds = delaySeconds;
    lastCall.words[0] = reserved;
    callback(userData); /* a timer that is due at once */
}

static void KIV_CDECL yieldToHost(HostApi* api) {
    beginCall(6, api);
}

static void KIV_CDECL beginWait(HostApi* api, const char* label, uint32_t reserved) {
    beginCall(7, api);
    lastCall.text = label;
    lastCall.words[0] = reserved;
}

static void KIV_CDECL endWait(HostApi* api) {
    beginCall(8, api);
}

static void KIV_CDECL writeLog(HostApi* api, uint32_t level, const char* text) {
    beginCall(9, api);
    lastCall.words[0] = level;
    lastCall.text = text;
}

static HostApi hostApi = {
    .sendRequest = sendRequest,
    .hostOperation1 = hostOperation1,
    .sendEvent = sendEvent,
    .subscribeEvent = subscribeEvent,
    .unsubscribeEvent = unsubscribeEvent,
    .scheduleTimer = scheduleTimer,
    .yieldToHost = yieldToHost,
    .beginWait = beginWait,
    .endWait = endWait,
    .writeLog = writeLog,
};
static HostInterface hostInterface = {&hostApi, 0x5EED};

HostInterface* cHostInterface(void) {
    return &hostInterface;
}

const CHostCall* cHostLastCall(void) {
    return &lastCall;
}

uint8_t cHostRunPlugin(PluginLoadFn load, PluginLoadInfo* info, MemoryStatistics* statistics) {
    memset(info, 0, sizeof *info);
    info->apiMajor = 18;
    info->apiMinor = 2;
    info->apiPatch = 5;
    load(info);
    uint8_t initialized = info->callbacks->initialize(info->plugin, &hostInterface);
    info->callbacks->getMemoryStatistics(info->plugin, statistics);
    info->callbacks->unload(info->plugin);
    return initialized;
}
