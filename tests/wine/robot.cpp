#include "robot.h"

#include <gtest/gtest.h>

namespace robot {

namespace {

constexpr DWORD poll_ms = 5;
constexpr DWORD send_timeout_ms = 2000;

BOOL CALLBACK collect(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> process_windows() {
  std::vector<HWND> windows;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> process_dialogs() {
  std::vector<HWND> dialogs;
  for (HWND w : process_windows())
    if (class_of(w) == "#32770") dialogs.push_back(w);
  return dialogs;
}

bool is_message_box(HWND window) {
  return class_of(window) == "#32770" && GetDlgItem(window, message_box_text_id) != nullptr;
}

HWND wait_for(const std::function<bool(HWND)>& match, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  for (;;) {
    for (HWND w : process_windows())
      if (match(w)) return w;
    if (GetTickCount() - start > timeout_ms) return nullptr;
    Sleep(poll_ms);
  }
}

HWND wait_for_message_box(const std::string& title, DWORD timeout_ms) {
  return wait_for([&](HWND w) { return is_message_box(w) && (title.empty() || text_of(w) == title); },
                  timeout_ms);
}

HWND wait_for_dialog(const std::string& caption, DWORD timeout_ms) {
  return wait_for(
      [&](HWND w) {
        return class_of(w) == "#32770" && !is_message_box(w) && IsWindowVisible(w) && text_of(w) == caption;
      },
      timeout_ms);
}

bool wait_gone(HWND window, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > timeout_ms) return false;
    Sleep(poll_ms);
  }
  return true;
}

std::string text_of(HWND window) {
  // WM_GETTEXT crosses to the owning thread, which answers from its loops;
  // the timeout keeps a stuck owner from hanging the robot.
  char buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           send_timeout_ms, &copied))
    return std::string();
  return std::string(buffer, copied);
}

std::string class_of(HWND window) {
  char name[256] = {};
  int n = GetClassNameA(window, name, sizeof name);
  return std::string(name, n > 0 ? n : 0);
}

std::string message_box_text(HWND box) { return text_of(GetDlgItem(box, message_box_text_id)); }

DWORD style_of(HWND window) { return static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)); }

void press(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

void click(HWND control) { PostMessageA(control, BM_CLICK, 0, 0); }

void close_command(HWND dialog) { PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

void key_press(HWND window, WORD virtual_key) {
  SetForegroundWindow(window);
  const DWORD start = GetTickCount();
  while (GetForegroundWindow() != window && GetTickCount() - start < send_timeout_ms) Sleep(poll_ms);
  INPUT keys[2] = {};
  keys[0].type = keys[1].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = keys[1].ki.wVk = virtual_key;
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

dialog_rect rect_in_dialog_units(HWND dialog, HWND control) {
  // The base units of the dialog's font: MapDialogRect of a 4 x 8 unit
  // rectangle gives the pixels of one horizontal and one vertical unit x4/x8.
  RECT unit = {0, 0, 4000, 8000};
  MapDialogRect(dialog, &unit);
  RECT r;
  GetWindowRect(control, &r);
  POINT top_left = {r.left, r.top};
  ScreenToClient(dialog, &top_left);
  auto to_x = [&](LONG pixels) { return static_cast<int>((pixels * 4000 + unit.right / 2) / unit.right); };
  auto to_y = [&](LONG pixels) { return static_cast<int>((pixels * 8000 + unit.bottom / 2) / unit.bottom); };
  return dialog_rect{to_x(top_left.x), to_y(top_left.y), to_x(r.right - r.left), to_y(r.bottom - r.top)};
}

void close_everything() {
  for (HWND w : process_dialogs()) {
    if (is_message_box(w))
      PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    else
      close_command(w);
  }
}

namespace {
DWORD WINAPI run_script(void* script) {
  (*static_cast<std::function<void()>*>(script))();
  return 0;
}
}  // namespace

session::session(std::function<void()> script) : script_(std::move(script)) {
  thread_ = CreateThread(nullptr, 0, run_script, &script_, 0, nullptr);
}

session::~session() { join(); }

void session::join() {
  if (!thread_) return;
  // The test thread may be the one the script waits for: keep serving its
  // windows while the robot finishes.
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
  CloseHandle(thread_);
  thread_ = nullptr;
}

void drain_messages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void post_markers(int count) {
  for (int i = 0; i < count; ++i) PostThreadMessageA(GetCurrentThreadId(), marker_message, i, 0);
}

int remaining_markers() {
  int n = 0;
  MSG m;
  while (PeekMessageA(&m, nullptr, marker_message, marker_message, PM_REMOVE)) ++n;
  return n;
}

}  // namespace robot
