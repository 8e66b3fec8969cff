# `cmake --install` puts the DLL, the sample host, the header, the import
# libraries, the .def file, the CMake package (lib/cmake/zephronpro) and
# USAGE.txt in place; `cpack -G ZIP` packs the same, one ZIP per
# architecture (…-win32.zip, …-win64.zip).
math(EXPR ZP_BITS "${CMAKE_SIZEOF_VOID_P} * 8")
foreach(file zephronproConfig zephronproConfigVersion)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/package/${file}.cmake.in ${CMAKE_BINARY_DIR}/package/${file}.cmake @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/package/${file}.cmake DESTINATION lib/cmake/zephronpro)
endforeach()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zephronpro)
set(CPACK_PACKAGE_VENDOR zephronpro)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The screens of the ZEPHRON Pro clock configuration utility, with a sample host")
set(CPACK_PACKAGE_FILE_NAME zephronpro-${PROJECT_VERSION}-${ZP_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
