# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build tree BUILD_DIR into the empty prefix PREFIX and compares
# the files there with the list in MANIFEST (paths relative to the prefix;
# the simulator's lines, its program, manual page and package documents, count
# only when WITH_SIM is true).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed")
endif()
file(GLOB_RECURSE installed RELATIVE ${PREFIX} LIST_DIRECTORIES false ${PREFIX}/*)
list(SORT installed)
file(STRINGS ${MANIFEST} expected)
if(NOT WITH_SIM)
  list(FILTER expected EXCLUDE REGEX "zn84-sim|zn84-viewer-simulator")
endif()
list(SORT expected)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "installed:\n  ${installed}\nexpected:\n  ${expected}")
endif()
message(STATUS "installed exactly: ${installed}")
