/* Every boundary record with its fields in the order the host expects them, as seen by the
 * compiler that includes this file. The C++ tests compare the C compiler's copy (returned by
 * recordFieldsSeenByC) with their own, and check that the fields tile each record. */
#ifndef KIV_TESTS_ABI_RECORD_FIELD_TABLE_H
#define KIV_TESTS_ABI_RECORD_FIELD_TABLE_H

#include "kiv/plugin_abi.h"

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RecordField {
    const char* record;
    const char* field;
    size_t offset;
    size_t size;
} RecordField;

typedef struct RecordSize {
    const char* record;
    size_t size;
    int tilesOnEveryTarget; /* packed, or all fields of one width: no padding with 8-byte pointers either */
} RecordSize;

#define KIV_FIELD(record, field)                                                                             \
    { #record, #field, offsetof(record, field), sizeof(((record*)0)->field) }
#define KIV_RECORD(record, tilesOnEveryTarget)                                                               \
    { #record, sizeof(record), tilesOnEveryTarget }

static const RecordField kRecordFields[] = {
    KIV_FIELD(FlatValue, kind),
    KIV_FIELD(FlatValue, a),
    KIV_FIELD(FlatValue, b),
    KIV_FIELD(FlatStructureMember, key),
    KIV_FIELD(FlatStructureMember, value),
    KIV_FIELD(FlatStructureMember, keyOwned),
    KIV_FIELD(FlatResult, value),
    KIV_FIELD(FlatResult, error),
    KIV_FIELD(FlatResult, failed),
    KIV_FIELD(HostEventRecord, name),
    KIV_FIELD(HostEventRecord, payload),
    KIV_FIELD(HostEventRecord, reserved),
    KIV_FIELD(HostEventRecord, userData),
    KIV_FIELD(HostHeader, name),
    KIV_FIELD(HostHeader, value),
    KIV_FIELD(HostArgument, name),
    KIV_FIELD(HostArgument, value),
    KIV_FIELD(HostRequest, method),
    KIV_FIELD(HostRequest, path),
    KIV_FIELD(HostRequest, arguments),
    KIV_FIELD(HostRequest, argumentCount),
    KIV_FIELD(HostRequest, context),
    KIV_FIELD(HostRequest, headers),
    KIV_FIELD(HostRequest, headerCount),
    KIV_FIELD(HostRequest, contentType),
    KIV_FIELD(HostRequest, body),
    KIV_FIELD(HostRequest, bodyLength),
    KIV_FIELD(HostRequest, userData),
    KIV_FIELD(HostRequest, customMethod),
    KIV_FIELD(HostResponse, result),
    KIV_FIELD(HostResponse, contextFlag),
    KIV_FIELD(HostResponse, contextCode),
    KIV_FIELD(HostResponse, status),
    KIV_FIELD(HostResponse, contextText),
    KIV_FIELD(HostResponse, headers),
    KIV_FIELD(HostResponse, headerCount),
    KIV_FIELD(HostResponse, readBody),
    KIV_FIELD(HostResponse, releaseBody),
    KIV_FIELD(HostResponse, bodyLength),
    KIV_FIELD(HostResponse, bodyStream),
    KIV_FIELD(HostResponse, release),
    KIV_FIELD(ExportedTypeRef, kind),
    KIV_FIELD(ExportedTypeRef, elementKind),
    KIV_FIELD(ExportedTypeRef, typeName),
    KIV_FIELD(ExportedArgument, next),
    KIV_FIELD(ExportedArgument, name),
    KIV_FIELD(ExportedArgument, description),
    KIV_FIELD(ExportedArgument, type),
    KIV_FIELD(ExportedArgument, optional),
    KIV_FIELD(ExportedFunction, next),
    KIV_FIELD(ExportedFunction, reserved),
    KIV_FIELD(ExportedFunction, context),
    KIV_FIELD(ExportedFunction, name),
    KIV_FIELD(ExportedFunction, namespaceName),
    KIV_FIELD(ExportedFunction, arguments),
    KIV_FIELD(ExportedFunction, argumentCount),
    KIV_FIELD(ExportedFunction, result),
    KIV_FIELD(ExportedFunction, description),
    KIV_FIELD(ExportedFunction, help),
    KIV_FIELD(ExportedFunction, threadSafe),
    KIV_FIELD(ExportedFunction, asyncTypeName),
    KIV_FIELD(ExportedFunction, tags),
    KIV_FIELD(ExportedFunction, tagCount),
    KIV_FIELD(ExportedField, next),
    KIV_FIELD(ExportedField, name),
    KIV_FIELD(ExportedField, description),
    KIV_FIELD(ExportedField, offset),
    KIV_FIELD(ExportedField, type),
    KIV_FIELD(ExportedField, optional),
    KIV_FIELD(ExportedEnumValue, next),
    KIV_FIELD(ExportedEnumValue, name),
    KIV_FIELD(ExportedEnumValue, description),
    KIV_FIELD(ExportedEnumValue, value),
    KIV_FIELD(ExportedType, next),
    KIV_FIELD(ExportedType, name),
    KIV_FIELD(ExportedType, namespaceName),
    KIV_FIELD(ExportedType, nativeSize),
    KIV_FIELD(ExportedType, description),
    KIV_FIELD(ExportedType, tags),
    KIV_FIELD(ExportedType, tagCount),
    KIV_FIELD(ExportedType, fields),
    KIV_FIELD(ExportedType, enumValues),
    KIV_FIELD(ExportedType, memberCount),
    KIV_FIELD(ExportedEvent, next),
    KIV_FIELD(ExportedEvent, name),
    KIV_FIELD(ExportedEvent, namespaceName),
    KIV_FIELD(ExportedEvent, payloadTypeName),
    KIV_FIELD(ExportedEvent, description),
    KIV_FIELD(ExportedEvent, tags),
    KIV_FIELD(ExportedEvent, tagCount),
    KIV_FIELD(ApiExport, functions),
    KIV_FIELD(ApiExport, functionCount),
    KIV_FIELD(ApiExport, types),
    KIV_FIELD(ApiExport, typeCount),
    KIV_FIELD(ApiExport, events),
    KIV_FIELD(ApiExport, eventCount),
    KIV_FIELD(ArgumentLocationEntry, next),
    KIV_FIELD(ArgumentLocationEntry, location),
    KIV_FIELD(TextListEntry, next),
    KIV_FIELD(TextListEntry, texts),
    KIV_FIELD(TextListEntry, count),
    KIV_FIELD(HttpFunctionRecord, function),
    KIV_FIELD(HttpFunctionRecord, dispatch),
    KIV_FIELD(HttpFunctionRecord, argumentLocations),
    KIV_FIELD(HttpFunctionRecord, pathTemplate),
    KIV_FIELD(HttpFunctionRecord, method),
    KIV_FIELD(HttpFunctionRecord, flags),
    KIV_FIELD(HttpFunctionRecord, textLists),
    KIV_FIELD(HttpFunctionRecord, textListCount),
    KIV_FIELD(HttpFunctionRecord, customMethod),
    KIV_FIELD(HostApi, sendRequest),
    KIV_FIELD(HostApi, hostOperation1),
    KIV_FIELD(HostApi, sendEvent),
    KIV_FIELD(HostApi, subscribeEvent),
    KIV_FIELD(HostApi, unsubscribeEvent),
    KIV_FIELD(HostApi, scheduleTimer),
    KIV_FIELD(HostApi, yieldToHost),
    KIV_FIELD(HostApi, beginWait),
    KIV_FIELD(HostApi, endWait),
    KIV_FIELD(HostApi, writeLog),
    KIV_FIELD(HostInterface, api),
    KIV_FIELD(HostInterface, hostContext),
    KIV_FIELD(MemoryStatistics, peakLiveBytes),
    KIV_FIELD(MemoryStatistics, liveAllocationsAtPeak),
    KIV_FIELD(MemoryStatistics, bytesAllocated),
    KIV_FIELD(MemoryStatistics, allocationCount),
    KIV_FIELD(MemoryStatistics, bytesFreed),
    KIV_FIELD(MemoryStatistics, freeCount),
    KIV_FIELD(MemoryStatistics, reserved),
    KIV_FIELD(PluginCallbacks, initialize),
    KIV_FIELD(PluginCallbacks, unload),
    KIV_FIELD(PluginCallbacks, getMemoryStatistics),
    KIV_FIELD(PluginLoadInfo, apiMajor),
    KIV_FIELD(PluginLoadInfo, apiMinor),
    KIV_FIELD(PluginLoadInfo, apiPatch),
    KIV_FIELD(PluginLoadInfo, callbacks),
    KIV_FIELD(PluginLoadInfo, plugin),
    KIV_FIELD(PluginLoadInfo, shortName),
    KIV_FIELD(PluginLoadInfo, apiExport),
};

static const RecordSize kRecordSizes[] = {
    KIV_RECORD(FlatValue, 1),
    KIV_RECORD(FlatStructureMember, 1),
    KIV_RECORD(FlatResult, 1),
    KIV_RECORD(HostEventRecord, 0),
    KIV_RECORD(HostHeader, 1),
    KIV_RECORD(HostArgument, 0),
    KIV_RECORD(HostRequest, 0),
    KIV_RECORD(HostResponse, 1),
    KIV_RECORD(ExportedTypeRef, 1),
    KIV_RECORD(ExportedArgument, 1),
    KIV_RECORD(ExportedFunction, 1),
    KIV_RECORD(ExportedField, 1),
    KIV_RECORD(ExportedEnumValue, 1),
    KIV_RECORD(ExportedType, 1),
    KIV_RECORD(ExportedEvent, 1),
    KIV_RECORD(ApiExport, 0),
    KIV_RECORD(ArgumentLocationEntry, 0),
    KIV_RECORD(TextListEntry, 0),
    KIV_RECORD(HttpFunctionRecord, 1),
    KIV_RECORD(HostApi, 1),
    KIV_RECORD(HostInterface, 0),
    KIV_RECORD(MemoryStatistics, 1),
    KIV_RECORD(PluginCallbacks, 1),
    KIV_RECORD(PluginLoadInfo, 0),
};

#undef KIV_FIELD
#undef KIV_RECORD

#define KIV_COUNT_OF(array) (sizeof(array) / sizeof((array)[0]))

/* The tables as the C compiler lays the records out. */
const RecordField* recordFieldsSeenByC(size_t* count);
const RecordSize* recordSizesSeenByC(size_t* count);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KIV_TESTS_ABI_RECORD_FIELD_TABLE_H */
