// The DLL as a host meets it: its file, its load, the scanning windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "library.h"
#include "pe_file.h"
#include "robot.h"
#include "screen_checks.h"

library lib;

namespace {

// A thread of the host that was running before the DLL was loaded: it never
// receives a thread-attach notice.
HANDLE veteran_thread;
HANDLE veteran_go;
struct veteran_result {
  int32_t returned = -1;
  std::string label;
  LOGFONTA label_font = {};
  bool window_seen = false;
} veteran;

DWORD WINAPI veteran_main(void*) {
  WaitForSingleObject(veteran_go, INFINITE);
  veteran.returned = lib.first_window();
  for (HWND w : robot::process_dialogs()) {
    DWORD pid;
    if (GetWindowThreadProcessId(w, &pid) != GetCurrentThreadId()) continue;
    veteran.window_seen = true;
    HWND label = GetDlgItem(w, 1004);
    veteran.label = robot::text_of(label);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    GetObjectA(font, sizeof veteran.label_font, &veteran.label_font);
  }
  return 0;  // the thread's windows go with it
}

class Dll : public testing::Test {
 protected:
  void TearDown() override { destroy_library_windows(); }
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST_F(Dll, FileExportsTheTenEntryPointsByPlainNameAndOrdinalAndNothingElse) {
  const pe_tables t = read_pe_tables(read_whole_file(library_path()));
  ASSERT_TRUE(t.valid) << t.error;
#ifdef _WIN64
  EXPECT_EQ(0x8664, t.machine) << "x86-64";
  EXPECT_EQ(0x20B, t.optional_magic) << "PE32+";
#else
  EXPECT_EQ(0x14C, t.machine) << "i386";
  EXPECT_EQ(0x10B, t.optional_magic) << "PE32";
#endif
  EXPECT_EQ("zephronpro.dll", t.export_dll_name);
  const std::map<std::string, uint32_t> expected = {
      {"Main_Menu", 1},           {"ask_which_card", 2}, {"display_donesaving", 3}, {"display_num_cards", 4},
      {"display_reset_eeprom", 5}, {"display_saving", 6}, {"first_window", 7},       {"no_cards_found", 8},
      {"ok_to_save", 9},          {"scan_box", 10}};
  EXPECT_EQ(expected, t.exports_by_name);
  EXPECT_EQ(10u, t.export_function_count) << "no export by ordinal only";
  for (const auto& e : expected)
    EXPECT_EQ(GetProcAddress(lib.module, e.first.c_str()),
              GetProcAddress(lib.module, MAKEINTRESOURCEA(static_cast<WORD>(e.second))))
        << e.first;
}

TEST_F(Dll, FileImportsSystemDllsOnly) {
  const pe_tables t = read_pe_tables(read_whole_file(library_path()));
  ASSERT_TRUE(t.valid) << t.error;
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
  EXPECT_FALSE(t.imported_dlls.empty());
  for (const std::string& dll : t.imported_dlls) EXPECT_TRUE(allowed.count(lower(dll))) << "imports " << dll;
}

TEST_F(Dll, FirstWindowMakesExactlyOneHundredPassesAndLeavesItsWindowOpen) {
  robot::drain_messages();
  robot::post_markers(1000);
  EXPECT_EQ(0, lib.first_window());
  EXPECT_EQ(900, robot::remaining_markers()) << "one marker per event pump pass";

  const std::vector<HWND> status = open_status_windows();
  ASSERT_EQ(1u, status.size());
  expect_status_window(status[0], 277, 31, 265, 20,
                       "Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait...");
}

TEST_F(Dll, ScanBoxAsksFirstThenMakesExactlyFiveHundredPasses) {
  bool window_before_box = true;
  std::string box_text;
  bool box_icon = true;
  std::string box_buttons;
  robot::session user([&] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    window_before_box = !open_status_windows().empty();
    box_text = robot::message_box_text(box);
    box_buttons = message_box_buttons(box);
    box_icon = message_box_has_icon(box);
    EXPECT_EQ("Sorvenna", robot::text_of(box));
    robot::press(box, IDOK);
  });
  robot::drain_messages();
  post_markers_when_created(expected_status_caption, 1000);
  EXPECT_EQ(0, lib.scan_box());
  const int remaining = robot::remaining_markers();
  stop_posting_markers();
  user.join();
  EXPECT_EQ(500, remaining) << "one marker per event pump pass";
  EXPECT_FALSE(window_before_box) << "the scanning window exists only after the box was dismissed";
  EXPECT_EQ("Inside MSGBOX", box_text);
  EXPECT_EQ("OK", box_buttons);
  EXPECT_FALSE(box_icon);

  const std::vector<HWND> status = open_status_windows();
  ASSERT_EQ(1u, status.size());
  expect_status_window(status[0], 277, 31, 265, 20,
                       "Scanning PCI bus for the Talmo ZEPHRON Pro I/O Card(s), please wait...");
}

TEST_F(Dll, SecondScanningWindowLiesOnTheFirstAndBothStayOpen) {
  lib.first_window();
  robot::session user([] {
    HWND box = robot::wait_for_message_box("Sorvenna");
    if (!box) return robot::close_everything();
    robot::press(box, IDOK);
  });
  lib.scan_box();
  user.join();
  const std::vector<HWND> status = open_status_windows();
  ASSERT_EQ(2u, status.size());
  RECT a, b;
  GetWindowRect(status[0], &a);
  GetWindowRect(status[1], &b);
  EXPECT_TRUE(EqualRect(&a, &b)) << "y 296 does not move a centred window";
}

TEST_F(Dll, CommandToStatusWindowShowsTheNoticeOnceAndKeepsTheWindow) {
  lib.first_window();
  const std::vector<HWND> status = open_status_windows();
  ASSERT_EQ(1u, status.size());
  int boxes = 0;
  std::string text, title;
  robot::session user([&] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    ++boxes;
    text = robot::message_box_text(box);
    title = robot::text_of(box);
    robot::press(box, IDOK);
    robot::wait_gone(box);
    // A second notice would be a fault: give it time to appear.
    if (robot::wait_for_message_box(std::string(), 300)) ++boxes, robot::close_everything();
  });
  PostMessageA(status[0], WM_COMMAND, MAKEWPARAM(4321, 7), 0);
  user.join();  // serves the window like a host's own loop
  EXPECT_EQ(1, boxes);
  EXPECT_EQ("Hello from ShowDialogProc2", text);
  EXPECT_EQ("Sorvenna", title);
  EXPECT_TRUE(IsWindow(status[0]));
}

TEST_F(Dll, ControlWordIsPutBackAfterEveryCall) {
  unsigned short host_word = 0x027F, seen = 0;  // 53-bit precision, as many hosts set it
  __asm__ __volatile__("fldcw %0" : : "m"(host_word));
  lib.first_window();
  __asm__ __volatile__("fnstcw %0" : "=m"(seen));
  // Bit 6 of the x87 control word is reserved and always reads as 1.
  EXPECT_EQ(0x133F, seen & ~0x40);
}

TEST_F(Dll, ThreadRunningBeforeTheLoadGetsItsFontOnFirstUse) {
  SetEvent(veteran_go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(veteran_thread, 20000));
  EXPECT_EQ(0, veteran.returned);
  EXPECT_TRUE(veteran.window_seen);
  EXPECT_EQ("Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait...", veteran.label);
  EXPECT_STREQ("MS Sans Serif", veteran.label_font.lfFaceName);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  veteran_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  veteran_thread = CreateThread(nullptr, 0, veteran_main, nullptr, 0, nullptr);
  if (!load_library(&lib)) {
    std::fprintf(stderr, "cannot load %s\n", library_path().c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
