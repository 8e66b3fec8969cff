# Native build: fast tests of the portable parts, fuzzing and benchmarks.
find_package(GTest REQUIRED)
include(GoogleTest)
# Each discovered GoogleTest case gets a time limit, and no skip rule of
# discovery's own: that one reads a skip marker in the output as a skip even
# when the program then fails. A case that skips itself exits 0, and
# ./run.sh lists it as a skip from its output; "$x" matches no output.
set(ZP_GTEST_PROPERTIES TIMEOUT 120 SKIP_REGULAR_EXPRESSION "$x")

add_subdirectory(tests/native)
add_subdirectory(tests/text)
add_subdirectory(bench)
add_subdirectory(tests/rig)
