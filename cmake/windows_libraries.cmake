# expat, libdeflate and SQLite for zumtal.exe: static, cross-compiled from
# Debian's source packages (cmake/debian_source.cmake), as the same imported
# targets that the Linux build finds: EXPAT::EXPAT, libdeflate::libdeflate and
# SQLite::SQLite3.
enable_language(C)
include(${CMAKE_CURRENT_LIST_DIR}/debian_source.cmake)

# The libraries get the flags the toolchain gives C (frame pointers, for the
# trace), the compiler and archiver of the program itself.
separate_arguments(zumtal_c_flags UNIX_COMMAND "${CMAKE_C_FLAGS}")
# The target's GNU triplet, for autotools' --host.
execute_process(COMMAND ${CMAKE_C_COMPILER} -dumpmachine OUTPUT_VARIABLE zumtal_host OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)

# The autotools build, as Debian's own: Debian's patches are made for it
# (one tests `XML_DTD == 1`, which the CMake build's expat_config.h does not
# give). The library alone: no xmlwf, examples, tests or DLL.
zumtal_debian_library(
  PACKAGE expat
  TARGET EXPAT::EXPAT
  LIBRARY libexpat.a
  DEFINITIONS XML_STATIC
  REQUIRES make=make autoreconf=autoconf aclocal=automake libtoolize=libtool
  COMMAND ${CMAKE_COMMAND} -E chdir <SOURCE_DIR>/expat ./buildconf.sh
  COMMAND <SOURCE_DIR>/expat/configure --host=${zumtal_host} --prefix=<INSTALL_DIR> --disable-shared
          --without-xmlwf --without-examples --without-tests --without-docbook CC=${CMAKE_C_COMPILER}
          AR=${CMAKE_AR} RANLIB=${CMAKE_RANLIB} "CFLAGS=${CMAKE_C_FLAGS} -O2"
  COMMAND make -j <JOBS> install)

# Debian's version (1.14) builds with its own Makefile; only the static
# library (which MinGW's naming calls libdeflatestatic.lib) is made.
zumtal_debian_library(
  PACKAGE libdeflate
  TARGET libdeflate::libdeflate
  LIBRARY libdeflate.a
  REQUIRES make=make
  COMMAND make -C <SOURCE_DIR> -j <JOBS> CC=${CMAKE_C_COMPILER} AR=${CMAKE_AR}
          "CFLAGS=${CMAKE_C_FLAGS}" libdeflatestatic.lib
  COMMAND ${CMAKE_COMMAND} -E make_directory <INSTALL_DIR>/include <INSTALL_DIR>/lib
  COMMAND ${CMAKE_COMMAND} -E copy <SOURCE_DIR>/libdeflate.h <INSTALL_DIR>/include/
  COMMAND ${CMAKE_COMMAND} -E copy <SOURCE_DIR>/libdeflatestatic.lib <INSTALL_DIR>/lib/libdeflate.a)

# Debian's source package holds SQLite's source tree, not the single-file
# amalgamation: its configure and make write sqlite3.c and sqlite3.h (with
# the host's compiler and tclsh), then the cross compiler builds the library
# from them, thread-safe, without the shell.
zumtal_debian_library(
  PACKAGE sqlite3
  TARGET SQLite::SQLite3
  LIBRARY libsqlite3.a
  REQUIRES make=make tclsh=tcl cc=gcc
  COMMAND <SOURCE_DIR>/configure --disable-tcl
  COMMAND make sqlite3.c
  COMMAND ${CMAKE_C_COMPILER} ${zumtal_c_flags} -O2 -DSQLITE_THREADSAFE=1 -c sqlite3.c -o sqlite3.o
  COMMAND ${CMAKE_COMMAND} -E make_directory <INSTALL_DIR>/include <INSTALL_DIR>/lib
  COMMAND ${CMAKE_AR} rcs <INSTALL_DIR>/lib/libsqlite3.a sqlite3.o
  COMMAND ${CMAKE_COMMAND} -E copy sqlite3.h <INSTALL_DIR>/include/)
