# Native build: fast tests of the portable parts, fuzzing and benchmarks.
find_package(GTest REQUIRED)
# One ctest test per GoogleTest program, with a time limit, as the Wine
# tests are. Discovery's per-case tests would bring its skip rule, which
# takes a skip marker in the output for a skip even when the program then
# fails. ./run.sh names each failed or skipped case from the output.
function(zp_gtest_program name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()

add_subdirectory(tests/native)
add_subdirectory(tests/text)
add_subdirectory(bench)
add_subdirectory(tests/rig)
