/* The zip library: two shared libraries, liblspzipx.so (creates and changes archives) and
 * liblspuzipx.so (lists, tests and extracts them), driven through a few setter calls and one
 * execute call per operation. All whole numbers are 32-bit signed; text arguments are
 * NUL-terminated UTF-8 that the library copies. Paths are Windows paths, translated through the
 * drive map (VANTREL_DRIVES). Settings live per thread. Setters return nonzero when they accept
 * the value. (Detailed documentation of actions, flags and list syntax: see below.) */
#ifndef VANTREL_LSZIP_H
#define VANTREL_LSZIP_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LSZIP_API __attribute__((visibility("default")))

/* Called during long work with five values the caller may ignore; a nonzero result stops the
 * operation ("Operation aborted.", -30). */
typedef int32_t (*ZipProgressFn)(int32_t, int32_t, int32_t, int32_t, int32_t);

/* The 425-byte entry record that LSUZ_GETNEXT fills: packed, numbers little-endian. */
#pragma pack(push, 1)
typedef struct ZipEntryRecord {
    char name[255];           /* entry name, NUL-terminated; a folder ends in a separator */
    uint16_t reserved1;
    uint16_t dosDate;         /* last modification, MS-DOS date */
    uint16_t dosTime;         /* last modification, MS-DOS time */
    uint32_t size;            /* uncompressed size */
    uint16_t ratio;           /* compression ratio, whole percent */
    uint32_t compressedSize;
    uint16_t method;          /* zip compression method number */
    uint32_t reserved2;
    uint16_t attributes;      /* file attributes, low byte used */
    uint16_t reserved3;
    uint16_t flags;           /* general-purpose flags */
    char comment[128];        /* entry comment, NUL-terminated */
    char reserved4[14];
} ZipEntryRecord;
#pragma pack(pop)

/* ---- zip side: liblspzipx.so ---- */
LSZIP_API int32_t LSZIP_VER(void);
LSZIP_API int32_t LSZIP_SETTEMPATH(char* folder);
LSZIP_API int32_t LSZIP_INCLUDE(char* list);
LSZIP_API int32_t LSZIP_PASSWORD(char* password);
LSZIP_API int32_t LSZIP_SETCALLBACK(ZipProgressFn callback);
LSZIP_API int32_t LSZIP_EXECUTE(char* archive, int32_t action, int32_t level, int32_t flags);

/* ---- unzip side: liblspuzipx.so ---- */
LSZIP_API int32_t LSUZ_VER(void);
LSZIP_API int32_t LSUZ_RESET(void);
LSZIP_API int32_t LSUZ_ZIPNAME(char* archive);
LSZIP_API int32_t LSUZ_INCLUDE(char* names);
LSZIP_API int32_t LSUZ_EXTRACTTO(char* folder);
LSZIP_API int32_t LSUZ_PASSWORD(char* password);
LSZIP_API int32_t LSUZ_SETCALLBACK(ZipProgressFn callback);
LSZIP_API int32_t LSUZ_EXECUTE(int32_t action, int32_t flags);
LSZIP_API int32_t LSUZ_GETNEXT(void* record);

#ifdef __cplusplus
}
static_assert(sizeof(ZipEntryRecord) == 425, "the entry record is 425 bytes");
#endif

#endif
