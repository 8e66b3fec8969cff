// The save confirmation, the programming windows, the result report, and a
// whole run from the first screen to the report.
#include <gtest/gtest.h>

#include "library.h"
#include "robot.h"
#include "screen_checks.h"

namespace {

const std::string crlf = "\r\n";

class Programming : public testing::Test {
 protected:
  void TearDown() override { destroy_library_windows(); }
};

// What the robot saw of one message box.
struct box_seen {
  std::string title, text, buttons;
  bool icon = false;
  bool found = false;
};

// Answers the next message box with `answer` (a button id, or VK_ESCAPE as
// a real key press when escape is set) and records it.
robot::session answer_box(box_seen* seen, int answer, bool escape = false) {
  return robot::session([=] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    seen->found = true;
    seen->title = robot::text_of(box);
    seen->text = robot::message_box_text(box);
    seen->buttons = message_box_buttons(box);
    seen->icon = message_box_has_icon(box);
    if (escape)
      robot::key_press(box, VK_ESCAPE);
    else
      robot::press(box, answer);
  });
}

std::string confirmation(const std::string& clock, const std::string& card, const std::string& count) {
  return "Select OK to set the clock value to " + clock + " Mhz " + crlf + crlf + "              for ZEPHRON Card # " +
         card + " of " + count;
}

TEST_F(Programming, ConfirmationTextForEveryClockAndTheBytesOfIndexAndCount) {
  const struct {
    const char* purpose;
    int32_t current, new_clock, index, count;
    std::string text;
  } rows[] = {
      {"typical run", 1009, 1006, 1, 2, confirmation(" 14.7456", " 2", " 2")},
      {"7.3728", 1009, 1007, 0, 2, confirmation(" 7.3728", " 1", " 2")},
      {"3.6864", 1006, 1008, 0, 1, confirmation(" 3.6864", " 1", " 1")},
      {"1.8432", 1006, 1009, 4, 5, confirmation(" 1.8432", " 5", " 5")},
      {"unknown clock shows 0", 1009, 0, 0, 2, confirmation(" 0", " 1", " 2")},
      {"1010 is unknown too", 1009, 1010, 0, 2, confirmation(" 0", " 1", " 2")},
      {"the current clock changes nothing", -77, 1006, 1, 2, confirmation(" 14.7456", " 2", " 2")},
      {"index 255 is card 256", 1009, 1006, 255, 2, confirmation(" 14.7456", " 256", " 2")},
      {"index 256 is read as 0", 1009, 1006, 256, 2, confirmation(" 14.7456", " 1", " 2")},
      {"count 258 is read as 2", 1009, 1006, 0, 258, confirmation(" 14.7456", " 1", " 2")},
      {"-1 is byte 255", 1009, 1006, -1, -1, confirmation(" 14.7456", " 256", " 255")},
  };
  for (const auto& row : rows) {
    box_seen seen;
    robot::session user = answer_box(&seen, IDOK);
    EXPECT_EQ(IDOK, lib.ok_to_save(row.current, row.new_clock, row.index, row.count)) << row.purpose;
    user.join();
    EXPECT_EQ(row.text, seen.text) << row.purpose;
    EXPECT_EQ(expected_status_caption, seen.title) << row.purpose;
    EXPECT_EQ("OK Cancel", seen.buttons) << row.purpose;
    EXPECT_FALSE(seen.icon) << row.purpose;
  }
}

TEST_F(Programming, ConfirmationReturnsTheButtonOkCancelOrEscape) {
  const struct {
    const char* purpose;
    int answer;
    bool escape;
    int32_t result;
  } rows[] = {{"OK", IDOK, false, 1}, {"Cancel", IDCANCEL, false, 2}, {"Escape key", 0, true, 2}};
  for (const auto& row : rows) {
    box_seen seen;
    robot::session user = answer_box(&seen, row.answer, row.escape);
    EXPECT_EQ(row.result, lib.ok_to_save(1009, 1006, 1, 2)) << row.purpose;
    user.join();
  }
}

const std::string please_wait = "Please wait for this SAVE operation to the I/O card to finish.";

std::string saving_label(const std::string& clock) {
  return "Configuring ZEPHRON Pro Clock speed to " + clock + " Mhz " + crlf + crlf + please_wait + crlf;
}

TEST_F(Programming, SavingWindowTextsAndItsNinetyNinePasses) {
  const struct {
    int32_t clock;
    std::string label;
  } rows[] = {{1006, saving_label(" 14.7456")}, {1007, saving_label(" 7.3728")}, {1008, saving_label(" 3.6864")},
              {1009, saving_label(" 1.8432")},  {1005, saving_label(" 0")},      {0, saving_label(" 0")}};
  for (const auto& row : rows) {
    robot::drain_messages();
    robot::post_markers(1000);
    EXPECT_EQ(0, lib.display_saving(row.clock));
    EXPECT_EQ(901, robot::remaining_markers()) << row.clock << ": pump count starts at 1, stops at 100";
    const std::vector<HWND> open = open_status_windows();
    ASSERT_EQ(1u, open.size());
    expect_status_window(open[0], 277, 41, 265, 25, row.label);
    destroy_library_windows();
  }
}

TEST_F(Programming, ResetWindowTextItsFortyNinePassesAndNothingEndsIt) {
  const std::string label = "Programming EEPROM to factor defaults. Clock will be 1.8432 Mhz." + crlf + crlf +
                            please_wait + crlf;
  robot::drain_messages();
  robot::post_markers(1000);
  EXPECT_EQ(0, lib.display_reset_eeprom());
  EXPECT_EQ(951, robot::remaining_markers());
  std::vector<HWND> open = open_status_windows();
  ASSERT_EQ(1u, open.size());
  expect_status_window(open[0], 277, 41, 265, 25, label);

  // Every screen that ends a window ends some other one.
  lib.display_num_cards(1);
  box_seen seen;
  {
    robot::session user = answer_box(&seen, IDOK);
    lib.ok_to_save(1009, 1006, 0, 1);
  }
  {
    robot::session user = answer_box(&seen, IDOK);
    lib.display_donesaving(1006);
  }
  EXPECT_EQ(1, count_status_windows_reading(label));
}

TEST_F(Programming, ConfirmationAndReportEndTheSavingWindowBeforeTheirBox) {
  for (int report = 0; report < 2; ++report) {
    lib.display_saving(1006);
    bool saving_open_during_box = true;
    robot::session user([&] {
      HWND box = robot::wait_for_message_box();
      if (!box) return robot::close_everything();
      saving_open_during_box = count_status_windows_reading(saving_label(" 14.7456")) != 0;
      robot::press(box, IDOK);
    });
    if (report)
      lib.display_donesaving(1006);
    else
      lib.ok_to_save(1009, 1006, 0, 1);
    user.join();
    EXPECT_FALSE(saving_open_during_box) << (report ? "report" : "confirmation");
  }
}

struct report_values {
  int32_t clock_id;
  const char* clock;
  const char* factor;
  const char* products[8];
  size_t length;
};

const report_values report_rows[] = {
    {1006, " 14.7456", " 8", {" 2400", " 9600", " 19200", " 76800", " 153600", " 307200", " 460800", " 921600"}, 757},
    {1007, " 7.3728", " 4", {" 1200", " 4800", " 9600", " 38400", " 76800", " 153600", " 230400", " 460800"}, 754},
    {1008, " 3.6864", " 2", {" 600", " 2400", " 4800", " 19200", " 38400", " 76800", " 115200", " 230400"}, 752},
    {1009, " 1.8432", " 1", {" 300", " 1200", " 2400", " 9600", " 19200", " 38400", " 57600", " 115200"}, 750},
    {0, " 0", " 0", {" 0", " 0", " 0", " 0", " 0", " 0", " 0", " 0"}, 717},
    {1005, " 0", " 0", {" 0", " 0", " 0", " 0", " 0", " 0", " 0", " 0"}, 717},
    {1010, " 0", " 0", {" 0", " 0", " 0", " 0", " 0", " 0", " 0", " 0"}, 717},
    {-1006, " 0", " 0", {" 0", " 0", " 0", " 0", " 0", " 0", " 0", " 0"}, 717},
};

std::string report_text(const report_values& v) {
  static const char* const rate_lines[8] = {
      "      300 baud in Windows ->       300 baud x ", "   1200  baud in Windows ->     1200 baud x ",
      "   2400  baud in Windows ->     2400 baud x ",   "   9600  baud in Windows ->     9600 baud x ",
      "  19200 baud in Windows ->   19200 baud x ",     "  38400 baud in Windows ->   38400 baud x ",
      "  57600 baud in Windows ->   57600 baud x ",     "115200 baud in Windows -> 115200 baud x "};
  std::string t = std::string("      ZEPHRON Pro Clock has been configured to ") + v.clock + " Mhz " + crlf + crlf +
                  "                      Baud Rate multiplier factor is " + v.factor + crlf + crlf;
  for (int i = 0; i < 8; ++i) t += std::string(rate_lines[i]) + v.factor + " = " + v.products[i] + " baud on ZEPHRON" + crlf;
  return t + crlf + "                       This clock value is now ACTIVE.";
}

TEST_F(Programming, ReportTextForEveryClockAndForUnknownOnes) {
  for (const report_values& row : report_rows) {
    box_seen seen;
    robot::session user = answer_box(&seen, IDOK);
    EXPECT_EQ(0, lib.display_donesaving(row.clock_id));
    user.join();
    EXPECT_EQ(report_text(row), seen.text) << row.clock_id;
    EXPECT_EQ(row.length, seen.text.size()) << row.clock_id;
    EXPECT_EQ(expected_status_caption, seen.title);
    EXPECT_EQ("OK", seen.buttons);
    EXPECT_TRUE(seen.icon) << "information icon";
  }
}

TEST_F(Programming, ReportForTheTypicalRunLineByLine) {
  box_seen seen;
  {
    robot::session user = answer_box(&seen, IDOK);
    lib.display_donesaving(1006);
  }
  const std::string expected = std::string("      ZEPHRON Pro Clock has been configured to  14.7456 Mhz \r\n") +
                               "\r\n"
                               "                      Baud Rate multiplier factor is  8\r\n"
                               "\r\n"
                               "      300 baud in Windows ->       300 baud x  8 =  2400 baud on ZEPHRON\r\n"
                               "   1200  baud in Windows ->     1200 baud x  8 =  9600 baud on ZEPHRON\r\n"
                               "   2400  baud in Windows ->     2400 baud x  8 =  19200 baud on ZEPHRON\r\n"
                               "   9600  baud in Windows ->     9600 baud x  8 =  76800 baud on ZEPHRON\r\n"
                               "  19200 baud in Windows ->   19200 baud x  8 =  153600 baud on ZEPHRON\r\n"
                               "  38400 baud in Windows ->   38400 baud x  8 =  307200 baud on ZEPHRON\r\n"
                               "  57600 baud in Windows ->   57600 baud x  8 =  460800 baud on ZEPHRON\r\n"
                               "115200 baud in Windows -> 115200 baud x  8 =  921600 baud on ZEPHRON\r\n"
                               "\r\n"
                               "                       This clock value is now ACTIVE.";
  EXPECT_EQ(expected, seen.text);
}

// The typical run of a host, every screen in order, as a user answers it.
TEST_F(Programming, WholeRunFromTheFirstScreenToTheReport) {
  std::vector<int32_t> results;
  std::string report;
  robot::session user([&] {
    HWND card = robot::wait_for_dialog(expected_selection_caption);
    if (!card) return robot::close_everything();
    robot::click(GetDlgItem(card, 1023));
    Sleep(50);
    robot::press(card, 1011);
    robot::wait_gone(card);
    HWND clock = robot::wait_for_dialog(expected_selection_caption);
    if (!clock) return robot::close_everything();
    robot::click(GetDlgItem(clock, 1006));
    Sleep(50);
    robot::press(clock, 1011);
    HWND box = robot::wait_for_message_box(expected_status_caption);
    if (!box) return robot::close_everything();
    robot::press(box, IDOK);
    robot::wait_gone(box);
    box = robot::wait_for_message_box(expected_status_caption);
    if (!box) return robot::close_everything();
    report = robot::message_box_text(box);
    robot::press(box, IDOK);
  });
  results.push_back(lib.first_window());
  EXPECT_EQ(1u, open_status_windows().size()) << "scanning";
  results.push_back(lib.display_num_cards(2));
  EXPECT_EQ(1, count_status_windows_reading("Detected  2 ZEPHRON Pro I/O Cards in this computer"));
  EXPECT_EQ(1u, open_status_windows().size()) << "the count window replaced the scanning window";
  results.push_back(lib.ask_which_card(2));
  EXPECT_TRUE(open_status_windows().empty()) << "the count window went with the card dialog";
  results.push_back(lib.Main_Menu(1009, 1, 2));
  results.push_back(lib.ok_to_save(1009, 1006, 1, 2));
  results.push_back(lib.display_saving(1006));
  EXPECT_EQ(1, count_status_windows_reading(saving_label(" 14.7456")));
  results.push_back(lib.display_donesaving(1006));
  user.join();
  EXPECT_TRUE(open_status_windows().empty());
  EXPECT_EQ((std::vector<int32_t>{0, 0, 1023, 1006, 1, 0, 0}), results);
  EXPECT_EQ(report_text(report_rows[0]), report);
}

}  // namespace
