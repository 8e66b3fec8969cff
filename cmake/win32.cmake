# Cross build: the DLL, its import library, the sample host and the tests
# that run under Wine.

# Nothing but system DLLs at run time: the compiler's runtime goes in whole.
set(ZP_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
add_compile_options(-Wall -Wextra)
# The DLL next to the programs that load it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# --- Wine: a prefix of the build's own, and the emulator that uses it ------
set(ZP_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
add_custom_command(OUTPUT ${ZP_WINEPREFIX}/.zp-ready
                   COMMAND sh ${PROJECT_SOURCE_DIR}/cmake/make-wineprefix.sh ${ZP_WINEPREFIX}
                   COMMENT "Making the Wine prefix (once per build tree)")
add_custom_target(wineprefix ALL DEPENDS ${ZP_WINEPREFIX}/.zp-ready)

# --- The library -----------------------------------------------------------
# Everything but DllMain, as objects: the DLL is made of them, and the
# white-box tests link them directly.
add_library(zp_core OBJECT
  dialog/dialog.cpp
  screens/common.cpp
  screens/screen_state.cpp
  screens/scanning.cpp
  screens/card_count.cpp
  screens/card_select.cpp
  screens/clock_select.cpp
  screens/save_confirm.cpp
  screens/programming.cpp
  screens/report.cpp)
target_include_directories(zp_core PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(zp_core PUBLIC ZEPHRONPRO_BUILDING)
target_link_libraries(zp_core PUBLIC zp_text zp_dialog_portable)

# Built for size: the screens spend their time waiting for the user, not
# computing. One section per function and per datum lets the link drop what
# nothing calls; the white-box tests run the same code the DLL ships.
target_compile_options(zp_core PRIVATE -Os -ffunction-sections -fdata-sections)

# runtime.cpp replaces the toolchain's exception machinery (see there), so
# it and DllMain are built without exceptions and without unwind tables.
add_library(zephronpro SHARED screens/dll_main.cpp screens/runtime.cpp zephronpro.def)
target_compile_options(zephronpro PRIVATE -Os -fno-exceptions -fno-asynchronous-unwind-tables
                       -fno-unwind-tables -ffunction-sections -fdata-sections)
target_link_libraries(zephronpro PRIVATE zp_core gdi32 user32)
set_target_properties(zephronpro PROPERTIES PREFIX "" OUTPUT_NAME zephronpro)
target_link_options(zephronpro PRIVATE ${ZP_STATIC_RUNTIME} -Wl,--kill-at -Wl,--gc-sections -s)

install(TARGETS zephronpro
        RUNTIME DESTINATION bin
        ARCHIVE DESTINATION lib)
install(FILES include/zephronpro.h DESTINATION include)
install(FILES zephronpro.def DESTINATION lib)

add_subdirectory(samples/host)
add_subdirectory(tests/wine)

# Parts that live in folders of their own.
foreach(part tests/e2e tests/abuse bench/wine)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${part}/CMakeLists.txt)
    add_subdirectory(${part})
  endif()
endforeach()
include(${PROJECT_SOURCE_DIR}/cmake/packaging.cmake OPTIONAL)
