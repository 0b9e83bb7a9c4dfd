// Calling conventions and symbol visibility shared by the host and its plugins.
#pragma once

#if defined(_WIN32) && !defined(_WIN64)
// 32-bit Windows hosts call the entry with stdcall and apply functions with cdecl.
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
