# sublime-x64.dll, the Windows build of the library, and its tests under Wine: two Windows
# processes (a Sublime host on the fake JVM and a Lime client) talk through the DLL.
include(${CMAKE_SOURCE_DIR}/cmake/WindowsJni.cmake)

file(GLOB SUBLIME_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/client/src/native/*.cpp)
add_library(sublime SHARED ${SUBLIME_SOURCES})
# Exactly the listed names leave the DLL.
modlink_exports_def(sublime sublime-x64.dll ${CMAKE_CURRENT_SOURCE_DIR}/windows/sublime-exports.txt)
set_target_properties(sublime PROPERTIES OUTPUT_NAME sublime-x64 PREFIX "")
target_include_directories(sublime PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/client/src/native
                           ${MODLINK_WINDOWS_JNI_INCLUDE_DIRS})
target_link_libraries(sublime PRIVATE modlink_platform)
modlink_target_defaults(sublime)

if(MODLINK_TESTS)
  modlink_fake_jni_library()
  add_executable(lime_native_client ${CMAKE_CURRENT_SOURCE_DIR}/testprograms/native_client.cpp)
  target_include_directories(lime_native_client PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/client/src/native)
  target_link_libraries(lime_native_client PRIVATE sublime)
  modlink_target_defaults(lime_native_client)
  foreach(program sublime_host jni_client)
    set(target ${program})
    if(program STREQUAL "jni_client")
      set(target lime_jni_client)
    endif()
    add_executable(${target} ${CMAKE_CURRENT_SOURCE_DIR}/windows/${program}.cpp)
    target_link_libraries(${target} PRIVATE sublime modlink_fake_jni)
    modlink_target_defaults(${target})
  endforeach()
  modlink_add_gtest(NAME sublime_wine_tests LABEL integration TIMEOUT 300
                    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/windows/sublime_wine_test.cpp LIBS modlink_platform)
  add_dependencies(sublime_wine_tests sublime_host lime_jni_client lime_native_client)
endif()
