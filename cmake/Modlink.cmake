# Shared build rules for every modlink target.

# A fuzzing build (clang only) instruments our code for libFuzzer and builds the harnesses; it
# leaves the tests, benchmarks and Java out by default to stay small.
option(MODLINK_FUZZ "Build the fuzz harnesses with libFuzzer, AddressSanitizer and UBSan (clang)" OFF)
if(MODLINK_FUZZ)
  set(modlink_tests_default OFF)
else()
  set(modlink_tests_default ON)
endif()
option(MODLINK_TESTS "Build the tests (off: only the programs and libraries that ship)" ${modlink_tests_default})

find_package(Threads REQUIRED)
if(WIN32 AND CMAKE_CROSSCOMPILING)
  # Debian ships GoogleTest for the build machine only; the Windows builds compile it from its
  # sources (package googletest) with the cross compiler.
  if(MODLINK_TESTS)
    set(MODLINK_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(${MODLINK_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    # Newer GoogleTest sources name their targets GTest::* themselves.
    foreach(lib gtest gmock gtest_main)
      if(NOT TARGET GTest::${lib})
        add_library(GTest::${lib} ALIAS ${lib})
      endif()
    endforeach()
  endif()
  # Components that need a JVM or POSIX-only facilities (the Java test kit, the module simulator
  # with its ptys) stay Linux-only; the Wine tests drive Windows programs from Linux.
  list(REMOVE_ITEM MODLINK_COMPONENTS_EFFECTIVE testkit modsim)
else()
  find_package(GTest REQUIRED)
endif()

# -Wrestrict is off: g++ 12 reports false positives inside std::string concatenation at -O2.
set(MODLINK_WARNINGS -Wall -Wextra -Wno-missing-field-initializers)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  list(APPEND MODLINK_WARNINGS -Wno-restrict)
endif()

# Applies the project's warning policy and the chosen sanitizer to a target of our own code.
# Warnings are errors through COMPILE_WARNING_AS_ERROR, so `cmake --compile-no-warning-as-error`
# can relax them for one build (a newer compiler, say) without editing anything. Sanitizers are
# set per target: third-party code built beside ours (GoogleTest for the cross builds) stays as
# its authors build it. Link options are public so every program that links an instrumented
# library gets the sanitizer's runtime.
function(modlink_target_defaults target)
  target_compile_options(${target} PRIVATE ${MODLINK_WARNINGS})
  set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ON)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "OBJECT_LIBRARY" OR type STREQUAL "STATIC_LIBRARY")
    set(link_scope INTERFACE)
  else()
    set(link_scope PRIVATE)
  endif()
  if(MODLINK_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                           -fno-sanitize-recover=all)
    target_link_options(${target} ${link_scope} -fsanitize=address,undefined)
  endif()
  if(MODLINK_TSAN)
    target_compile_options(${target} PRIVATE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(${target} ${link_scope} -fsanitize=thread)
  endif()
  if(MODLINK_FUZZ)
    # Coverage for libFuzzer without its main(); a harness links the fuzzer itself.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                           -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(${target} ${link_scope} -fsanitize=address,undefined)
    if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "MODULE_LIBRARY")
      # A library that must resolve every symbol itself (the JNI libraries) takes the sanitizers'
      # shared runtime; a program that loads it brings the same runtime.
      target_link_options(${target} PRIVATE -shared-libsan)
    endif()
  endif()
endfunction()

if(MODLINK_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "MODLINK_FUZZ needs clang (CC=clang-14 CXX=clang++-14)")
  endif()
  # Every harness is listed here with its corpus folder (name, a tab, the folder), one a line;
  # scripts/fuzz.sh and scripts/fuzz-regression.sh read it.
  set(MODLINK_FUZZ_LIST ${CMAKE_BINARY_DIR}/fuzzers.txt)
  file(WRITE ${MODLINK_FUZZ_LIST} "")
  add_custom_target(modlink_fuzzers)
endif()

# modlink_add_fuzzer(NAME name SOURCES ... [LIBS ...] CORPUS dir)
# Builds the libFuzzer harness <name>_fuzz into build/bin and records its seed corpus. Does
# nothing unless MODLINK_FUZZ is on.
function(modlink_add_fuzzer)
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS" ${ARGN})
  if(NOT MODLINK_FUZZ)
    return()
  endif()
  if(NOT F_NAME OR NOT F_SOURCES OR NOT F_CORPUS)
    message(FATAL_ERROR "modlink_add_fuzzer: NAME, SOURCES and CORPUS are required")
  endif()
  get_filename_component(corpus ${F_CORPUS} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(target ${F_NAME}_fuzz)
  add_executable(${target} ${F_SOURCES})
  modlink_target_defaults(${target})
  target_link_libraries(${target} PRIVATE ${F_LIBS})
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_compile_definitions(${target} PRIVATE MODLINK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(modlink_fuzzers ${target})
  file(APPEND ${MODLINK_FUZZ_LIST} "${target}\t${corpus}\n")
endfunction()

# modlink_add_gtest(NAME name LABEL unit|integration|e2e SOURCES ... LIBS ... [TIMEOUT s])
# Builds a GoogleTest binary into build/bin and registers it with ctest under a label,
# so `ctest -L unit` runs the quick tests first.
function(modlink_add_gtest)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  if(NOT MODLINK_TESTS)
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  modlink_target_defaults(${T_NAME})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  # Tests find the built programs and the source tree through these.
  target_compile_definitions(${T_NAME} PRIVATE MODLINK_BINARY_DIR="${CMAKE_BINARY_DIR}"
                             MODLINK_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()

# modlink_add_test_folder(PREFIX name FOLDER dir LIBS ...)
# Registers the tests of one folder by file suffix: *_test.cpp are unit tests, *_itest.cpp
# integration tests (built programs, real processes), *_e2e.cpp end-to-end sessions, and
# *_wine.cpp tests that run the cross-built Windows programs under Wine (label wine, Linux builds
# only; scripts/wine-tests.sh runs them). Files under FOLDER/support/ are linked into each of them.
function(modlink_add_test_folder)
  cmake_parse_arguments(T "" "PREFIX;FOLDER;TIMEOUT" "LIBS" ${ARGN})
  if(NOT MODLINK_TESTS)
    return()
  endif()
  file(GLOB support CONFIGURE_DEPENDS ${T_FOLDER}/support/*.cpp)
  set(kinds unit integration e2e)
  if(NOT WIN32)
    list(APPEND kinds wine)
  endif()
  foreach(kind ${kinds})
    if(kind STREQUAL "unit")
      set(suffix _test)
    elseif(kind STREQUAL "integration")
      set(suffix _itest)
    elseif(kind STREQUAL "wine")
      set(suffix _wine)
    else()
      set(suffix _e2e)
    endif()
    file(GLOB sources CONFIGURE_DEPENDS ${T_FOLDER}/*${suffix}.cpp)
    if(sources)
      set(timeout ${T_TIMEOUT})
      if(NOT timeout)
        set(timeout 600)
      endif()
      modlink_add_gtest(NAME ${T_PREFIX}_${kind}_tests LABEL ${kind} TIMEOUT ${timeout}
                        SOURCES ${sources} ${support} LIBS ${T_LIBS})
      target_include_directories(${T_PREFIX}_${kind}_tests PRIVATE ${T_FOLDER})
    endif()
  endforeach()
endfunction()
