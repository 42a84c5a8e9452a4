# SPDX-License-Identifier: GPL-3.0-or-later
# The catalogues: each language of po/LINGUAS compiled into
# <build>/locale/<lang>/LC_MESSAGES/kova-voltare.mo (where a program run in
# the build tree finds it) and installed under share/locale. msgfmt --check
# fails the build on a translation whose printf directives differ from its
# English text: at run time it would crash or print memory.
#
# voltare_translate_desktop(<source> <output>)  a desktop entry (or a file
#                                               manager's action of that form)
#                                               with every language
# voltare_translate_xml(<source> <output>)      an XML file gettext has ITS rules for
find_program(VOLTARE_MSGFMT msgfmt REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(VOLTARE_PO_DIR "${PROJECT_SOURCE_DIR}/po")
set(VOLTARE_LOCALE_BUILD_DIR "${PROJECT_BINARY_DIR}/locale")
file(STRINGS "${VOLTARE_PO_DIR}/LINGUAS" VOLTARE_LANGUAGES REGEX "^[^#]")
set_property(DIRECTORY "${PROJECT_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VOLTARE_PO_DIR}/LINGUAS")

set(po_files)
set(mo_files)
foreach(language IN LISTS VOLTARE_LANGUAGES)
  set(po "${VOLTARE_PO_DIR}/${language}.po")
  set(mo "${VOLTARE_LOCALE_BUILD_DIR}/${language}/LC_MESSAGES/kova-voltare.mo")
  add_custom_command(
    OUTPUT "${mo}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${VOLTARE_LOCALE_BUILD_DIR}/${language}/LC_MESSAGES"
    COMMAND "${VOLTARE_MSGFMT}" --check -o "${mo}" "${po}"
    DEPENDS "${po}"
    COMMENT "Compiling the ${language} catalogue")
  list(APPEND po_files "${po}")
  list(APPEND mo_files "${mo}")
  install(FILES "${mo}" DESTINATION "${CMAKE_INSTALL_LOCALEDIR}/${language}/LC_MESSAGES")
endforeach()

# The pseudo-locale, for testing only (never installed): every text of the
# template longer, accented and bracketed.
set(pseudo_po "${PROJECT_BINARY_DIR}/po/en@pseudo.po")
set(pseudo_mo "${VOLTARE_LOCALE_BUILD_DIR}/en@pseudo/LC_MESSAGES/kova-voltare.mo")
add_custom_command(
  OUTPUT "${pseudo_mo}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/po" "${VOLTARE_LOCALE_BUILD_DIR}/en@pseudo/LC_MESSAGES"
  COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/scripts/pseudo-po.py"
          "${VOLTARE_PO_DIR}/kova-voltare.pot" "${pseudo_po}"
  COMMAND "${VOLTARE_MSGFMT}" --check -o "${pseudo_mo}" "${pseudo_po}"
  DEPENDS "${VOLTARE_PO_DIR}/kova-voltare.pot" "${PROJECT_SOURCE_DIR}/scripts/pseudo-po.py"
  COMMENT "Making the pseudo-locale's catalogue")

add_custom_target(translations ALL DEPENDS ${mo_files} "${pseudo_mo}")
set(VOLTARE_PO_FILES ${po_files})

# The standard keys and the FileManager-Actions' Tooltip, as
# scripts/update-po.sh extracts them. A --keyword given to msgfmt replaces
# its defaults (to xgettext it adds one), so all are named.
set(VOLTARE_DESKTOP_KEYWORDS --keyword=Name --keyword=GenericName --keyword=Comment --keyword=Keywords
                             --keyword=Tooltip)

function(voltare_translate_desktop source output)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${VOLTARE_MSGFMT}" --desktop ${VOLTARE_DESKTOP_KEYWORDS} --template "${source}" -d "${VOLTARE_PO_DIR}" -o "${output}"
    DEPENDS "${source}" ${VOLTARE_PO_FILES} "${VOLTARE_PO_DIR}/LINGUAS"
    COMMENT "Translating ${source}")
endfunction()

function(voltare_translate_xml source output)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND "${VOLTARE_MSGFMT}" --xml --template "${source}" -d "${VOLTARE_PO_DIR}" -o "${output}"
    DEPENDS "${source}" ${VOLTARE_PO_FILES} "${VOLTARE_PO_DIR}/LINGUAS"
    COMMENT "Translating ${source}")
endfunction()
