# orlenta_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [TIMEOUT seconds] [PROCESSORS n])
# One GoogleTest executable; each test case becomes a CTest test.  Tests that
# exercise threads carry the label "concurrency" so that the ThreadSanitizer
# build can run just those.  The test main (tests/support/test_main.cpp) sets
# the environment every test runs in (offscreen Qt, null sound).  PROCESSORS
# tells CTest how many cores each case keeps busy (a whole program with its X
# server, say), so that a parallel run does not start more than the machine
# can serve within the tests' patience.
function(orlenta_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT;PROCESSORS" "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(T_ENVIRONMENT)
    # Test discovery loses all but the first value of a list property.
    message(FATAL_ERROR "orlenta_add_test(${name}): set the environment in the test itself (setenv)")
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} orlenta_test_main GTest::gtest GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    ORLENTA_TESTDATA_DIR="${ORLENTA_TESTDATA_DIR}"
    ORLENTA_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_PROCESSORS)
    set(T_PROCESSORS 1)
  endif()
  if(T_LABELS)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
      PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT} PROCESSORS ${T_PROCESSORS})
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
      PROPERTIES TIMEOUT ${T_TIMEOUT} PROCESSORS ${T_PROCESSORS})
  endif()
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
