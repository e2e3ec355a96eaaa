# The 32-bit Windows toolchain for the tests: the posix thread model gives std::mutex, which GoogleTest
# needs. Everything else as cmake/mingw-i686.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
