# Shared build settings: warnings, sanitizers and helpers for libraries and tests.

add_compile_options(-Wall -Wextra -Wpedantic)
if(WIN32)
  # mingw-w64's GCC 12 warns falsely inside libstdc++'s own string appends (GCC bug 105651).
  add_compile_options(-Wno-restrict)
endif()

if(R7K_SANITIZE)
  add_compile_options(-fsanitize=${R7K_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${R7K_SANITIZE})
endif()

if(R7K_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# r7k_library(NAME SOURCES ... DEPS ...): one static library per layer, headers found as "layer/file.h".
function(r7k_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# r7k_test(NAME SOURCES ... DEPS ... [ENV VAR=VALUE ...] [LABELS ...]): a GoogleTest executable
# registered with ctest, its tests carrying the labels.
function(r7k_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;ENV;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  if(CMAKE_CROSSCOMPILING)
    # Windows test programs are run under Wine by scripts/test, not by ctest.
    return()
  endif()
  if(ARG_ENV)
    # Tests that need more environment (a display platform) run as one program: the discovered
    # tests' properties cannot carry a list.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "R7K_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}"
                         LABELS "${ARG_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                         PROPERTIES ENVIRONMENT "R7K_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
                                    LABELS "${ARG_LABELS}")
  endif()
endfunction()

# r7k_layer(NAME [THREADED] [DEPS ...] [TEST_DEPS ...] [TEST_ENV VAR=VALUE ...]): the library
# r7k_NAME from every *.cc of the folder except tests (*_test.cc) and program entry points
# (*_main.cc), and the test program r7k_NAME_tests from every *_test.cc. Adding a source file
# needs no CMake change. THREADED: the layer shares data between threads; its tests carry the
# label "threaded", which scripts/test runs under ThreadSanitizer.
function(r7k_layer name)
  cmake_parse_arguments(ARG "THREADED" "" "DEPS;TEST_DEPS;TEST_ENV" ${ARGN})
  set(labels "")
  if(ARG_THREADED)
    set(labels threaded)
  endif()
  file(GLOB all_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  set(lib_sources "")
  set(test_sources "")
  set(fuzz_sources "")
  foreach(f ${all_sources})
    # System-specific files, one per system: foo_posix.cc or posix_foo.cc, foo_win.cc or
    # win_foo.cc (and their tests).
    get_filename_component(file_name ${f} NAME)
    if((WIN32 AND file_name MATCHES "(^posix_|_posix(_test)?\\.cc$)") OR
       (NOT WIN32 AND file_name MATCHES "(^win_|_win(_test)?\\.cc$)"))
      continue()
    endif()
    if(f MATCHES "_test\\.cc$")
      list(APPEND test_sources ${f})
    elseif(f MATCHES "_fuzz\\.cc$")
      list(APPEND fuzz_sources ${f})
    elseif(NOT f MATCHES "_main\\.cc$")
      list(APPEND lib_sources ${f})
    endif()
  endforeach()
  if(lib_sources)
    r7k_library(r7k_${name} SOURCES ${lib_sources} DEPS ${ARG_DEPS})
  else()
    add_library(r7k_${name} INTERFACE)
    target_include_directories(r7k_${name} INTERFACE ${PROJECT_SOURCE_DIR}/src ${PROJECT_BINARY_DIR}/src)
    target_link_libraries(r7k_${name} INTERFACE ${ARG_DEPS})
  endif()
  if(test_sources AND R7K_BUILD_TESTS)
    r7k_test(r7k_${name}_tests SOURCES ${test_sources} DEPS r7k_${name} ${ARG_TEST_DEPS}
             ENV ${ARG_TEST_ENV} LABELS ${labels})
  endif()
  # Fuzz targets (foo_fuzz.cc defines LLVMFuzzerTestOneInput) become fuzz_foo in a clang
  # build configured with -DR7K_FUZZ=ON.
  # Without libFuzzer the same targets replay their own seeds and the kept crash inputs of
  # fuzz/regressions/fuzz_foo as a test.
  if(NOT R7K_FUZZ AND R7K_BUILD_TESTS AND NOT CMAKE_CROSSCOMPILING)
    foreach(f ${fuzz_sources})
      get_filename_component(stem ${f} NAME_WE)
      string(REGEX REPLACE "_fuzz$" "" stem ${stem})
      add_executable(fuzz_replay_${stem} ${f} ${PROJECT_SOURCE_DIR}/src/testing/fuzz_replay_main.cc)
      target_link_libraries(fuzz_replay_${stem} PRIVATE r7k_${name} ${ARG_TEST_DEPS})
      add_test(NAME FuzzReplay.${stem}
               COMMAND fuzz_replay_${stem} ${PROJECT_SOURCE_DIR}/fuzz/regressions/fuzz_${stem})
    endforeach()
  endif()
  if(R7K_FUZZ)
    foreach(f ${fuzz_sources})
      get_filename_component(stem ${f} NAME_WE)
      string(REGEX REPLACE "_fuzz$" "" stem ${stem})
      add_executable(fuzz_${stem} ${f})
      target_link_libraries(fuzz_${stem} PRIVATE r7k_${name} ${ARG_TEST_DEPS})
      target_link_options(fuzz_${stem} PRIVATE -fsanitize=fuzzer)
    endforeach()
  endif()
endfunction()
