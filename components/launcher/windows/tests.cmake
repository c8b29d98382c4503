# trayhost's Windows tests: the launcher's rules (the unit tests of tests/) and the program itself
# under Wine with a stand-in java.exe. The program tests need a display for the launcher's
# windows, so ctest runs them inside xvfb-run.
if(NOT MODLINK_TESTS)
  return()
endif()
file(GLOB trayhost_rule_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
modlink_add_gtest(NAME trayhost_unit_tests LABEL unit SOURCES ${trayhost_rule_tests} LIBS launcher_dm)
target_include_directories(trayhost_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/tests)

add_executable(trayhost_fake_java ${CMAKE_CURRENT_SOURCE_DIR}/windows/fake_java.cpp)
target_link_libraries(trayhost_fake_java PRIVATE modlink_platform)
modlink_target_defaults(trayhost_fake_java)

modlink_add_gtest(NAME trayhost_wine_tests LABEL integration TIMEOUT 300
                  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/windows/trayhost_wine_test.cpp LIBS launcher_utils)
add_dependencies(trayhost_wine_tests trayhost trayhost_fake_java)
find_program(MODLINK_XVFB_RUN xvfb-run)
if(MODLINK_XVFB_RUN)
  # The same test, started inside a virtual display instead of directly under wine64.
  set_tests_properties(trayhost_wine_tests PROPERTIES DISABLED ON)
  add_test(NAME trayhost_wine_display_tests
           COMMAND ${MODLINK_XVFB_RUN} -a ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:trayhost_wine_tests>)
  set_tests_properties(trayhost_wine_display_tests PROPERTIES LABELS integration TIMEOUT 300)
endif()

# The emulator's StopDeviceManager against a running launcher, when the emulator is built too.
add_executable(trayhost_fake_taskkill ${CMAKE_CURRENT_SOURCE_DIR}/windows/fake_taskkill.cpp)
target_link_libraries(trayhost_fake_taskkill PRIVATE modlink_platform)
modlink_target_defaults(trayhost_fake_taskkill)
if(TARGET emulator_debuglink AND MODLINK_XVFB_RUN)
  modlink_add_gtest(NAME trayhost_stop_wine_tests LABEL integration TIMEOUT 120
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/windows/stop_device_manager_wine_test.cpp
                    LIBS launcher_utils emulator_debuglink)
  add_dependencies(trayhost_stop_wine_tests trayhost trayhost_fake_java trayhost_fake_taskkill)
  set_tests_properties(trayhost_stop_wine_tests PROPERTIES DISABLED ON)
  add_test(NAME trayhost_stop_wine_display_tests
           COMMAND ${MODLINK_XVFB_RUN} -a ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:trayhost_stop_wine_tests>)
  set_tests_properties(trayhost_stop_wine_display_tests PROPERTIES LABELS integration TIMEOUT 120)
endif()
