# Cross toolchain for the 64-bit DLL, for 64-bit hosts: mingw-w64, x86-64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
