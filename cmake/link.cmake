# How the tool is linked. A static binary starts faster than one that loads
# the C++ runtime; static-pie keeps address randomisation on top. Where the
# static C and C++ libraries are missing (no glibc-static, no libstdc++-static)
# neither links, and the tool is linked as usual instead of failing the build.
#
# Sets TOLVIK_LINK_MODE (static-pie, static or dynamic) and
# TOLVIK_LINK_OPTIONS for the tool and the programs measured against it.
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)

# A program that needs the C++ runtime and the C library, as the tool does.
set(TOLVIK_LINK_PROBE [[
#include <cstdio>
#include <string>
int main(int argc, char** argv) {
  std::string text(argv[0]);
  text += std::to_string(argc);
  return std::puts(text.c_str()) < 0;
}
]])

set(TOLVIK_LINK_MODE dynamic)
if(TOLVIK_STATIC)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_QUIET ON)
  set(CMAKE_REQUIRED_FLAGS -fPIE)
  set(CMAKE_REQUIRED_LINK_OPTIONS -static-pie)
  check_cxx_source_compiles("${TOLVIK_LINK_PROBE}" TOLVIK_LINKS_STATIC_PIE)
  set(CMAKE_REQUIRED_FLAGS "")
  set(CMAKE_REQUIRED_LINK_OPTIONS -static)
  check_cxx_source_compiles("${TOLVIK_LINK_PROBE}" TOLVIK_LINKS_STATIC)
  cmake_pop_check_state()
  if(TOLVIK_LINKS_STATIC_PIE)
    set(TOLVIK_LINK_MODE static-pie)
  elseif(TOLVIK_LINKS_STATIC)
    set(TOLVIK_LINK_MODE static)
  endif()
endif()

# The one line configure prints about it.
if(TOLVIK_LINK_MODE STREQUAL "static-pie")
  set(TOLVIK_LINK_OPTIONS -static-pie)
  message(STATUS "tolvik: the tool is linked static-pie")
elseif(TOLVIK_LINK_MODE STREQUAL "static")
  set(TOLVIK_LINK_OPTIONS -static)
  message(STATUS "tolvik: the tool is linked static (static-pie does not link here)")
else()
  set(TOLVIK_LINK_OPTIONS "")
  if(TOLVIK_STATIC)
    message(STATUS "tolvik: the tool is linked dynamic (no static C and C++ libraries found)")
  else()
    message(STATUS "tolvik: the tool is linked dynamic (TOLVIK_STATIC is OFF)")
  endif()
endif()
