# 64-bit Windows, MSVC ABI.
set(KORVEL_WINDOWS_TRIPLE x86_64-pc-windows-msvc)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KORVEL_WINE_LIBRARIES /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
include(${CMAKE_CURRENT_LIST_DIR}/windows-msvc.cmake)
