#include "scripted_user.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "picture.h"
#include "screens_seen.h"

namespace {

constexpr DWORD poll_ms = 10;
constexpr DWORD answer_timeout_ms = 10000;

bool starts_with(const std::string& s, const char* prefix) { return s.compare(0, strlen(prefix), prefix) == 0; }

int checked_state(HWND button) {
  DWORD_PTR state = 0;
  if (!SendMessageTimeoutA(button, BM_GETCHECK, 0, 0, SMTO_NORMAL, 2000, &state)) return -1;
  return static_cast<int>(state);
}

// Waits until the thread that owns `window` has served its queue and then
// gives it a moment to paint what that brought.
void let_paint(HWND window) {
  DWORD_PTR ignored;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
  Sleep(200);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
}

void press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// An Escape key press through the platform's input queue, to the window
// brought to the front first.
void escape_key(HWND window) {
  SetForegroundWindow(window);
  const DWORD start = GetTickCount();
  while (GetForegroundWindow() != window && GetTickCount() - start < 2000) Sleep(poll_ms);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

bool wait_gone(HWND window, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(window) && IsWindowVisible(window)) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(poll_ms);
  }
  return true;
}

}  // namespace

scripted_user::scripted_user(const user_script& script, const std::string& pictures, run_log* log)
    : script_(script), pictures_(pictures), log_(log) {}

scripted_user::~scripted_user() { finish(); }

void scripted_user::start() { thread_ = CreateThread(nullptr, 0, thread_main, this, 0, nullptr); }

void scripted_user::finish() {
  if (!thread_) return;
  InterlockedExchange(&stop_, 1);
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_ALLINPUT);
    if (r != WAIT_OBJECT_0 + 1) break;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  CloseHandle(thread_);
  thread_ = nullptr;
}

DWORD WINAPI scripted_user::thread_main(void* self) {
  static_cast<scripted_user*>(self)->run();
  return 0;
}

void scripted_user::run() {
  while (!stop_) {
    bool any = false;
    for (HWND w : seen::visible_dialogs()) {
      if (handled_.count(w)) continue;
      handled_.insert(w);
      handle(w);
      any = true;
    }
    // Forget windows that are gone: the platform may give a later window
    // the same handle.
    for (auto it = handled_.begin(); it != handled_.end();) it = IsWindow(*it) ? std::next(it) : handled_.erase(it);
    if (!any) Sleep(poll_ms);
  }
}

void scripted_user::problem(const std::string& what) {
  InterlockedExchange(&failed_, 1);
  log_->line("problem " + what);
  std::fprintf(stderr, "zephronpro-sample: scripted user: %s\n", what.c_str());
}

void scripted_user::picture(HWND window, const std::string& name) {
  if (pictures_.empty()) return;
  let_paint(window);
  const std::string file = name + ".bmp";
  std::string error;
  if (save_window_picture(window, pictures_ + "\\" + file, &error))
    log_->line("picture " + file);
  else
    problem("no picture " + file + ": " + error);
}

void scripted_user::answer_and_wait(HWND window, const std::string& how) {
  log_->line("answer " + how);
  if (wait_gone(window, answer_timeout_ms)) return;
  problem("the window stayed open after " + how);
  if (seen::is_message_box(window))
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  else
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void scripted_user::handle(HWND window) {
  const std::string caption = seen::text_of(window);
  if (seen::is_message_box(window)) return message_box(window);
  if (caption == seen::status_caption && GetDlgItem(window, seen::status_label_id)) return status_window(window);
  if (caption == seen::selection_caption && GetDlgItem(window, 1022)) return card_dialog(window);
  if (caption == seen::selection_caption && GetDlgItem(window, 1006)) return clock_dialog(window);
  log_->line("seen " + seen::describe(window));
  problem("a window it does not know: " + run_log::quoted(caption));
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  answer_and_wait(window, "close command");
}

void scripted_user::status_window(HWND window) {
  const std::string label = seen::text_of(GetDlgItem(window, seen::status_label_id));
  log_->line("seen " + seen::describe(window));
  std::string name;
  if (starts_with(label, "Scanning PCI bus"))
    name = label.find("2 Port") != std::string::npos ? "03-scanning" : "02-scanning-scan-box";
  else if (starts_with(label, "No ZEPHRON Pro I/O Cards detected"))
    name = "06-count-none";
  else if (starts_with(label, "Detected ")) {
    const int n = std::atoi(label.c_str() + 9);
    name = n == 1 ? "07-count-one-card" : "08-count-" + std::to_string(n) + "-cards";
  } else if (starts_with(label, "Configuring ZEPHRON Pro Clock speed"))
    name = "12-saving";
  else if (starts_with(label, "Programming EEPROM"))
    name = "14-factory-reset";
  else
    name = "status";
  picture(window, name);

  if (script_.poke && !poked_ && name == "03-scanning") {
    // Any command makes the status window's callback show its notice; the
    // host's loop, which serves the window, then waits for this user.
    poked_ = true;
    log_->line("answer command 4321 to the status window");
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(4321, 0), 0);
    const DWORD start = GetTickCount();
    HWND notice = nullptr;
    while (!notice && GetTickCount() - start < answer_timeout_ms) {
      for (HWND w : seen::visible_dialogs())
        if (!handled_.count(w) && seen::is_message_box(w)) notice = w;
      if (!notice) Sleep(poll_ms);
    }
    if (notice) {
      handled_.insert(notice);
      message_box(notice);
    } else {
      problem("the status window showed no notice for a command");
    }
  }
  InterlockedIncrement(&status_done_);
}

void scripted_user::message_box(HWND box) {
  const std::string text = seen::message_box_text(box);
  log_->line("seen " + seen::describe(box));
  if (text == "Inside MSGBOX") {
    picture(box, "01-inside-msgbox");
  } else if (text == "Hello from ShowDialogProc2") {
    picture(box, "04-hello-notice");
  } else if (starts_with(text, "No ZEPHRON Pro 2 Port PCI I/O Cards could be located")) {
    picture(box, "05-no-cards-found");
  } else if (starts_with(text, "Select OK to set the clock value")) {
    picture(box, "11-confirmation");
    switch (script_.confirm) {
      case user_script::confirm_answer::ok:
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return answer_and_wait(box, "IDOK");
      case user_script::confirm_answer::cancel:
        PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
        return answer_and_wait(box, "IDCANCEL");
      case user_script::confirm_answer::escape:
        escape_key(box);
        return answer_and_wait(box, "Escape key");
    }
  } else if (starts_with(text, "      ZEPHRON Pro Clock has been configured")) {
    picture(box, "13-report");
  } else {
    problem("a message box it does not know");
  }
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  answer_and_wait(box, "IDOK");
}

void scripted_user::click_option(HWND option, const std::string& what) {
  // A click on the option itself, so its mark moves as for a user; the
  // dialog's owner marks it when it has handled the click.
  log_->line("answer click " + what);
  PostMessageA(option, BM_CLICK, 0, 0);
  const DWORD start = GetTickCount();
  while (checked_state(option) != BST_CHECKED) {
    if (GetTickCount() - start > answer_timeout_ms) return problem("the option " + what + " took no mark");
    Sleep(poll_ms);
  }
}

void scripted_user::card_dialog(HWND dialog) {
  int enabled = 0;
  for (int id = 1022; id <= 1026; ++id)
    if (IsWindowEnabled(GetDlgItem(dialog, id))) ++enabled;
  log_->line("seen card dialog, " + std::to_string(enabled) + " cards enabled");
  HWND option = GetDlgItem(dialog, 1021 + script_.card);
  if (!option || !IsWindowEnabled(option)) {
    problem("card " + std::to_string(script_.card) + " cannot be chosen");
  } else {
    click_option(option, "card " + std::to_string(script_.card));
  }
  picture(dialog, "09-card-dialog");
  press(dialog, 1011);
  answer_and_wait(dialog, "OK");
}

void scripted_user::clock_dialog(HWND dialog) {
  std::string checked = "none";
  for (int id = 1006; id <= 1009; ++id)
    if (checked_state(GetDlgItem(dialog, id)) == BST_CHECKED) checked = std::to_string(id);
  log_->line("seen clock dialog, checked " + checked + ", card label " +
             run_log::quoted(seen::text_of(GetDlgItem(dialog, 1027))));
  if (script_.clock_id) {
    click_option(GetDlgItem(dialog, script_.clock_id), "clock " + std::to_string(script_.clock_id));
  }
  picture(dialog, "10-clock-dialog");
  switch (script_.clock_dialog) {
    case user_script::clock_answer::save:
      press(dialog, 1011);
      return answer_and_wait(dialog, "Save");
    case user_script::clock_answer::cancel:
      press(dialog, 1028);
      return answer_and_wait(dialog, "Cancel");
    case user_script::clock_answer::close:
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      return answer_and_wait(dialog, "close command");
  }
}
