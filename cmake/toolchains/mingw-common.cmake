# Shared part of the mingw-w64 tool-chain files; MODLINK_MINGW_TRIPLET names the target.
set(CMAKE_C_COMPILER ${MODLINK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MODLINK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MODLINK_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MODLINK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C and C++ runtimes and winpthread go into each program and DLL, which then import only
# system DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
