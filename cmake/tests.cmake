# Whether the tests are built. A machine with only a compiler and CMake
# builds and runs the tool; the tests need more: GoogleTest and nlohmann-json
# to build, and the listing, man page and packaging tools they run.
#   TOLVIK_TESTS=AUTO (the default): built where everything they need is found
#   TOLVIK_TESTS=ON: built, and configuring fails naming what is missing
#   TOLVIK_TESTS=OFF: not built
# .ci/run installs every package named here (Debian's names).
# Sets TOLVIK_BUILD_TESTS and TOLVIK_PYTHON.
set(TOLVIK_TESTS AUTO CACHE STRING "Build the tests: AUTO (where all they need is found), ON or OFF")
set_property(CACHE TOLVIK_TESTS PROPERTY STRINGS AUTO ON OFF)

set(TOLVIK_BUILD_TESTS OFF)
if(TOLVIK_TESTS STREQUAL "AUTO" OR TOLVIK_TESTS)
  set(tolvik_missing "")
  find_package(GTest QUIET)
  if(NOT GTest_FOUND)
    list(APPEND tolvik_missing "GoogleTest (libgtest-dev)")
  endif()
  find_package(nlohmann_json 3 QUIET)
  if(NOT nlohmann_json_FOUND)
    list(APPEND tolvik_missing "nlohmann-json 3 (nlohmann-json3-dev)")
  endif()
  # program:package
  foreach(tool IN ITEMS xxd:xxd hexdump:bsdextrautils groff:groff-base pkg-config:pkg-config lintian:lintian
                        dpkg-deb:dpkg gzip:gzip)
    string(REPLACE ":" ";" tool "${tool}")
    list(GET tool 0 program)
    list(GET tool 1 package)
    string(MAKE_C_IDENTIFIER "TOLVIK_PROGRAM_${program}" variable)
    find_program(${variable} ${program})
    if(NOT ${variable})
      list(APPEND tolvik_missing "${program} (${package})")
    endif()
  endforeach()
  # Debian's python3-jsonschema belongs to the system interpreter; another
  # python3 earlier on PATH may lack it.
  find_program(TOLVIK_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
  if(NOT TOLVIK_PYTHON)
    find_program(TOLVIK_PYTHON NAMES python3)
  endif()
  set(jsonschema_found 1)
  if(TOLVIK_PYTHON)
    execute_process(COMMAND ${TOLVIK_PYTHON} -c "import jsonschema" RESULT_VARIABLE jsonschema_found
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT jsonschema_found EQUAL 0)
    list(APPEND tolvik_missing "python3 with jsonschema (python3-jsonschema)")
  endif()

  list(JOIN tolvik_missing ", " tolvik_missing)
  if(NOT tolvik_missing)
    set(TOLVIK_BUILD_TESTS ON)
  elseif(TOLVIK_TESTS STREQUAL "AUTO")
    message(STATUS "tolvik: tests not built; they need ${tolvik_missing} (-DTOLVIK_TESTS=ON insists)")
  else()
    message(FATAL_ERROR "tolvik: the tests need ${tolvik_missing}; .ci/run installs them")
  endif()
endif()
