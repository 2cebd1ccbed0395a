# Builds Kalvo for the browser with Debian's Emscripten, offline: only what
# its frozen cache holds, so no ports (SDL among them). Programs built here
# run under Node through scripts/node-run.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/node-run
    CACHE FILEPATH "Runs a program built for wasm32 under Node")
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# Without -fexceptions on every compile and link, a throw aborts the program
# and no handler's catch runs.
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
# What the page fetches is the code: a release is built for size. Set whole,
# since CMake would append its own -O3 to an _INIT value, and the last -O wins
# (at the link too, where the wasm is optimised).
set(CMAKE_CXX_FLAGS_RELEASE "-Oz -flto -DNDEBUG" CACHE STRING "Flags for a release build")

# em++ runs its JavaScript tools under Node, which finds Debian's modules
# (acorn among them) only through NODE_PATH.
set(CMAKE_CXX_COMPILER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=/usr/share/nodejs)
