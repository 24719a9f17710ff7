/* Windows Media attributes of a WMA (ASF) file, in the shape of a COM
 * object: a table of methods whose first argument is the object.
 *
 * Contract:
 * - WMAudioCreateInfo opens an existing ASF file and hands out an info
 *   object holding one reference; the caller owns that reference and gives
 *   it back with Release, which frees the object at zero.
 * - Status codes: 0 (WMA_S_OK) is success, anything else a failure; the
 *   codes below are those of the Windows Media SDK.
 * - Attribute names and text values are UTF-16 (host byte order) with a
 *   terminating zero; lengths are in bytes. Data types: 0 DWORD (4 bytes),
 *   1 STRING, 2 BINARY, 3 BOOL (4 bytes), 4 QWORD (8 bytes), 5 WORD (2 bytes).
 * - SetAttribute changes only the object. Save stores every attribute of the
 *   object in the file: the file is written beside the original and put in
 *   its place, so a failure leaves the original as it was.
 * - "Title", "Author", "Description", "Copyright" and "Rating" are the
 *   content description texts; every other name is an extended attribute.
 */
#ifndef TARNWELL_WMAUDSDK_H
#define TARNWELL_WMAUDSDK_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define WMA_S_OK 0
#define WMA_E_FAIL ((int32_t)0x80004005)
#define WMA_E_POINTER ((int32_t)0x80004003)
#define WMA_E_NOINTERFACE ((int32_t)0x80004002)
#define WMA_E_INVALIDARG ((int32_t)0x80070057)
#define WMA_E_OUTOFMEMORY ((int32_t)0x8007000E)
#define WMA_E_BUFFERTOOSMALL ((int32_t)0xC00D07D1)
#define WMA_E_NOTFOUND ((int32_t)0xC00D07F0)
#define WMA_E_INVALIDFILE ((int32_t)0xC00D0BBD)
/* A system call failed (a full disk, for one): the errno value in the low
 * 16 bits, under a facility of this library's own. */
#define WMA_E_SYSTEM(error) ((int32_t)(0xA0070000u | ((uint32_t)(error)&0xFFFFu)))
#define WMA_IS_SYSTEM(status) (((uint32_t)(status)&0xFFFF0000u) == 0xA0070000u)

enum WMAudioAttributeType {
    WMA_TYPE_DWORD = 0,
    WMA_TYPE_STRING = 1,
    WMA_TYPE_BINARY = 2,
    WMA_TYPE_BOOL = 3,
    WMA_TYPE_QWORD = 4,
    WMA_TYPE_WORD = 5
};

typedef struct WMAudioInfo WMAudioInfo;

typedef struct WMAudioInfoVtbl {
    /* 1-3: IUnknown. QueryInterface hands out the object itself for the
     * all-zero identifier and the IUnknown identifier, adding a reference. */
    int32_t (*QueryInterface)(WMAudioInfo* self, const uint8_t* iid, void** object);
    uint32_t (*AddRef)(WMAudioInfo* self);
    uint32_t (*Release)(WMAudioInfo* self);
    /* 4: how many attributes the object holds (content description texts
     * first, then the extended attributes, each value counted once). */
    int32_t (*GetAttributeCount)(WMAudioInfo* self, uint16_t* count);
    /* 5: attribute `index` in that order. `nameLength` is the capacity of
     * `name` in UTF-16 units on entry and the units needed (with the zero) on
     * return; `length` likewise in bytes for `value`. With `name` or `value`
     * NULL only the sizes are returned; too small a buffer gives
     * WMA_E_BUFFERTOOSMALL with the sizes filled in. */
    int32_t (*GetAttributeByIndex)(WMAudioInfo* self, uint16_t index, char16_t* name,
                                   uint16_t* nameLength, int32_t* type, uint8_t* value,
                                   uint16_t* length);
    /* 6: the first value of attribute `name`, as in GetAttributeByIndex;
     * WMA_E_NOTFOUND when the object holds no such attribute. */
    int32_t (*GetAttributeByName)(WMAudioInfo* self, const char16_t* name, int32_t* type,
                                  uint8_t* value, uint16_t* length);
    /* 7: sets attribute `name` to one value, replacing any earlier values. */
    int32_t (*SetAttribute)(WMAudioInfo* self, const char16_t* name, int32_t type,
                            const uint8_t* value, uint16_t length);
    /* 8: stores the attributes in the file; WMA_E_SYSTEM when the disk
     * refuses. */
    int32_t (*Save)(WMAudioInfo* self);
} WMAudioInfoVtbl;

struct WMAudioInfo {
    const WMAudioInfoVtbl* lpVtbl;
};

/* Opens `fileName` (UTF-16, zero-terminated). On success *info receives a
 * new object; on failure it is set to NULL. WMA_E_INVALIDFILE when the file
 * is not an ASF file, WMA_E_FAIL when it cannot be read. */
int32_t WMAudioCreateInfo(const char16_t* fileName, WMAudioInfo** info);

typedef int32_t (*WMAudioCreateInfoFunc)(const char16_t* fileName, WMAudioInfo** info);

#ifdef __cplusplus
}
#endif

#endif
