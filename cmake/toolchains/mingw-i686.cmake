# Cross-build for 32-bit Windows with Debian's mingw-w64 (posix threads flavour, which gives
# std::thread and friends). The runtime is linked statically so the programs need no DLL beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MODLINK_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
