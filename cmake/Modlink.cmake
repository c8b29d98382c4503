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
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT})
  if(T_ENV)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
  endif()
endfunction()
