// The parts of the C++ runtime that a DLL built in MSVC ABI links statically and that no
// DLL here provides. Built for Windows only.
#include <stdlib.h>

// Over the C runtime's heap, never throwing: the plugin allocates through its own types,
// which check for null, so these serve only code the compiler generates (deleting
// destructors) and must not pull in an exception of their own.
void* operator new(size_t size) { return malloc(size > 0 ? size : 1); }
void* operator new[](size_t size) { return malloc(size > 0 ? size : 1); }
void operator delete(void* block) noexcept { free(block); }
void operator delete[](void* block) noexcept { free(block); }
void operator delete(void* block, size_t) noexcept { free(block); }
void operator delete[](void* block, size_t) noexcept { free(block); }

// The compiler references it from every object that uses floating point.
extern "C" int _fltused = 0;

// The type_info vftable: the exception tables of thrown and caught types point at it, but
// the runtime that matches them compares names only, so an empty table serves.
extern "C" const void* const korvel_type_info_vftable[1] __asm__("??_7type_info@@6B@") = {};
