# SPDX-License-Identifier: GPL-3.0-or-later
# Helpers shared by every layer so that each folder's CMakeLists stays a few lines.

# Our own code is built with many warnings; third-party headers come in as
# system headers. With VOLTARE_WERROR they are errors (the tests and CI), but
# not by default: a newer compiler's new warning must not break a
# distribution's build.
function(voltare_warnings target)
  set(werror)
  if(VOLTARE_WERROR)
    set(werror -Werror)
  endif()
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
    -Woverloaded-virtual -Wimplicit-fallthrough ${werror})
  # GCC 12 reports overlapping copies and out-of-range accesses inside its own
  # std::string code that cannot happen (a compiler fault fixed in GCC 13).
  # Every translation unit that appends to a string can trip them, so they are
  # switched off rather than left to bury the build output; GCC 13 and Clang
  # still check our code for them.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow)
  endif()
  # The sanitizers' instrumentation makes GCC's flow analysis report
  # "may be used uninitialized" inside std::function and std::regex; the
  # ordinary build keeps the check.
  if(VOLTARE_SANITIZE AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()

# voltare_layer(<name> DEPENDS <targets...>)
# One static library per folder under src/, built from every source in that
# folder and its subfolders. Sources are globbed so that adding a file to a
# layer never touches a shared list.
function(voltare_layer name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  if(sources MATCHES "\\.cpp")
    add_library(voltare_${name} STATIC ${sources})
    target_include_directories(voltare_${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(voltare_${name} PUBLIC ${ARG_DEPENDS})
    voltare_warnings(voltare_${name})
  else()
    # A layer of headers only (as at the start of a new layer).
    add_library(voltare_${name} INTERFACE)
    target_include_directories(voltare_${name} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(voltare_${name} INTERFACE ${ARG_DEPENDS})
  endif()
  add_library(voltare::${name} ALIAS voltare_${name})
endfunction()
