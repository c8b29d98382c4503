# Cross-build for 64-bit Windows with Debian's mingw-w64 (posix threads flavour). These are the
# twins of the shipped 32-bit programs that can run here: ctest starts the test programs under
# wine64 (scripts/wine-env.sh prepares the prefix).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MODLINK_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
