# cpack -G DEB: one package with the tool, its man page and the decoder
# library with its header and package files, installed under /usr.
set(CPACK_PACKAGE_NAME tolvik)
set(CPACK_PACKAGE_VENDOR "tolvik developers")
set(CPACK_PACKAGE_CONTACT "tolvik developers <tolvik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "tolvik reads a saved ONFI or JEDEC parameter page, checks its CRC-16 \
and prints a readable report of it. The package also holds the decoder as a static C++20 library \
with its CMake and pkg-config files.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The tool is linked statically, so it needs no shared libraries at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
