# SPDX-License-Identifier: GPL-3.0-or-later
# voltare_refresh_desktop_caches(<datadir>)
# Rebuilds the caches the desktop reads below <datadir> (share/): the MIME
# database, the list of handlers per file type, the icon cache. A cache whose
# sources are all gone is removed rather than rebuilt empty, so that an
# uninstall leaves nothing of ours behind.
function(voltare_refresh_desktop_caches datadir)
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  find_program(update_icons gtk-update-icon-cache)

  file(GLOB mime_sources "${datadir}/mime/packages/*.xml")
  if(mime_sources AND update_mime)
    execute_process(COMMAND "${update_mime}" "${datadir}/mime")
  elseif(NOT mime_sources AND EXISTS "${datadir}/mime/mime.cache")
    file(REMOVE_RECURSE "${datadir}/mime")
  endif()

  file(GLOB desktop_entries "${datadir}/applications/*.desktop")
  if(desktop_entries AND update_desktop)
    execute_process(COMMAND "${update_desktop}" -q "${datadir}/applications")
  elseif(NOT desktop_entries)
    file(REMOVE "${datadir}/applications/mimeinfo.cache")
  endif()

  # Only a theme with its index can have a cache (the system's own hicolor).
  if(update_icons AND EXISTS "${datadir}/icons/hicolor/index.theme")
    execute_process(COMMAND "${update_icons}" -q -f "${datadir}/icons/hicolor")
  endif()
endfunction()
