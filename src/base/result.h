// Result codes used inside the library: the public WQ_ codes under their Windows names.
//
// Subsystem code never sees <windows.h>, so these names are free here. A platform/win32 file
// that includes <windows.h> uses the WQ_ macros from wqrt.h instead of this header.
#pragma once

#include <cstdint>

#include "wqrt.h"

#if defined(E_INVALIDARG)
#error "result.h cannot be mixed with <windows.h>; use the WQ_ codes of wqrt.h there"
#endif

namespace wq {

using HResult = int32_t;

inline constexpr HResult S_OK = WQ_S_OK;
inline constexpr HResult S_FALSE = WQ_S_FALSE;
inline constexpr HResult E_NOTIMPL = WQ_E_NOTIMPL;
inline constexpr HResult E_ABORT = WQ_E_ABORT;
inline constexpr HResult E_FAIL = WQ_E_FAIL;
inline constexpr HResult E_UNEXPECTED = WQ_E_UNEXPECTED;
inline constexpr HResult E_OUTOFMEMORY = WQ_E_OUTOFMEMORY;
inline constexpr HResult E_INVALIDARG = WQ_E_INVALIDARG;

// A Windows Sockets error number as a result code: n > 0 becomes 0x8007xxxx with the low 16 bits
// of n; any other value is returned unchanged.
constexpr HResult ResultFromSocketError(int n) {
    return n > 0 ? static_cast<HResult>(0x80070000u | (static_cast<uint32_t>(n) & 0xFFFFu)) : n;
}

constexpr bool Failed(HResult r) {
    return r < 0;
}

}  // namespace wq
