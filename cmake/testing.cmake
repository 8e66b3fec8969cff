# A GoogleTest program is one ctest test with a time limit. Its cases go into GoogleTest's own XML,
# from which ./run.sh's closing line counts them (tools/test-summary.py finds the file by this
# option). A Windows program needs a drive in the path: Wine's Z: is this machine's root.
function(zp_gtest name timeout)
  add_test(NAME ${name} COMMAND ${ARGN}
           --gtest_output=xml:$<$<BOOL:${WIN32}>:Z:>${CMAKE_BINARY_DIR}/gtest/${name}.xml)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
endfunction()
