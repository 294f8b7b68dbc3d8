# The 64-bit twin, for 64-bit Windows that cannot run 32-bit programs (no WoW64).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRISTOKE_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
