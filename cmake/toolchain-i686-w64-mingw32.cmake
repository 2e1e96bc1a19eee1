# Cross build for Windows (i686) with mingw-w64: cmake/mingw-w64.cmake.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
