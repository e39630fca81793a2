# cpack -G DEB: two packages from the install components, installed under /usr.
#   tolvik         the tool, its man page, bash completion and the JSON schema
#   libtolvik-dev  the headers, the static library, its CMake and pkg-config files
# Each carries its copyright file and changelog; those are installed only
# into the packages (EXCLUDE_FROM_ALL), not by a plain cmake --install.
set(TOLVIK_MAINTAINER "tolvik developers <maintainers@tolvik.dev>")

# The changelog's date in the form Debian wants: "Mon, 07 Dec 2026 00:00:00 +0000".
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _ "${TOLVIK_RELEASE_DATE}")
set(_year ${CMAKE_MATCH_1})
math(EXPR _month "${CMAKE_MATCH_2} + 0")
math(EXPR _day "${CMAKE_MATCH_3} + 0")
# Day of the week (Sakamoto's method), 0 for Sunday.
set(_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR _index "${_month} - 1")
list(GET _offsets ${_index} _offset)
set(_y ${_year})
if(_month LESS 3)
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _weekday "(${_y} + ${_y} / 4 - ${_y} / 100 + ${_y} / 400 + ${_offset} + ${_day}) % 7")
set(_weekdays Sun Mon Tue Wed Thu Fri Sat)
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET _weekdays ${_weekday} _weekday_name)
list(GET _months ${_index} _month_name)
set(TOLVIK_RELEASE_DATE_RFC2822 "${_weekday_name}, ${CMAKE_MATCH_3} ${_month_name} ${_year} 00:00:00 +0000")

set(CPACK_PACKAGE_CONTACT "${TOLVIK_MAINTAINER}")
set(TOLVIK_DEBIAN ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${TOLVIK_DEBIAN}/changelog @ONLY)
if(TOLVIK_GZIP)
  tolvik_gzip(${TOLVIK_DEBIAN}/changelog ${TOLVIK_DEBIAN}/changelog.gz)
  add_custom_target(tolvik_changelog ALL DEPENDS ${TOLVIK_DEBIAN}/changelog.gz)
else()
  message(STATUS "gzip not found: the Debian packages are made without a changelog")
endif()

foreach(component tool library)
  if(component STREQUAL "tool")
    set(package tolvik)
  else()
    set(package libtolvik-dev)
  endif()
  set(doc ${CMAKE_INSTALL_DATADIR}/doc/${package})
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright DESTINATION ${doc} COMPONENT ${component}
    EXCLUDE_FROM_ALL)
  if(TOLVIK_GZIP)
    install(FILES ${TOLVIK_DEBIAN}/changelog.gz DESTINATION ${doc} COMPONENT ${component} EXCLUDE_FROM_ALL)
  endif()
endforeach()
# The deliberate static link, in the words lintian has for each kind.
if(TOLVIK_LINK_MODE STREQUAL "static-pie")
  set(TOLVIK_LINTIAN_TAG shared-library-lacks-prerequisites)
elseif(TOLVIK_LINK_MODE STREQUAL "static")
  set(TOLVIK_LINTIAN_TAG statically-linked-binary)
endif()
if(TOLVIK_LINTIAN_TAG)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/tolvik.lintian-overrides.in ${TOLVIK_DEBIAN}/tolvik @ONLY)
  install(FILES ${TOLVIK_DEBIAN}/tolvik DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT tool
    EXCLUDE_FROM_ALL)
endif()

set(CPACK_PACKAGE_NAME tolvik)
set(CPACK_PACKAGE_VENDOR "tolvik developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Each package's description below begins with its own summary line; a
# summary set here would be put in front of both.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool library)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME tolvik)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# Linked statically it needs no shared library at run time; otherwise
# dpkg-shlibdeps finds what it needs.
if(TOLVIK_LINK_MODE STREQUAL "dynamic")
  set(CPACK_DEBIAN_TOOL_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_TOOL_PACKAGE_SHLIBDEPS OFF)
endif()
set(CPACK_COMPONENT_TOOL_DESCRIPTION "NAND flash parameter page decoder
tolvik reads a parameter page saved from a NAND flash device, in the ONFI or
the JEDEC layout, checks its CRC-16 and prints a readable report: the maker
and model, features and commands, memory organisation, cell type, endurance
and ECC, the interface timing modes with their top speeds, timing and
electrical figures and the vendor block. It also reads a whole dump of the
parameter page area (every copy, the extended parameter page) and hex
listings, and can print the report as one JSON document.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libtolvik-dev)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "NAND flash parameter page decoder (development files)
The decoder behind the tolvik tool as a static C++20 library: it recognises
an ONFI or JEDEC parameter page, checks its CRC-16 and writes the report as
text or JSON into a buffer the caller gives, and says what it found. It
also hands out every field of the page as typed values, in C++ and through
a C11 interface that allocates nothing.
.
This package holds the headers, the static library, its CMake package
(find_package(tolvik)) and its pkg-config file.")

include(CPack)
