# Installing and packing: `cmake --install` puts the DLL, the sample host,
# the header, the import library, the .def file and USAGE.txt in place, and
# `cpack -G ZIP` in the win32 build tree packs the same under one folder.

# The import library that the DLL's own link writes (--kill-at) names the
# exports without their @N, so a C or C++ caller, whose stdcall declarations
# refer to first_window@0, cannot link against it. dlltool --kill-at, from
# the .def file, keeps the @N in the link names and imports the plain names
# the DLL exports. This one replaces the other in the installed lib/.
find_program(ZP_DLLTOOL NAMES ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-dlltool i686-w64-mingw32-dlltool dlltool REQUIRED)
set(ZP_IMPORT_LIBRARY ${CMAKE_BINARY_DIR}/import/libzephronpro.dll.a)
add_custom_command(OUTPUT ${ZP_IMPORT_LIBRARY}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/import
                   COMMAND ${ZP_DLLTOOL} --def ${PROJECT_SOURCE_DIR}/zephronpro.def --dllname zephronpro.dll
                           --kill-at --output-lib ${ZP_IMPORT_LIBRARY}
                   DEPENDS ${PROJECT_SOURCE_DIR}/zephronpro.def
                   COMMENT "Import library for C and C++ callers")
add_custom_target(zp_import_library ALL DEPENDS ${ZP_IMPORT_LIBRARY})
install(FILES ${ZP_IMPORT_LIBRARY} DESTINATION lib)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zephronpro)
set(CPACK_PACKAGE_VENDOR zephronpro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The screens of the ZEPHRON Pro clock configuration utility, with a sample host")
set(CPACK_PACKAGE_FILE_NAME zephronpro-${PROJECT_VERSION}-win32)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
