// The four functions of the hub maker's ISP library ZQ460API that Tolvane
// calls. The program links against the library at load time; on Linux the
// simulated library in sim/ stands in for it.
#ifndef TOLVANE_ISP_ZQ460API_H
#define TOLVANE_ISP_ZQ460API_H

#include "IspRecords.h"

#if defined(_WIN32) && defined(ZQ460API_BUILDING)
#define ZQ460API_EXPORT __declspec(dllexport)
#elif defined(_WIN32)
#define ZQ460API_EXPORT __declspec(dllimport)
#elif defined(ZQ460API_BUILDING)
#define ZQ460API_EXPORT __attribute__((visibility("default")))
#else
#define ZQ460API_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Stores the library's version number in *version. The result is not used.
ZQ460API_EXPORT int RX_GetDllVersion(uint32_t* version);

// Hands the library the target-ID table. The record must stay where it is
// for as long as the library may use it. The result is not used.
ZQ460API_EXPORT int RX_SetIniInfo(IniInfo* iniInfo);

// Writes hubCount and one entry per hub (at most 32); the rest of the record
// is left as it was. The result is not used.
ZQ460API_EXPORT int RX_GetEnumInfo(EnumInfo* enumInfo);

// Programs the flash of hub hubIndex (its position in the latest enumeration)
// with the image file at imagePath. Returns 0 on success.
ZQ460API_EXPORT int32_t RX_UpdateISP(uint8_t hubIndex, const char* imagePath, int32_t reserved);

#ifdef __cplusplus
}
#endif

#endif
