// The card and clock selection dialogs, driven as a user would: their
// controls read from the live windows, every outcome, the keyboard, the
// close command, the status windows they end, and their fonts.
#include <gtest/gtest.h>

#include <map>

#include "library.h"
#include "robot.h"
#include "screen_checks.h"
#include "screens/vendor.h"

namespace {

struct control_row {
  int id;
  const char* platform_class;
  std::string text;
  int x, y, width, height;
  DWORD style;  // as created
};

const std::string notice_text = std::string(vendor::notice_line) + vendor::location_line;
const std::string contact_text = std::string(vendor::home_page) + "  Tech Support: " + vendor::support_phone +
                                 "    Email: " + vendor::support_email;

std::vector<control_row> card_dialog_controls(int enabled_cards) {
  auto option = [&](int card) { return card <= enabled_cards || card == 1 ? 0x50000209u : 0x58000209u; };
  return {
      {1004, "Static", notice_text, 55, 5, 210, 15, 0x50000001},
      {1005, "Static", contact_text, 17, 17, 270, 10, 0x50000001},
      {1022, "Button", "ZEPHRON Pro Card 1", 110, 60, 83, 25, option(1)},
      {1011, "Button", "OK", 111, 170, 80, 20, 0x50010000},
      {1012, "Static", "Select a ZEPHRON Pro Card", 70, 39, 175, 15, 0x50000001},
      {1018, "Button", "", 80, 23, 150, 30, 0x50000007},
      {1023, "Button", "ZEPHRON Pro Card 2", 110, 80, 83, 25, option(2)},
      {1024, "Button", "ZEPHRON Pro Card 3", 110, 100, 83, 25, option(3)},
      {1025, "Button", "ZEPHRON Pro Card 4", 110, 120, 83, 25, option(4)},
      {1026, "Button", "ZEPHRON Pro Card 5", 110, 140, 83, 25, option(5)},
  };
}

std::vector<control_row> clock_dialog_controls(const std::string& card_label) {
  return {
      {1004, "Static", notice_text, 55, 5, 210, 15, 0x50000001},
      {1005, "Static", contact_text, 17, 17, 270, 10, 0x50000001},
      {1006, "Button", "14.7456 Mhz ( Max Baud Rate 921k, Recommended for Linux )", 27, 61, 248, 25, 0x50010009},
      {1007, "Button", "7.3728 Mhz ( Max Baud Rate 460k )", 27, 86, 133, 25, 0x50010009},
      {1008, "Button", "3.6864 Mhz ( Max Baud Rate 230k )", 27, 111, 133, 25, 0x50010009},
      {1009, "Button", "1.8432 Mhz ( Max Baud Rate 115.2k, Recommended for Windows )", 27, 137, 238, 25, 0x50010009},
      {1011, "Button", "Save Clock Value to ZEPHRON Pro", 30, 170, 150, 20, 0x50010000},
      {1012, "Static", "ZEPHRON Pro Serial Port Clock Value", 71, 44, 175, 15, 0x50000001},
      {1018, "Button", "", 60, 28, 195, 30, 0x50000007},
      {1028, "Button", "Cancel", 215, 170, 60, 20, 0x50010000},
      {1027, "Static", card_label, 275, 200, 55, 15, 0x50000000},
  };
}

// What the robot read of a dialog while it was open.
struct dialog_seen {
  bool found = false;
  std::string caption;
  POINT origin_units = {};  // client origin from the screen corner, dialog units
  SIZE client_units = {};
  std::vector<control_row> controls;  // in z order
  std::map<int, bool> enabled, checked;
  std::map<int, HFONT> fonts;
  std::map<int, LOGFONTA> logical_fonts;  // read while the fonts exist
  bool count_window_open = true;
  bool scan_window_open = false;
};

void read_dialog(HWND dialog, dialog_seen* seen) {
  seen->found = true;
  seen->caption = robot::text_of(dialog);
  RECT unit = {0, 0, 4000, 8000};
  MapDialogRect(dialog, &unit);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  RECT client;
  GetClientRect(dialog, &client);
  auto ux = [&](LONG px) { return static_cast<LONG>((px * 4000 + unit.right / 2) / unit.right); };
  auto uy = [&](LONG px) { return static_cast<LONG>((px * 8000 + unit.bottom / 2) / unit.bottom); };
  seen->origin_units = {ux(origin.x), uy(origin.y)};
  seen->client_units = {ux(client.right), uy(client.bottom)};
  for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(c);
    const robot::dialog_rect r = robot::rect_in_dialog_units(dialog, c);
    static std::string class_name;
    class_name = robot::class_of(c);
    seen->controls.push_back({id, nullptr, robot::text_of(c), r.x, r.y, r.width, r.height, creation_style(c)});
    seen->controls.back().platform_class = class_name == "Button" ? "Button" : class_name == "Static" ? "Static" : "?";
    seen->enabled[id] = IsWindowEnabled(c) != FALSE;
    seen->checked[id] = SendMessageA(c, BM_GETCHECK, 0, 0) == BST_CHECKED;
    seen->fonts[id] = reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0));
    LOGFONTA f = {};
    GetObjectA(seen->fonts[id], sizeof f, &f);
    seen->logical_fonts[id] = f;
  }
  seen->count_window_open = false;
  for (HWND w : open_status_windows()) {
    const std::string label = robot::text_of(GetDlgItem(w, 1004));
    if (label.rfind("Detected", 0) == 0 || label.rfind("No ZEPHRON", 0) == 0) seen->count_window_open = true;
    if (label.rfind("Scanning", 0) == 0) seen->scan_window_open = true;
  }
}

// Reads the selection dialog once it shows, then presses `button`.
robot::session read_then_press(dialog_seen* seen, int button) {
  return robot::session([=] {
    HWND dialog = robot::wait_for_dialog(expected_selection_caption);
    if (!dialog) return robot::close_everything();
    read_dialog(dialog, seen);
    robot::press(dialog, button);
  });
}

void expect_controls(const std::vector<control_row>& expected, const dialog_seen& seen) {
  ASSERT_EQ(expected.size(), seen.controls.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const control_row& e = expected[i];
    const control_row& a = seen.controls[i];
    SCOPED_TRACE("control " + std::to_string(i + 1) + ", identifier " + std::to_string(e.id));
    EXPECT_EQ(e.id, a.id) << "z and tab order is the order of adding";
    EXPECT_STREQ(e.platform_class, a.platform_class);
    EXPECT_EQ(e.text, a.text);
    EXPECT_EQ(e.x, a.x);
    EXPECT_EQ(e.y, a.y);
    EXPECT_EQ(e.width, a.width);
    EXPECT_EQ(e.height, a.height);
    EXPECT_EQ(e.style, a.style) << std::hex << "created with 0x" << a.style;
  }
}

// Messages sent to the dialog window itself: a dialog ignores WM_SETFONT,
// so the font it was sent is watched on its way in.
HHOOK send_hook;
std::vector<std::pair<WPARAM, LPARAM>> fonts_sent_to_dialog;

LRESULT CALLBACK watch_sends(int code, WPARAM wparam, LPARAM lparam) {
  const CWPSTRUCT* m = reinterpret_cast<CWPSTRUCT*>(lparam);
  if (code == HC_ACTION && m->message == WM_SETFONT && robot::text_of(m->hwnd) == expected_selection_caption &&
      robot::class_of(m->hwnd) == "#32770")
    fonts_sent_to_dialog.push_back({m->wParam, m->lParam});
  return CallNextHookEx(send_hook, code, wparam, lparam);
}

class Selection : public testing::Test {
 protected:
  void SetUp() override {
    fonts_sent_to_dialog.clear();
    start_recording_creation_styles();
    send_hook = SetWindowsHookExA(WH_CALLWNDPROC, watch_sends, nullptr, GetCurrentThreadId());
  }
  void TearDown() override {
    UnhookWindowsHookEx(send_hook);
    stop_recording_creation_styles();
    destroy_library_windows();
  }
};

int screen_dpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

// The two fonts of a selection dialog, and what happens to them.
void expect_selection_fonts(const dialog_seen& seen) {
  const HFONT heading = seen.fonts.at(1012), large = seen.fonts.at(1018), dialog_font = seen.fonts.at(1004);
  const LOGFONTA h = seen.logical_fonts.at(1012), l = seen.logical_fonts.at(1018), d = seen.logical_fonts.at(1004);
  EXPECT_EQ(-(screen_dpi() * 10) / 72, h.lfHeight);
  EXPECT_EQ(700, h.lfWeight);
  EXPECT_STREQ("MS Sans Serif", h.lfFaceName);
  EXPECT_EQ(-(screen_dpi() * 24) / 72, l.lfHeight);
  EXPECT_EQ(400, l.lfWeight);
  EXPECT_STREQ("MS Sans Serif", l.lfFaceName);
  EXPECT_EQ(0, l.lfItalic + l.lfUnderline + l.lfStrikeOut + l.lfCharSet + h.lfItalic + h.lfUnderline);
  EXPECT_STREQ("MS Sans Serif", d.lfFaceName);
  for (const auto& f : seen.fonts) {
    if (f.first != 1012 && f.first != 1018) {
      EXPECT_EQ(dialog_font, f.second) << "control " << f.first;
    }
  }
  // The platform sends the template's font while it creates the dialog;
  // the screen then sends its large font, once, without redrawing.
  ASSERT_FALSE(fonts_sent_to_dialog.empty());
  int large_sends = 0;
  for (const auto& sent : fonts_sent_to_dialog) {
    if (sent.first != reinterpret_cast<WPARAM>(large)) continue;
    ++large_sends;
    EXPECT_EQ(0, sent.second) << "no redraw";
  }
  EXPECT_EQ(1, large_sends) << "the large font to the dialog window itself";
  EXPECT_EQ(reinterpret_cast<WPARAM>(large), fonts_sent_to_dialog.back().first);
  // Gone once the call has returned.
  EXPECT_EQ(0u, GetObjectType(heading));
  EXPECT_EQ(0u, GetObjectType(large));
}

// ---- card selection ------------------------------------------------------

TEST_F(Selection, CardDialogLayoutControlsAndFonts) {
  dialog_seen seen;
  robot::session user = read_then_press(&seen, 1011);
  lib.display_num_cards(3);
  EXPECT_EQ(1022, lib.ask_which_card(3));
  user.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(expected_selection_caption, seen.caption);
  EXPECT_EQ(105, seen.origin_units.x);
  EXPECT_EQ(65, seen.origin_units.y);
  EXPECT_EQ(312, seen.client_units.cx);
  EXPECT_EQ(204, seen.client_units.cy);
  expect_controls(card_dialog_controls(3), seen);
  EXPECT_TRUE(seen.checked[1022]) << "card 1 marked from the start";
  EXPECT_FALSE(seen.count_window_open) << "the count window went before the dialog showed";
  expect_selection_fonts(seen);
}

TEST_F(Selection, CardOptionsEnabledByTheLowByteOfTheCount) {
  const struct {
    int32_t count;
    int enabled;
  } rows[] = {{0, 1}, {1, 1}, {3, 3}, {5, 5}, {9, 5}, {256, 1}, {258, 2}, {-1, 5}};
  for (const auto& row : rows) {
    dialog_seen seen;
    robot::session user = read_then_press(&seen, 1011);
    EXPECT_EQ(1022, lib.ask_which_card(row.count));
    user.join();
    for (int card = 1; card <= 5; ++card)
      EXPECT_EQ(card <= row.enabled, seen.enabled[1021 + card]) << "count " << row.count << ", card " << card;
  }
}

TEST_F(Selection, CardChoiceIsTheLastOptionClickedBeforeOk) {
  const struct {
    const char* purpose;
    std::vector<int> clicks;
    int32_t result;
  } rows[] = {
      {"OK at once", {}, 1022},
      {"card 3, then card 2", {1024, 1023}, 1023},
      {"card 4", {1025}, 1025},
      {"card 5", {1026}, 1026},
      {"a later call starts from card 1 again", {}, 1022},
  };
  for (const auto& row : rows) {
    robot::session user([&] {
      HWND dialog = robot::wait_for_dialog(expected_selection_caption);
      if (!dialog) return robot::close_everything();
      for (int id : row.clicks) {
        robot::click(GetDlgItem(dialog, id));
        Sleep(30);
      }
      robot::press(dialog, 1011);
    });
    EXPECT_EQ(row.result, lib.ask_which_card(5)) << row.purpose;
    user.join();
  }
}

TEST_F(Selection, CardDialogIgnoresEscapeAndEndsOnTheCloseCommand) {
  bool open_after_escape = false;
  bool option_marked_after_click = false;
  robot::session user([&] {
    HWND dialog = robot::wait_for_dialog(expected_selection_caption);
    if (!dialog) return robot::close_everything();
    robot::click(GetDlgItem(dialog, 1024));
    Sleep(50);
    option_marked_after_click = SendMessageA(GetDlgItem(dialog, 1024), BM_GETCHECK, 0, 0) == BST_CHECKED;
    robot::key_press(dialog, VK_ESCAPE);
    Sleep(300);
    open_after_escape = IsWindow(dialog) != FALSE;
    robot::close_command(dialog);
  });
  EXPECT_EQ(1024, lib.ask_which_card(5));
  user.join();
  EXPECT_TRUE(option_marked_after_click);
  EXPECT_TRUE(open_after_escape);
}

// ---- clock selection -----------------------------------------------------

TEST_F(Selection, ClockDialogLayoutControlsCheckedOptionAndFonts) {
  dialog_seen seen;
  robot::session user = read_then_press(&seen, 1011);
  lib.first_window();
  lib.display_num_cards(2);
  EXPECT_EQ(1009, lib.Main_Menu(1009, 0, 2));
  user.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(134, seen.origin_units.x);
  EXPECT_EQ(65, seen.origin_units.y);
  EXPECT_EQ(323, seen.client_units.cx);
  EXPECT_EQ(214, seen.client_units.cy);
  expect_controls(clock_dialog_controls("Card #  1 of  2"), seen);
  for (int id = 1006; id <= 1009; ++id) EXPECT_EQ(id == 1009, seen.checked[id]) << id;
  EXPECT_FALSE(seen.count_window_open);
  expect_selection_fonts(seen);
  EXPECT_TRUE(open_status_windows().empty()) << "the scanning window goes after the dialog";
}

TEST_F(Selection, ScanningWindowStaysWhileTheClockDialogRunsAndGoesAfterIt) {
  dialog_seen seen;
  robot::session user = read_then_press(&seen, 1028);
  lib.first_window();
  lib.Main_Menu(1008, 0, 1);
  user.join();
  EXPECT_TRUE(seen.scan_window_open);
  EXPECT_TRUE(open_status_windows().empty());
}

TEST_F(Selection, CardLabelTexts) {
  const struct {
    int32_t index, count;
    const char* label;
  } rows[] = {
      {0, 2, "Card #  1 of  2"},
      {4, 5, "Card #  5 of  5"},
      {-1, -3, "Card #  0 of -3"},
      {2147483647, 2, "Card #  2147483648 of  2"},
      {-2147483647 - 1, 0, "Card # -2147483647 of  0"},
  };
  for (const auto& row : rows) {
    std::string label;
    robot::session user([&] {
      HWND dialog = robot::wait_for_dialog(expected_selection_caption);
      if (!dialog) return robot::close_everything();
      label = robot::text_of(GetDlgItem(dialog, 1027));
      robot::press(dialog, 1011);
    });
    lib.Main_Menu(1009, row.index, row.count);
    user.join();
    EXPECT_EQ(row.label, label);
  }
}

enum class ending { save, cancel, close_command };

TEST_F(Selection, ClockOutcomeForEveryWayOfEnding) {
  const struct {
    const char* purpose;
    int32_t current;
    std::vector<int> clicks;
    ending end;
    int32_t result;
  } rows[] = {
      {"no click, Save", 1009, {}, ending::save, 1009},
      {"1008 then 1006, Save", 1009, {1008, 1006}, ending::save, 1006},
      {"1007, Cancel", 1009, {1007}, ending::cancel, 1009},
      {"Cancel at once", 1006, {}, ending::cancel, 1006},
      {"click, then the close command", 1009, {1007}, ending::close_command, 1007},
      {"close command without a click", 1008, {}, ending::close_command, 1008},
      {"a later call does not remember 1006", 1007, {}, ending::save, 1007},
      {"unknown current clock, Save", 0, {}, ending::save, 0},
      {"unknown current clock, Cancel", 4711, {}, ending::cancel, 4711},
      {"unknown current clock, a click", 1005, {1009}, ending::save, 1009},
  };
  for (const auto& row : rows) {
    std::map<int, bool> checked_at_start;
    robot::session user([&] {
      HWND dialog = robot::wait_for_dialog(expected_selection_caption);
      if (!dialog) return robot::close_everything();
      for (int id = 1006; id <= 1009; ++id)
        checked_at_start[id] = SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
      for (int id : row.clicks) {
        robot::click(GetDlgItem(dialog, id));
        Sleep(30);
      }
      if (row.end == ending::save) robot::press(dialog, 1011);
      if (row.end == ending::cancel) robot::press(dialog, 1028);
      if (row.end == ending::close_command) robot::close_command(dialog);
    });
    EXPECT_EQ(row.result, lib.Main_Menu(row.current, 0, 2)) << row.purpose;
    user.join();
    for (int id = 1006; id <= 1009; ++id) EXPECT_EQ(id == row.current, checked_at_start[id]) << row.purpose << ", " << id;
  }
}

TEST_F(Selection, EscapeAndEnterOnAnOptionLeaveTheClockDialogAsItWas) {
  bool open_after_keys = false;
  robot::session user([&] {
    HWND dialog = robot::wait_for_dialog(expected_selection_caption);
    if (!dialog) return robot::close_everything();
    robot::click(GetDlgItem(dialog, 1008));  // gives the option the focus too
    Sleep(50);
    robot::key_press(dialog, VK_ESCAPE);
    robot::key_press(dialog, VK_RETURN);
    Sleep(300);
    open_after_keys = IsWindow(dialog) != FALSE;
    robot::press(dialog, 1011);
  });
  EXPECT_EQ(1008, lib.Main_Menu(1009, 0, 2));
  user.join();
  EXPECT_TRUE(open_after_keys);
}

}  // namespace
