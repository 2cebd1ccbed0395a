# GoogleTest for the target, built from the source Debian ships: there is no
# MinGW build of it to link (its own CMake names the GTest:: targets). Its
# code is not held to the project's warnings.
get_directory_property(kalvo_options COMPILE_OPTIONS)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${kalvo_options}")
