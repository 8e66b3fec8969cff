#include "message_log.h"

#include <cstdio>

std::vector<logged_message> message_log;

bool followed_message(UINT message) {
  switch (message) {
    case WM_INITDIALOG:
    case WM_COMMAND:
    case WM_CLOSE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_SYSCOMMAND:
    case WM_ACTIVATE:
      return true;
  }
  return false;
}

void log_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (followed_message(message)) message_log.push_back({window, message, wparam, lparam});
}

std::string message_name(UINT message) {
  switch (message) {
    case WM_INITDIALOG: return "WM_INITDIALOG";
    case WM_COMMAND: return "WM_COMMAND";
    case WM_CLOSE: return "WM_CLOSE";
    case WM_DESTROY: return "WM_DESTROY";
    case WM_NCDESTROY: return "WM_NCDESTROY";
    case WM_SYSCOMMAND: return "WM_SYSCOMMAND";
    case WM_ACTIVATE: return "WM_ACTIVATE";
  }
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%04x", message);
  return buffer;
}

std::string compare_sequence(const std::vector<expected_message>& expected, const std::vector<logged_message>& actual) {
  bool same = expected.size() == actual.size();
  for (size_t i = 0; same && i < expected.size(); ++i) {
    if (expected[i].message != actual[i].message) same = false;
    if ((expected[i].flags & with_wparam) && expected[i].wparam != actual[i].wparam) same = false;
  }
  if (same) return std::string();
  std::string listing;
  const size_t n = expected.size() > actual.size() ? expected.size() : actual.size();
  for (size_t i = 0; i < n; ++i) {
    char line[160];
    std::string e = i < expected.size() ? message_name(expected[i].message) : "(none)";
    std::string a = i < actual.size() ? message_name(actual[i].message) : "(none)";
    std::snprintf(line, sizeof line, "  %2u: expected %-14s wparam %-8lx actual %-14s wparam %lx\n",
                  static_cast<unsigned>(i), e.c_str(),
                  i < expected.size() ? static_cast<unsigned long>(expected[i].wparam) : 0ul, a.c_str(),
                  i < actual.size() ? static_cast<unsigned long>(actual[i].wparam) : 0ul);
    listing += line;
  }
  return listing;
}
