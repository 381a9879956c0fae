# Static libraries for the Windows build, cross-compiled from Debian's source
# packages: the same code, with Debian's patches, as the Linux build's -dev
# packages. ./deps.sh adds the deb-src entry that `apt-get source` needs.
#
#   zumtal_debian_library(
#     PACKAGE <source package>      e.g. expat
#     TARGET <imported target>      e.g. EXPAT::EXPAT, the name FindEXPAT gives on Linux
#     LIBRARY <file name>           the static library the steps leave in <INSTALL_DIR>/lib
#     [DEFINITIONS <macro>...]      what code that includes the headers must define
#     [REQUIRES <program>=<Debian package>...]  host programs the steps run
#     COMMAND <step...> [COMMAND <step...>]...)
#
# The steps run one after the other in <BINARY_DIR> and leave the headers in
# <INSTALL_DIR>/include and the library in <INSTALL_DIR>/lib. In their
# arguments <SOURCE_DIR> stands for the unpacked and patched source package,
# <BINARY_DIR> for an empty folder of the steps' own, <INSTALL_DIR> for where
# the result goes and <JOBS> for the number of cores.
#
# All of it happens at configure time, once per build folder: the download,
# the unpacked source, the build and the result stay in
# <build>/debian/<package>/. A later configure with the same steps only makes
# the imported target; changed steps build again from the download.
#
# Why at configure time rather than with ExternalProject: the library and its
# headers exist before any target that uses them is defined, so the imported
# target names real files (no byproduct declarations for Ninja, no empty
# include folders made in advance), `cmake --build --target clean` cannot
# throw the libraries away, and a missing deb-src entry or host tool stops the
# configure with a message saying what to install instead of failing halfway
# through a build. The cost, a few minutes in the first configure of a Windows
# build folder, is paid once.
include_guard(GLOBAL)

function(zumtal_debian_library)
  # Everything from the first COMMAND on is steps; the rest is keywords.
  list(FIND ARGN COMMAND first_step)
  if(first_step LESS 1)
    message(FATAL_ERROR "zumtal_debian_library: PACKAGE ... COMMAND ... expected")
  endif()
  list(SUBLIST ARGN 0 ${first_step} keywords)
  list(SUBLIST ARGN ${first_step} -1 step_words)
  cmake_parse_arguments(arg "" "PACKAGE;TARGET;LIBRARY" "DEFINITIONS;REQUIRES" ${keywords})
  if(NOT arg_PACKAGE OR NOT arg_TARGET OR NOT arg_LIBRARY)
    message(FATAL_ERROR "zumtal_debian_library: PACKAGE, TARGET and LIBRARY are needed")
  endif()

  set(root ${CMAKE_BINARY_DIR}/debian/${arg_PACKAGE})
  set(download_dir ${root}/download)
  set(source_dir ${root}/source)
  set(binary_dir ${root}/build)
  set(install_dir ${root}/install)
  set(log ${root}/build.log)
  set(stamp ${install_dir}/built-from.txt)
  cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)

  # The steps with their placeholders filled in, one variable each.
  set(count 0)
  foreach(word IN LISTS step_words)
    if(word STREQUAL "COMMAND")
      math(EXPR count "${count} + 1")
      set(step_${count} "")
      continue()
    endif()
    string(REPLACE "<SOURCE_DIR>" "${source_dir}" word "${word}")
    string(REPLACE "<BINARY_DIR>" "${binary_dir}" word "${word}")
    string(REPLACE "<INSTALL_DIR>" "${install_dir}" word "${word}")
    string(REPLACE "<JOBS>" "${jobs}" word "${word}")
    list(APPEND step_${count} "${word}")
  endforeach()

  # The result is reused while the steps that made it stay the same.
  set(recipe "${arg_PACKAGE}")
  foreach(i RANGE 1 ${count})
    string(APPEND recipe "\n${step_${i}}")
  endforeach()
  string(SHA256 recipe_hash "${recipe}")
  set(built_version "")
  if(EXISTS ${stamp})
    file(STRINGS ${stamp} stamp_lines)
    list(GET stamp_lines 0 stamp_hash)
    if(stamp_hash STREQUAL recipe_hash AND EXISTS ${install_dir}/lib/${arg_LIBRARY})
      list(GET stamp_lines 1 built_version)
    endif()
  endif()

  if(built_version STREQUAL "")
    foreach(require IN LISTS arg_REQUIRES)
      string(REPLACE "=" ";" require "${require}")
      list(GET require 0 program)
      list(GET require 1 package)
      find_program(ZUMTAL_HOST_${program} ${program} NO_CMAKE_FIND_ROOT_PATH)
      if(NOT ZUMTAL_HOST_${program})
        message(FATAL_ERROR "Building ${arg_PACKAGE} for Windows needs ${program}: ./deps.sh ${package}")
      endif()
    endforeach()

    file(GLOB dsc ${download_dir}/${arg_PACKAGE}_*.dsc)
    if(NOT dsc)
      _zumtal_debian_fetch(${arg_PACKAGE} ${download_dir})
      file(GLOB dsc ${download_dir}/${arg_PACKAGE}_*.dsc)
    endif()
    string(REGEX REPLACE ".*/${arg_PACKAGE}_(.*)\\.dsc$" "\\1" version "${dsc}")

    message(STATUS "Building ${arg_PACKAGE} ${version} for Windows from Debian's source package")
    string(TIMESTAMP started "%s")
    file(REMOVE_RECURSE ${source_dir} ${binary_dir} ${install_dir})
    file(MAKE_DIRECTORY ${binary_dir})
    file(WRITE ${log} "")
    # apt has checked the files against the signed index: dpkg-source's
    # warning that it cannot check the .dsc's own signature is no matter.
    _zumtal_debian_run(${log} ${root} dpkg-source -x ${dsc} ${source_dir})
    foreach(i RANGE 1 ${count})
      _zumtal_debian_run(${log} ${binary_dir} ${step_${i}})
    endforeach()
    if(NOT EXISTS ${install_dir}/lib/${arg_LIBRARY})
      message(FATAL_ERROR "Building ${arg_PACKAGE} left no ${install_dir}/lib/${arg_LIBRARY} (see ${log})")
    endif()
    file(WRITE ${stamp} "${recipe_hash}\n${version}\n")
    set(built_version ${version})
    string(TIMESTAMP finished "%s")
    math(EXPR seconds "${finished} - ${started}")
    message(STATUS "Built ${arg_PACKAGE} in ${seconds} s")
  endif()
  message(STATUS "${arg_TARGET}: ${arg_PACKAGE} ${built_version}, static, in ${install_dir}")

  add_library(${arg_TARGET} STATIC IMPORTED GLOBAL)
  set_target_properties(${arg_TARGET} PROPERTIES IMPORTED_LOCATION ${install_dir}/lib/${arg_LIBRARY}
                                                 INTERFACE_INCLUDE_DIRECTORIES ${install_dir}/include)
  if(arg_DEFINITIONS)
    set_target_properties(${arg_TARGET} PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${arg_DEFINITIONS}")
  endif()
endfunction()

# Downloads the newest version of a source package that the mirrors still
# hold: the index can name a version before its files have reached a mirror.
function(_zumtal_debian_fetch package download_dir)
  foreach(program apt-get apt-cache dpkg-source)
    find_program(ZUMTAL_HOST_${program} ${program} NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ZUMTAL_HOST_${program})
      message(FATAL_ERROR "Building ${package} for Windows needs ${program} (Debian's apt and dpkg-dev): ./deps.sh")
    endif()
  endforeach()
  execute_process(COMMAND apt-cache showsrc --only-source ${package} OUTPUT_VARIABLE info ERROR_VARIABLE info
                  RESULT_VARIABLE failed)
  string(REGEX MATCHALL "(^|\n)Version: [^\n]+" versions "${info}")
  list(TRANSFORM versions REPLACE "^\n?Version: " "")
  list(REMOVE_DUPLICATES versions)
  if(failed OR NOT versions)
    message(FATAL_ERROR "apt knows no source package ${package}. ./deps.sh adds Debian's deb-src entry "
                        "and fetches its index.\n${info}")
  endif()

  # Newest first, in Debian's order of versions.
  set(sorted "")
  foreach(version IN LISTS versions)
    set(at 0)
    foreach(other IN LISTS sorted)
      execute_process(COMMAND dpkg --compare-versions ${version} gt ${other} RESULT_VARIABLE older)
      if(NOT older)
        break()
      endif()
      math(EXPR at "${at} + 1")
    endforeach()
    list(LENGTH sorted length)
    if(at EQUAL length)
      list(APPEND sorted ${version})
    else()
      list(INSERT sorted ${at} ${version})
    endif()
  endforeach()

  set(errors "")
  foreach(version IN LISTS sorted)
    file(REMOVE_RECURSE ${download_dir})
    file(MAKE_DIRECTORY ${download_dir})
    execute_process(COMMAND apt-get source --download-only ${package}=${version} WORKING_DIRECTORY ${download_dir}
                    OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE failed)
    if(NOT failed)
      return()
    endif()
    string(APPEND errors "${package} ${version}:\n${output}\n")
  endforeach()
  file(REMOVE_RECURSE ${download_dir})
  message(FATAL_ERROR "Could not download Debian's source package ${package}:\n${errors}")
endfunction()

# Runs one step, its output to the log; a failure stops the configure with
# the end of the log. The steps name their compilers and flags themselves:
# CMake puts the cross compiler in CC when it first finds it, which a native
# configure would take; and a make inside `make windows` must not take the
# outer make's job server.
function(_zumtal_debian_run log dir)
  list(JOIN ARGN " " command)
  file(APPEND ${log} "\n$ ${command}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=CC --unset=CXX --unset=CFLAGS --unset=CXXFLAGS
                          --unset=CPPFLAGS --unset=LDFLAGS --unset=MAKEFLAGS --unset=MFLAGS --unset=MAKELEVEL ${ARGN}
                  WORKING_DIRECTORY ${dir} OUTPUT_VARIABLE output ERROR_VARIABLE output RESULT_VARIABLE failed)
  file(APPEND ${log} "${output}")
  if(failed)
    string(LENGTH "${output}" length)
    if(length GREATER 4000)
      math(EXPR from "${length} - 4000")
      string(SUBSTRING "${output}" ${from} -1 output)
    endif()
    message(FATAL_ERROR "Failed (${failed}): ${command}\n...${output}\nThe whole log: ${log}")
  endif()
endfunction()
