# The 64-bit Windows toolchain for the tests: the posix thread model gives std::mutex, which GoogleTest
# needs. Everything else as cmake/mingw-x86_64.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
