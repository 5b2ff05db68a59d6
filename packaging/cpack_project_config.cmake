# SPDX-License-Identifier: GPL-3.0-or-later
# Read by cpack for each generator, after the project's CPack settings.
#
# A Debian package's description starts with its synopsis line, and CPack puts
# the project's summary in front of a component's description unless that
# summary is the "default" one. Each component's description here starts
# with its own synopsis, so the summary is declared the default: zn84ctl's
# synopsis is then its own and the viewer's is not repeated.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
endif()
