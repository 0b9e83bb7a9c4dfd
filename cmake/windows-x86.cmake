# 32-bit Windows, MSVC ABI. SSE2 is the baseline: every processor that runs a current
# 32-bit Windows has it.
set(KORVEL_WINDOWS_TRIPLE i686-pc-windows-msvc)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KORVEL_WINE_LIBRARIES /usr/lib/i386-linux-gnu/wine/i386-windows)
# 64-bit division on a 32-bit processor calls helpers (_alldiv, _aulldiv, ...) that MSVC
# links from its static runtime; ntdll.dll exports the same ones on every 32-bit Windows.
set(KORVEL_TARGET_LIBRARIES ${KORVEL_WINE_LIBRARIES}/libntdll.a)
include(${CMAKE_CURRENT_LIST_DIR}/windows-msvc.cmake)
string(APPEND CMAKE_CXX_FLAGS_INIT " -msse2")
# Wine's import libraries carry no SafeSEH table, which lld-link would otherwise demand.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -Xlinker /safeseh:no")
string(APPEND CMAKE_SHARED_LINKER_FLAGS_INIT " -Xlinker /safeseh:no")
