// Nothing leaks, and threads: the probe DLL (the shipped code plus
// counters) loaded as a host loads it, so thread attach and detach are real.
//
// What is counted, since Wine's GetGuiResources always says 0: the layer's
// window records and open_dialog_count (the probe's views), the per-thread
// font records, every window of a finished screen found by enumeration
// (IsWindow must be false afterwards), every font read back from those
// windows with WM_GETFONT (GetObjectType must be 0 afterwards), and the
// bytes in use on the process heaps (HeapWalk).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "answerer.h"
#include "host.h"
#include "host_faults.h"

namespace {

loaded_library probe;

// A thread of the host that was running before the DLL was loaded: it gets
// no thread-attach notice.
HANDLE veteran_thread, veteran_go;
struct veteran_results {
  int32_t results[8] = {};
  int32_t font_records_before_first_call = -1, font_records_after_first_call = -1;
  std::string fault;
} veteran;

// What a finished screen left to check.
struct traces {
  std::vector<HWND> windows;
  std::vector<HFONT> fonts;
  void take(const call_report& r) {
    windows.insert(windows.end(), r.dialog_windows.begin(), r.dialog_windows.end());
    fonts.insert(fonts.end(), r.dialog_fonts.begin(), r.dialog_fonts.end());
  }
  // The status windows open now: the calling thread owns them, so it can
  // read their fonts directly.
  void take_status_windows() {
    for (HWND w : dialogs_of_process()) {
      std::vector<HWND> parts = children_of(w);
      parts.push_back(w);
      for (HWND p : parts) {
        windows.push_back(p);
        if (HFONT f = reinterpret_cast<HFONT>(SendMessageA(p, WM_GETFONT, 0, 0))) fonts.push_back(f);
      }
    }
  }
  std::string survivors() const {
    std::string s;
    for (HWND w : windows)
      if (IsWindow(w)) s += " window " + stored_text(w);
    for (HFONT f : fonts)
      if (GetObjectType(f) != 0) s += " font";
    return s;
  }
};

// One run of the screens from the first scanning window to the report, the
// way the sample run goes; the robot picks options and answers OK.
std::string full_run(answerer& robot, traces& t, int32_t* results) {
  post_pass_markers(100);
  results[0] = probe.first_window();
  drop_markers();
  t.take_status_windows();
  post_pass_markers(100);
  results[1] = probe.display_num_cards(2);
  drop_markers();
  t.take_status_windows();
  robot.begin_call(2);
  results[2] = probe.ask_which_card(2);
  t.take(robot.end_call());
  robot.begin_call(-1);
  results[3] = probe.Main_Menu(1009, results[2] - 1022, 2);
  t.take(robot.end_call());
  robot.begin_call(-1);
  results[4] = probe.ok_to_save(1009, results[3], static_cast<int32_t>(results[2] - 1022), 2);
  robot.end_call();
  post_pass_markers(99);
  results[5] = probe.display_saving(results[3]);
  drop_markers();
  t.take_status_windows();
  robot.begin_call(-1);
  results[6] = probe.display_donesaving(results[3]);
  robot.end_call();
  dispatch_waiting();
  if (results[0] || results[1] || results[5] || results[6]) return "a status screen or the report returned non-zero";
  if (results[2] != 1022 && results[2] != 1023) return "card " + std::to_string(results[2]) + " of 2";
  if (results[3] < 1006 || results[3] > 1009) return "clock " + std::to_string(results[3]);
  if (results[4] != 1) return "OK gave " + std::to_string(results[4]);
  return std::string();
}

// Bytes in use on every heap of the process.
size_t heap_bytes_in_use() {
  HANDLE heaps[64];
  const DWORD n = GetProcessHeaps(64, heaps);
  size_t bytes = 0;
  for (DWORD i = 0; i < n && i < 64; ++i) {
    if (!HeapLock(heaps[i])) continue;
    PROCESS_HEAP_ENTRY e = {};
    while (HeapWalk(heaps[i], &e))
      if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += e.cbData;
    HeapUnlock(heaps[i]);
  }
  return bytes;
}

TEST(Leaks, ThousandFullRunsLeaveNoRecordWindowFontOrHeapGrowth) {
  answerer robot(11, answer_style::quick);
  dispatch_waiting();
  const int32_t records = probe.window_records(), open = probe.open_dialogs(), fonts = probe.thread_font_records();
  size_t heap_after_warm_up = 0;
  int32_t results[8];
  const DWORD start = GetTickCount();
  // ZP_LEAK_RUNS=N for a longer (or, while working on it, shorter) run.
  const char* asked = std::getenv("ZP_LEAK_RUNS");
  const int runs = asked ? std::atoi(asked) : 1000;
  constexpr int warm_up = 20;
  for (int i = 0; i < runs; ++i) {
    traces t;
    const std::string fault = full_run(robot, t, results);
    ASSERT_EQ("", fault) << "run " << i;
    ASSERT_FALSE(robot.hung()) << "run " << i;
    ASSERT_EQ(records, probe.window_records()) << "window records after run " << i;
    ASSERT_EQ(open, probe.open_dialogs()) << "open_dialog_count after run " << i;
    ASSERT_TRUE(dialogs_of_process().empty()) << "a window of run " << i << " stayed";
    ASSERT_GE(t.windows.size(), 3u * 2 + 11 + 12) << "run " << i << ": the windows were not all seen";
    ASSERT_GE(t.fonts.size(), 3u * 2 + 11 + 12) << "run " << i << ": the fonts were not all seen";
    ASSERT_EQ("", t.survivors()) << "left by run " << i;
    if (i == warm_up - 1) heap_after_warm_up = heap_bytes_in_use();
  }
  // Wine starts and ends threads of its own, which come and go with records
  // of their own: allow a couple, where a leak per run would be a thousand.
  EXPECT_LE(probe.thread_font_records(), fonts + 2) << "thread font records";
  const size_t heap_at_end = heap_bytes_in_use();
  const long long growth = static_cast<long long>(heap_at_end) - static_cast<long long>(heap_after_warm_up);
  std::printf("%d full runs in %.1f s; heap in use after %d runs %zu bytes, after %d runs %zu (%+lld)\n", runs,
              (GetTickCount() - start) / 1000.0, warm_up, heap_after_warm_up, runs, heap_at_end, growth);
  // A record per run would be 1000 x 100 bytes; the platform's own caches
  // may move by a little.
  EXPECT_LT(growth, 16 * 1024) << "heap grew over " << runs - warm_up << " runs";
}

// No destructor runs in a frame that an exception unwinds: what such a
// call had (texts, dialog, fonts) must still go, by the next call at the
// latest. Each run, in turn: a card count window that a host's exception
// ends, or a card dialog that a refused allocation ends; then a normal call.
TEST(Leaks, ThousandUnwoundCallsLeaveNoHeapGrowth) {
  HWND host = failing_host_window();
  host_throws_cpp = false;
  const char* asked = std::getenv("ZP_LEAK_RUNS");
  const int runs = asked ? std::atoi(asked) : 1000;
  constexpr int warm_up = 20;
  size_t heap_after_warm_up = 0;
  const DWORD start = GetTickCount();
  for (int i = 0; i < runs; ++i) {
    const bool refused = i % 2;
    host_handler_caught = false;
    caught_exception_code = refused ? STATUS_NO_MEMORY : host_exception_code;
    // The host's exception comes while the count window's label text is alive.
    if (refused) ASSERT_TRUE(refuse_allocations_in_the_card_dialog(probe.module, true));
    else PostMessageA(host, host_fault_message, 0, 0);
    guarded_call(refused ? probe.ask_which_card : probe.display_num_cards, 2);
    if (refused) refuse_allocations_in_the_card_dialog(probe.module, false);
    ASSERT_TRUE(host_handler_caught) << "run " << i;
    if (refused) ASSERT_TRUE(IsWindow(card_dialog_at_fault)) << "run " << i << ": the unwound call's dialog";
    post_pass_markers(100);
    probe.display_num_cards(2);
    drop_markers();
    if (refused) ASSERT_FALSE(IsWindow(card_dialog_at_fault)) << "run " << i << ": the next call left the dialog";
    if (refused)
      for (HFONT font : fonts_at_fault) ASSERT_EQ(0u, GetObjectType(font)) << "run " << i << ": a font";
    for (HWND w : dialogs_of_process()) DestroyWindow(w);
    if (i == warm_up - 1) heap_after_warm_up = heap_bytes_in_use();
  }
  caught_exception_code = host_exception_code;
  DestroyWindow(host);
  const long long growth = static_cast<long long>(heap_bytes_in_use()) - static_cast<long long>(heap_after_warm_up);
  std::printf("%d unwound calls, each followed by a normal call, in %.1f s; heap in use %+lld bytes after the first %d\n",
              runs, (GetTickCount() - start) / 1000.0, growth, warm_up);
  EXPECT_LT(growth, 4 * 1024) << "heap grew over " << runs - warm_up << " unwound calls";
}

TEST(Leaks, FactoryResetWindowIsTheOneLeftOpenOnPurpose) {
  answerer robot(12, answer_style::quick);
  const int32_t records = probe.window_records(), open = probe.open_dialogs();
  post_pass_markers(49);
  EXPECT_EQ(0, probe.display_reset_eeprom());
  drop_markers();
  EXPECT_EQ(records + 2, probe.window_records()) << "the window and its label";
  EXPECT_EQ(open + 1, probe.open_dialogs());
  // The host takes it down itself: nothing else would.
  for (HWND w : dialogs_of_process()) DestroyWindow(w);
  EXPECT_EQ(records, probe.window_records());
  EXPECT_EQ(open, probe.open_dialogs());
}

DWORD WINAPI veteran_main(void*) {
  WaitForSingleObject(veteran_go, INFINITE);
  veteran.font_records_before_first_call = probe.thread_font_records();
  post_pass_markers(100);
  probe.first_window();
  drop_markers();
  veteran.font_records_after_first_call = probe.thread_font_records();
  for (HWND w : dialogs_of_process()) DestroyWindow(w);
  answerer robot(13, answer_style::quick);
  traces t;
  veteran.fault = full_run(robot, t, veteran.results);
  if (veteran.fault.empty() && !t.survivors().empty()) veteran.fault = "left behind:" + t.survivors();
  return 0;
}

TEST(Threads, ThreadFromBeforeTheLoadRunsEveryScreenAndItsRecordGoesWithIt) {
  const int32_t before = probe.thread_font_records();
  SetEvent(veteran_go);
  // The veteran owns every window; this thread only waits.
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(veteran_thread, 60000));
  EXPECT_EQ("", veteran.fault);
  // The record made on the first call goes at the veteran's end. (Wine's
  // own threads come and go with records too, so the counts are not exact.)
  EXPECT_LE(veteran.font_records_before_first_call, veteran.font_records_after_first_call);
  EXPECT_LE(probe.thread_font_records(), before) << "the veteran's record outlived it";
}

DWORD WINAPI short_lived(void* show_window) {
  if (show_window) {
    post_pass_markers(100);
    probe.first_window();
  }
  return 0;  // its windows go with it
}

TEST(Threads, ThousandHostThreadsLeaveNoPerThreadRecordBehind) {
  const int32_t fonts = probe.thread_font_records();
  constexpr int threads = 1000, at_once = 25;
  for (int i = 0; i < threads; i += at_once) {
    HANDLE batch[at_once];
    for (int j = 0; j < at_once; ++j) batch[j] = CreateThread(nullptr, 0, short_lived, nullptr, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(at_once, batch, TRUE, 30000)) << "batch " << i / at_once;
    for (HANDLE h : batch) CloseHandle(h);
    // A leak would be one per thread; Wine's own threads may hold a couple.
    ASSERT_LE(probe.thread_font_records(), fonts + 2) << "after " << i + at_once << " threads";
  }
}

TEST(Threads, ThreadThatEndsWithItsStatusWindowOpenLeavesNoRecord) {
  const int32_t fonts = probe.thread_font_records(), records = probe.window_records(), open = probe.open_dialogs();
  for (int i = 0; i < 20; ++i) {
    HANDLE h = CreateThread(nullptr, 0, short_lived, reinterpret_cast<void*>(1), 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 30000));
    CloseHandle(h);
  }
  EXPECT_EQ(fonts, probe.thread_font_records());
  EXPECT_EQ(records, probe.window_records()) << "records of windows that went with their thread";
  EXPECT_EQ(open, probe.open_dialogs()) << "dialogs that went with their thread still counted as open";
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  veteran_go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  veteran_thread = CreateThread(nullptr, 0, veteran_main, nullptr, 0, nullptr);
  std::string why;
  if (!load_from(beside_program("zp_probe.dll"), &probe, &why) || !probe.window_records) {
    std::fprintf(stderr, "%s\n", why.empty() ? "zp_probe.dll has no counters" : why.c_str());
    return 2;
  }
  return RUN_ALL_TESTS();
}
