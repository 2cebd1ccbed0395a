# Kalvo for Windows users: kalvo-<version>-win64.zip to unpack anywhere, and,
# where NSIS is installed, an installer with a Start-menu entry and an
# uninstaller. Both hold the program, the README and the licence.
install(TARGETS kalvo RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_PACKAGE_NAME kalvo)
set(CPACK_PACKAGE_VENDOR "The Kalvo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A six-sided die in 3-D that a click throws")
set(CPACK_PACKAGE_FILE_NAME kalvo-${PROJECT_VERSION}-win64)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

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
# The Start-menu entry, for the program installed at the top of its folder.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_PACKAGE_EXECUTABLES kalvo Kalvo)
include(CPack)
