#include "screen_checks.h"

#include <gtest/gtest.h>

#include <map>

#include "robot.h"

const char expected_status_caption[] = "ZEPHRON Pro Configurator v1.1 (Beta)";
const char expected_selection_caption[] = "ZEPHRON Pro Clock Configurator for PCI RS232 I/O Cards v1.1 (Beta)";

std::vector<HWND> open_status_windows() {
  std::vector<HWND> found;
  for (HWND w : robot::process_dialogs())
    if (!robot::is_message_box(w) && IsWindowVisible(w) && robot::text_of(w) == expected_status_caption) found.push_back(w);
  return found;
}

int count_status_windows_reading(const std::string& label) {
  int n = 0;
  for (HWND w : open_status_windows())
    if (robot::text_of(GetDlgItem(w, 1004)) == label) ++n;
  return n;
}

void destroy_library_windows() {
  for (HWND w : robot::process_dialogs()) DestroyWindow(w);
  robot::drain_messages();
}

void expect_status_window(HWND window, int width, int height, int label_width, int label_height,
                          const std::string& label) {
  SCOPED_TRACE("status window reading \"" + label + "\"");
  EXPECT_EQ("#32770", robot::class_of(window));
  EXPECT_EQ(expected_status_caption, robot::text_of(window));
  EXPECT_TRUE(IsWindowVisible(window));

  // WS_POPUP | WS_CAPTION, no system menu (so no close box), not sizable.
  const DWORD style = robot::style_of(window);
  EXPECT_EQ(0x80C00000u, style & 0xFFFF0000u & ~(WS_VISIBLE | WS_CLIPSIBLINGS)) << std::hex << style;
  EXPECT_EQ(nullptr, GetWindow(window, GW_OWNER));

  RECT client;
  GetClientRect(window, &client);
  RECT units = {0, 0, width, height};
  MapDialogRect(window, &units);
  EXPECT_EQ(units.right, client.right) << "client width of " << width << " dialog units";
  EXPECT_EQ(units.bottom, client.bottom) << "client height of " << height << " dialog units";

  RECT work, frame;
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  GetWindowRect(window, &frame);
  const int centre_x = (work.left + work.right) / 2, centre_y = (work.top + work.bottom) / 2;
  EXPECT_NEAR(centre_x, (frame.left + frame.right) / 2, 1) << "centred across";
  EXPECT_NEAR(centre_y, (frame.top + frame.bottom) / 2, 1) << "centred down";

  HWND only = GetWindow(window, GW_CHILD);
  ASSERT_NE(nullptr, only);
  EXPECT_EQ(nullptr, GetWindow(only, GW_HWNDNEXT)) << "exactly one control";
  EXPECT_EQ(1004, GetDlgCtrlID(only));
  EXPECT_EQ("Static", robot::class_of(only));
  EXPECT_EQ(label, robot::text_of(only));
  EXPECT_EQ(0x50000001u, robot::style_of(only)) << std::hex << robot::style_of(only);
  const robot::dialog_rect r = robot::rect_in_dialog_units(window, only);
  EXPECT_EQ(10, r.x);
  EXPECT_EQ(10, r.y);
  EXPECT_EQ(label_width, r.width);
  EXPECT_EQ(label_height, r.height);

  LOGFONTA font = {};
  GetObjectA(reinterpret_cast<HFONT>(SendMessageA(only, WM_GETFONT, 0, 0)), sizeof font, &font);
  EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
}

std::string message_box_buttons(HWND box) {
  static const struct {
    int id;
    const char* name;
  } buttons[] = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}, {IDABORT, "Abort"}, {IDRETRY, "Retry"},
                 {IDIGNORE, "Ignore"}, {IDYES, "Yes"}, {IDNO, "No"}};
  std::string names;
  for (const auto& b : buttons) {
    HWND w = GetDlgItem(box, b.id);
    if (w && IsWindowVisible(w)) names += names.empty() ? b.name : std::string(" ") + b.name;
  }
  return names;
}

bool message_box_has_icon(HWND box) {
  // The icon control is a static with identifier 0x440 (Wine always makes
  // it; without an icon it shows none).
  HWND icon = GetDlgItem(box, 0x440);
  return icon && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
}

namespace {

HHOOK marker_hook;
std::string marker_caption;
int marker_count;

LRESULT CALLBACK marker_proc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && marker_count > 0) {
    const CBT_CREATEWNDA* create = reinterpret_cast<CBT_CREATEWNDA*>(lparam);
    const char* name = create->lpcs->lpszName;
    if (name && !IS_INTRESOURCE(name) && marker_caption == name) {
      robot::post_markers(marker_count);
      marker_count = 0;
    }
  }
  return CallNextHookEx(marker_hook, code, wparam, lparam);
}

HHOOK style_hook;
std::map<HWND, DWORD> creation_styles;

LRESULT CALLBACK style_proc(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND)
    creation_styles[reinterpret_cast<HWND>(wparam)] = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs->style;
  return CallNextHookEx(style_hook, code, wparam, lparam);
}

}  // namespace

void post_markers_when_created(const std::string& caption, int count) {
  marker_caption = caption;
  marker_count = count;
  marker_hook = SetWindowsHookExA(WH_CBT, marker_proc, nullptr, GetCurrentThreadId());
}

void stop_posting_markers() {
  if (marker_hook) UnhookWindowsHookEx(marker_hook);
  marker_hook = nullptr;
  marker_count = 0;
}

void start_recording_creation_styles() {
  creation_styles.clear();
  style_hook = SetWindowsHookExA(WH_CBT, style_proc, nullptr, GetCurrentThreadId());
}

DWORD creation_style(HWND window) {
  auto it = creation_styles.find(window);
  return it == creation_styles.end() ? 0 : it->second;
}

void stop_recording_creation_styles() {
  if (style_hook) UnhookWindowsHookEx(style_hook);
  style_hook = nullptr;
}
