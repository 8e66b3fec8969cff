// The cost of each screen, measured under Wine by a host that loads the DLL
// as any host does. For every entry point: the whole call, and the
// library's own share of it, which is the call minus the time the library
// spent waiting in the same run: its Sleep calls (the idle event pump
// passes, the modal loop's idle polls, the 5 ms before each box) and its
// message boxes (the platform's box and the user's answer). Both are timed
// by wrapping the DLL's own imports of Sleep and MessageBoxA. A robot thread
// answers at once; a bare row times an empty function the same way.
//
//   screen_bench.exe [--repeat N]     (default 20; the CI smoke run uses 2)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "answerer.h"
#include "host.h"

namespace {

double ticks_per_ms;
double now_ms() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / ticks_per_ms;
}

double slept_ms, boxed_ms;
int sleeps;
VOID WINAPI timed_sleep(DWORD ms) {
  const double t0 = now_ms();
  Sleep(ms);
  slept_ms += now_ms() - t0;
  ++sleeps;
}
int WINAPI timed_message_box(HWND owner, LPCSTR text, LPCSTR title, UINT style) {
  const double t0 = now_ms();
  const int r = MessageBoxA(owner, text, title, style);
  boxed_ms += now_ms() - t0;
  return r;
}

// Points the module's own import of `dll`!`name` at `hook`.
bool patch_import(HMODULE module, const char* dll, const char* name, void* hook) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  void* target = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(dll), name));
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), dll) != 0) continue;
    for (auto* thunk = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk); thunk->u1.Function; ++thunk) {
      if (reinterpret_cast<void*>(thunk->u1.Function) != target) continue;
      DWORD old;
      VirtualProtect(&thunk->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
      thunk->u1.Function = reinterpret_cast<DWORD_PTR>(hook);
      VirtualProtect(&thunk->u1.Function, sizeof(void*), old, &old);
      return true;
    }
  }
  return false;
}

struct sample {
  double whole, waited;
};
struct row {
  std::string name;
  std::vector<sample> samples;
};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

loaded_library dll;

void take_down_windows() {
  dispatch_waiting();
  for (HWND w : dialogs_of_process()) DestroyWindow(w);
  dispatch_waiting();
}

int32_t WINAPI bare_call() { return 0; }

}  // namespace

int main(int argc, char** argv) {
  int repeat = 20;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: screen_bench [--repeat N]\n");
      return 2;
    }
  }
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  ticks_per_ms = static_cast<double>(f.QuadPart) / 1000.0;
  const std::string path = beside_program("zephronpro.dll");

  // Loading and attaching: the first load, then reloads.
  std::string why;
  double t0 = now_ms();
  if (!load_from(path, &dll, &why)) {
    std::fprintf(stderr, "%s\n", why.c_str());
    return 1;
  }
  const double first_load = now_ms() - t0;
  std::vector<double> loads;
  for (int i = 0; i < std::max(repeat, 5); ++i) {
    unload(&dll);
    t0 = now_ms();
    HMODULE m = LoadLibraryA(path.c_str());
    loads.push_back(now_ms() - t0);
    FreeLibrary(m);
    if (!load_from(path, &dll, &why)) return 1;
  }
  if (!patch_import(dll.module, "KERNEL32.dll", "Sleep", reinterpret_cast<void*>(timed_sleep)) ||
      !patch_import(dll.module, "USER32.dll", "MessageBoxA", reinterpret_cast<void*>(timed_message_box))) {
    std::fprintf(stderr, "cannot wrap the DLL's imports of Sleep and MessageBoxA\n");
    return 1;
  }

  answerer robot(5, answer_style::quick);
  robot.read_fonts = false;
  auto measure = [&](row& r, const std::function<void()>& setup, const std::function<void()>& call) {
    setup();
    slept_ms = boxed_ms = 0;
    sleeps = 0;
    const double start = now_ms();
    call();
    const double whole = now_ms() - start;
    r.samples.push_back(sample{whole, slept_ms + boxed_ms});
    take_down_windows();
  };
  auto none = [] {};
  auto scanning = [] { dll.first_window(); };
  auto counted = [] { dll.first_window(); dll.display_num_cards(2); };
  auto saving = [] { dll.display_saving(1006); };
  std::vector<row> rows = {{"bare host call", {}},       {"first_window", {}},      {"scan_box", {}},
                           {"no_cards_found", {}},       {"display_num_cards", {}}, {"ask_which_card", {}},
                           {"Main_Menu", {}},            {"ok_to_save", {}},        {"display_saving", {}},
                           {"display_reset_eeprom", {}}, {"display_donesaving", {}}};
  std::vector<double> idle_100;
  for (int i = 0; i < repeat; ++i) {
    measure(rows[0], none, [] { bare_call(); });
    measure(rows[1], none, [] { dll.first_window(); });
    // 100 idle passes of a host loop like the library's, in the same run.
    double s = now_ms();
    MSG m;
    for (int p = 0; p < 100; ++p)
      if (!PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) Sleep(1);
    idle_100.push_back(now_ms() - s);
    measure(rows[2], none, [] { dll.scan_box(); });
    measure(rows[3], none, [] { dll.no_cards_found(); });
    measure(rows[4], scanning, [] { dll.display_num_cards(2); });
    measure(rows[5], counted, [&] { robot.begin_call(2); dll.ask_which_card(2); robot.end_call(); });
    measure(rows[6], counted, [&] { robot.begin_call(-1); dll.Main_Menu(1009, 0, 2); robot.end_call(); });
    measure(rows[7], saving, [] { dll.ok_to_save(1009, 1006, 0, 2); });
    measure(rows[8], none, [] { dll.display_saving(1006); });
    measure(rows[9], none, [] { dll.display_reset_eeprom(); });
    measure(rows[10], saving, [] { dll.display_donesaving(1006); });
  }

  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  const DWORD size = GetFileSize(file, nullptr);
  CloseHandle(file);

  std::printf("zephronpro.dll: %lu bytes (%.1f KiB); first load and attach %.2f ms, reload median %.2f ms\n",
              static_cast<unsigned long>(size), size / 1024.0, first_load, median(loads));
  std::printf("%d calls of each; medians in ms (own: the call minus the library's sleeps and message boxes)\n\n",
              repeat);
  std::printf("| entry point | whole call | waits | own work | own work, worst |\n|---|---:|---:|---:|---:|\n");
  double worst_own = 0;
  for (const row& r : rows) {
    std::vector<double> whole, waited, own;
    for (const sample& s : r.samples)
      whole.push_back(s.whole), waited.push_back(s.waited), own.push_back(s.whole - s.waited);
    const double worst = *std::max_element(own.begin(), own.end());
    if (r.name != "bare host call") worst_own = std::max(worst_own, median(own));
    std::printf("| %s | %.2f | %.2f | %.2f | %.2f |\n", r.name.c_str(), median(whole), median(waited), median(own),
                worst);
  }
  std::vector<double> first;
  for (const sample& s : rows[1].samples) first.push_back(s.whole);
  const double ratio = median(first) / median(idle_100);
  std::printf("\n100 idle passes of the host's own loop: %.2f ms; first_window / that = %.3f\n", median(idle_100),
              ratio);
  std::printf("goals: own work < 5 ms (largest median %.2f), first_window within 15%% (%+.1f%%), DLL < 64 KiB "
              "(%s), load < 2 ms (%.2f)\n",
              worst_own, (ratio - 1) * 100, size < 65536 ? "yes" : "no", median(loads));
  return 0;
}
