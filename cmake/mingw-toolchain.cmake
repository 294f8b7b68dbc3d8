# Shared body of the two cross toolchains; the including file sets CMAKE_SYSTEM_PROCESSOR and
# BRISTOKE_TRIPLE. The win32 thread model everywhere: the posix one imports functions that
# Windows XP and 2000 lack.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${BRISTOKE_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${BRISTOKE_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${BRISTOKE_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${BRISTOKE_TRIPLE}-objdump)
set(CMAKE_FIND_ROOT_PATH /usr/${BRISTOKE_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows programs of the build run through the one helper that picks Wine's loader.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-run.sh)
