# Shared by the MinGW-w64 toolchain files, which set CMAKE_SYSTEM_PROCESSOR and TOOLCHAIN_PREFIX
# first. The win32 thread model: the POSIX model's thread library imports functions of Windows
# XP and Vista; our lock and thread wrappers in platform/ stand in for std::mutex and
# std::thread, which the win32 model lacks. Tests run under Wine through tools/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run)
