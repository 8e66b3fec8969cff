// What the screens share: captions, the status window sequence of every
// please-wait window, and the callbacks the dialog layer calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

extern const char status_caption[];     // status windows and message boxes
extern const char selection_caption[];  // the two selection dialogs

// Control identifiers shared by several screens.
constexpr int status_label_id = 1004;
constexpr int vendor_contact_label_id = 1005;
constexpr int first_button_id = 1011;  // OK, Save
constexpr int heading_label_id = 1012;
constexpr int heading_frame_id = 1018;

// Style argument of a centred label: WS_CHILD | WS_VISIBLE | SS_CENTER.
constexpr DWORD centred_label_style = 0x50000001;

// The line break of every text of several lines.
std::string line_break();

// "notice line" + "location line", and the contact line, of both dialogs.
std::string vendor_notice_text();
std::string vendor_contact_text();

// Fonts of the selection dialogs, made per call.
constexpr char dialog_face[] = "MS Sans Serif";
constexpr int large_font_points = 24;
constexpr int heading_font_points = 10;
constexpr int normal_weight = 400;
constexpr int bold_weight = 700;

// One status window: where it opens, how tall it and its label are, and
// its bounded event pump loop.
struct status_window {
  int x, y;
  int width, height;
  int label_height;
  int32_t pump_start;
  int32_t pump_bound;
};

// Creates the window into `kept` at once, adds its label, ends the window
// named by *end_before_showing (if given) just before showing it, shows it
// with ShowDialogProc2 and pumps.
void show_status_window(HWND& kept, const status_window& window, const std::string& label,
                        const HWND* end_before_showing);

// Passes of pump_events from `start` until pump_count equals `bound`, or
// until no dialog of the library is open.
void run_event_pump(int32_t start, int32_t bound);

LONG CALLBACK ShowDialogProc2(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
LONG CALLBACK card_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
LONG CALLBACK clock_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
