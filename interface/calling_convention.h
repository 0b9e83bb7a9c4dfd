// Calling conventions and symbol visibility of the host's binary interface.
//
// 32-bit Windows hosts call member functions and the entry with stdcall, and variadic
// members and the functions a plugin registers with cdecl. Elsewhere there is one
// convention, and the macros are empty.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
#define HOST_STDCALL __stdcall
#define HOST_CDECL __cdecl
#else
#define HOST_STDCALL
#define HOST_CDECL
#endif

#if defined(_WIN32)
#define HOST_EXPORT __declspec(dllexport)
#else
#define HOST_EXPORT __attribute__((visibility("default")))
#endif
