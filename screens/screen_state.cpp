#include "screens/screen_state.h"

HWND scan_window;
HWND count_window;
HWND saving_window;
HWND reset_window;
HWND clock_dialog;
int32_t clock_choice;
int32_t card_choice;
int32_t pump_count;

void clear_screen_state() {
  scan_window = count_window = saving_window = reset_window = clock_dialog = nullptr;
  clock_choice = card_choice = pump_count = 0;
}

clock_value clock_of(int32_t clock_id) {
  // Compared whole, in this order; the first match wins.
  if (clock_id == clock_14_7456) return {14.7456f, 8};
  if (clock_id == clock_7_3728) return {7.3728f, 4};
  if (clock_id == clock_3_6864) return {3.6864f, 2};
  if (clock_id == clock_1_8432) return {1.8432f, 1};
  return {0.0f, 0};
}
