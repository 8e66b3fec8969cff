# Shared by the two cross toolchain files, which set CMAKE_SYSTEM_PROCESSOR (i686 or x86_64)
# first. The -posix compiler variant is the one that builds GoogleTest (-win32 has no std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(zp_triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER   ${zp_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${zp_triplet}-g++-posix)
set(CMAKE_RC_COMPILER  ${zp_triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${zp_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages outside the target root too: a consumer finds zephronpro through CMAKE_PREFIX_PATH.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
