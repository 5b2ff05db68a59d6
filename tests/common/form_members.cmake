# SPDX-License-Identifier: GPL-3.0-or-later
# Tests (and the benchmarks that drive the window) reach the form's widgets
# by their object names (findChild), not through the window's private
# members: every widget and layout of the form is listed, with its class, in
# ${ZN84_FORM_MEMBERS_DIR}/form_members.inc for tests/common/windowprobe.h.

set(ZN84_FORM_MEMBERS_DIR ${CMAKE_BINARY_DIR}/form-members)
set(form ${PROJECT_SOURCE_DIR}/ui/mainwindow.ui)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${form})
file(READ ${form} form_text)
string(REGEX MATCHALL "<(widget|layout) class=\"[A-Za-z_:]+\" name=\"[A-Za-z_0-9]+\"" form_items "${form_text}")
set(form_finds "// Generated from ui/mainwindow.ui by tests/common/form_members.cmake.\n")
foreach(item ${form_items})
  string(REGEX REPLACE ".* class=\"([A-Za-z_:]+)\" name=\"([A-Za-z_0-9]+)\"" "\\1;\\2" pair "${item}")
  list(GET pair 0 form_class)
  list(GET pair 1 form_name)
  if(NOT form_name STREQUAL "MainWindow")
    string(APPEND form_finds "ZN84_FORM_MEMBER(${form_class}, ${form_name})\n")
  endif()
endforeach()
file(WRITE ${ZN84_FORM_MEMBERS_DIR}/form_members.inc.new "${form_finds}")
configure_file(${ZN84_FORM_MEMBERS_DIR}/form_members.inc.new ${ZN84_FORM_MEMBERS_DIR}/form_members.inc COPYONLY)
