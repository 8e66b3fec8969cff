// The test robot: a second thread that finds the windows the library puts
// on screen, reads them and answers them as a user would, while the test's
// own thread is inside an entry point. Everything it does reaches the
// windows as posted messages or real key presses, so the thread that owns
// the windows handles it in its own loops, as it would for a user.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace robot {

// Generous: a loaded or emulated machine can take many seconds to show a
// window, and one that comes after the robot gave up waits for a user who
// never comes. Only a failing test ever waits this long.
constexpr DWORD default_timeout_ms = 60000;
constexpr int message_box_text_id = 0xFFFF;  // the static control with a box's text

// Top-level windows of this process, newest first as the platform lists them.
std::vector<HWND> process_windows();
// Top-level dialogs (class "#32770") of this process.
std::vector<HWND> process_dialogs();
bool is_message_box(HWND window);

// Waits until a window matching `match` exists; 0 after the timeout.
HWND wait_for(const std::function<bool(HWND)>& match, DWORD timeout_ms = default_timeout_ms);
// A message box of this process (any title), or one titled `title`.
HWND wait_for_message_box(const std::string& title = std::string(), DWORD timeout_ms = default_timeout_ms);
// A visible dialog of the library with this caption that is not a message box.
HWND wait_for_dialog(const std::string& caption, DWORD timeout_ms = default_timeout_ms);
// Waits until `window` is gone; false after the timeout.
bool wait_gone(HWND window, DWORD timeout_ms = default_timeout_ms);

std::string text_of(HWND window);
std::string class_of(HWND window);
std::string message_box_text(HWND box);
DWORD style_of(HWND window);

// Acting. press() sends the command a button would; click() clicks the
// control itself (BM_CLICK), so automatic option buttons move their mark.
void press(HWND dialog, int id);
void click(HWND control);
void close_command(HWND dialog);  // the platform's close command, SC_CLOSE
// A real key press (down and up) delivered by the platform's input queue
// to the focused window, after bringing `window` to the foreground.
void key_press(HWND window, WORD virtual_key);

// Control rectangle in dialog units of its dialog, as MapDialogRect would
// give it back.
struct dialog_rect {
  int x, y, width, height;
};
dialog_rect rect_in_dialog_units(HWND dialog, HWND control);

// Ends every window of this process the robot can reach: message boxes get
// IDCANCEL, dialogs the close command. Used when a script gives up, so the
// test thread is not left waiting in a modal loop.
void close_everything();

// Runs `script` on a robot thread; join() waits for it. A script that
// returns false, or times out, makes the robot close everything.
class session {
 public:
  explicit session(std::function<void()> script);
  ~session();
  void join();

 private:
  std::function<void()> script_;
  HANDLE thread_;
};

// Posts `count` harmless thread messages to the calling thread and counts
// those still waiting; the pump tests use them to count event pump passes.
constexpr UINT marker_message = WM_APP + 0x2A;
void drain_messages();
void post_markers(int count);
int remaining_markers();  // removes what it counts

}  // namespace robot
