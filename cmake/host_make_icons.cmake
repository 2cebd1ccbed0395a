# make_icons for the machine that builds, where the program itself is built
# for another (Windows, the browser): every copy of the icon is drawn by the
# same code. Sets make_icons to the tool's path, for custom commands to run.
find_program(KALVO_HOST_CXX NAMES c++ g++ REQUIRED)
set(make_icons ${CMAKE_CURRENT_BINARY_DIR}/make_icons)
add_custom_command(
  OUTPUT ${make_icons}
  COMMAND ${KALVO_HOST_CXX} -std=c++20 -O2 -I${PROJECT_SOURCE_DIR}
          ${PROJECT_SOURCE_DIR}/packaging/make_icons.cpp ${PROJECT_SOURCE_DIR}/app/icon.cpp
          -lpng -o ${make_icons}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/make_icons.cpp ${PROJECT_SOURCE_DIR}/app/icon.cpp
          ${PROJECT_SOURCE_DIR}/app/icon.h
  COMMENT "Building make_icons for the build machine"
  VERBATIM)
