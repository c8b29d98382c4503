# Shared build rules for every modlink target.

find_package(GTest REQUIRED)
find_package(Threads REQUIRED)

# -Wrestrict is off: g++ 12 reports false positives inside std::string concatenation at -O2.
set(MODLINK_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers -Wno-restrict)

if(MODLINK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
if(MODLINK_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Applies the project's warning policy to a target of our own code.
function(modlink_target_defaults target)
  target_compile_options(${target} PRIVATE ${MODLINK_WARNINGS})
endfunction()

# modlink_add_gtest(NAME name LABEL unit|integration|e2e SOURCES ... LIBS ... [TIMEOUT s])
# Builds a GoogleTest binary into build/bin and registers it with ctest under a label,
# so `ctest -L unit` runs the quick tests first.
function(modlink_add_gtest)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
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
# integration tests (built programs, real processes), *_e2e.cpp end-to-end sessions.
# Files under FOLDER/support/ are linked into each of them.
function(modlink_add_test_folder)
  cmake_parse_arguments(T "" "PREFIX;FOLDER;TIMEOUT" "LIBS" ${ARGN})
  file(GLOB support CONFIGURE_DEPENDS ${T_FOLDER}/support/*.cpp)
  foreach(kind unit integration e2e)
    if(kind STREQUAL "unit")
      set(suffix _test)
    elseif(kind STREQUAL "integration")
      set(suffix _itest)
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
