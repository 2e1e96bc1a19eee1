# Cross build for Windows (x86_64) with mingw-w64: cmake/mingw-w64.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
