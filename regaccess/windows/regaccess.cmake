# regaccess-x64.dll, the Windows build of the library, and its tests under Wine: the natives are
# called through the fake JVM against Wine's registry.
include(${CMAKE_SOURCE_DIR}/cmake/WindowsJni.cmake)

file(GLOB REGACCESS_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
add_library(regaccess SHARED ${REGACCESS_SOURCES})
# Exactly the listed names leave the DLL.
modlink_exports_def(regaccess regaccess-x64.dll ${CMAKE_CURRENT_SOURCE_DIR}/windows/regaccess-exports.txt)
set_target_properties(regaccess PROPERTIES OUTPUT_NAME regaccess-x64 PREFIX "")
target_include_directories(regaccess PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${MODLINK_WINDOWS_JNI_INCLUDE_DIRS})
target_link_libraries(regaccess PRIVATE modlink_platform)
modlink_target_defaults(regaccess)

if(MODLINK_TESTS)
  modlink_fake_jni_library()
  modlink_add_gtest(NAME regaccess_wine_tests LABEL integration TIMEOUT 300
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/windows/regaccess_wine_test.cpp
                    LIBS regaccess modlink_fake_jni modlink_platform)
endif()
