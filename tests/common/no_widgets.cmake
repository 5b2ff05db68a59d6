# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when PROGRAM loads a Qt Widgets, Gui or Charts library (ldd), or when
# ldd cannot tell. Run with: cmake -DPROGRAM=<file> -P no_widgets.cmake
execute_process(COMMAND ldd ${PROGRAM} OUTPUT_VARIABLE libs RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "ldd ${PROGRAM} failed")
endif()
if(NOT libs MATCHES "libQt[56]SerialPort")
  message(FATAL_ERROR "${PROGRAM} does not load Qt Serial Port: not a program of the link library")
endif()
string(REGEX MATCHALL "libQt[56](Widgets|Gui|Charts)[^ ]*" found "${libs}")
if(found)
  message(FATAL_ERROR "${PROGRAM} loads ${found}")
endif()
message(STATUS "${PROGRAM}: no Qt Widgets, Gui or Charts")
