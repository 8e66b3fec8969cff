// The screen state: what one entry point leaves for a later one. Written
// and read only on the host's calling thread, so it is unguarded.
#pragma once

#include <windows.h>

#include <cstdint>

#include "dialog/dialog.h"

extern HWND scan_window;    // scanning status window
extern HWND count_window;   // card count status window
extern HWND saving_window;  // saving status window
extern HWND reset_window;   // factory-reset status window; nothing ends it
extern HWND clock_dialog;   // clock selection dialog of the running call
extern int32_t clock_choice;  // clock option last clicked, 0 for none
extern int32_t card_choice;   // card option last clicked
extern int32_t pump_count;    // passes of the status window being shown

void clear_screen_state();

// Every entry point runs its screen through run_screen. It first releases
// what unwound calls of the thread left, then runs the screen under a
// frame-based handler, which the system calls while a host's exception (or
// a refused allocation) unwinds the call. The handler calls no window: it
// frees the call's texts and hands its modal screen, if any, to the
// thread's left_over list. A call made while another runs on the thread
// (from a window procedure that a screen's loop dispatched) is nested in
// it and leaves it alone.
typedef int32_t (*screen_body)(const int32_t* arguments);
constexpr int screen_arguments = 3;
int32_t run_screen(screen_body screen, int32_t a0 = 0, int32_t a1 = 0, int32_t a2 = 0);

// What a refused allocation raises: STATUS_NO_MEMORY, not continuable.
[[noreturn]] void raise_no_memory();

// A block from the library's operator new (screens/runtime.cpp): a text of
// the call that ran when it was made, until it is deleted.
struct text_block {
  text_block* next;
  text_block** link;  // what points to it; null: not listed
};
void list_text(text_block* block);
void unlist_text(text_block* block);

struct screen_call {
  screen_call* outer;  // the call this one is nested in
  thread_record* thread;
  modal_loop* loops;  // the thread's modal loops when the call began
  text_block* texts;
  modal_screen* modal;
  screen_body screen;
  int32_t arguments[screen_arguments];
};

// What a modal screen has open: its dialog and the two fonts made for it,
// from their making until the screen releases them after its dialog ended.
struct modal_screen {
  modal_screen* next;  // in thread_record::left_over
  HWND dialog;
  HFONT fonts[2];
};
modal_screen* begin_modal_screen();
// Deletes the fonts, in their order, and frees the record.
void end_modal_screen(modal_screen* screen);

// Releases what the thread's unwound calls left: their dialogs, then fonts.
void release_left_over_screens(thread_record* thread);
// The end of a thread: its calls end there, whether they returned or not.
void end_thread_screens();
// Unloading: the unloading thread's leftovers go; other threads' windows
// and fonts stay, and a process that ends calls no window at all.
void end_all_screens(bool process_ending);

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
