# Installation (cmake --install) and the Debian package (cpack -G DEB).
#
# Component "viewer": the program, its compiled translations (which it finds
# relative to itself), the desktop entry and the icon. Component "cli": the
# command-line companion and its manual page, which need no window system (a
# headless test bench installs it alone). Component "simulator": the
# simulated sensor for demonstrations and bench work without hardware.

install(TARGETS zn84-viewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT viewer)
install(FILES ${QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/zn84-viewer/translations
        COMPONENT viewer)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zn84-viewer.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT viewer)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/zn84-viewer.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT viewer)
install(TARGETS zn84ctl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT cli)
install(FILES ${PROJECT_SOURCE_DIR}/cli/zn84ctl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
if(TARGET zn84-sim)
  install(TARGETS zn84-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
endif()

set(CPACK_PACKAGE_NAME zn84-viewer)
set(CPACK_PACKAGE_VENDOR "ZN84 Viewer developers")
set(CPACK_PACKAGE_CONTACT "ZN84 Viewer developers <zn84-viewer@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY zn84-viewer)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL viewer cli)
if(TARGET zn84-sim)
  list(APPEND CPACK_COMPONENTS_ALL simulator)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_VIEWER_PACKAGE_NAME zn84-viewer)
# Qt's own translations: the file dialogs and the buttons of message boxes
# in the Chinese interface (the libraries themselves come from shlibdeps).
if(ZN84_QT_MAJOR EQUAL 6)
  set(CPACK_DEBIAN_VIEWER_PACKAGE_DEPENDS "qt6-translations-l10n")
else()
  set(CPACK_DEBIAN_VIEWER_PACKAGE_DEPENDS "qttranslations5-l10n")
endif()
set(CPACK_DEBIAN_VIEWER_DESCRIPTION
    "Host tool for a laser rangefinder on a serial port\n Watches the distance live (readouts and a scrolling chart), records\n readings to text files, configures the sensor through its own protocol\n and over Modbus RTU, and writes new firmware into it. Chinese and\n English interface.")
set(CPACK_DEBIAN_CLI_PACKAGE_NAME zn84ctl)
set(CPACK_DEBIAN_CLI_DESCRIPTION
    "Command-line tool for a laser rangefinder on a serial port\n Configures the sensor, reads it, streams and records distances and\n writes new firmware into it from a script, with exit codes and JSON\n output. Needs no window system.")
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME zn84-viewer-simulator)
set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION
    "Simulated laser rangefinder for ZN84 Viewer\n Streams measurement frames on a pseudo-terminal and answers the\n sensor's command protocol, Modbus RTU and firmware transfer, for\n demonstrations and tests without hardware.")
include(CPack)
