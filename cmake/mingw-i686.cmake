# Cross toolchain for the 32-bit DLL, the product: mingw-w64, i686.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
