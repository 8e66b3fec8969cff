# `cmake --install` puts the DLL, the sample host, the header, the import libraries, the .def
# file, the CMake package (lib/cmake/zephronpro) and USAGE.txt in place; `cpack -G ZIP` packs
# the same, one ZIP per architecture (…-win32.zip, …-win64.zip).
math(EXPR ZP_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
foreach(file zephronproConfig zephronproConfigVersion)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/package/${file}.cmake.in
                 ${CMAKE_BINARY_DIR}/package/${file}.cmake @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/${file}.cmake DESTINATION lib/cmake/zephronpro)
endforeach()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zephronpro)
set(CPACK_PACKAGE_VENDOR zephronpro)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "The screens of the ZEPHRON Pro clock configuration utility, with a sample host")
set(CPACK_PACKAGE_FILE_NAME zephronpro-${PROJECT_VERSION}-${ZP_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Last in the same step: the same bytes from every build, the symbols ZIP, SHA256SUMS beside them.
file(CONFIGURE OUTPUT package/release.cmake @ONLY CONTENT [[execute_process(COMMAND python3
  @PROJECT_SOURCE_DIR@/tools/release-zips.py @CMAKE_BINARY_DIR@/bin/zephronpro.dll.debug
  ${CPACK_PACKAGE_DIRECTORY} ${CPACK_PACKAGE_FILES} COMMAND_ERROR_IS_FATAL ANY)]])
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_BINARY_DIR}/package/release.cmake)
include(CPack)
