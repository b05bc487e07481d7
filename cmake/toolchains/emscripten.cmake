# Builds for the web with Debian's emscripten. Its optimiser runs on node and
# needs Debian's node modules, which are not on node's default path here.
set(ENV{NODE_PATH} /usr/share/nodejs)
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
