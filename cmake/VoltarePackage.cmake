# SPDX-License-Identifier: GPL-3.0-or-later
# `make package`: a Debian package of everything `install` installs, with its
# library dependencies worked out by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kova-voltare)
set(CPACK_PACKAGE_VENDOR "KOVA Software")
set(CPACK_PACKAGE_CONTACT "KOVA Software <support@kova-software.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.kova-software.example/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "protect files with passwords: encrypt, decrypt and wipe them")
set(CPACK_PACKAGE_DESCRIPTION
    "KOVA Voltare compresses files and encrypts them under a password (Blowfish,\n"
    "CAST-128 or DES) into .vlt files, bundles them into .plx archives, decrypts\n"
    "both, wipes files, encrypts clipboard text, sends encrypted e-mail and keeps\n"
    "password-protected file lists. It comes as a desktop program (voltare) and a\n"
    "command-line tool (voltare-cli), with a user's guide and manual pages.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop program draws its SVG pictures and icons through Qt's SVG
# plugins, which dpkg-shlibdeps cannot see.
if(TARGET voltare)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
endif()
# The password meter's zxcvbn, which both programs link. dpkg-shlibdeps
# finds it too; naming it keeps it when a package is made without that.
list(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS "libzxcvbn0")
string(REPLACE ";" ", " CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
# Opening files and web pages goes through xdg-open; on a Wayland desktop the
# window needs Qt's Wayland plugin (without it Qt falls back to XWayland).
# Qt's translations put its own dialogs (files, printing, the standard
# buttons) in the user's language; without them they stay English and the
# program works all the same, so they are recommended, not required.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland, qt6-translations-l10n")
# GNOME Files loads the right-click extension only through nautilus-python.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion, python3-nautilus")

# Debian policy: a machine-readable copyright file and the package's change
# log, compressed with gzip -9 and no time stamp, in the package's doc folder.
set(debian_dir "${PROJECT_SOURCE_DIR}/data/debian")
set(debian_changelog "${PROJECT_BINARY_DIR}/changelog.Debian.gz")
find_program(VOLTARE_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT "${debian_changelog}"
  COMMAND "${VOLTARE_GZIP}" -9 -n -c "${debian_dir}/changelog" > "${debian_changelog}"
  DEPENDS "${debian_dir}/changelog")
add_custom_target(debian_changelog ALL DEPENDS "${debian_changelog}")
install(FILES "${debian_dir}/copyright" "${debian_changelog}" DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The package only (not `make install`): what lintian is told to let pass.
install(CODE "
  if(CMAKE_INSTALL_PREFIX MATCHES \"/_CPack_Packages/\" OR \"\$ENV{DESTDIR}\" MATCHES \"/_CPack_Packages/\")
    file(INSTALL \"${debian_dir}/lintian-overrides\" RENAME kova-voltare
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/lintian/overrides\")
  endif()")

include(CPack)
