# Cross build of the x86-64 twin of zumtal.exe from the same sources, with
# Debian's MinGW-w64 (posix thread model, which GoogleTest needs), for machines
# whose Wine cannot run 32-bit programs. Tests run in Wine's 64-bit loader.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Only the system's own DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Frame pointers let the system's frame walker follow the calls for the trace.
set(CMAKE_CXX_FLAGS_INIT "-fno-omit-frame-pointer")
set(CMAKE_C_FLAGS_INIT "-fno-omit-frame-pointer")
# The 64-bit loader, called directly: `wine` may pick a 32-bit one that
# this machine cannot start.
find_program(ZUMTAL_WINE64 wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(ZUMTAL_WINE64 wine64)
if(ZUMTAL_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZUMTAL_WINE64})
endif()
