# Installation rules: the tool, its man page, the decoder library and its package files.
#
# cmake --install <build> --prefix P gives
#   P/bin/tolvik                       the tool (statically linked where that links)
#   P/share/man/man1/tolvik.1.gz       its man page
#   P/share/bash-completion/completions/tolvik
#   P/share/tolvik/tolvik.schema.json  the JSON document's schema
#   P/include/tolvik.h                 the decoder's public header (with tolvik_model.h, tolvik_timings.h)
#   P/include/tolvik_c.h               its C interface
#   P/LIB/libtolvik.a                  the decoder
#   P/LIB/cmake/tolvik/                find_package(tolvik) -> tolvik::tolvik
#   P/LIB/pkgconfig/tolvik.pc          pkg-config --cflags --libs tolvik
# (LIB is CMAKE_INSTALL_LIBDIR: lib/<multiarch> where the system has one, as
# Debian's, else what GNUInstallDirs picks) and cpack -G DEB packs the same
# tree under /usr, in two packages: tolvik (component tool) and
# libtolvik-dev (component library).
#
# Debian's multiarch directory whatever the prefix, so that the package,
# configured with the default prefix, still puts the library where Debian
# wants it; the compilers and CMake there search it under any prefix.
if(CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries (LIBDIR)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TOLVIK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/tolvik)

# Installed, the decoder is libtolvik.a and its imported target tolvik::tolvik,
# the name in-tree code already uses.
set_target_properties(tolvik_decoder PROPERTIES OUTPUT_NAME tolvik EXPORT_NAME tolvik)

# Compressed files as Debian wants them: maximum compression, no name or time
# stamp inside, so the same sources give the same package.
find_program(TOLVIK_GZIP gzip)
function(tolvik_gzip source target)
  add_custom_command(OUTPUT ${target} COMMAND ${TOLVIK_GZIP} -9 -n -c ${source} > ${target} DEPENDS ${source}
    VERBATIM)
endfunction()

configure_file(${PROJECT_SOURCE_DIR}/man/tolvik.1.in ${PROJECT_BINARY_DIR}/man/tolvik.1 @ONLY)
set(TOLVIK_MAN_PAGE ${PROJECT_BINARY_DIR}/man/tolvik.1)
if(TOLVIK_GZIP)
  tolvik_gzip(${PROJECT_BINARY_DIR}/man/tolvik.1 ${PROJECT_BINARY_DIR}/man/tolvik.1.gz)
  set(TOLVIK_MAN_PAGE ${PROJECT_BINARY_DIR}/man/tolvik.1.gz)
endif()
add_custom_target(tolvik_man ALL DEPENDS ${TOLVIK_MAN_PAGE})

install(TARGETS tolvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tool)
install(FILES ${TOLVIK_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/completion/tolvik DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/schema/tolvik.schema.json DESTINATION ${CMAKE_INSTALL_DATADIR}/tolvik
  COMPONENT tool)

install(TARGETS tolvik_decoder EXPORT tolvikTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tolvik.h ${PROJECT_SOURCE_DIR}/include/tolvik_model.h
  ${PROJECT_SOURCE_DIR}/include/tolvik_timings.h ${PROJECT_SOURCE_DIR}/include/tolvik_c.h
  ${PROJECT_BINARY_DIR}/include/tolvik_version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
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
