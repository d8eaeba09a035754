# Cross toolchain: 64-bit Windows, MinGW-w64 with the win32 thread model, for hosts and Windows
# systems that run only 64-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
