/* Every record and function table that crosses the boundary between a plugin library and its
 * host. Plain C, usable from C and C++. The reference build is 32-bit x86, little-endian, with
 * 4-byte pointers; there every size and offset below is checked. In 64-bit builds the same
 * records hold 8-byte pointers and are not held to the byte layout.
 *
 * Packing: records whose fields do not all fall on their natural alignment are packed, so the
 * same offsets hold on i386 Linux (64-bit integers 4-byte aligned) and on 32-bit Windows (8-byte
 * aligned). FlatValue is packed as well: its layout needs no padding anyway, and alignment 1 lets
 * code take references to the flat values that sit at odd offsets inside packed arrays
 * (structure members, responses) without misaligned access. */
#ifndef KIV_PLUGIN_ABI_H
#define KIV_PLUGIN_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_MSC_VER)
#define KIV_CDECL __cdecl
#elif defined(__i386__)
#define KIV_CDECL __attribute__((cdecl))
#else
#define KIV_CDECL
#endif

/* The library's one export: the host resolves it by this name and calls it with a load record. */
#define KIV_PLUGIN_ENTRY_NAME "load_kiv_kr_shutdown_law"

/* What a host process may export for the plugin's clock. The plugin measures every delay and
 * every moment of its schedule (job due times, the time a login data packet came) on a steady
 * clock. At load it looks for a function of this name among the host process's own exports (the
 * executable's export table on Windows, the process's global symbols elsewhere) and, when there is
 * one, reads its time from it instead of the operating system's steady clock, so that a host
 * whose timers run on a clock of its own (a simulated one, say) and the plugin agree on how much
 * time has passed. The function returns nanoseconds that never go backwards, from any origin;
 * it is called on the threads on which the host calls into the plugin. A host that exports
 * nothing of the kind changes nothing. */
#define KIV_HOST_STEADY_CLOCK_NAME "kiv_host_steady_clock_ns"
typedef int64_t(KIV_CDECL* HostSteadyClockFn)(void);

/* ---- Codes ---------------------------------------------------------------------------------- */

/* Request methods, towards the host and from it; an unknown code from the host counts as none. */
enum {
    KIV_HTTP_METHOD_NONE = 0,
    KIV_HTTP_METHOD_DELETE = 1,
    KIV_HTTP_METHOD_GET = 2,
    KIV_HTTP_METHOD_HEAD = 3,
    KIV_HTTP_METHOD_OPTIONS = 4,
    KIV_HTTP_METHOD_PATCH = 5,
    KIV_HTTP_METHOD_POST = 6,
    KIV_HTTP_METHOD_PUT = 7,
    KIV_HTTP_METHOD_CUSTOM = 8 /* the request carries the method's own name */
};

/* Where a function argument may come from; values above 5 are published as 0. */
enum {
    KIV_ARGUMENT_LOCATION_ANY = 0,
    KIV_ARGUMENT_LOCATION_QUERY = 1,
    KIV_ARGUMENT_LOCATION_PATH = 2,
    KIV_ARGUMENT_LOCATION_UNBOUND = 3, /* published as it is; no request source binds it */
    KIV_ARGUMENT_LOCATION_HEADER = 4,
    KIV_ARGUMENT_LOCATION_BODY = 5
};

/* Kinds of event subscription, the last argument of subscribeEvent. */
enum { KIV_EVENT_KIND_RESOURCE = 0, KIV_EVENT_KIND_SERVICE_PROXY = 1 };

/* Levels of the lines passed to writeLog. */
enum { KIV_LOG_LEVEL_OKAY = 0, KIV_LOG_LEVEL_WARN = 1, KIV_LOG_LEVEL_ERROR = 2, KIV_LOG_LEVEL_ALWAYS = 3 };

/* Type kind codes of the export records (a kind and an element kind per type); codes outside
 * 1..19 are written as 0. */
enum {
    KIV_TYPE_KIND_NONE = 0,
    KIV_TYPE_KIND_BOOL = 1,
    KIV_TYPE_KIND_INT8 = 2,
    KIV_TYPE_KIND_UINT8 = 3,
    KIV_TYPE_KIND_INT16 = 4,
    KIV_TYPE_KIND_UINT16 = 5,
    KIV_TYPE_KIND_INT32 = 6,
    KIV_TYPE_KIND_UINT32 = 7,
    KIV_TYPE_KIND_INT64 = 8,
    KIV_TYPE_KIND_UINT64 = 9,
    KIV_TYPE_KIND_FLOAT = 10,
    KIV_TYPE_KIND_DOUBLE = 11,
    KIV_TYPE_KIND_STRING = 12,
    KIV_TYPE_KIND_OBJECT = 13,
    KIV_TYPE_KIND_BLOB = 14,
    KIV_TYPE_KIND_VECTOR = 15,
    KIV_TYPE_KIND_ENUM = 16,
    KIV_TYPE_KIND_STRUCT = 17,
    KIV_TYPE_KIND_CALLBACK = 18,
    KIV_TYPE_KIND_MAP = 19
};

/* ---- Flat values -------------------------------------------------------------------------- */

/* Kinds of a FlatValue. */
enum {
    KIV_FLAT_EMPTY = 0,
    KIV_FLAT_BOOL = 1,
    KIV_FLAT_SIGNED = 2,          /* a: low half, b: high half */
    KIV_FLAT_UNSIGNED = 3,        /* a: low half, b: high half */
    KIV_FLAT_FLOAT = 4,           /* the double's low and high halves in a and b */
    KIV_FLAT_STRING_BORROWED = 5, /* a: NUL-terminated text, b: length */
    KIV_FLAT_STRING_OWNED = 6,
    KIV_FLAT_BLOB_BORROWED = 7, /* a: bytes, b: byte count */
    KIV_FLAT_BLOB_OWNED = 8,
    KIV_FLAT_COLLECTION = 9, /* a: FlatValue array, b: count (owned) */
    KIV_FLAT_STRUCTURE = 10  /* a: FlatStructureMember array, b: count (owned) */
};

#pragma pack(push, 1)
/* A value tree in plain records: kind, word A (pointer-sized), word B. */
typedef struct FlatValue {
    uint32_t kind;
    uintptr_t a;
    uint32_t b;
} FlatValue;

/* One member of a flat structure. */
typedef struct FlatStructureMember {
    const char* key;
    FlatValue value;
    uint8_t keyOwned;
} FlatStructureMember;

/* A flat value or the owned text of the error that prevented it. Packed: it opens the response
 * record, whose next field follows the failed flag directly. */
typedef struct FlatResult {
    FlatValue value;
    char* error;
    uint8_t failed;
} FlatResult;
#pragma pack(pop)

/* ---- Events ------------------------------------------------------------------------------- */

/* One event, in both directions. */
typedef struct HostEventRecord {
    const char* name;
    FlatValue payload;
    uint32_t reserved; /* the plugin sends 0; on delivery its meaning is the host's */
    void* userData;    /* on delivery the pointer given to subscribeEvent; 0 when sending */
} HostEventRecord;

/* The plugin's event delivery callback, registered with subscribeEvent. */
typedef void(KIV_CDECL* PluginEventCallbackFn)(const HostEventRecord* event);

/* The plugin's timer callback, registered with scheduleTimer and called once with its user data. */
typedef void(KIV_CDECL* PluginTimerCallbackFn)(void* userData);

/* ---- Requests and responses --------------------------------------------------------------- */

/* One header, request or response: two NUL-terminated texts. */
typedef struct HostHeader {
    const char* name;
    const char* value;
} HostHeader;

/* One argument the host passes with a request: by name, or by position when the name is null. */
typedef struct HostArgument {
    const char* name;
    FlatValue value;
} HostArgument;

/* One HTTP-style request, from the host to a plugin function or from the plugin to the host. */
typedef struct HostRequest {
    uint32_t method; /* KIV_HTTP_METHOD_* */
    const char* path;
    const HostArgument* arguments;
    uint32_t argumentCount;
    void* context; /* the context pointer of the called function's HttpFunctionRecord */
    const HostHeader* headers;
    uint32_t headerCount;
    const char* contentType;
    const char* body; /* null without a body */
    uint32_t bodyLength;
    uintptr_t userData;       /* opaque; the plugin's host context on requests it sends */
    const char* customMethod; /* read only with KIV_HTTP_METHOD_CUSTOM */
} HostRequest;

struct HostResponse;

/* Reads the next piece of a streamed body. On entry *length is the buffer size; on return the
 * number of bytes placed, and *moreData whether more may follow. Returns 0 on a read error. */
typedef uint8_t(KIV_CDECL* BodyReadFn)(void* stream, char* buffer, uint32_t* length, uint8_t* moreData);

/* Destroys a body stream. */
typedef void(KIV_CDECL* BodyReleaseFn)(void* stream);

/* Frees what the response record holds and zeroes it. */
typedef void(KIV_CDECL* ResponseReleaseFn)(struct HostResponse* response);

#pragma pack(push, 1)
/* The answer to one request, filled by whoever serves it and released by its own routine. */
typedef struct HostResponse {
    FlatResult result;       /* the value, or the error text with failed = 1 */
    uint8_t contextFlag;     /* copied from the call context; meaning is the host's */
    uint32_t contextCode;    /* copied from the call context, 0..3 */
    uint32_t status;         /* status code */
    const char* contextText; /* copied from the call context; heap copy or a shared empty text */
    HostHeader* headers;     /* heap copies */
    uint32_t headerCount;
    BodyReadFn readBody;       /* not null when the body is streamed */
    BodyReleaseFn releaseBody; /* may be null */
    uint64_t bodyLength;       /* announced length of a streamed body */
    void* bodyStream;          /* handed to both body callbacks */
    ResponseReleaseFn release; /* may be null */
} HostResponse;
#pragma pack(pop)

/* ---- The API description handed to the host --------------------------------------------------
 * Records of the three arrays are packed, and each record's first word points to the next record
 * of its array (null in the last), so the host may walk them as arrays or as lists. */

#pragma pack(push, 1)
/* A type as the export records write it; typeName names the enum or structure (for a vector or
 * map, the element's), else it is the empty text. */
typedef struct ExportedTypeRef {
    uint32_t kind;        /* KIV_TYPE_KIND_* */
    uint32_t elementKind; /* for vectors and maps */
    const char* typeName;
} ExportedTypeRef;

typedef struct ExportedArgument {
    const struct ExportedArgument* next;
    const char* name;
    const char* description;
    ExportedTypeRef type;
    uint8_t optional;
} ExportedArgument;

typedef struct ExportedFunction {
    const struct ExportedFunction* next;
    uint32_t reserved; /* 0 */
    void* context;     /* 0, or the router's per-function context in an HttpFunctionRecord */
    const char* name;
    const char* namespaceName;
    const ExportedArgument* arguments;
    uint32_t argumentCount;
    ExportedTypeRef result;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncTypeName; /* the result's type name for an asynchronous function, else "" */
    const char* const* tags;
    uint32_t tagCount;
} ExportedFunction;

typedef struct ExportedField {
    const struct ExportedField* next;
    const char* name;
    const char* description;
    uint32_t offset; /* byte offset inside the native structure */
    ExportedTypeRef type;
    uint8_t optional;
} ExportedField;

typedef struct ExportedEnumValue {
    const struct ExportedEnumValue* next;
    const char* name;
    const char* description;
    int32_t value;
} ExportedEnumValue;

typedef struct ExportedType {
    const struct ExportedType* next;
    const char* name;
    const char* namespaceName;
    uint32_t nativeSize;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
    const ExportedField* fields;         /* set only for a type with fields */
    const ExportedEnumValue* enumValues; /* set only for a type without fields */
    uint32_t memberCount;                /* the fields, or the enum values without fields */
} ExportedType;

typedef struct ExportedEvent {
    const struct ExportedEvent* next;
    const char* name;
    const char* namespaceName;
    const char* payloadTypeName;
    const char* description;
    const char* const* tags;
    uint32_t tagCount;
} ExportedEvent;
#pragma pack(pop)

/* The whole API description. In the plugin's export the function array is its
 * HttpFunctionRecord array: each of those records begins with an ExportedFunction whose next
 * word leads to the following record, so walk the functions by their next words. */
typedef struct ApiExport {
    const ExportedFunction* functions;
    uint32_t functionCount;
    const ExportedType* types;
    uint32_t typeCount;
    const ExportedEvent* events;
    uint32_t eventCount;
} ApiExport;

/* ---- HTTP functions ----------------------------------------------------------------------- */

/* Serves one request for the function whose record holds this entry. */
typedef void(KIV_CDECL* HttpDispatchFn)(HostResponse* response, const HostRequest* request);

/* One argument's location, a list element in argument order. */
typedef struct ArgumentLocationEntry {
    const struct ArgumentLocationEntry* next;
    uint32_t location; /* KIV_ARGUMENT_LOCATION_* */
} ArgumentLocationEntry;

/* One list of texts, a list element; carried for the host, never set by this library. */
typedef struct TextListEntry {
    const struct TextListEntry* next;
    const char* const* texts;
    uint32_t count;
} TextListEntry;

#pragma pack(push, 1)
/* One HTTP function as announced to the host. */
typedef struct HttpFunctionRecord {
    ExportedFunction function; /* next leads to the following record; context to the router */
    HttpDispatchFn dispatch;
    const ArgumentLocationEntry* argumentLocations;
    const char* pathTemplate;
    uint32_t method; /* KIV_HTTP_METHOD_* */
    uint8_t flags;   /* carried for the host, never set by this library */
    const TextListEntry* textLists;
    uint32_t textListCount;
    const char* customMethod;
} HttpFunctionRecord;
#pragma pack(pop)

/* ---- The host's function table ------------------------------------------------------------
 * Every entry takes the table itself first. The plugin reads no result from any entry, so none
 * is declared (cdecl returns in registers, so a host entry that returns a word is still
 * compatible). */

struct HostApi;

typedef void(KIV_CDECL* HostSendRequestFn)(struct HostApi* api, HostResponse* response,
                                           const HostRequest* request);
typedef void(KIV_CDECL* HostOperation1Fn)(struct HostApi* api, uint32_t first, uint32_t second);
typedef void(KIV_CDECL* HostSendEventFn)(struct HostApi* api, const HostEventRecord* event);
typedef void(KIV_CDECL* HostSubscribeEventFn)(struct HostApi* api, const char* eventName,
                                              uintptr_t hostContext, PluginEventCallbackFn callback,
                                              void* userData, uint32_t eventKind /* KIV_EVENT_KIND_* */);
typedef void(KIV_CDECL* HostUnsubscribeEventFn)(struct HostApi* api, const char* eventName,
                                                uintptr_t hostContext);
typedef void(KIV_CDECL* HostScheduleTimerFn)(struct HostApi* api, const char* jobName,
                                             PluginTimerCallbackFn callback, void* userData,
                                             double delaySeconds, uint32_t reserved /* 0 */);
typedef void(KIV_CDECL* HostYieldToHostFn)(struct HostApi* api);
typedef void(KIV_CDECL* HostBeginWaitFn)(struct HostApi* api, const char* label, uint32_t reserved /* 0 */);
typedef void(KIV_CDECL* HostEndWaitFn)(struct HostApi* api);
typedef void(KIV_CDECL* HostWriteLogFn)(struct HostApi* api, uint32_t level /* KIV_LOG_LEVEL_* */,
                                        const char* text);

typedef struct HostApi {
    HostSendRequestFn sendRequest;
    HostOperation1Fn hostOperation1;
    HostSendEventFn sendEvent;
    HostSubscribeEventFn subscribeEvent;
    HostUnsubscribeEventFn unsubscribeEvent;
    HostScheduleTimerFn scheduleTimer;
    HostYieldToHostFn yieldToHost;
    HostBeginWaitFn beginWait;
    HostEndWaitFn endWait;
    HostWriteLogFn writeLog;
} HostApi;

/* Handed to the plugin's initialize and kept for the plugin's whole life. */
typedef struct HostInterface {
    HostApi* api;
    uintptr_t hostContext; /* opaque; handed back with requests and (un)subscriptions */
} HostInterface;

/* ---- Loading and the plugin's callbacks ------------------------------------------------------ */

/* Memory the plugin has allocated, counted since its first allocation. */
typedef struct MemoryStatistics {
    uint64_t peakLiveBytes;
    uint64_t liveAllocationsAtPeak;
    uint64_t bytesAllocated;
    uint64_t allocationCount;
    uint64_t bytesFreed;
    uint64_t freeCount;
    uint64_t reserved; /* 0 */
} MemoryStatistics;

typedef uint8_t(KIV_CDECL* PluginInitializeFn)(void* plugin, HostInterface* host);
typedef void(KIV_CDECL* PluginUnloadFn)(void* plugin);
typedef void(KIV_CDECL* PluginGetMemoryStatisticsFn)(void* plugin, MemoryStatistics* statistics);

/* The plugin's callbacks, in the order the host expects them. */
typedef struct PluginCallbacks {
    PluginInitializeFn initialize; /* returns 1 when initialisation succeeded */
    PluginUnloadFn unload;         /* shuts the plugin down and destroys it */
    PluginGetMemoryStatisticsFn getMemoryStatistics;
} PluginCallbacks;

/* The record the host passes to the export. The host writes its plugin-API version into the
 * first three words; the plugin overwrites them with its own and fills in the rest. */
typedef struct PluginLoadInfo {
    uint32_t apiMajor;
    uint32_t apiMinor;
    uint32_t apiPatch;
    PluginCallbacks* callbacks; /* lives inside the plugin object */
    void* plugin;               /* opaque handle passed back to the callbacks */
    const char* shortName;      /* owned by the plugin */
    ApiExport* apiExport;       /* owned by the plugin */
} PluginLoadInfo;

/* The export, resolved by KIV_PLUGIN_ENTRY_NAME. */
typedef void(KIV_CDECL* PluginLoadFn)(PluginLoadInfo* info);

#ifdef __cplusplus
} /* extern "C" */
#endif

/* ---- Layout checks (32-bit builds) --------------------------------------------------------- */

#if UINTPTR_MAX == 0xFFFFFFFFu
#ifdef __cplusplus
#define KIV_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KIV_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif
#define KIV_ASSERT_SIZE(type, size) KIV_STATIC_ASSERT(sizeof(type) == (size), #type " is " #size " bytes")
#define KIV_ASSERT_OFFSET(type, field, offset)                                                               \
    KIV_STATIC_ASSERT(offsetof(type, field) == (offset), #type "." #field " at " #offset)

KIV_ASSERT_SIZE(FlatValue, 12);
KIV_ASSERT_OFFSET(FlatValue, a, 4);
KIV_ASSERT_OFFSET(FlatValue, b, 8);
KIV_ASSERT_SIZE(FlatStructureMember, 17);
KIV_ASSERT_OFFSET(FlatStructureMember, value, 4);
KIV_ASSERT_OFFSET(FlatStructureMember, keyOwned, 16);
KIV_ASSERT_SIZE(FlatResult, 17);
KIV_ASSERT_OFFSET(FlatResult, error, 12);
KIV_ASSERT_OFFSET(FlatResult, failed, 16);

KIV_ASSERT_SIZE(HostEventRecord, 24);
KIV_ASSERT_OFFSET(HostEventRecord, payload, 4);
KIV_ASSERT_OFFSET(HostEventRecord, reserved, 16);
KIV_ASSERT_OFFSET(HostEventRecord, userData, 20);

KIV_ASSERT_SIZE(HostHeader, 8);
KIV_ASSERT_SIZE(HostArgument, 16);
KIV_ASSERT_OFFSET(HostArgument, value, 4);
KIV_ASSERT_SIZE(HostRequest, 48);
KIV_ASSERT_OFFSET(HostRequest, path, 4);
KIV_ASSERT_OFFSET(HostRequest, arguments, 8);
KIV_ASSERT_OFFSET(HostRequest, argumentCount, 12);
KIV_ASSERT_OFFSET(HostRequest, context, 16);
KIV_ASSERT_OFFSET(HostRequest, headers, 20);
KIV_ASSERT_OFFSET(HostRequest, headerCount, 24);
KIV_ASSERT_OFFSET(HostRequest, contentType, 28);
KIV_ASSERT_OFFSET(HostRequest, body, 32);
KIV_ASSERT_OFFSET(HostRequest, bodyLength, 36);
KIV_ASSERT_OFFSET(HostRequest, userData, 40);
KIV_ASSERT_OFFSET(HostRequest, customMethod, 44);

KIV_ASSERT_SIZE(HostResponse, 62);
KIV_ASSERT_OFFSET(HostResponse, contextFlag, 17);
KIV_ASSERT_OFFSET(HostResponse, contextCode, 18);
KIV_ASSERT_OFFSET(HostResponse, status, 22);
KIV_ASSERT_OFFSET(HostResponse, contextText, 26);
KIV_ASSERT_OFFSET(HostResponse, headers, 30);
KIV_ASSERT_OFFSET(HostResponse, headerCount, 34);
KIV_ASSERT_OFFSET(HostResponse, readBody, 38);
KIV_ASSERT_OFFSET(HostResponse, releaseBody, 42);
KIV_ASSERT_OFFSET(HostResponse, bodyLength, 46);
KIV_ASSERT_OFFSET(HostResponse, bodyStream, 54);
KIV_ASSERT_OFFSET(HostResponse, release, 58);

KIV_ASSERT_SIZE(ExportedTypeRef, 12);
KIV_ASSERT_OFFSET(ExportedTypeRef, elementKind, 4);
KIV_ASSERT_OFFSET(ExportedTypeRef, typeName, 8);
KIV_ASSERT_SIZE(ApiExport, 24);
KIV_ASSERT_OFFSET(ApiExport, functionCount, 4);
KIV_ASSERT_OFFSET(ApiExport, types, 8);
KIV_ASSERT_OFFSET(ApiExport, typeCount, 12);
KIV_ASSERT_OFFSET(ApiExport, events, 16);
KIV_ASSERT_OFFSET(ApiExport, eventCount, 20);
KIV_ASSERT_SIZE(ExportedFunction, 61);
KIV_ASSERT_OFFSET(ExportedFunction, reserved, 4);
KIV_ASSERT_OFFSET(ExportedFunction, context, 8);
KIV_ASSERT_OFFSET(ExportedFunction, name, 12);
KIV_ASSERT_OFFSET(ExportedFunction, namespaceName, 16);
KIV_ASSERT_OFFSET(ExportedFunction, arguments, 20);
KIV_ASSERT_OFFSET(ExportedFunction, argumentCount, 24);
KIV_ASSERT_OFFSET(ExportedFunction, result, 28);
KIV_ASSERT_OFFSET(ExportedFunction, description, 40);
KIV_ASSERT_OFFSET(ExportedFunction, help, 44);
KIV_ASSERT_OFFSET(ExportedFunction, threadSafe, 48);
KIV_ASSERT_OFFSET(ExportedFunction, asyncTypeName, 49);
KIV_ASSERT_OFFSET(ExportedFunction, tags, 53);
KIV_ASSERT_OFFSET(ExportedFunction, tagCount, 57);
KIV_ASSERT_SIZE(ExportedArgument, 25);
KIV_ASSERT_OFFSET(ExportedArgument, name, 4);
KIV_ASSERT_OFFSET(ExportedArgument, description, 8);
KIV_ASSERT_OFFSET(ExportedArgument, type, 12);
KIV_ASSERT_OFFSET(ExportedArgument, optional, 24);
KIV_ASSERT_SIZE(ExportedType, 40);
KIV_ASSERT_OFFSET(ExportedType, name, 4);
KIV_ASSERT_OFFSET(ExportedType, namespaceName, 8);
KIV_ASSERT_OFFSET(ExportedType, nativeSize, 12);
KIV_ASSERT_OFFSET(ExportedType, description, 16);
KIV_ASSERT_OFFSET(ExportedType, tags, 20);
KIV_ASSERT_OFFSET(ExportedType, tagCount, 24);
KIV_ASSERT_OFFSET(ExportedType, fields, 28);
KIV_ASSERT_OFFSET(ExportedType, enumValues, 32);
KIV_ASSERT_OFFSET(ExportedType, memberCount, 36);
KIV_ASSERT_SIZE(ExportedField, 29);
KIV_ASSERT_OFFSET(ExportedField, name, 4);
KIV_ASSERT_OFFSET(ExportedField, description, 8);
KIV_ASSERT_OFFSET(ExportedField, offset, 12);
KIV_ASSERT_OFFSET(ExportedField, type, 16);
KIV_ASSERT_OFFSET(ExportedField, optional, 28);
KIV_ASSERT_SIZE(ExportedEnumValue, 16);
KIV_ASSERT_OFFSET(ExportedEnumValue, name, 4);
KIV_ASSERT_OFFSET(ExportedEnumValue, description, 8);
KIV_ASSERT_OFFSET(ExportedEnumValue, value, 12);
KIV_ASSERT_SIZE(ExportedEvent, 28);
KIV_ASSERT_OFFSET(ExportedEvent, name, 4);
KIV_ASSERT_OFFSET(ExportedEvent, namespaceName, 8);
KIV_ASSERT_OFFSET(ExportedEvent, payloadTypeName, 12);
KIV_ASSERT_OFFSET(ExportedEvent, description, 16);
KIV_ASSERT_OFFSET(ExportedEvent, tags, 20);
KIV_ASSERT_OFFSET(ExportedEvent, tagCount, 24);

KIV_ASSERT_SIZE(ArgumentLocationEntry, 8);
KIV_ASSERT_OFFSET(ArgumentLocationEntry, location, 4);
KIV_ASSERT_SIZE(TextListEntry, 12);
KIV_ASSERT_OFFSET(TextListEntry, texts, 4);
KIV_ASSERT_OFFSET(TextListEntry, count, 8);
KIV_ASSERT_SIZE(HttpFunctionRecord, 90);
KIV_ASSERT_OFFSET(HttpFunctionRecord, dispatch, 61);
KIV_ASSERT_OFFSET(HttpFunctionRecord, argumentLocations, 65);
KIV_ASSERT_OFFSET(HttpFunctionRecord, pathTemplate, 69);
KIV_ASSERT_OFFSET(HttpFunctionRecord, method, 73);
KIV_ASSERT_OFFSET(HttpFunctionRecord, flags, 77);
KIV_ASSERT_OFFSET(HttpFunctionRecord, textLists, 78);
KIV_ASSERT_OFFSET(HttpFunctionRecord, textListCount, 82);
KIV_ASSERT_OFFSET(HttpFunctionRecord, customMethod, 86);

KIV_ASSERT_SIZE(HostApi, 40);
KIV_ASSERT_OFFSET(HostApi, scheduleTimer, 20);
KIV_ASSERT_OFFSET(HostApi, writeLog, 36);
KIV_ASSERT_SIZE(HostInterface, 8);
KIV_ASSERT_OFFSET(HostInterface, hostContext, 4);
KIV_ASSERT_SIZE(MemoryStatistics, 56);
KIV_ASSERT_OFFSET(MemoryStatistics, liveAllocationsAtPeak, 8);
KIV_ASSERT_OFFSET(MemoryStatistics, bytesAllocated, 16);
KIV_ASSERT_OFFSET(MemoryStatistics, allocationCount, 24);
KIV_ASSERT_OFFSET(MemoryStatistics, bytesFreed, 32);
KIV_ASSERT_OFFSET(MemoryStatistics, freeCount, 40);
KIV_ASSERT_OFFSET(MemoryStatistics, reserved, 48);
KIV_ASSERT_SIZE(PluginCallbacks, 12);
KIV_ASSERT_OFFSET(PluginCallbacks, unload, 4);
KIV_ASSERT_OFFSET(PluginCallbacks, getMemoryStatistics, 8);
KIV_ASSERT_SIZE(PluginLoadInfo, 28);
KIV_ASSERT_OFFSET(PluginLoadInfo, apiMinor, 4);
KIV_ASSERT_OFFSET(PluginLoadInfo, apiPatch, 8);
KIV_ASSERT_OFFSET(PluginLoadInfo, callbacks, 12);
KIV_ASSERT_OFFSET(PluginLoadInfo, plugin, 16);
KIV_ASSERT_OFFSET(PluginLoadInfo, shortName, 20);
KIV_ASSERT_OFFSET(PluginLoadInfo, apiExport, 24);

#undef KIV_ASSERT_SIZE
#undef KIV_ASSERT_OFFSET
#endif

#endif /* KIV_PLUGIN_ABI_H */
