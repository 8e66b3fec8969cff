// The dialog layer: every window of the library is made and run through
// these operations. Dialogs are built from an in-memory description with no
// items; controls are child windows added afterwards. The handle 0, and any
// handle that is stale or not the layer's, makes every operation do nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A screen's window callback: 0 leaves the message to the layer's and the
// platform's default handling; anything else is the dialog procedure's result.
typedef LONG(CALLBACK* dialog_callback)(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Kinds of window record.
constexpr uint32_t record_kind_dialog = 0x4001;
constexpr uint32_t record_kind_control = 0x2000;
constexpr uint32_t record_kind_shown = 0x800;  // added when the dialog is shown

// Dialogs that received WM_INITDIALOG and not yet WM_DESTROY.
extern int32_t open_dialog_count;
// The layer's dialog activated last; 0 once it was deactivated.
extern HWND active_dialog;

// Load and unload of the library, and the end of a host thread.
bool dialog_layer_start(HINSTANCE instance);
// process_ending: the process is ending; free memory, call no window.
void dialog_layer_stop(bool process_ending);
void dialog_layer_thread_end();

// The calling thread's default dialog font (made on first use when the
// thread was never announced to the library).
struct default_dialog_font {
  char face[32];  // at most 31 bytes, zero-terminated
  uint16_t points;
};
const default_dialog_font* thread_dialog_font();
// Threads that hold a font record now (each freed when its thread ends).
int32_t thread_font_record_count();

// What the library keeps for one host thread, in its thread slot: the
// default dialog font, the modal loops running on the thread, and what the
// screens keep per thread (screens/screen_state.h). Nothing in it is shared
// with another thread, and it has no fixed size.
struct modal_loop;    // a running show_modal, in its frame
struct screen_call;   // a running entry point, in its frame
struct modal_screen;  // what an unwound modal screen left
struct thread_record {
  default_dialog_font font;
  modal_loop* loops;          // innermost first
  screen_call* calls;         // innermost first
  modal_screen* left_over;    // released by the thread's next entry point
  thread_record* next;        // every thread's, for unloading
};
// The calling thread's record, made on first use: null only when there is
// no memory for it. current_thread_record() makes none.
thread_record* this_thread_record();
thread_record* current_thread_record();
// Every thread's record, for unloading; the list is the layer's to free.
thread_record* first_thread_record();

HWND create_dialog(HWND parent, const std::string& caption, int x, int y, int width, int height,
                   DWORD style, DWORD ex_style);
// class_name is read for class index 0 only.
HWND add_control(HWND dialog, int class_index, int id, const std::string& text, int x, int y,
                 int width, int height, DWORD style, DWORD ex_style, dialog_callback control_callback,
                 const std::string& class_name = std::string());
void show_modeless(HWND dialog, dialog_callback callback);
// Returns once the dialog is gone, with the result end_dialog gave it in
// *result; nothing writes there once this has returned, or was unwound
// (unwinding an entry point drops its loops: screens/screen_state.cpp).
void show_modal(HWND dialog, dialog_callback callback, int32_t* result);
void end_dialog(HWND dialog, int32_t result);
// Destroys a dialog of the layer without WM_CLOSE, even one whose end a
// host's exception cut short: for what an unwound modal screen left.
void destroy_dialog(HWND dialog);
int32_t pump_events();
int32_t message_box(const std::string& text, const std::string& title, UINT style);
void check_option(HWND dialog, int first_id, int last_id, int checked_id);
int32_t get_check(HWND dialog, int id);
LRESULT send_to_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
HWND control_window(HWND dialog, int id);
// The caller owns the font and deletes it once no window uses it.
HFONT make_font(const std::string& face, int points, int weight);

// What the layer knows of one window, for tests and diagnostics.
struct window_record_view {
  bool found;
  HWND parent;
  uint32_t kind;
  int show_command;
  HFONT font;
  dialog_callback callback;
  int32_t* result_destination;  // show_modal's caller's; only show_modal writes it
};
window_record_view find_window_record(HWND window);
int32_t window_record_count();

// The title a message box gets when a screen gives none.
extern const char default_message_box_title[];
