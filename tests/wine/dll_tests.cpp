// The DLL as a host meets it: its file, its load, the scanning windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <set>
#include <vector>

#include "host_faults.h"
#include "library.h"
#include "pe_file.h"
#include "robot.h"
#include "screen_checks.h"
#include "screens/vendor.h"

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

// The version information as an installer reads it before it replaces the
// file: the numbers of the fixed part, then the strings of the language that
// the Translation value names. The build passes the project's version in.
TEST_F(Dll, FileCarriesTheProjectVersionAndTheVendorForInstallers) {
  const std::string file = library_path();
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &unused);
  ASSERT_NE(0u, size) << "no version information in " << file << " (error " << GetLastError() << ")";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(file.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(sizeof *fixed, length);
  EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);
  const DWORD version_ms = MAKELONG(ZP_VERSION_MINOR, ZP_VERSION_MAJOR), version_ls = MAKELONG(0, ZP_VERSION_PATCH);
  EXPECT_EQ(version_ms, fixed->dwFileVersionMS);
  EXPECT_EQ(version_ls, fixed->dwFileVersionLS);
  EXPECT_EQ(version_ms, fixed->dwProductVersionMS);
  EXPECT_EQ(version_ls, fixed->dwProductVersionLS);
  EXPECT_EQ(static_cast<DWORD>(VFT_DLL), fixed->dwFileType);
  EXPECT_EQ(0u, fixed->dwFileFlags & fixed->dwFileFlagsMask) << "a release: no debug, pre-release or patched flag";

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                             &length));
  ASSERT_GE(length, 4u);
  char block[40];
  std::snprintf(block, sizeof block, "\\StringFileInfo\\%04x%04x\\", translation[0], translation[1]);
  auto value = [&](const char* name) -> std::string {
    char* text = nullptr;
    UINT chars = 0;
    if (!VerQueryValueA(info.data(), (block + std::string(name)).c_str(), reinterpret_cast<void**>(&text), &chars))
      return "(no " + std::string(name) + " in " + block + ")";
    return text;
  };
  EXPECT_EQ(ZP_VERSION, value("FileVersion"));
  EXPECT_EQ(ZP_VERSION, value("ProductVersion"));
  EXPECT_EQ("zephronpro.dll", value("OriginalFilename"));
  EXPECT_EQ(ZP_VENDOR_NAME, value("CompanyName"));
  EXPECT_EQ(ZP_VENDOR_COPYRIGHT, value("LegalCopyright"));
  EXPECT_EQ(0u, value("ProductName").find("ZEPHRON Pro")) << value("ProductName");
  EXPECT_NE("", value("FileDescription"));
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

// ---- a host's exceptions pass through the library ------------------------

// The host's exception has ended ask_which_card; the library must still
// work: a further card dialog opens, takes a choice and returns it. That
// next call first ends what the unwound one left: its dialog and fonts.
void expect_a_further_card_dialog_answered() {
  ASSERT_NE(nullptr, card_dialog_at_fault) << "the fault came from the card dialog's loop";
  robot::session user([] {
    HWND dialog = robot::wait_for([](HWND w) {
      return w != card_dialog_at_fault && IsWindowVisible(w) && robot::text_of(w) == expected_selection_caption;
    });
    if (!dialog) return robot::close_everything();
    robot::click(GetDlgItem(dialog, 1024));
    Sleep(30);
    robot::press(dialog, 1011);
  });
  EXPECT_EQ(1024, lib.ask_which_card(5)) << "card 3";
  user.join();
  EXPECT_FALSE(IsWindow(card_dialog_at_fault)) << "the dialog the exception left";
  for (HFONT font : fonts_at_fault) EXPECT_EQ(0u, GetObjectType(font)) << "a font the exception left";
}

// The host's stack where the unwound call was, under a canary, while the
// host presses OK on the dialog that call left and serves it from below:
// the bytes of the canary that changed.
__attribute__((noinline)) void pump_until_gone(HWND dialog) {
  robot::press(dialog, 1011);
  for (DWORD start = GetTickCount(); IsWindow(dialog) && GetTickCount() - start < 5000; Sleep(1))
    robot::drain_messages();
}
__attribute__((noinline)) int canary_bytes_changed_by_ending(HWND dialog) {
  volatile unsigned char canary[64 * 1024];
  for (volatile unsigned char& byte : canary) byte = 0xA5;
  pump_until_gone(dialog);
  return static_cast<int>(std::count_if(canary, canary + sizeof canary, [](unsigned char b) { return b != 0xA5; }));
}

// Makes the host window fail (with a C++ exception or a structured one)
// while ask_which_card's loop dispatches, around the host's own call. A
// guard ends the card dialog if the exception never gets out of its loop,
// so that a fault of the library fails the test instead of hanging it.
template <typename Call>
void fail_inside_the_card_dialog(bool cpp, Call host_call) {
  HWND host = failing_host_window();
  ASSERT_NE(nullptr, host);
  host_throws_cpp = cpp;
  card_dialog_at_fault = nullptr;
  robot::drain_messages();
  PostMessageA(host, host_fault_message, 0, 0);
  std::atomic<bool> back{false};
  robot::session guard([&back] {
    for (int waited = 0; waited < 5000 && !back; waited += 50) Sleep(50);
    if (!back) robot::close_everything();
  });
  host_call();
  back = true;
  guard.join();
  DestroyWindow(host);
}

TEST_F(Dll, HostsCppExceptionFromItsWindowProcedurePassesThroughTheModalLoop) {
#ifndef _WIN64
  // i686 unwinds C++ exceptions with DWARF tables (DW2), found only in the
  // modules registered with the throwing module's own runtime: the user32
  // frames between a window procedure and DispatchMessage are never among
  // them, so such an exception cannot leave a window procedure on i386,
  // whatever loop dispatched it (the host's own as well as ours).
  GTEST_SKIP() << "i386 DW2 C++ exceptions cannot unwind through user32's frames, even from the host's own loop";
#endif
  bool caught = false;
  fail_inside_the_card_dialog(true, [&] {
    try {
      lib.ask_which_card(5);
    } catch (const host_error&) {
      caught = true;
    }
  });
  EXPECT_TRUE(caught);
  expect_a_further_card_dialog_answered();
}

TEST_F(Dll, HostsStructuredExceptionFromItsWindowProcedurePassesThroughTheModalLoop) {
  host_handler_caught = false;
  fail_inside_the_card_dialog(false, [] { guarded_call(lib.ask_which_card, 5); });
  EXPECT_TRUE(host_handler_caught);
  EXPECT_EQ(0, canary_bytes_changed_by_ending(card_dialog_at_fault)) << "written into the unwound call's stack";
  EXPECT_FALSE(IsWindow(card_dialog_at_fault)) << "OK ended it";
  expect_a_further_card_dialog_answered();
}

TEST_F(Dll, RefusedAllocationRaisesNoMemoryForTheHostToCatchAndTheNextCallEndsWhatItLeft) {
  ASSERT_TRUE(refuse_allocations_in_the_card_dialog(lib.module, true));
  host_handler_caught = false;
  caught_exception_code = STATUS_NO_MEMORY;
  guarded_call(lib.ask_which_card, 5);
  caught_exception_code = host_exception_code;
  refuse_allocations_in_the_card_dialog(lib.module, false);
  EXPECT_TRUE(host_handler_caught) << "STATUS_NO_MEMORY reached the host's handler";
  expect_a_further_card_dialog_answered();
}

// A host may call any entry point from its window procedure while a
// screen's loop dispatches. The running card dialog stays the user's: a
// nested call, and one that the host's exception unwinds and the host
// catches, leave its dialog and fonts alone, and it returns the card the
// user chooses afterwards.
HWND nesting_host;
std::atomic<bool> nested_calls_done{false};
std::string outer_dialog_harmed;  // by the nested calls; empty: not at all

void nested_calls() {
  const HWND outer = card_dialog_at_fault;
  const HFONT fonts[2] = {fonts_at_fault[0], fonts_at_fault[1]};
  host_fault_action = nullptr;  // the next fault raises
  lib.first_window();
  PostMessageA(nesting_host, host_fault_message, 0, 0);
  host_handler_caught = false;
  guarded_call(lib.display_num_cards, 2);
  if (!host_handler_caught) outer_dialog_harmed += " (the nested call's exception was not caught)";
  if (!IsWindowVisible(outer)) outer_dialog_harmed += " dialog ended";
  for (HFONT font : fonts)
    if (GetObjectType(font) != OBJ_FONT) outer_dialog_harmed += " font deleted";
  nested_calls_done = true;
}

TEST_F(Dll, NestedCallsLeaveTheRunningCardDialogToTheUser) {
  nesting_host = failing_host_window();
  host_throws_cpp = false;
  host_fault_action = nested_calls;
  nested_calls_done = false;
  outer_dialog_harmed.clear();
  robot::drain_messages();
  PostMessageA(nesting_host, host_fault_message, 0, 0);
  robot::session user([] {
    for (int waited = 0; !nested_calls_done && waited < 30000; waited += 10) Sleep(10);
    HWND dialog = robot::wait_for_dialog(expected_selection_caption);
    if (!nested_calls_done || !dialog) return robot::close_everything();
    robot::click(GetDlgItem(dialog, 1024));
    Sleep(30);
    robot::press(dialog, 1011);
  });
  EXPECT_EQ(1024, lib.ask_which_card(5)) << "card 3, chosen after the nested calls";
  user.join();
  host_fault_action = nullptr;
  DestroyWindow(nesting_host);
  EXPECT_TRUE(nested_calls_done);
  EXPECT_EQ("", outer_dialog_harmed);
}

// When the process ends, the library calls no window: the host's window
// procedures may rely on what the host's exit has torn down. A child
// process leaves the card dialog open after a host exception, then ends
// while its visible window logs every message it still receives.
int end_after_a_host_exception(const char* log_path) {
  if (!load_library(&lib)) return 2;
  HWND watched = failing_host_window(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  fail_inside_the_card_dialog(false, [] { guarded_call(lib.ask_which_card, 5); });
  if (!host_handler_caught || !IsWindow(card_dialog_at_fault) || !IsWindow(watched)) return 3;
  robot::drain_messages();
  host_message_log = CreateFileA(log_path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ExitProcess(host_message_log == INVALID_HANDLE_VALUE ? 4 : 0);
}

TEST_F(Dll, ProcessEndAfterAHostExceptionCallsNoWindowOfTheHost) {
  char program[MAX_PATH], folder[MAX_PATH], log_path[MAX_PATH];
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  GetTempPathA(MAX_PATH, folder);
  GetTempFileNameA(folder, "zpx", 0, log_path);
  std::string command = std::string("\"") + program + "\" --end-after-a-host-exception \"" + log_path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child.hProcess, 60000));
  DWORD exit_code = 1;
  GetExitCodeProcess(child.hProcess, &exit_code);
  CloseHandle(child.hProcess);
  CloseHandle(child.hThread);
  EXPECT_EQ(0u, exit_code) << "2: no library; 3: the dialog was not left open; 4: no log";
  const std::vector<unsigned char> log = read_whole_file(log_path);
  DeleteFileA(log_path);
  std::string messages;
  for (size_t at = 0; at + sizeof(UINT) <= log.size(); at += sizeof(UINT))
    messages += " " + std::to_string(*reinterpret_cast<const UINT*>(&log[at]));
  EXPECT_EQ("", messages) << "messages the host's window received after its last code";
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
  if (argc == 3 && std::string(argv[1]) == "--end-after-a-host-exception") return end_after_a_host_exception(argv[2]);
  testing::InitGoogleTest(&argc, argv);
  veteran_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  veteran_thread = CreateThread(nullptr, 0, veteran_main, nullptr, 0, nullptr);
  if (!load_library(&lib)) {
    std::fprintf(stderr, "cannot load %s\n", library_path().c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
