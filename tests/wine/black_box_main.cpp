// Test programs that use the DLL as a host does: loaded once, from the
// program's folder, before any test runs.
#include <gtest/gtest.h>

#include <cstdio>

#include "library.h"

library lib;

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!load_library(&lib)) {
    std::fprintf(stderr, "cannot load %s\n", library_path().c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
