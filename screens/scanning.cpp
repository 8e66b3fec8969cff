// The scanning status windows, and the status window sequence and callback
// that every please-wait window shares.
#include "dialog/dialog.h"
#include "dialog/portable/styles.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"

namespace {

const status_window first_scan_window = {-1, -1, 277, 31, 20, 0, 100};
const status_window second_scan_window = {-1, 296, 277, 31, 20, 0, 500};

const char scanning_text[] = "Scanning PCI bus for the Talmo ";

}  // namespace

void run_event_pump(int32_t start, int32_t bound) {
  pump_count = start;
  for (;;) {
    const int32_t open_dialogs = pump_events();
    ++pump_count;
    if (pump_count == bound) break;
    if (open_dialogs == 0) break;
  }
}

void show_status_window(HWND& kept, const status_window& window, const std::string& label,
                        const HWND* end_before_showing) {
  kept = create_dialog(nullptr, status_caption, window.x, window.y, window.width, window.height, 0, 0);
  add_control(kept, dialog_styles::class_label, status_label_id, label, 10, 10, 265, window.label_height,
              centred_label_style, 0, nullptr);
  if (end_before_showing) end_dialog(*end_before_showing, 0);
  show_modeless(kept, ShowDialogProc2);
  run_event_pump(window.pump_start, window.pump_bound);
}

LONG CALLBACK ShowDialogProc2(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_COMMAND) message_box("Hello from ShowDialogProc2", std::string(), 0);
  return 0;
}

static int32_t show_first_scan_window(const int32_t*) {
  show_status_window(scan_window, first_scan_window,
                     std::string(scanning_text) + "ZEPHRON Pro 2 Port I/O Card(s), please wait...", nullptr);
  return 0;
}

static int32_t show_second_scan_window(const int32_t*) {
  message_box("Inside MSGBOX", std::string(), 0);
  show_status_window(scan_window, second_scan_window,
                     std::string(scanning_text) + "ZEPHRON Pro I/O Card(s), please wait...", nullptr);
  return 0;
}

int32_t WINAPI first_window(void) { return run_screen(show_first_scan_window); }
int32_t WINAPI scan_box(void) { return run_screen(show_second_scan_window); }
