# The MODBUS request checked by an independent RTU slave (libmodbus on a
# pseudo-terminal). libmodbus is for this test only.
# Not in a build for another system: pkg-config would offer this machine's library.
if(CMAKE_CROSSCOMPILING)
  return()
endif()
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(LIBMODBUS QUIET IMPORTED_TARGET libmodbus)
endif()
if(LIBMODBUS_FOUND)
  add_executable(tools_libmodbus_tests ${CMAKE_CURRENT_LIST_DIR}/libmodbus_slave_test.cpp)
  target_link_libraries(tools_libmodbus_tests PRIVATE ortiva_tools PkgConfig::LIBMODBUS Threads::Threads
                        GTest::gtest_main)
  ortiva_use_gtest_pch(tools_libmodbus_tests)
  gtest_discover_tests(tools_libmodbus_tests DISCOVERY_TIMEOUT 30 NO_PRETTY_VALUES)
else()
  message(WARNING "libmodbus not found: the RTU slave test is not built (scripts/deps installs libmodbus-dev)")
endif()
