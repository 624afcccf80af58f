# GoogleTest from Debian's source package, built with whichever toolchain is active.
set(PELLVANE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${PELLVANE_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${PELLVANE_GTEST_SOURCE}; run scripts/setup.sh")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(${PELLVANE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# pv_add_test(NAME SOURCES... [LIBS ...] [NETWORK]) builds one test program and
# registers it with ctest. NETWORK tests need the private test network: outside
# it they skip, and ctest reports them as skipped, never as passed.
function(pv_add_test name)
  cmake_parse_arguments(T "NETWORK" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES} ${T_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main pv_warnings pv_sanitizers)
  add_test(NAME ${PELLVANE_TEST_PREFIX}${name} COMMAND ${name})
  set_tests_properties(${PELLVANE_TEST_PREFIX}${name} PROPERTIES
    SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
    TIMEOUT 300)
  if(T_NETWORK)
    set_tests_properties(${PELLVANE_TEST_PREFIX}${name} PROPERTIES LABELS network RESOURCE_LOCK udp9029)
  endif()
endfunction()
