// The screen state: what one entry point leaves for a later one. Written
// and read only on the host's calling thread, so it is unguarded.
#pragma once

#include <windows.h>

#include <cstdint>

extern HWND scan_window;    // scanning status window
extern HWND count_window;   // card count status window
extern HWND saving_window;  // saving status window
extern HWND reset_window;   // factory-reset status window; nothing ends it
extern HWND clock_dialog;   // clock selection dialog of the running call
extern int32_t clock_choice;  // clock option last clicked, 0 for none
extern int32_t card_choice;   // card option last clicked
extern int32_t pump_count;    // passes of the status window being shown

void clear_screen_state();

// What a modal screen has open: its dialog and the two fonts made for it,
// kept here from their making until the screen releases them once its
// dialog has ended. Entry points are called one at a time, so one that
// finds such a record of its thread still taken finds what a host's
// exception (or a refused allocation) cut short, and releases it; the end
// of the thread, or unloading, releases the rest.
struct modal_screen {
  DWORD thread;  // 0: free
  HWND dialog;
  HFONT fonts[2];
};
// Every entry point starts with one of these two.
void release_left_over_screens(bool every_thread = false);
modal_screen* begin_modal_screen();
// Deletes the fonts, in their order, and frees the record.
void end_modal_screen(modal_screen* screen);

// Clock identifiers: the clock option buttons' control identifiers, and
// the values exchanged with the host.
constexpr int32_t clock_14_7456 = 1006;
constexpr int32_t clock_7_3728 = 1007;
constexpr int32_t clock_3_6864 = 1008;
constexpr int32_t clock_1_8432 = 1009;

// Card N (1 to 5) has the identifier card_id_base + N.
constexpr int32_t card_id_base = 1021;
constexpr int32_t first_card_id = card_id_base + 1;
constexpr int32_t last_card_id = card_id_base + 5;

// The clock of an identifier, in MHz as a single-precision value, and its
// baud-rate multiplier over 1.8432 MHz; both 0 for an unknown identifier.
struct clock_value {
  float mhz;
  uint8_t multiplier;
};
clock_value clock_of(int32_t clock_id);
