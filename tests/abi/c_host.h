/* A host written in C against the boundary header, for tests that cross the boundary both ways:
 * its function table records each call, and it drives a plugin through the load record. */
#ifndef KIV_TESTS_ABI_C_HOST_H
#define KIV_TESTS_ABI_C_HOST_H

#include "kiv/plugin_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The arguments of the last call that reached the C host's table. */
typedef struct CHostCall {
    int entry; /* index of the HostApi entry, -1 before any call */
    HostApi* api;
    const void* pointers[3]; /* pointer arguments after the table, in order */
    uintptr_t words[2];      /* integer arguments, in order */
    double delaySeconds;
    const char* text;
} CHostCall;

/* The C host's table, a HostInterface carrying it, and the record of its last call. */
HostInterface* cHostInterface(void);
const CHostCall* cHostLastCall(void);

/* Loads a plugin the way a host does: writes the core version 18.2.5 into the load record, calls
 * the export, then initialize with the C host's interface, getMemoryStatistics and unload.
 * Returns initialize's result. */
uint8_t cHostRunPlugin(PluginLoadFn load, PluginLoadInfo* info, MemoryStatistics* statistics);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KIV_TESTS_ABI_C_HOST_H */
