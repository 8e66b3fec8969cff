# Cross build: the DLL, its import libraries, the sample host and the tests that run under Wine.
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

# The library: everything but DllMain, as objects, which the DLL is made of and the white-box tests
# link directly.
add_library(zp_core OBJECT dialog/dialog.cpp screens/common.cpp screens/screen_state.cpp
            screens/scanning.cpp screens/card_count.cpp screens/card_select.cpp
            screens/clock_select.cpp screens/save_confirm.cpp screens/programming.cpp
            screens/report.cpp)
target_include_directories(zp_core PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/include)
target_compile_definitions(zp_core PUBLIC ZEPHRONPRO_BUILDING)
target_link_libraries(zp_core PUBLIC zp_text zp_dialog_portable)

# Built for size (the screens wait for the user; one section per function lets the link drop what
# nothing calls). Without exceptions: none of our frames has a cleanup or a personality routine, so
# a host's exception raised in a window procedure that our loop dispatched unwinds straight through
# them. Unwind tables: x86-64 has them, as the system unwinder walks a frame only through them
# (.pdata/.xdata); i386 makes none, nothing reads them there (no unwinder is linked, and a DWARF
# unwind cannot cross user32). The 2 KB of .eh_frame of the toolchain's start-up objects stay:
# crtbegin hands the section to a host's shared DWARF unwinder if there is one.
set(zp_lean -fno-exceptions $<$<STREQUAL:${ZP_ARCH},win32>:-fno-asynchronous-unwind-tables>)
# -g for the symbols file (no code byte changes), free of build folders (last map that fits wins).
list(APPEND zp_lean -g -ffile-prefix-map=${PROJECT_SOURCE_DIR}=/zephronpro
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
target_compile_options(zp_core PRIVATE -Os ${zp_lean} -ffunction-sections -fdata-sections)
target_compile_options(zp_text PRIVATE ${zp_lean})
target_compile_options(zp_dialog_portable PRIVATE ${zp_lean})

# .def files name the i686 stdcall symbols with their @N, which the link drops (--kill-at). x86-64
# has none: its link reads a copy without them.
function(zp_def_file source out_var)
  set(${out_var} ${source} PARENT_SCOPE)
  if(ZP_ARCH STREQUAL win64)
    get_filename_component(name ${source} NAME)
    file(READ ${source} text)
    # A name may hold digits (scan2@8); an ordinal (" @7") follows a space and stays.
    string(REGEX REPLACE "([A-Za-z_][A-Za-z0-9_]*)@[0-9]+" "\\1" text "${text}")
    file(WRITE ${CMAKE_BINARY_DIR}/def/${name}.new "; x86-64: ${name} without the @N\n${text}")
    configure_file(${CMAKE_BINARY_DIR}/def/${name}.new ${CMAKE_BINARY_DIR}/def/${name} COPYONLY)
    set(${out_var} ${CMAKE_BINARY_DIR}/def/${name} PARENT_SCOPE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
  endif()
endfunction()
zp_def_file(${PROJECT_SOURCE_DIR}/zephronpro.def ZP_DEF_FILE)
# runtime.cpp replaces the toolchain's exception machinery (see there).
add_library(zephronpro SHARED screens/dll_main.cpp screens/runtime.cpp ${ZP_DEF_FILE} zephronpro.rc)
target_compile_options(zephronpro PRIVATE -Os ${zp_lean} -ffunction-sections -fdata-sections)
target_link_libraries(zephronpro PRIVATE zp_core gdi32 user32)
set_target_properties(zephronpro PROPERTIES PREFIX "" VERSION ${PROJECT_VERSION})  # image version
target_compile_definitions(zephronpro PRIVATE ZP_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  ZP_VERSION_MINOR=${PROJECT_VERSION_MINOR} ZP_VERSION_PATCH=${PROJECT_VERSION_PATCH})
target_link_options(zephronpro PRIVATE ${ZP_STATIC_RUNTIME} -Wl,--kill-at -Wl,--gc-sections
                    -Wl,--subsystem,windows)
# Symbols to zephronpro.dll.debug, named by the stripped DLL; objcopy's time stamp 0, as ld's.
set(zp_objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
add_custom_command(TARGET zephronpro POST_BUILD WORKING_DIRECTORY $<TARGET_FILE_DIR:zephronpro>
  COMMAND ${zp_objcopy} --only-keep-debug zephronpro.dll zephronpro.dll.debug
  COMMAND ${zp_objcopy} --strip-all --add-gnu-debuglink=zephronpro.dll.debug zephronpro.dll)

# The link's own import library lacks the @N that i686 callers' stdcall declarations link by
# (first_window@0): dlltool's, from the .def file, keeps them and imports the plain names
# (written in its folder: dlltool names symbols after the path).
# zephronpro.lib: the same for MSVC.
find_program(ZP_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool REQUIRED)
find_program(ZP_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
if(ZP_ARCH STREQUAL win32)
  set(zp_dlltool_kill_at --kill-at)
  set(zp_llvm_machine i386)
else()
  set(zp_llvm_machine i386:x86-64)
endif()
set(ZP_MSVC_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/zephronpro.lib)
add_custom_command(TARGET zephronpro POST_BUILD
                   WORKING_DIRECTORY $<TARGET_LINKER_FILE_DIR:zephronpro>
                   COMMAND ${ZP_DLLTOOL} --def ${ZP_DEF_FILE} --dllname zephronpro.dll
                           ${zp_dlltool_kill_at} --output-lib $<TARGET_LINKER_FILE_NAME:zephronpro>
                   COMMAND ${ZP_LLVM_DLLTOOL} -m ${zp_llvm_machine} -d ${ZP_DEF_FILE}
                           -D zephronpro.dll ${zp_dlltool_kill_at} -l ${ZP_MSVC_IMPORT_LIBRARY}
                   COMMENT "Import libraries for MinGW and MSVC callers")
install(TARGETS zephronpro RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/zephronpro.h DESTINATION include)
install(FILES ${ZP_DEF_FILE} ${ZP_MSVC_IMPORT_LIBRARY} DESTINATION lib)
add_subdirectory(samples/host)
foreach(part tests/wine tests/e2e tests/abuse bench/wine)
  if(ZP_WINE)
    add_subdirectory(${part})
  endif()
endforeach()
include(${PROJECT_SOURCE_DIR}/cmake/packaging.cmake OPTIONAL)
