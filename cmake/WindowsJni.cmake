# JNI headers for the cross-built Windows libraries: the OS-neutral jni.h of the build machine's
# JDK with our Windows jni_md.h (platform/win32/jni), which exports natives in the Windows calling
# convention with a 32-bit long as jint. Sets MODLINK_WINDOWS_JNI_INCLUDE_DIRS.
if(NOT MODLINK_WINDOWS_JNI_INCLUDE_DIRS)
  if(DEFINED ENV{JAVA_HOME})
    set(modlink_jdk $ENV{JAVA_HOME})
  else()
    find_program(MODLINK_HOST_JAVAC javac REQUIRED)
    file(REAL_PATH ${MODLINK_HOST_JAVAC} modlink_javac_real)
    get_filename_component(modlink_jdk_bin ${modlink_javac_real} DIRECTORY)
    get_filename_component(modlink_jdk ${modlink_jdk_bin} DIRECTORY)
  endif()
  if(NOT EXISTS ${modlink_jdk}/include/jni.h)
    message(FATAL_ERROR "jni.h not found under ${modlink_jdk}/include (install a JDK)")
  endif()
  set(MODLINK_WINDOWS_JNI_INCLUDE_DIRS ${modlink_jdk}/include ${CMAKE_SOURCE_DIR}/platform/win32/jni)
endif()

# The fake JVM (testkit/fakejni) that the Windows test hosts load our JNI libraries into.
function(modlink_fake_jni_library)
  if(NOT TARGET modlink_fake_jni)
    add_library(modlink_fake_jni STATIC ${CMAKE_SOURCE_DIR}/testkit/fakejni/fake_jni.cpp)
    target_include_directories(modlink_fake_jni PUBLIC ${CMAKE_SOURCE_DIR}/testkit/fakejni
                               ${MODLINK_WINDOWS_JNI_INCLUDE_DIRS})
    modlink_target_defaults(modlink_fake_jni)
  endif()
endfunction()

# modlink_exports_def(<target> <dll-name> <exports-file>)
# Makes the DLL export exactly the names listed in exports-file (one a line, '#' comments): a
# module-definition file is written from the list, which scripts/check-windows-binaries.sh
# also checks the built DLL against.
function(modlink_exports_def target dll exports)
  file(STRINGS ${exports} lines)
  set(def "LIBRARY \"${dll}\"\nEXPORTS\n")
  foreach(line ${lines})
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line)
      string(APPEND def "    ${line}\n")
    endif()
  endforeach()
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/${target}.def "${def}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${exports})
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
endfunction()
