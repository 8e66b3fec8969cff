#include "screens/screen_state.h"

#include "dialog/dialog.h"
#include "dialog/platform.h"

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

namespace {

constexpr int threads_with_modal_screens = 8;  // more at once are not kept
modal_screen modal_screens[threads_with_modal_screens];
modal_screen spare_screen;

}  // namespace

void release_left_over_screens(bool every_thread) {
  for (modal_screen& s : modal_screens) {
    if (!s.thread || (!every_thread && s.thread != platform(GetCurrentThreadId))) continue;
    destroy_dialog(s.dialog);
    end_modal_screen(&s);
  }
}

modal_screen* begin_modal_screen() {
  release_left_over_screens();
  for (modal_screen& s : modal_screens) {
    if (s.thread) continue;
    s.thread = platform(GetCurrentThreadId);
    return &s;
  }
  return &spare_screen;
}

void end_modal_screen(modal_screen* screen) {
  for (HFONT font : screen->fonts) platform(DeleteObject, static_cast<HGDIOBJ>(font));
  *screen = modal_screen{};
}

clock_value clock_of(int32_t clock_id) {
  // Compared whole, in this order; the first match wins.
  if (clock_id == clock_14_7456) return {14.7456f, 8};
  if (clock_id == clock_7_3728) return {7.3728f, 4};
  if (clock_id == clock_3_6864) return {3.6864f, 2};
  if (clock_id == clock_1_8432) return {1.8432f, 1};
  return {0.0f, 0};
}
