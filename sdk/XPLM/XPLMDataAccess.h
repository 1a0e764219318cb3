#pragma once
// Reading and writing the simulator's named data (datarefs).
#include "XPLMDefs.h"
#ifdef __cplusplus
extern "C" {
#endif

typedef void* XPLMDataRef;

// A dataref's types form a bit set: a dataref may be readable through several accessors (for
// instance float and double). There is no conversion: an accessor outside the set reads 0 and
// writes nothing.
typedef int XPLMDataTypeID;
enum {
    xplmType_Unknown = 0,
    xplmType_Int = 1,          // one 32-bit integer
    xplmType_Float = 2,        // one 32-bit float
    xplmType_Double = 4,       // one 64-bit double
    xplmType_FloatArray = 8,   // 32-bit floats
    xplmType_IntArray = 16,    // 32-bit integers
    xplmType_Data = 32         // a block of bytes
};

// NULL when no dataref has that name.
XPLM_API XPLMDataRef XPLMFindDataRef(const char* inDataRefName);
// 0 for read-only datarefs (writes to them are ignored).
XPLM_API int XPLMCanWriteDataRef(XPLMDataRef inDataRef);
XPLM_API int XPLMIsDataRefGood(XPLMDataRef inDataRef);
XPLM_API XPLMDataTypeID XPLMGetDataRefTypes(XPLMDataRef inDataRef);

// Scalar accessors: 0 for a NULL handle or a type outside the dataref's set.
XPLM_API int XPLMGetDatai(XPLMDataRef inDataRef);
XPLM_API void XPLMSetDatai(XPLMDataRef inDataRef, int inValue);
XPLM_API float XPLMGetDataf(XPLMDataRef inDataRef);
XPLM_API void XPLMSetDataf(XPLMDataRef inDataRef, float inValue);
XPLM_API double XPLMGetDatad(XPLMDataRef inDataRef);
XPLM_API void XPLMSetDatad(XPLMDataRef inDataRef, double inValue);

// Array accessors. A read with outValues NULL gives the array's size, ignoring offset and count;
// otherwise up to inMax items from inOffset are copied and their number is given (fewer when the
// array ends first). A write stores up to inCount items from inOffset, never past the end.
XPLM_API int XPLMGetDatavi(XPLMDataRef inDataRef, int* outValues, int inOffset, int inMax);
XPLM_API void XPLMSetDatavi(XPLMDataRef inDataRef, int* inValues, int inOffset, int inCount);
XPLM_API int XPLMGetDatavf(XPLMDataRef inDataRef, float* outValues, int inOffset, int inMax);
XPLM_API void XPLMSetDatavf(XPLMDataRef inDataRef, float* inValues, int inOffset, int inCount);
// The same for byte datarefs, counted in bytes.
XPLM_API int XPLMGetDatab(XPLMDataRef inDataRef, void* outValue, int inOffset, int inMaxBytes);
XPLM_API void XPLMSetDatab(XPLMDataRef inDataRef, void* inValue, int inOffset, int inLength);

// ---- datarefs that plug-ins publish
typedef int (*XPLMGetDatai_f)(void* inRefcon);
typedef void (*XPLMSetDatai_f)(void* inRefcon, int inValue);
typedef float (*XPLMGetDataf_f)(void* inRefcon);
typedef void (*XPLMSetDataf_f)(void* inRefcon, float inValue);
typedef double (*XPLMGetDatad_f)(void* inRefcon);
typedef void (*XPLMSetDatad_f)(void* inRefcon, double inValue);
typedef int (*XPLMGetDatavi_f)(void* inRefcon, int* outValues, int inOffset, int inMax);
typedef void (*XPLMSetDatavi_f)(void* inRefcon, int* inValues, int inOffset, int inCount);
typedef int (*XPLMGetDatavf_f)(void* inRefcon, float* outValues, int inOffset, int inMax);
typedef void (*XPLMSetDatavf_f)(void* inRefcon, float* inValues, int inOffset, int inCount);
typedef int (*XPLMGetDatab_f)(void* inRefcon, void* outValue, int inOffset, int inMaxLength);
typedef void (*XPLMSetDatab_f)(void* inRefcon, void* inValue, int inOffset, int inLength);
XPLM_API XPLMDataRef XPLMRegisterDataAccessor(const char* inDataName, XPLMDataTypeID inDataType, int inIsWritable,
                                              XPLMGetDatai_f inReadInt, XPLMSetDatai_f inWriteInt,
                                              XPLMGetDataf_f inReadFloat, XPLMSetDataf_f inWriteFloat,
                                              XPLMGetDatad_f inReadDouble, XPLMSetDatad_f inWriteDouble,
                                              XPLMGetDatavi_f inReadIntArray, XPLMSetDatavi_f inWriteIntArray,
                                              XPLMGetDatavf_f inReadFloatArray, XPLMSetDatavf_f inWriteFloatArray,
                                              XPLMGetDatab_f inReadData, XPLMSetDatab_f inWriteData,
                                              void* inReadRefcon, void* inWriteRefcon);
XPLM_API void XPLMUnregisterDataAccessor(XPLMDataRef inDataRef);
typedef void (*XPLMDataChanged_f)(void* inRefcon);
// 1 when the dataref is shared (made or already of this type), 0 when it exists with another type.
XPLM_API int XPLMShareData(const char* inDataName, XPLMDataTypeID inDataType, XPLMDataChanged_f inNotificationFunc,
                           void* inNotificationRefcon);
XPLM_API int XPLMUnshareData(const char* inDataName, XPLMDataTypeID inDataType,
                             XPLMDataChanged_f inNotificationFunc, void* inNotificationRefcon);

#ifdef __cplusplus
}
#endif
