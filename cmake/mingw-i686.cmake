# Cross build of zumtal.exe, a 32-bit Windows console program, with Debian's
# MinGW-w64 (posix thread model, which GoogleTest needs). Tests run in Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only the system's own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Frame pointers let the system's frame walker follow the calls for the trace.
set(CMAKE_CXX_FLAGS_INIT "-fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT "-fno-omit-frame-pointer")
find_program(ZUMTAL_WINE wine)
if(ZUMTAL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUMTAL_WINE})
endif()
