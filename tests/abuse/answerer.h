// A robot thread that answers every box and dialog the library shows while
// the test thread is inside an entry point, and reports what it did, so the
// test can tell which results and which windows are allowed afterwards.
//
// Random style: each visit to a selection dialog does one of clicking an
// enabled option, Escape, the commands IDOK/IDCANCEL, OK/Save, Cancel or the
// close command; message boxes get OK, Cancel, Escape or the close command;
// now and then, during a call, a status window gets a WM_COMMAND (its
// callback then shows a notice box, answered like any other) or the close
// command. Quick style: one option click and OK, OK on every box, no pokes.
//
// Everything reaches the windows as posted messages, which the owning
// thread handles in its own loops. Windows are read without sending them
// messages, except WM_GETFONT, which is sent with a timeout.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host.h"

enum class answer_style { random, quick };

struct closed_window {
  HWND window;
  std::string label;
};

struct call_report {
  std::set<int> clicked;                     // enabled options clicked
  std::vector<closed_window> closed_status;  // status windows sent the close command
  int commands_to_status = 0;
  int boxes_answered = 0;
  std::vector<HWND> dialog_windows;  // selection dialogs and their controls
  std::vector<HFONT> dialog_fonts;   // read back with WM_GETFONT from them
  std::string fault;                 // what the robot saw that must not be
};

class answerer {
 public:
  answerer(uint64_t seed, answer_style style);
  ~answerer();
  answerer(const answerer&) = delete;
  answerer& operator=(const answerer&) = delete;

  // card_count: the byte ask_which_card reads (its options' enabled state
  // is checked against it), -1 for other calls.
  void begin_call(int card_count);
  // Stops poking and waits until the robot's current round is over, so
  // nothing more is posted for this call.
  call_report end_call();
  // A call that ran past the bound: the robot closed everything it could.
  bool hung() const { return hung_; }
  DWORD hang_bound_ms = 30000;
  // Off for timing: each read is a message sent across to the test thread.
  bool read_fonts = true;

 private:
  static DWORD WINAPI thread_main(void* self);
  void run();
  void round();
  void answer_box(HWND box);
  void answer_selection(HWND dialog);
  void poke_status(HWND window);
  void wait_rounds(int n);

  struct window_state {
    HWND window;
    int visits;
    DWORD last_action;
    bool looked;
  };
  window_state& state_of(HWND window);

  random_source random_;
  answer_style style_;
  HANDLE thread_ = nullptr;
  CRITICAL_SECTION lock_;
  volatile LONG stop_ = 0;
  volatile LONG rounds_ = 0;
  bool in_call_ = false;
  DWORD call_start_ = 0;
  int card_count_ = -1;
  int poke_ = 0;  // 0 none, 1 command, 2 close
  call_report report_;
  std::vector<window_state> states_;
  volatile bool hung_ = false;
};
