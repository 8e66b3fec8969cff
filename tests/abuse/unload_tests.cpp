// Unloading as a host meets it. Unloading ends no window, so a status
// window still open afterwards must go on living without calling into the
// code that went with the DLL. The risky cases run in a child process (this
// program started again with --child CASE), so that a crash fails one case
// and not the suite.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "host.h"
// After windows.h, which host.h brings.
#include <psapi.h>

namespace {

constexpr DWORD child_bound_ms = 30000;
// Exit codes of a child; a crash gives the platform's exception code.
constexpr int child_ok = 0, child_setup_failed = 10, child_window_gone = 11, child_window_hidden = 12,
              child_still_loaded = 13, child_reload_failed = 14;

const char* const scan_label = "Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait...";

// Pumps and repaints the windows for `ms`, poking them the way a user and
// the platform would: paint, activation, a command, the keyboard.
void serve_and_paint(const std::vector<HWND>& windows, DWORD ms, bool commands = true) {
  const DWORD start = GetTickCount();
  int round = 0;
  while (GetTickCount() - start < ms) {
    for (HWND w : windows) {
      RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
      if (round % 10 == 0) {
        if (commands) PostMessageA(w, WM_COMMAND, MAKEWPARAM(1004, 0), 0);
        PostMessageA(w, WM_KEYDOWN, VK_TAB, 1);
        SendMessageA(w, WM_ACTIVATE, WA_ACTIVE, 0);
        SendMessageA(w, WM_ACTIVATE, WA_INACTIVE, 0);
      }
    }
    dispatch_waiting();
    Sleep(10);
    ++round;
  }
}

// Child: a scanning window and a factory-reset window open, FreeLibrary,
// then a second of pumping and painting; the windows must still be there,
// visible, and the host must not crash. Then the host ends them itself.
int child_unload_with_windows_open() {
  loaded_library lib;
  std::string why;
  if (!load_from(beside_program("zephronpro.dll"), &lib, &why)) return child_setup_failed;
  post_pass_markers(100);
  lib.first_window();
  post_pass_markers(49);
  lib.display_reset_eeprom();
  drop_markers();
  const std::vector<HWND> windows = dialogs_of_process();
  if (windows.size() != 2) return child_setup_failed;
  unload(&lib);
  if (GetModuleHandleA("zephronpro.dll")) return child_still_loaded;
  serve_and_paint(windows, 1000);
  for (HWND w : windows) {
    if (!IsWindow(w)) return child_window_gone;
    if (!IsWindowVisible(w)) return child_window_hidden;
  }
  // The close command and DestroyWindow reach only the platform's handling.
  PostMessageA(windows[0], WM_SYSCOMMAND, SC_CLOSE, 0);
  dispatch_waiting();
  for (HWND w : windows) DestroyWindow(w);
  dispatch_waiting();
  return child_ok;
}

// Child: windows left by one load stay harmless while a new load of the
// library runs its own screens, whose pump passes serve the old windows too.
int child_reload_with_orphans() {
  loaded_library lib;
  std::string why;
  if (!load_from(beside_program("zephronpro.dll"), &lib, &why)) return child_setup_failed;
  post_pass_markers(100);
  lib.first_window();
  drop_markers();
  const std::vector<HWND> orphans = dialogs_of_process();
  unload(&lib);
  if (!load_from(beside_program("zephronpro.dll"), &lib, &why)) return child_reload_failed;
  for (HWND w : orphans) InvalidateRect(w, nullptr, TRUE), PostMessageA(w, WM_COMMAND, 1, 0);
  lib.display_num_cards(2);  // 100 pump passes serve the orphans too
  // No commands while loaded: the count window's notice box would wait for
  // a user this child does not have.
  serve_and_paint(dialogs_of_process(), 300, false);
  for (HWND w : orphans)
    if (!IsWindow(w)) return child_window_gone;
  unload(&lib);
  serve_and_paint(dialogs_of_process(), 300);
  return child_ok;
}

int run_child(const char* which) {
  DWORD code = 0xFFFFFFFF;
  char exe[MAX_PATH];
  GetModuleFileNameA(nullptr, exe, MAX_PATH);
  std::string command = std::string("\"") + exe + "\" --child " + which;
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
  if (WaitForSingleObject(pi.hProcess, child_bound_ms) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 0xDEAD);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

TEST(Unload, OpenStatusWindowsOutliveTheLibraryAndTheHostGoesOnPumpingAndPainting) {
  EXPECT_EQ(child_ok, run_child("unload-with-windows-open"))
      << "10 setup, 11 a window gone, 12 hidden, 13 not unloaded; anything else is a crash";
}

TEST(Unload, WindowsOfAnEarlierLoadStayHarmlessWhileTheLibraryIsLoadedAgain) {
  EXPECT_EQ(child_ok, run_child("reload-with-orphans")) << "10 setup, 11 a window gone, 14 reload; else a crash";
}

// What a load and unload cycle could leave: TLS slots (TlsAlloc hands out
// the lowest free index), kernel handles, heap and private memory, modules.
struct footprint {
  DWORD tls_index;
  DWORD handles;
  SIZE_T private_bytes;
};
footprint measure() {
  footprint f = {};
  f.tls_index = TlsAlloc();
  TlsFree(f.tls_index);
  GetProcessHandleCount(GetCurrentProcess(), &f.handles);
  PROCESS_MEMORY_COUNTERS_EX m = {};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof m);
  f.private_bytes = m.PrivateUsage;
  return f;
}

TEST(Unload, HundredLoadAndUnloadCyclesWithWindowsLeaveNothingBehind) {
  const std::string path = beside_program("zephronpro.dll");
  footprint early = {};
  constexpr int cycles = 100, warm_up = 10;
  for (int i = 0; i < cycles; ++i) {
    loaded_library lib;
    std::string why;
    ASSERT_TRUE(load_from(path, &lib, &why)) << why << " (cycle " << i << ")";
    post_pass_markers(100);
    ASSERT_EQ(0, lib.first_window());
    post_pass_markers(100);
    ASSERT_EQ(0, lib.display_num_cards(1));
    post_pass_markers(49);
    ASSERT_EQ(0, lib.display_reset_eeprom());
    drop_markers();
    const std::vector<HWND> left = dialogs_of_process();
    ASSERT_EQ(2u, left.size()) << "count and reset windows (cycle " << i << ")";
    std::vector<HFONT> fonts;
    for (HWND w : left) fonts.push_back(reinterpret_cast<HFONT>(SendMessageA(w, WM_GETFONT, 0, 0)));
    unload(&lib);
    ASSERT_EQ(nullptr, GetModuleHandleA("zephronpro.dll")) << "cycle " << i;
    // The host takes down what the library left open.
    for (HWND w : left) DestroyWindow(w);
    dispatch_waiting();
    for (HWND w : left) ASSERT_FALSE(IsWindow(w));
    for (HFONT f : fonts) ASSERT_EQ(0u, GetObjectType(f)) << "a dialog font outlived its window (cycle " << i << ")";
    if (i == warm_up - 1) early = measure();
  }
  const footprint late = measure();
  std::printf("after %d cycles: TLS index %lu -> %lu, handles %lu -> %lu, private bytes %lu -> %lu\n", warm_up,
              static_cast<unsigned long>(early.tls_index), static_cast<unsigned long>(late.tls_index),
              static_cast<unsigned long>(early.handles), static_cast<unsigned long>(late.handles),
              static_cast<unsigned long>(early.private_bytes), static_cast<unsigned long>(late.private_bytes));
  EXPECT_EQ(early.tls_index, late.tls_index) << "a TLS slot per load was not given back";
  EXPECT_LE(late.handles, early.handles + 2) << "kernel handles grew";
  EXPECT_LT(late.private_bytes, early.private_bytes + 512 * 1024) << "memory grew over " << cycles - warm_up
                                                                  << " cycles";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && !std::strcmp(argv[1], "--child")) {
    if (!std::strcmp(argv[2], "unload-with-windows-open")) return child_unload_with_windows_open();
    if (!std::strcmp(argv[2], "reload-with-orphans")) return child_reload_with_orphans();
    std::fprintf(stderr, "unknown child case %s\n", argv[2]);
    return 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
