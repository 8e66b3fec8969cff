// The dialog layer, linked in directly: what its callbacks see, the windows
// it makes, and what it does with handles that are 0, stale or not its own.
#include <gtest/gtest.h>

#include <cstring>

#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "dialog/portable/styles.h"
#include "message_log.h"
#include "robot.h"
#include "screen_checks.h"

namespace {

LONG CALLBACK recording_callback(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  log_message(window, message, wparam, lparam);
  return 0;
}

bool visible_at_init = true;
LONG CALLBACK visibility_callback(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) visible_at_init = IsWindowVisible(window) != FALSE;
  return recording_callback(window, message, wparam, lparam);
}

// Ends its dialog with result 7 when button 100 is pressed.
LONG CALLBACK ending_callback(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  log_message(window, message, wparam, lparam);
  if (message == WM_COMMAND && LOWORD(wparam) == 100) {
    end_dialog(window, 7);
    return 1;
  }
  return 0;
}

LONG CALLBACK end_at_init_callback(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  log_message(window, message, wparam, lparam);
  if (message == WM_INITDIALOG) end_dialog(window, 3);
  return 0;
}

HWND plain_dialog(int x = -1, int y = -1, DWORD style = 0) {
  return create_dialog(nullptr, "layer test", x, y, 200, 100, style, 0);
}

class DialogLayer : public testing::Test {
 protected:
  void SetUp() override {
    message_log.clear();
    start_open_ = open_dialog_count;
    start_records_ = window_record_count();
  }
  void TearDown() override {
    destroy_library_windows();
    EXPECT_EQ(start_open_, open_dialog_count) << "every dialog counted out again";
    EXPECT_EQ(start_records_, window_record_count()) << "every record freed";
  }
  int32_t start_open_ = 0, start_records_ = 0;
};

// ---- create_dialog: the description and the window made from it ----------

// The same dialog, built here from a hand-written template with the style
// the layer documents; both must come out of the platform alike.
INT_PTR CALLBACK reference_dialog_proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

HWND reference_dialog(DWORD style, const wchar_t* caption) {
  alignas(4) WORD t[256] = {};
  size_t i = 0;
  t[i++] = LOWORD(style), t[i++] = HIWORD(style);
  t[i++] = 0, t[i++] = 0;  // extended style
  t[i++] = 0;              // items
  t[i++] = static_cast<WORD>(-1), t[i++] = static_cast<WORD>(-1), t[i++] = 200, t[i++] = 100;
  t[i++] = 0, t[i++] = 0;  // menu, class
  for (const wchar_t* c = caption; *c; ++c) t[i++] = *c;
  t[i++] = 0;
  t[i++] = 8;
  for (const wchar_t* c = L"MS Sans Serif"; *c; ++c) t[i++] = *c;
  t[i++] = 0;
  return CreateDialogIndirectParamW(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t), nullptr,
                                    reference_dialog_proc, 0);
}

TEST_F(DialogLayer, DefaultStyleMakesAHiddenCentredCaptionedDialogLikeItsDocumentedTemplate) {
  start_recording_creation_styles();
  HWND ours = plain_dialog();
  HWND reference = reference_dialog(0x80C008D4, L"layer test");
  stop_recording_creation_styles();
  ASSERT_NE(nullptr, ours);
  ASSERT_NE(nullptr, reference);
  EXPECT_FALSE(IsWindowVisible(ours));
  EXPECT_EQ(creation_style(reference), creation_style(ours)) << std::hex << creation_style(ours);
  EXPECT_EQ(robot::style_of(reference), robot::style_of(ours));
  EXPECT_EQ(0u, robot::style_of(ours) & WS_SYSMENU) << "no close box";
  RECT a, b;
  GetWindowRect(ours, &a);
  GetWindowRect(reference, &b);
  EXPECT_TRUE(EqualRect(&a, &b)) << "centred like the DS_CENTER reference";
  DestroyWindow(reference);
}

TEST_F(DialogLayer, VisibleAndSystemModalStylesAreTakenAwayAndMaximizeSetsTheShowCommand) {
  start_recording_creation_styles();
  HWND dialog = plain_dialog(10, 10, WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SYSMODAL | WS_MAXIMIZE);
  stop_recording_creation_styles();
  ASSERT_NE(nullptr, dialog);
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_EQ(0u, creation_style(dialog) & (WS_VISIBLE | DS_SYSMODAL));
  EXPECT_EQ(static_cast<DWORD>(DS_SETFONT), creation_style(dialog) & DS_SETFONT);
  EXPECT_EQ(dialog_styles::sw_maximize, find_window_record(dialog).show_command);
}

TEST_F(DialogLayer, CaptionsAreCutAtTwoHundredFiftySixBytesWidenedByteForByteAndNeverEmpty) {
  const struct {
    const char* purpose;
    std::string caption;
    std::wstring shown;
  } rows[] = {
      {"empty caption shows one space", "", L" "},
      // The description holds U+0080 for 0x80 as well (checked natively), but
      // an ANSI dialog's title goes through the code page, which has no
      // character for U+0080: only bytes that map to themselves are compared.
      {"bytes above 0x7F keep their value, no code page", "\xE9\xC4\xFF", std::wstring(L"\x00E9\x00C4\x00FF")},
      {"cut to 256", std::string(300, 'c'), std::wstring(256, L'c')},
      {"exactly 256 kept", std::string(256, 'd'), std::wstring(256, L'd')},
  };
  for (const auto& row : rows) {
    HWND dialog = create_dialog(nullptr, row.caption, 0, 0, 50, 20, 0, 0);
    ASSERT_NE(nullptr, dialog) << row.purpose;
    wchar_t shown[400] = {};
    GetWindowTextW(dialog, shown, 400);
    EXPECT_EQ(row.shown, std::wstring(shown)) << row.purpose;
    DestroyWindow(dialog);
  }
}

TEST_F(DialogLayer, UncentredDialogsSitAtTheirDialogUnitsFromTheScreenCorner) {
  HWND dialog = plain_dialog(134, 65);
  ASSERT_NE(nullptr, dialog);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  RECT units = {134, 65, 0, 0};
  MapDialogRect(dialog, &units);
  EXPECT_EQ(units.left, origin.x);
  EXPECT_EQ(units.top, origin.y);
}

TEST_F(DialogLayer, DialogRecordKeepsTheTemplateFontAndCountsAsOpen) {
  const int32_t before = open_dialog_count;
  HWND dialog = plain_dialog();
  EXPECT_EQ(before + 1, open_dialog_count) << "WM_INITDIALOG came during creation";
  const window_record_view record = find_window_record(dialog);
  ASSERT_TRUE(record.found);
  EXPECT_EQ(record_kind_dialog, record.kind);
  EXPECT_EQ(dialog_styles::sw_show, record.show_command);
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(dialog, WM_GETFONT, 0, 0)), record.font);
  LOGFONTA font = {};
  GetObjectA(record.font, sizeof font, &font);
  EXPECT_STREQ("MS Sans Serif", font.lfFaceName);
}

// ---- add_control -----------------------------------------------------------

TEST_F(DialogLayer, ControlsGetTheirClassStyleRulesRectangleAndTheDialogFont) {
  const struct {
    const char* purpose;
    int index;
    DWORD style;
    const char* platform_class;
    DWORD created;
  } rows[] = {
      {"push button, default style", 1, 0, "Button", 0x50010000},
      {"group box, default style", 4, 0, "Button", 0x50000007},
      {"group box loses tab stop and group", 4, WS_TABSTOP | WS_GROUP, "Button", 0x50000007},
      {"label, centred", 5, 0x50000001, "Static", 0x50000001},
      {"label, default left", 5, 0, "Static", 0x50000000},
      {"option button, default style", 7, 0, "Button", 0x50010009},
      {"option button, right text", 7, 0x200, "Button", 0x50000209},
      {"option button, disabled", 7, 0x08000200, "Button", 0x58000209},
      {"option button loses popup, border and push-like", 7, WS_POPUP | WS_BORDER | BS_PUSHLIKE, "Button", 0x50000009},
      {"check box", 3, 0, "Button", 0x50010003},
      {"by name", 0, WS_CHILD | WS_VISIBLE | BS_CHECKBOX, "Button", WS_CHILD | WS_VISIBLE | BS_CHECKBOX},
  };
  HWND dialog = plain_dialog();
  ASSERT_NE(nullptr, dialog);
  HFONT dialog_font = find_window_record(dialog).font;
  int id = 200;
  for (const auto& row : rows) {
    start_recording_creation_styles();
    HWND control = add_control(dialog, row.index, ++id, "text", 12, 14, 60, 16, row.style, 0, nullptr, "BUTTON");
    stop_recording_creation_styles();
    ASSERT_NE(nullptr, control) << row.purpose;
    EXPECT_EQ(row.platform_class, robot::class_of(control)) << row.purpose;
    EXPECT_EQ(row.created, creation_style(control)) << row.purpose << std::hex << " got " << creation_style(control);
    EXPECT_EQ(id, GetDlgCtrlID(control)) << row.purpose;
    const robot::dialog_rect r = robot::rect_in_dialog_units(dialog, control);
    EXPECT_EQ(12, r.x) << row.purpose;
    EXPECT_EQ(14, r.y) << row.purpose;
    EXPECT_EQ(60, r.width) << row.purpose;
    EXPECT_EQ(16, r.height) << row.purpose;
    EXPECT_EQ(dialog_font, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0))) << row.purpose;
    const window_record_view record = find_window_record(control);
    EXPECT_TRUE(record.found) << row.purpose;
    EXPECT_EQ(record_kind_control, record.kind) << row.purpose;
    EXPECT_EQ(dialog, record.parent) << row.purpose;
  }
}

TEST_F(DialogLayer, DefaultPushButtonBecomesTheDialogsDefaultButton) {
  HWND dialog = plain_dialog();
  add_control(dialog, 1, 300, "plain", 0, 0, 40, 14, 0, 0, nullptr);
  const LRESULT none = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  EXPECT_FALSE(HIWORD(none) == DC_HASDEFID && LOWORD(none) == 300) << "a plain push button is not the default";
  add_control(dialog, 1, 301, "default", 0, 20, 40, 14, BS_DEFPUSHBUTTON, 0, nullptr);
  const LRESULT def = SendMessageA(dialog, DM_GETDEFID, 0, 0);
  EXPECT_EQ(DC_HASDEFID, HIWORD(def));
  EXPECT_EQ(301, LOWORD(def));
}

TEST_F(DialogLayer, ControlsAreRefusedForUnknownClassesAndForeignOrMissingDialogs) {
  HWND dialog = plain_dialog();
  EXPECT_EQ(nullptr, add_control(dialog, 16, 1, "x", 0, 0, 10, 10, 0, 0, nullptr)) << "index past the table";
  EXPECT_EQ(nullptr, add_control(dialog, -1, 1, "x", 0, 0, 10, 10, 0, 0, nullptr)) << "negative index";
  EXPECT_EQ(nullptr, add_control(nullptr, 5, 1, "x", 0, 0, 10, 10, 0, 0, nullptr)) << "handle 0";
  HWND foreign = CreateWindowExA(0, "STATIC", "not ours", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(nullptr, add_control(foreign, 5, 1, "x", 0, 0, 10, 10, 0, 0, nullptr)) << "a window the layer did not make";
  DestroyWindow(foreign);
}

// ---- showing, ending and the messages a callback sees ---------------------

const std::vector<expected_message> modeless_show_then_end = {
    {WM_INITDIALOG, any_params, 0},  // from show_modeless, before the window is visible
    {WM_CLOSE, any_params, 0},       // end_dialog, step 1
    {WM_DESTROY, any_params, 0},     // DestroyWindow
    {WM_NCDESTROY, any_params, 0},
};

TEST_F(DialogLayer, ModelessDialogSeesItsInitBeforeShowingAndCloseDestroyNcdestroyInOneEnd) {
  HWND dialog = plain_dialog();
  HWND label = add_control(dialog, 5, 1004, "label", 10, 10, 50, 10, 0, 0, nullptr);
  visible_at_init = true;
  show_modeless(dialog, visibility_callback);
  EXPECT_FALSE(visible_at_init);
  ASSERT_EQ(1u, message_log.size());
  EXPECT_EQ(reinterpret_cast<WPARAM>(dialog), message_log[0].wparam) << "wParam names the dialog";
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(record_kind_dialog | record_kind_shown, find_window_record(dialog).kind);
  EXPECT_EQ(dialog, active_dialog);

  const int32_t open = open_dialog_count;
  end_dialog(dialog, 5);
  EXPECT_SEQUENCE(modeless_show_then_end, "show_modeless, then end_dialog");
  EXPECT_EQ(open - 1, open_dialog_count);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(nullptr, active_dialog);
  EXPECT_FALSE(find_window_record(dialog).found);
  EXPECT_FALSE(find_window_record(label).found) << "the control's record goes with its dialog";

  message_log.clear();
  end_dialog(dialog, 0);
  end_dialog(nullptr, 0);
  EXPECT_TRUE(message_log.empty()) << "ending a gone dialog or 0 does nothing";
}

TEST_F(DialogLayer, ShowingTheHandleZeroCallsTheCallbackOnceAndShowsNothing) {
  show_modeless(nullptr, recording_callback);
  int32_t result = 11;
  show_modal(nullptr, recording_callback, &result);
  ASSERT_EQ(2u, message_log.size());
  for (const logged_message& m : message_log) {
    EXPECT_EQ(nullptr, m.window);
    EXPECT_EQ(static_cast<UINT>(WM_INITDIALOG), m.message);
    EXPECT_EQ(0u, m.wparam);
  }
  EXPECT_EQ(11, result);
}

TEST_F(DialogLayer, ModalDialogEndedByItsCallbackDuringInitReturnsAtOnceUnshown) {
  HWND dialog = plain_dialog();
  int32_t result = 0;
  show_modal(dialog, end_at_init_callback, &result);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_EQ(0, result) << "no destination was recorded yet when it ended";
}

const std::vector<expected_message> modal_escape_then_close = {
    {WM_INITDIALOG, any_params, 0},
    {WM_COMMAND, with_wparam, IDCANCEL},  // Escape, through IsDialogMessage
    {WM_SYSCOMMAND, with_wparam, SC_CLOSE},
    {WM_CLOSE, any_params, 0},  // the layer's default handling of SC_CLOSE ends it
    {WM_DESTROY, any_params, 0},
    {WM_NCDESTROY, any_params, 0},
};

TEST_F(DialogLayer, EscapeReachesTheCallbackAsCancelWithoutEndingTheDialogAndCloseEndsIt) {
  HWND dialog = plain_dialog();
  add_control(dialog, 1, 100, "button", 10, 10, 50, 14, 0, 0, nullptr);
  bool open_after_escape = false;
  robot::session user([&] {
    HWND shown = robot::wait_for_dialog("layer test");
    if (!shown) return robot::close_everything();
    robot::key_press(shown, VK_ESCAPE);
    // Escape must change nothing: wait for it to arrive, then look.
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000 && message_log.size() < 2) Sleep(5);
    Sleep(100);
    open_after_escape = IsWindow(shown) != FALSE;
    robot::close_command(shown);
  });
  int32_t result = 9;
  show_modal(dialog, recording_callback, &result);
  user.join();
  EXPECT_TRUE(open_after_escape);
  EXPECT_SEQUENCE(modal_escape_then_close, "Escape, then the close command");
  EXPECT_EQ(0, result) << "SC_CLOSE ends with result 0";
}

TEST_F(DialogLayer, ModalResultIsWhatTheCallbacksEndStored) {
  HWND dialog = plain_dialog();
  HWND button = add_control(dialog, 1, 100, "end", 10, 10, 50, 14, 0, 0, nullptr);
  robot::session user([&] {
    if (!robot::wait_for_dialog("layer test")) return robot::close_everything();
    robot::click(button);
  });
  int32_t result = 0;
  show_modal(dialog, ending_callback, &result);
  user.join();
  EXPECT_EQ(7, result);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogLayer, ModalLoopReturnsWhenASentMessageEndsTheDialogWhileItIdles) {
  HWND dialog = plain_dialog();
  const DWORD loop_thread = GetCurrentThreadId();
  volatile LONG returned = 0;
  bool loop_had_to_be_woken = false;
  robot::session user([&] {
    if (!robot::wait_for_dialog("layer test")) return robot::close_everything();
    Sleep(50);  // the loop is idle: nothing is posted to it
    // Sent, not posted: the dialog goes inside the loop's PeekMessage, which
    // then finds nothing and leaves no message behind.
    SendMessageA(dialog, WM_COMMAND, 100, 0);
    const DWORD start = GetTickCount();
    while (!returned && GetTickCount() - start < 3000) Sleep(5);
    if (!returned) {  // a loop polling for ever: wake it so the test ends
      loop_had_to_be_woken = true;
      PostThreadMessageA(loop_thread, WM_NULL, 0, 0);
    }
  });
  int32_t result = 0;
  show_modal(dialog, ending_callback, &result);
  InterlockedExchange(&returned, 1);
  user.join();
  EXPECT_FALSE(loop_had_to_be_woken) << "show_modal went on polling for a dialog that was gone";
  EXPECT_EQ(7, result);
  EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(DialogLayer, ModalLoopServesOtherDialogsOfTheThread) {
  HWND status = plain_dialog();
  show_modeless(status, recording_callback);
  HWND dialog = create_dialog(nullptr, "modal one", 0, 0, 100, 50, 0, 0);
  robot::session user([&] {
    if (!robot::wait_for_dialog("modal one")) return robot::close_everything();
    robot::press(status, 4242);  // handled by the modal loop's dispatch
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000 && message_log.size() < 3) Sleep(5);
    robot::close_command(robot::wait_for_dialog("modal one"));
  });
  int32_t result = 0;
  show_modal(dialog, recording_callback, &result);
  user.join();
  bool status_saw_command = false;
  for (const logged_message& m : message_log)
    if (m.window == status && m.message == WM_COMMAND && LOWORD(m.wparam) == 4242) status_saw_command = true;
  EXPECT_TRUE(status_saw_command);
}

TEST_F(DialogLayer, EndingAWindowTheLayerDidNotMakeLeavesItAlone) {
  HWND foreign = CreateWindowExA(0, "STATIC", "not ours", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  end_dialog(foreign, 0);
  EXPECT_TRUE(IsWindow(foreign));
  DestroyWindow(foreign);
}

// ---- the platform-call gate -------------------------------------------------

TEST(PlatformGate, PutsTheControlWordBackAndLeavesTheHostsStatusFlags) {
  unsigned short host_word = 0x027F, control = 0, status = 0;
  __asm__ __volatile__("fldcw %0" : : "m"(host_word));
  // A masked division by zero leaves the sticky zero-divide flag (bit 2 of
  // the status word) for the host to read later. (Under Wine, a call that
  // makes a window may clear it; a call that does not, like this one, must
  // leave it.)
  volatile long double zero = 0;
  volatile long double quotient = 1 / zero;
  (void)quotient;
  platform(GetTickCount);
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  EXPECT_EQ(0x133F, control & ~0x40) << "bit 6 is reserved and reads as 1";
  EXPECT_TRUE(status & 0x4) << "the host's zero-divide flag was cleared";
}

// A platform call that leaves the FPU as a careless driver might: the
// precision exception unmasked and raised by a rounding store (which pops,
// so the register stack is left empty as the calling convention wants),
// with nothing after it that waits. The exception is pending: the next
// waiting x87 instruction raises it.
int32_t WINAPI leave_unmasked_exception_pending() {
  const unsigned short precision_unmasked = 0x133F & ~0x20;
  float rounded_pi;
  __asm__ __volatile__("fnclex\n\tfldcw %1\n\tfldpi\n\tfstps %0" : "=m"(rounded_pi) : "m"(precision_unmasked));
  return 7;
}

TEST(PlatformGate, ClearsAnUnmaskedExceptionLeftPendingInsteadOfRaisingIt) {
  unsigned short control = 0, status = 0;
  EXPECT_EQ(7, platform(leave_unmasked_exception_pending));
  __asm__ __volatile__("fnstcw %0" : "=m"(control));
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  EXPECT_EQ(0x133F, control & ~0x40) << "bit 6 is reserved and reads as 1";
  EXPECT_EQ(0, status & 0x80) << "an unmasked exception is still pending";
  // The x87 works on: the next screen computes its values on it.
  volatile long double one = 1;
  volatile long double third = one / 3;
  EXPECT_GT(third, 0.333L);
}

// ---- pump_events ------------------------------------------------------------

TEST_F(DialogLayer, PumpPassOnAnEmptyQueueWaitsAboutAMillisecondAndCountsOpenDialogs) {
  robot::drain_messages();
  const int32_t before = open_dialog_count;
  HWND a = plain_dialog(), b = plain_dialog();
  show_modeless(a, nullptr);
  show_modeless(b, nullptr);
  robot::drain_messages();
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  const int32_t open = pump_events();
  QueryPerformanceCounter(&end);
  EXPECT_EQ(before + 2, open);
  const double ms = 1000.0 * (end.QuadPart - start.QuadPart) / frequency.QuadPart;
  EXPECT_GE(ms, 0.9) << "slept when idle";
  EXPECT_LT(ms, 50.0);
}

TEST_F(DialogLayer, PumpPassHandlesOneMessageAtMostAndNeverSleepsThen) {
  robot::drain_messages();
  robot::post_markers(3);
  pump_events();
  EXPECT_EQ(2, robot::remaining_markers());
}

// ---- message boxes, options, fonts ------------------------------------------

TEST_F(DialogLayer, MessageBoxWithoutATitleShowsTheDefaultTitleAndItsResult) {
  std::string title, text, buttons;
  robot::session user([&] {
    HWND box = robot::wait_for_message_box();
    if (!box) return robot::close_everything();
    title = robot::text_of(box);
    text = robot::message_box_text(box);
    buttons = message_box_buttons(box);
    robot::press(box, IDOK);
  });
  EXPECT_EQ(IDOK, message_box("plain notice", std::string(), 0));
  user.join();
  EXPECT_EQ("Sorvenna", title);
  EXPECT_EQ("plain notice", text);
  EXPECT_EQ("OK", buttons);
}

TEST_F(DialogLayer, MessageBoxReturnsTheButtonThatClosedIt) {
  robot::session user([&] {
    HWND box = robot::wait_for_message_box("asking");
    if (!box) return robot::close_everything();
    robot::press(box, IDNO);
  });
  EXPECT_EQ(IDNO, message_box("Yes or no?", "asking", MB_YESNO));
  user.join();
}

TEST_F(DialogLayer, CheckOptionMarksOneButtonOfTheRangeAndClearsTheRest) {
  HWND dialog = plain_dialog();
  for (int id = 1006; id <= 1009; ++id) add_control(dialog, 7, id, "option", 10, 10 + 12 * (id - 1006), 80, 10, 0, 0, nullptr);
  const struct {
    const char* purpose;
    int checked;
    int expected[4];
  } rows[] = {
      {"first of the range", 1006, {1, 0, 0, 0}},
      {"last of the range", 1009, {0, 0, 0, 1}},
      {"outside the range clears every one", 0, {0, 0, 0, 0}},
      {"1010 is outside too", 1010, {0, 0, 0, 0}},
  };
  for (const auto& row : rows) {
    check_option(dialog, 1006, 1009, 1008);  // some other state first
    check_option(dialog, 1006, 1009, row.checked);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(row.expected[i], get_check(dialog, 1006 + i)) << row.purpose << ", " << 1006 + i;
  }
  EXPECT_EQ(0, get_check(dialog, 4711)) << "no such control";
}

TEST_F(DialogLayer, FontsGetTheirHeightFromTheScreenResolutionAndAShortFaceName) {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const struct {
    const char* purpose;
    std::string face;
    int points, weight;
    const char* stored_face;
  } rows[] = {
      {"large font", "MS Sans Serif", 24, 400, "MS Sans Serif"},
      {"heading font", "MS Sans Serif", 10, 700, "MS Sans Serif"},
      {"face cut to 31 bytes", std::string(40, 'F'), 9, 400, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF"},
  };
  for (const auto& row : rows) {
    HFONT font = make_font(row.face, row.points, row.weight);
    ASSERT_NE(nullptr, font) << row.purpose;
    LOGFONTA f = {};
    ASSERT_EQ(static_cast<int>(sizeof f), GetObjectA(font, sizeof f, &f)) << row.purpose;
    EXPECT_EQ(-(dpi * row.points) / 72, f.lfHeight) << row.purpose;
    EXPECT_EQ(row.weight, f.lfWeight) << row.purpose;
    EXPECT_STREQ(row.stored_face, f.lfFaceName) << row.purpose;
    EXPECT_EQ(0, f.lfWidth + f.lfEscapement + f.lfOrientation + f.lfItalic + f.lfUnderline + f.lfStrikeOut +
                     f.lfCharSet + f.lfOutPrecision + f.lfClipPrecision + f.lfQuality + f.lfPitchAndFamily)
        << row.purpose;
    DeleteObject(font);
  }
}

// ---- per-thread default dialog font -------------------------------------------

DWORD WINAPI font_user(void* out) {
  const default_dialog_font* font = thread_dialog_font();
  std::memcpy(out, font, sizeof *font);
  dialog_layer_thread_end();
  return 0;
}

TEST_F(DialogLayer, ThreadsNeverAnnouncedGetTheirFontRecordOnFirstUseAndLoseItAtTheirEnd) {
  const int32_t before = thread_font_record_count();
  default_dialog_font seen = {};
  HANDLE thread = CreateThread(nullptr, 0, font_user, &seen, 0, nullptr);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 5000));
  CloseHandle(thread);
  EXPECT_STREQ("MS Sans Serif", seen.face);
  EXPECT_EQ(8, seen.points);
  EXPECT_EQ(before, thread_font_record_count());
}

}  // namespace
