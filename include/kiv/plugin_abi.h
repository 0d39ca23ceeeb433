/* Every record and function table that crosses the boundary between a plugin library and its
 * host. Plain C, usable from C and C++. The reference build is 32-bit x86, little-endian, with
 * 4-byte pointers; there every size and offset below is checked. In 64-bit builds the same
 * records hold 8-byte pointers and are not held to the byte layout. */
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
    KIV_FLAT_BLOB_BORROWED = 7,   /* a: bytes, b: byte count */
    KIV_FLAT_BLOB_OWNED = 8,
    KIV_FLAT_COLLECTION = 9,      /* a: FlatValue array, b: count (owned) */
    KIV_FLAT_STRUCTURE = 10       /* a: FlatStructureMember array, b: count (owned) */
};

/* A value tree in plain records: kind, word A (pointer-sized), word B. */
typedef struct FlatValue {
    uint32_t kind;
    uintptr_t a;
    uint32_t b;
} FlatValue;

#pragma pack(push, 1)
/* One member of a flat structure. */
typedef struct FlatStructureMember {
    const char* key;
    FlatValue value;
    uint8_t keyOwned;
} FlatStructureMember;
#pragma pack(pop)

/* A flat value or the owned text of the error that prevented it. */
typedef struct FlatResult {
    FlatValue value;
    char* error;
    uint8_t failed;
} FlatResult;

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
KIV_STATIC_ASSERT(sizeof(FlatValue) == 12, "FlatValue is 12 bytes");
KIV_STATIC_ASSERT(offsetof(FlatValue, a) == 4, "FlatValue word A at 4");
KIV_STATIC_ASSERT(offsetof(FlatValue, b) == 8, "FlatValue word B at 8");
KIV_STATIC_ASSERT(sizeof(FlatStructureMember) == 17, "FlatStructureMember is 17 bytes");
KIV_STATIC_ASSERT(offsetof(FlatStructureMember, value) == 4, "member value at 4");
KIV_STATIC_ASSERT(offsetof(FlatStructureMember, keyOwned) == 16, "key-owned flag at 16");
#endif

#endif /* KIV_PLUGIN_ABI_H */
