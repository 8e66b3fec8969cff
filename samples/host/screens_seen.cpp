#include "screens_seen.h"

#include "run_log.h"

namespace seen {

namespace {

BOOL CALLBACK collect(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[16] = {};
  GetClassNameA(window, name, sizeof name);
  if (pid == GetCurrentProcessId() && IsWindowVisible(window) && std::string(name) == "#32770")
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> visible_dialogs() {
  std::vector<HWND> found;
  EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::string text_of(HWND window) {
  // Sent across threads when the robot asks; the timeout keeps a stuck
  // owner from stopping the asker too.
  char buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL, 2000,
                           &copied))
    return std::string();
  return std::string(buffer, copied);
}

bool is_message_box(HWND window) { return GetDlgItem(window, message_box_text_id) != nullptr; }

std::string message_box_text(HWND box) { return text_of(GetDlgItem(box, message_box_text_id)); }

std::string describe(HWND window) {
  if (is_message_box(window))
    return "box " + run_log::quoted(text_of(window)) + " " + run_log::quoted(message_box_text(window));
  const std::string caption = text_of(window);
  if (caption == status_caption) return "status " + run_log::quoted(text_of(GetDlgItem(window, status_label_id)));
  return "dialog " + run_log::quoted(caption);
}

}  // namespace seen
