# Kalvo for Windows users: kalvo-<version>-win64.zip to unpack anywhere, and,
# where NSIS is installed, an installer with a Start-menu entry and an
# uninstaller. Both hold the program, the README and the licence.
install(TARGETS kalvo RUNTIME DESTINATION .)
# As text files for Notepad and the like: .txt, with CRLF line ends. Neither
# holds an @name@ for configure_file to replace (COPYONLY would keep LF).
set(text_dir ${CMAKE_CURRENT_BINARY_DIR}/text)
configure_file(${PROJECT_SOURCE_DIR}/README.md ${text_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${text_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${text_dir}/README.txt ${text_dir}/LICENSE.txt DESTINATION .)

set(CPACK_PACKAGE_NAME kalvo)
set(CPACK_PACKAGE_VENDOR ${KALVO_VENDOR})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY ${KALVO_SUMMARY})
set(CPACK_PACKAGE_FILE_NAME kalvo-${PROJECT_VERSION}-win64)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

# The NSIS lines below hold backslashes, which CPack would otherwise read
# as escapes.
set(CPACK_VERBATIM_VARIABLES ON)
set(CPACK_GENERATOR ZIP)
find_program(KALVO_MAKENSIS makensis)
if(KALVO_MAKENSIS)
  list(APPEND CPACK_GENERATOR NSIS)
endif()
# A 64-bit installer for a 64-bit program (and one that a 64-bit-only Wine runs).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Kalvo)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Kalvo)
set(CPACK_NSIS_DISPLAY_NAME "Kalvo ${PROJECT_VERSION}")
set(CPACK_NSIS_MUI_ICON ${icon_file})
set(CPACK_NSIS_MUI_UNIICON ${icon_file})
set(CPACK_NSIS_INSTALLED_ICON_NAME kalvo.exe)
# The Start-menu entry. Written here rather than through
# CPACK_PACKAGE_EXECUTABLES, whose target for a program at the top of its
# folder would be "$INSTDIR\.\kalvo.exe".
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  CreateShortCut '$SMPROGRAMS\\$STARTMENU_FOLDER\\Kalvo.lnk' '$INSTDIR\\kalvo.exe'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA "  Delete '$SMPROGRAMS\\$MUI_TEMP\\Kalvo.lnk'")
# Settings' list of installed programs shows this size (in KB); the size of
# the installer's one section is what it installs, less the uninstaller.
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Kalvo)
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "  SectionGetSize 0 $0
  WriteRegDWORD SHCTX 'Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}' EstimatedSize $0")
include(CPack)
