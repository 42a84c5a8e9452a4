# SPDX-License-Identifier: GPL-3.0-or-later
# The programs, the desktop's caches after a direct install, and `uninstall`.

# The desktop program joins as soon as its layer is built.
foreach(program IN ITEMS voltare voltare-cli)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

# A direct install (no DESTDIR, not a package being staged) must refresh the
# MIME database and the desktop's list of handlers itself, or file managers
# neither recognise the files nor offer the program for them. Packages leave
# this to the system's own triggers.
install(CODE "
  if(\"\$ENV{DESTDIR}\" STREQUAL \"\" AND NOT CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\")
    include(\"${PROJECT_SOURCE_DIR}/cmake/VoltareDesktopCaches.cmake\")
    voltare_refresh_desktop_caches(\"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}\")
  endif()")

# `uninstall` removes what the last `install` wrote, as its manifest lists it.
add_custom_target(uninstall
  COMMAND "${CMAKE_COMMAND}" "-DMANIFEST=${CMAKE_BINARY_DIR}/install_manifest.txt"
          -P "${PROJECT_SOURCE_DIR}/cmake/VoltareUninstall.cmake"
  COMMENT "Removing the installed files")
