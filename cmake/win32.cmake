# Cross build settings: the toolchain runtime, time stamps, and the Wine that runs the programs.
# Nothing but system DLLs at run time: the compiler's runtime goes in whole. The DLL sits next to
# the programs that load it.
set(ZP_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_options(-Wall -Wextra)
add_link_options(-Wl,--no-insert-timestamp)  # the same bytes from every build
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Wine: the emulator and the environment of the tree's own prefix, which tools/wine-session.sh
# makes at its first use. ZP_WINE=OFF builds only what is shipped.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(ZP_ARCH win64)
  set(ZP_WINE_LOADER /usr/lib/wine/wine64)
else()
  set(ZP_ARCH win32)
  set(ZP_WINE_LOADER /usr/lib/wine/wine)
endif()
option(ZP_WINE "Build this tree's tests, which run under Wine" ON)
set(ZP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-env.sh.in ${CMAKE_BINARY_DIR}/wine-env.sh @ONLY)
# wine-run.sh.in is executable: the copy keeps its permissions.
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY)
if(ZP_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()
