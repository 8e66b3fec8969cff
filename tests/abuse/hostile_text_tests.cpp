// Hostile texts given to the dialog layer on the real platform: very long,
// every byte value, CR LF, NUL inside. Nothing may overflow or crash, and
// what comes out is cut where the layer cuts. (The exact byte layout of the
// description for such texts is checked natively, under the sanitizers.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "dialog/dialog.h"
#include "robot.h"

namespace {

std::string every_byte(size_t length) {
  std::string s(length, '\0');
  for (size_t i = 0; i < length; ++i) s[i] = static_cast<char>(i % 256);
  return s;
}

std::string high_bytes_with_breaks(size_t length) {
  std::string s;
  while (s.size() < length) s += "\x80\x9f\xa0\xff\r\n\xe9";
  s.resize(length);
  return s;
}

const struct {
  const char* purpose;
  std::string text;
} hostile_texts[] = {
    {"70000 bytes, every value, NUL first", every_byte(70000)},
    {"NUL after a few bytes", std::string("abc\0def", 7)},
    {"high bytes with CR LF", high_bytes_with_breaks(1000)},
    {"257 bytes", std::string(257, 'x')},
    {"only CR LF", std::string(600, '\r') + std::string(600, '\n')},
    {"empty", std::string()},
};

class HostileTexts : public testing::Test {
 protected:
  void TearDown() override {
    for (HWND w : robot::process_dialogs()) DestroyWindow(w);
    robot::drain_messages();
    EXPECT_EQ(0, open_dialog_count);
    EXPECT_EQ(0, window_record_count());
  }
};

TEST_F(HostileTexts, CaptionsAreCutToTwoHundredFiftySixCharactersWhateverTheyHold) {
  for (const auto& row : hostile_texts) {
    HWND dialog = create_dialog(nullptr, row.text, -1, -1, 100, 40, 0, 0);
    ASSERT_NE(nullptr, dialog) << row.purpose;
    wchar_t caption[1024] = {};
    const int n = GetWindowTextW(dialog, caption, 1024);
    EXPECT_LE(n, 256) << row.purpose;
    // The caption ends at its first NUL; only an empty one becomes a space.
    const size_t nul = row.text.find('\0');
    const size_t expected = std::min<size_t>(nul == std::string::npos ? row.text.size() : nul, 256);
    EXPECT_EQ(row.text.empty() ? 1u : expected, static_cast<size_t>(n)) << row.purpose;
    end_dialog(dialog, 0);
  }
}

TEST_F(HostileTexts, ControlTextsOfEveryClassReachThePlatformUpToTheirFirstNul) {
  HWND dialog = create_dialog(nullptr, "hostile controls", -1, -1, 200, 100, 0, 0);
  ASSERT_NE(nullptr, dialog);
  int id = 2000;
  for (const auto& row : hostile_texts) {
    for (int class_index = 1; class_index <= 15; ++class_index) {
      HWND control = add_control(dialog, class_index, ++id, row.text, 1, 1, 50, 12, 0, 0, nullptr);
      if (!control) continue;  // a class the platform refuses with such a text is not a fault
      const size_t nul = row.text.find('\0');
      const size_t expected = nul == std::string::npos ? row.text.size() : nul;
      // Pictures and lists keep no text of their own.
      if (class_index == 10 || class_index == 11 || class_index == 14 || class_index == 15) continue;
      EXPECT_EQ(static_cast<int>(expected), GetWindowTextLengthA(control)) << row.purpose << ", class " << class_index;
    }
  }
  // Index 0 takes the class name as given: hostile names find no class.
  for (const auto& row : hostile_texts)
    EXPECT_EQ(nullptr, add_control(dialog, 0, ++id, "x", 1, 1, 5, 5, 0, 0, nullptr, row.text)) << row.purpose;
  end_dialog(dialog, 0);
}

TEST_F(HostileTexts, FaceNamesAreCutToThirtyOneBytesAndNeverOverrunTheFontRecord) {
  for (const auto& row : hostile_texts) {
    HFONT font = make_font(row.text, 10, 700);
    ASSERT_NE(nullptr, font) << row.purpose;
    LOGFONTA f = {};
    ASSERT_EQ(static_cast<int>(sizeof f), GetObjectA(font, sizeof f, &f)) << row.purpose;
    const size_t stored = strnlen(f.lfFaceName, sizeof f.lfFaceName);
    EXPECT_LT(stored, sizeof f.lfFaceName) << row.purpose << ": no terminating zero";
    EXPECT_LE(stored, 31u) << row.purpose;
    EXPECT_EQ(700, f.lfWeight) << row.purpose;
    DeleteObject(font);
  }
}

TEST_F(HostileTexts, MessageBoxesShowHostileTextsAndTitles) {
  for (const auto& row : hostile_texts) {
    robot::session user([] {
      HWND box = robot::wait_for_message_box();
      if (!box) return robot::close_everything();
      robot::press(box, IDOK);
    });
    EXPECT_EQ(IDOK, message_box(row.text, row.text, MB_OK)) << row.purpose;
    user.join();
  }
}

}  // namespace
