# SPDX-License-Identifier: GPL-3.0-or-later
# [DESTDIR=<dir>] cmake -DMANIFEST=<install_manifest.txt> -P VoltareUninstall.cmake
# Removes every file the install wrote (the manifest lists them below the
# prefix; give the same DESTDIR as to the install), then the package's own
# directories once empty, then refreshes the desktop's caches without our files.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "Nothing to uninstall: ${MANIFEST} is missing (run the install first).")
endif()
file(STRINGS "${MANIFEST}" installed)

set(datadir "")
foreach(listed IN LISTS installed)
  set(path "$ENV{DESTDIR}${listed}")
  if(EXISTS "${path}" OR IS_SYMLINK "${path}")
    message(STATUS "Removing ${path}")
    file(REMOVE "${path}")
  else()
    message(STATUS "Already gone: ${path}")
  endif()
  if(path MATCHES "^(.*)/mime/packages/kova-voltare\\.xml$")
    set(datadir "${CMAKE_MATCH_1}")
  endif()
  # Directories named after the package are ours (the guide's, the docs').
  get_filename_component(dir "${path}" DIRECTORY)
  while(dir MATCHES "/kova-voltare[^/]*(/|$)")
    file(GLOB left LIST_DIRECTORIES true "${dir}/*")
    if(left OR NOT IS_DIRECTORY "${dir}")
      break()
    endif()
    file(REMOVE_RECURSE "${dir}")  # empty: checked above
    get_filename_component(dir "${dir}" DIRECTORY)
  endwhile()
endforeach()

if(datadir)
  include("${CMAKE_CURRENT_LIST_DIR}/VoltareDesktopCaches.cmake")
  voltare_refresh_desktop_caches("${datadir}")
endif()
