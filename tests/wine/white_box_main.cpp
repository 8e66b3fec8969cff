// Test programs that link the library's code directly start it the way
// process attach does.
#include <gtest/gtest.h>

#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "screens/screen_state.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  restore_fpu_control_word();
  clear_screen_state();
  if (!dialog_layer_start(GetModuleHandleA(nullptr))) return 2;
  const int result = RUN_ALL_TESTS();
  dialog_layer_stop(false);
  return result;
}
