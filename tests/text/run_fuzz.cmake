# Builds the libFuzzer target with clang++ and runs it for a bounded time.
# Run as: cmake -DCLANGXX=... -DSOURCE_DIR=... -DOUT=... -DSECONDS=... -P run_fuzz.cmake
if(NOT CLANGXX)
  message(FATAL_ERROR "fuzz test needs clang++ with the libFuzzer runtime (Debian: clang-14, libclang-rt-14-dev); none was found at configure time")
endif()
set(test_dir ${SOURCE_DIR}/tests/text)
execute_process(
  COMMAND ${CLANGXX} -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
          -Wall -Wextra -I${SOURCE_DIR} -I${test_dir}
          ${test_dir}/fuzz_number_text.cpp ${test_dir}/reference.cpp ${SOURCE_DIR}/text/number_text.cpp
          -o ${OUT}
  RESULT_VARIABLE built ERROR_VARIABLE build_errors)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "could not build the fuzz target with ${CLANGXX} -fsanitize=fuzzer (is libclang-rt-14-dev installed?):\n${build_errors}")
endif()
execute_process(
  COMMAND ${OUT} -max_len=11 -max_total_time=${SECONDS} -seed=1 -print_final_stats=1
  RESULT_VARIABLE ran)
if(NOT ran EQUAL 0)
  message(FATAL_ERROR "fuzz target failed (exit ${ran}); the crashing input is in the working directory")
endif()
