# SPDX-License-Identifier: GPL-3.0-or-later
# Qt's test module hands every program that links it the absolute path of
# the build (and, with Qt 6, of the source folder) for QFINDTESTDATA, which
# this project does not use. Without them no test object names its clone,
# and a compiler cache reuses the objects from any clone. Included after
# find_package(Qt... COMPONENTS Test) in each folder that finds it.
get_target_property(zn84_qt_test_definitions Qt${ZN84_QT_MAJOR}::Test INTERFACE_COMPILE_DEFINITIONS)
list(FILTER zn84_qt_test_definitions EXCLUDE REGEX "^QT_TESTCASE_(BUILD|SOURCE)DIR=")
set_target_properties(Qt${ZN84_QT_MAJOR}::Test PROPERTIES INTERFACE_COMPILE_DEFINITIONS "${zn84_qt_test_definitions}")
