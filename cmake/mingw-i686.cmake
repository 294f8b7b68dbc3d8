# The release: 32-bit Windows, 2000 to 10, on 32- and 64-bit systems.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRISTOKE_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
