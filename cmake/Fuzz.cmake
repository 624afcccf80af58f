# libFuzzer targets are built with clang beside the g++ build, by a custom
# command, so the native preset can stay on g++ for everything else.
find_program(PELLVANE_CLANGXX NAMES clang++ clang++-14)

# pv_add_fuzzer(NAME SOURCES src... [RUNS n]): builds NAME with clang and
# libFuzzer (ASan+UBSan) and registers a bounded fuzzing run with ctest.
function(pv_add_fuzzer name)
  cmake_parse_arguments(F "" "RUNS;CORPUS" "SOURCES" ${ARGN})
  if(NOT PELLVANE_CLANGXX)
    message(WARNING "clang++ not found: fuzzer ${name} is not built")
    return()
  endif()
  if(NOT F_RUNS)
    set(F_RUNS 200000)
  endif()
  set(srcs)
  foreach(s IN LISTS F_SOURCES)
    list(APPEND srcs ${CMAKE_SOURCE_DIR}/${s})
  endforeach()
  set(out ${CMAKE_BINARY_DIR}/fuzz/${name})
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/fuzz
    COMMAND ${PELLVANE_CLANGXX} -std=c++20 -g -O1 -Wall -Wextra -Werror
            -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
            -I${CMAKE_SOURCE_DIR} ${srcs} -o ${out}
    DEPENDS ${srcs}
    COMMENT "Building fuzzer ${name} with clang"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${out})
  set(corpus ${CMAKE_BINARY_DIR}/fuzz/${name}-corpus)
  add_test(NAME ${PELLVANE_TEST_PREFIX}fuzz.${name}
           COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
                   ${out} -runs=${F_RUNS} -max_len=512 ${corpus} ${CMAKE_SOURCE_DIR}/${F_CORPUS})
  set_tests_properties(${PELLVANE_TEST_PREFIX}fuzz.${name} PROPERTIES TIMEOUT 300
                       FIXTURES_REQUIRED ${name}-corpus)
  add_test(NAME ${PELLVANE_TEST_PREFIX}fuzz.${name}.corpus
           COMMAND ${CMAKE_COMMAND} -E make_directory ${corpus})
  set_tests_properties(${PELLVANE_TEST_PREFIX}fuzz.${name}.corpus PROPERTIES
                       FIXTURES_SETUP ${name}-corpus)
endfunction()
