# Shared build settings: warnings, sanitizers and helpers for libraries and tests.

add_compile_options(-Wall -Wextra -Wpedantic)

if(R7K_SANITIZE)
  add_compile_options(-fsanitize=${R7K_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${R7K_SANITIZE})
endif()

# r7k_library(NAME SOURCES ... DEPS ...): one static library per layer, headers found as "layer/file.h".
function(r7k_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# r7k_test(NAME SOURCES ... DEPS ...): a GoogleTest executable registered with ctest.
function(r7k_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ENVIRONMENT "R7K_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
