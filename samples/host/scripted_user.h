// The scripted user: a thread of the sample host that answers each screen
// of the library from a short script while the host's own thread is inside
// an entry point, and takes a picture of each screen on the way. It reaches
// the windows as a user would: posted clicks and commands, a real Escape
// key press, the close command.
#pragma once

#include <windows.h>

#include <set>
#include <string>

#include "run_log.h"

struct user_script {
  int card = 2;        // card to choose, 1 to 5
  int clock_id = 1006;  // clock option to click; 0 clicks none
  enum class clock_answer { save, cancel, close } clock_dialog = clock_answer::save;
  enum class confirm_answer { ok, cancel, escape } confirm = confirm_answer::ok;
  bool poke = false;  // send a command to the first scanning window it sees
};

class scripted_user {
 public:
  // `pictures`: folder for the BMP pictures, empty for none.
  scripted_user(const user_script& script, const std::string& pictures, run_log* log);
  ~scripted_user();

  void start();
  // Stops the thread once the host has made its last call; keeps serving
  // the calling thread's windows meanwhile.
  void finish();

  // Status windows looked at (and pictured) so far; the host waits for
  // this before it goes on, so that no status window ends unseen.
  long status_windows_done() const { return status_done_; }
  // A screen it did not expect, a disabled choice, a window that would not go.
  bool failed() const { return failed_ != 0; }

 private:
  static DWORD WINAPI thread_main(void* self);
  void run();
  void handle(HWND window);
  void status_window(HWND window);
  void message_box(HWND box);
  void card_dialog(HWND dialog);
  void clock_dialog(HWND dialog);
  void click_option(HWND option, const std::string& what);
  void picture(HWND window, const std::string& name);
  void answer_and_wait(HWND window, const std::string& how);
  void problem(const std::string& what);

  user_script script_;
  std::string pictures_;
  run_log* log_;
  HANDLE thread_ = nullptr;
  volatile LONG stop_ = 0;
  volatile LONG status_done_ = 0;
  volatile LONG failed_ = 0;
  bool poked_ = false;
  std::set<HWND> handled_;
};
