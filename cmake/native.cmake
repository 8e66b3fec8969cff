# Native build: fast tests of the portable parts, fuzzing and benchmarks.
find_package(GTest REQUIRED)
add_subdirectory(tests/native)
add_subdirectory(tests/text)
add_subdirectory(bench)
add_subdirectory(tests/rig)
