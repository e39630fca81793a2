# Installation rules: the tool, its man page, the decoder library and its package files.
#
# cmake --install <build> --prefix P gives
#   P/bin/tolvik                       the tool (statically linked)
#   P/share/man/man1/tolvik.1          its man page
#   P/include/tolvik.h                 the decoder's public header
#   P/LIB/libtolvik.a                  the decoder
#   P/LIB/cmake/tolvik/                find_package(tolvik) -> tolvik::tolvik
#   P/LIB/pkgconfig/tolvik.pc          pkg-config --cflags --libs tolvik
# (LIB is CMAKE_INSTALL_LIBDIR: lib, or lib/<multiarch> when configured for
# /usr) and cpack -G DEB packs the same tree under /usr.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOLVIK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tolvik)

# Installed, the decoder is libtolvik.a and its imported target tolvik::tolvik,
# the name in-tree code already uses.
set_target_properties(tolvik_decoder PROPERTIES OUTPUT_NAME tolvik EXPORT_NAME tolvik)

install(TARGETS tolvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/man/tolvik.1.in RENAME tolvik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)

install(TARGETS tolvik_decoder EXPORT tolvikTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tolvik.h ${PROJECT_BINARY_DIR}/include/tolvik_version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
install(EXPORT tolvikTargets NAMESPACE tolvik:: FILE tolvikTargets.cmake
  DESTINATION ${TOLVIK_CMAKE_DIR} COMPONENT library)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/tolvikConfig.cmake.in
  ${PROJECT_BINARY_DIR}/tolvikConfig.cmake INSTALL_DESTINATION ${TOLVIK_CMAKE_DIR})
# Below 1.0 a new minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/tolvikConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/tolvikConfig.cmake ${PROJECT_BINARY_DIR}/tolvikConfigVersion.cmake
  DESTINATION ${TOLVIK_CMAKE_DIR} COMPONENT library)

# The .pc file finds its prefix from where it lies, so it stays right for
# cmake --install --prefix and for a moved tree; absolute dirs stay as given.
file(RELATIVE_PATH TOLVIK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" TOLVIK_PC_TO_PREFIX "${TOLVIK_PC_TO_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${dir}}")
    set(TOLVIK_PC_${dir} "${CMAKE_INSTALL_${dir}}")
  else()
    set(TOLVIK_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/tolvik.pc.in ${PROJECT_BINARY_DIR}/tolvik.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tolvik.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT library)

include(${CMAKE_CURRENT_LIST_DIR}/package.cmake)
