# Installing and packing: `cmake --install` puts the DLL, the sample host,
# the header, the import library, the .def file and USAGE.txt in place, and
# `cpack -G ZIP` in a cross build tree packs the same under one folder, one
# ZIP per architecture (…-win32.zip, …-win64.zip).

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zephronpro)
set(CPACK_PACKAGE_VENDOR zephronpro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "The screens of the ZEPHRON Pro clock configuration utility, with a sample host")
set(CPACK_PACKAGE_FILE_NAME zephronpro-${PROJECT_VERSION}-${ZP_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
