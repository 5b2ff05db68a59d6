# SPDX-License-Identifier: GPL-3.0-or-later
# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Component "viewer": the program, its compiled translations (which it finds
# relative to itself), the desktop entry, the icon, the AppStream metadata and
# the manual page. Component "cli": the
# command-line companion and its manual page, which need no window system (a
# headless test bench installs it alone). Component "simulator": the
# simulated sensor for demonstrations and bench work without hardware.

# Every package carries the licence terms (copyright, machine-readable), the
# changelog and the manual pages of its programs, the last two compressed as
# Debian policy asks (gzip -9n: no name or time stamp, so that two builds of
# the same tree give the same bytes).
find_program(ZN84_GZIP gzip REQUIRED)
set(ZN84_COMPRESSED ${CMAKE_CURRENT_BINARY_DIR}/compressed)
set(zn84_compressed_files)
# zn84_gzip(SOURCE NAME) makes ${ZN84_COMPRESSED}/NAME.gz.
function(zn84_gzip source name)
  add_custom_command(OUTPUT ${ZN84_COMPRESSED}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${ZN84_COMPRESSED}/${name}
    COMMAND ${ZN84_GZIP} -9nf ${ZN84_COMPRESSED}/${name}
    DEPENDS ${source} VERBATIM)
  set(zn84_compressed_files ${zn84_compressed_files} ${ZN84_COMPRESSED}/${name}.gz PARENT_SCOPE)
endfunction()
zn84_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog changelog.Debian)
zn84_gzip(${PROJECT_SOURCE_DIR}/app/zn84-viewer.1 zn84-viewer.1)
zn84_gzip(${PROJECT_SOURCE_DIR}/cli/zn84ctl.1 zn84ctl.1)
zn84_gzip(${PROJECT_SOURCE_DIR}/sim/zn84-sim.1 zn84-sim.1)
add_custom_target(compressed_docs ALL DEPENDS ${zn84_compressed_files})

# The packages' names, one per component.
set(ZN84_PACKAGE_viewer zn84-viewer)
set(ZN84_PACKAGE_cli zn84ctl)
set(ZN84_PACKAGE_simulator zn84-viewer-simulator)
set(zn84_components viewer cli)
if(TARGET zn84-sim)
  list(APPEND zn84_components simulator)
endif()
foreach(component IN LISTS zn84_components)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${ZN84_COMPRESSED}/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ZN84_PACKAGE_${component}} COMPONENT ${component})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${ZN84_PACKAGE_${component}}
          COMPONENT ${component})
endforeach()

install(TARGETS zn84-viewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT viewer)
install(FILES ${ZN84_COMPRESSED}/zn84-viewer.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT viewer)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/org.zn84.viewer.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT viewer)
install(FILES ${QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/zn84-viewer/translations
        COMPONENT viewer)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zn84-viewer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT viewer)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zn84-viewer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT viewer)
install(TARGETS zn84ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES ${ZN84_COMPRESSED}/zn84ctl.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
# The gateway to a plant's broker: a systemd unit template, one instance per
# sensor (its settings in /etc/zn84ctl/INSTANCE.env), and examples of that
# file and of a udev rule giving each adapter a stable name. The unit goes to
# the prefix's lib/systemd/system (/usr/lib/systemd/system in the package).
install(FILES ${PROJECT_SOURCE_DIR}/packaging/plant/zn84ctl-publish@.service DESTINATION lib/systemd/system
        COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/plant/99-zn84-sensors.rules ${PROJECT_SOURCE_DIR}/packaging/plant/line1-s1.env
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${ZN84_PACKAGE_cli}/examples COMPONENT cli)
if(TARGET zn84-sim)
  install(TARGETS zn84-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
  install(FILES ${ZN84_COMPRESSED}/zn84-sim.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT simulator)
endif()

set(CPACK_PACKAGE_NAME zn84-viewer)
set(CPACK_PACKAGE_VENDOR "ZN84 Viewer developers")
set(CPACK_PACKAGE_CONTACT "ZN84 Viewer developers <zn84-viewer@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Each package's description below starts with its own synopsis line (see
# this file).
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_project_config.cmake)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY zn84-viewer)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${zn84_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A Debian revision: the packages are not native, their changelog is
# changelog.Debian.gz (packaging/changelog, whose top entry names this
# version and revision).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME ${ZN84_PACKAGE_viewer})
# Qt's own translations: the file dialogs and the buttons of message boxes
# in the Chinese interface (the libraries themselves come from shlibdeps).
if(ZN84_QT_MAJOR EQUAL 6)
  set(CPACK_DEBIAN_VIEWER_PACKAGE_DEPENDS "qt6-translations-l10n")
else()
  set(CPACK_DEBIAN_VIEWER_PACKAGE_DEPENDS "qttranslations5-l10n")
endif()
set(CPACK_DEBIAN_VIEWER_DESCRIPTION
    "Host tool for a laser rangefinder on a serial port\nWatches the distance live (readouts and a scrolling chart), records\nreadings to text files, configures the sensor through its own protocol\nand over Modbus RTU, and writes new firmware into it. Chinese and\nEnglish interface.")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME ${ZN84_PACKAGE_cli})
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "Command-line tool for a laser rangefinder on a serial port\nConfigures the sensor, reads it, streams and records distances and\nwrites new firmware into it from a script, with exit codes and JSON\noutput, and publishes every distance to an MQTT broker as a gateway\nservice (a systemd unit per sensor). Needs no window system.")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME ${ZN84_PACKAGE_simulator})
set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION
    "Simulated laser rangefinder for ZN84 Viewer\nStreams measurement frames on a pseudo-terminal and answers the\nsensor's command protocol, Modbus RTU and firmware transfer, for\ndemonstrations and tests without hardware.")
include(CPack)
