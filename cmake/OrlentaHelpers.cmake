# orlenta_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENVIRONMENT ...])
# One GoogleTest executable; each test case becomes a CTest test.  Tests that
# exercise threads carry the label "concurrency" so that the ThreadSanitizer
# build can run just those.
function(orlenta_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    ORLENTA_TESTDATA_DIR="${ORLENTA_TESTDATA_DIR}"
    ORLENTA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
               ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORLENTA_SOUND=null;${T_ENVIRONMENT}")
  if("concurrency" IN_LIST T_LABELS)
    set_property(GLOBAL APPEND PROPERTY ORLENTA_CONCURRENCY_TESTS ${name})
  endif()
endfunction()

# orlenta_add_bench(<name> SOURCES ... [LIBS ...])
function(orlenta_add_bench name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark)
  target_compile_definitions(${name} PRIVATE
    ORLENTA_TESTDATA_DIR="${ORLENTA_TESTDATA_DIR}"
    ORLENTA_BINARY_DIR="${CMAKE_BINARY_DIR}")
endfunction()
