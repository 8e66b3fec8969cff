// The card count notices: the count window's texts, what it replaces, its
// pump passes, and the no-card box byte for byte.
#include <gtest/gtest.h>

#include "library.h"
#include "robot.h"
#include "screen_checks.h"
#include "screens/vendor.h"

namespace {

class CardCount : public testing::Test {
 protected:
  void TearDown() override { destroy_library_windows(); }
};

TEST_F(CardCount, LabelTextByCount) {
  const struct {
    int32_t count;
    const char* label;
  } rows[] = {
      {0, "No ZEPHRON Pro I/O Cards detected in this computer"},
      {1, "Detected  1 ZEPHRON Pro I/O Card in this computer"},
      {2, "Detected  2 ZEPHRON Pro I/O Cards in this computer"},
      {10, "Detected  10 ZEPHRON Pro I/O Cards in this computer"},
      {-1, "Detected -1 ZEPHRON Pro I/O Cards in this computer"},
      {2147483647, "Detected  2147483647 ZEPHRON Pro I/O Cards in this computer"},
      {-2147483647 - 1, "Detected -2147483648 ZEPHRON Pro I/O Cards in this computer"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(0, lib.display_num_cards(row.count));
    const std::vector<HWND> open = open_status_windows();
    ASSERT_EQ(1u, open.size()) << "count " << row.count << ": the previous count window was ended? it must not be";
    expect_status_window(open[0], 277, 31, 265, 20, row.label);
    destroy_library_windows();
  }
}

// The scanning window must go after its successor exists with its text, and
// before that successor is visible: look at the moment it is destroyed.
HHOOK destroy_hook;
HWND watched_window;
bool successor_ready_and_hidden = false;
std::string successor_label;

LRESULT CALLBACK on_destroy(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_DESTROYWND && reinterpret_cast<HWND>(wparam) == watched_window) {
    for (HWND w : robot::process_dialogs()) {
      if (w == watched_window || robot::text_of(w) != expected_status_caption) continue;
      successor_label = robot::text_of(GetDlgItem(w, 1004));
      successor_ready_and_hidden = !IsWindowVisible(w);
    }
  }
  return CallNextHookEx(destroy_hook, code, wparam, lparam);
}

TEST_F(CardCount, ScanningWindowGoesAfterTheCountWindowHasItsTextAndBeforeItShows) {
  lib.first_window();
  const std::vector<HWND> scanning = open_status_windows();
  ASSERT_EQ(1u, scanning.size());
  watched_window = scanning[0];
  destroy_hook = SetWindowsHookExA(WH_CBT, on_destroy, nullptr, GetCurrentThreadId());
  robot::drain_messages();
  robot::post_markers(1000);
  lib.display_num_cards(2);
  const int remaining = robot::remaining_markers();
  UnhookWindowsHookEx(destroy_hook);
  EXPECT_FALSE(IsWindow(watched_window));
  EXPECT_TRUE(successor_ready_and_hidden);
  EXPECT_EQ("Detected  2 ZEPHRON Pro I/O Cards in this computer", successor_label);
  EXPECT_EQ(900, remaining) << "100 event pump passes";
}

TEST_F(CardCount, CountWindowWithoutAScanningWindowBefore) {
  lib.display_num_cards(3);
  EXPECT_EQ(1, count_status_windows_reading("Detected  3 ZEPHRON Pro I/O Cards in this computer"));
}

TEST_F(CardCount, NoCardBoxTextTitleAndButtonsAndTheScanningWindowStays) {
  lib.first_window();
  std::string text, title, buttons;
  bool icon = true;
  robot::session user([&] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    text = robot::message_box_text(box);
    title = robot::text_of(box);
    buttons = message_box_buttons(box);
    icon = message_box_has_icon(box);
    robot::press(box, IDOK);
  });
  EXPECT_EQ(0, lib.no_cards_found());
  user.join();
  const std::string expected =
      "No ZEPHRON Pro 2 Port PCI I/O Cards could be located. Please check your installation." +
      std::string(39, ' ') + "Home Page : " + vendor::home_page + "    Email: " + vendor::support_email + "   ";
  EXPECT_EQ(expected, text);
  EXPECT_EQ(expected_status_caption, title);
  EXPECT_EQ("OK", buttons);
  EXPECT_FALSE(icon);
  EXPECT_EQ(1, count_status_windows_reading(
                   "Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait..."));
}

TEST_F(CardCount, NoCardBoxReturnsZeroWhicheverWayItCloses) {
  robot::session user([&] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    robot::key_press(box, VK_ESCAPE);
  });
  EXPECT_EQ(0, lib.no_cards_found());
  user.join();
}

}  // namespace
