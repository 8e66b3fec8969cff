// Any order, any argument: a seeded random walk over the ten entry points
// with random 32-bit arguments, the robot answering at random. After every
// call: the result is one the screen allows, and the library's dialogs that
// exist are exactly those the screen state predicts (a model of the four
// status window handles, and of the windows whose handles were overwritten
// and so stay open for good).
//
//   random_walk.exe [--seed N] [--calls N] [--dll FILE]
//
// Defaults: seed 1, 2000 calls, zephronpro.dll next to the program. With the
// probe DLL the layer's counters are checked after every call too.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>

#include "answerer.h"
#include "host.h"

namespace {

uint64_t walk_seed = 1;
int walk_calls = 2000;
std::string walk_dll = "zephronpro.dll";

const char status_caption[] = "ZEPHRON Pro Configurator v1.1 (Beta)";
const std::string crlf = "\r\n";
const std::string first_scan_label = "Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait...";
const std::string second_scan_label = "Scanning PCI bus for the Talmo ZEPHRON Pro I/O Card(s), please wait...";
const std::string please_wait = "Please wait for this SAVE operation to the I/O card to finish.";
const std::string reset_label = "Programming EEPROM to factor defaults. Clock will be 1.8432 Mhz." + crlf + crlf +
                                please_wait + crlf;

// A whole 32-bit number as the library's number text shows it.
std::string integer_text(int32_t n) {
  return n < 0 ? std::to_string(static_cast<int64_t>(n)) : " " + std::to_string(n);
}

std::string count_label(int32_t n) {
  if (n == 0) return "No ZEPHRON Pro I/O Cards detected in this computer";
  return "Detected " + integer_text(n) + " " +
         (n == 1 ? "ZEPHRON Pro I/O Card in this computer" : "ZEPHRON Pro I/O Cards in this computer");
}

std::string saving_label(int32_t clock) {
  const char* mhz = clock == 1006 ? " 14.7456" : clock == 1007 ? " 7.3728" : clock == 1008 ? " 3.6864"
                    : clock == 1009 ? " 1.8432" : " 0";
  return "Configuring ZEPHRON Pro Clock speed to " + std::string(mhz) + " Mhz " + crlf + crlf + please_wait + crlf;
}

// Values at the edges the screens care about, mixed with uniform ones.
int32_t random_argument(random_source& r) {
  static const int32_t edges[] = {0,    1,    2,    3,    4,    5,       6,       255,     256,       257,
                                  258,  261,  511,  1005, 1006, 1007,    1008,    1009,    1010,      1021,
                                  1022, 1026, -1,   -2,   -255, INT_MIN, INT_MAX, 0x7FFFFF05, -250, 0x10006};
  if (r.chance(40)) return edges[r.below(sizeof edges / sizeof edges[0])];
  return static_cast<int32_t>(r.next());
}

enum entry { first_window, scan_box, no_cards_found, display_num_cards, ask_which_card, main_menu, ok_to_save,
             display_saving, display_reset_eeprom, display_donesaving, entry_count };
const char* const entry_names[] = {"first_window", "scan_box", "no_cards_found", "display_num_cards",
                                   "ask_which_card", "Main_Menu", "ok_to_save", "display_saving",
                                   "display_reset_eeprom", "display_donesaving"};

// Passes each status window makes when nothing closes it: the markers that
// keep those passes from sleeping.
int pump_passes(int e) {
  switch (e) {
    case first_window: return 100;
    case scan_box: return 500;
    case display_num_cards: return 100;
    case display_saving: return 99;
    case display_reset_eeprom: return 49;
    default: return 0;
  }
}

// scan_box's window comes after its message box, whose own loop would eat
// markers posted before the call: post them when the window is created.
HHOOK marker_hook;
int markers_on_creation;
LRESULT CALLBACK post_on_creation(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_CREATEWND && markers_on_creation > 0) {
    const char* name = reinterpret_cast<CBT_CREATEWNDA*>(lparam)->lpcs->lpszName;
    if (name && !IS_INTRESOURCE(name) && std::strcmp(name, status_caption) == 0) {
      post_pass_markers(markers_on_creation);
      markers_on_creation = 0;
    }
  }
  return CallNextHookEx(marker_hook, code, wparam, lparam);
}

// What the screen state says is open.
struct window_model {
  HWND scan = nullptr, count = nullptr, saving = nullptr, reset = nullptr;
  std::map<HWND, std::string> open;  // window -> label
  std::vector<HWND> unreachable;     // overwritten handles: nothing ends them

  void end(HWND w) { open.erase(w); }
  // A new status window into `slot`; the one it replaces stays open.
  void replace(HWND& slot, HWND w, const std::string& label) {
    if (slot && open.count(slot)) unreachable.push_back(slot);
    slot = w;
    if (w) open[w] = label;
  }
};

struct call_record {
  int entry;
  int32_t args[4];
  int32_t result;
  std::string describe() const {
    std::ostringstream s;
    s << entry_names[entry] << "(";
    const int n = entry == main_menu ? 3 : entry == ok_to_save ? 4 : (entry == display_num_cards || entry == ask_which_card ||
                                                                      entry == display_saving || entry == display_donesaving) ? 1 : 0;
    for (int i = 0; i < n; ++i) s << (i ? ", " : "") << args[i];
    s << ") = " << result;
    return s.str();
  }
};

class RandomWalk : public testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(load_from(beside_program(walk_dll), &lib, &why)) << why;
    marker_hook = SetWindowsHookExA(WH_CBT, post_on_creation, nullptr, GetCurrentThreadId());
  }
  void TearDown() override {
    UnhookWindowsHookEx(marker_hook);
    for (HWND w : dialogs_of_process()) DestroyWindow(w);
    dispatch_waiting();
    unload(&lib);
  }
  loaded_library lib;
};

std::string history_text(const std::deque<call_record>& history) {
  std::string s;
  for (const call_record& c : history) s += "\n  " + c.describe();
  return s;
}

TEST_F(RandomWalk, EveryResultAllowedAndExactlyThePredictedWindowsOpen) {
  random_source args(walk_seed * 2 + 1);
  answerer robot(walk_seed * 2 + 2, answer_style::random);
  window_model model;
  std::deque<call_record> history;
  int pokes = 0, closes = 0, clicks = 0, boxes = 0, pruned = 0;
  DWORD slowest = 0;
  DWORD time_in[entry_count] = {};
  int calls_of[entry_count] = {};
  int slowest_call = -1;
  const DWORD walk_start = GetTickCount();

  for (int i = 0; i < walk_calls; ++i) {
    call_record call{static_cast<int>(args.below(entry_count)), {}, 0};
    for (int32_t& a : call.args) a = random_argument(args);
    const std::vector<HWND> before = dialogs_of_process();

    robot.begin_call(call.entry == ask_which_card ? (call.args[0] & 0xFF) : -1);
    if (call.entry == scan_box)
      markers_on_creation = pump_passes(call.entry);
    else
      post_pass_markers(pump_passes(call.entry));
    const DWORD t0 = GetTickCount();
    const int32_t* a = call.args;
    switch (call.entry) {
      case first_window: call.result = lib.first_window(); break;
      case scan_box: call.result = lib.scan_box(); break;
      case no_cards_found: call.result = lib.no_cards_found(); break;
      case display_num_cards: call.result = lib.display_num_cards(a[0]); break;
      case ask_which_card: call.result = lib.ask_which_card(a[0]); break;
      case main_menu: call.result = lib.Main_Menu(a[0], a[1], a[2]); break;
      case ok_to_save: call.result = lib.ok_to_save(a[0], a[1], a[2], a[3]); break;
      case display_saving: call.result = lib.display_saving(a[0]); break;
      case display_reset_eeprom: call.result = lib.display_reset_eeprom(); break;
      case display_donesaving: call.result = lib.display_donesaving(a[0]); break;
    }
    const DWORD took = GetTickCount() - t0;
    time_in[call.entry] += took;
    ++calls_of[call.entry];
    if (took > slowest) slowest = took, slowest_call = i;
    markers_on_creation = 0;
    drop_markers();
    const call_report report = robot.end_call();
    dispatch_waiting();  // what the robot posted last, a status window's notice included
    history.push_back(call);
    if (history.size() > 12) history.pop_front();
    const std::string where = "seed " + std::to_string(walk_seed) + ", call " + std::to_string(i) +
                              ", last calls:" + history_text(history);
    ASSERT_FALSE(robot.hung()) << "a call ran past " << robot.hang_bound_ms << " ms; " << where;
    ASSERT_EQ("", report.fault) << where;
    pokes += report.commands_to_status;
    closes += static_cast<int>(report.closed_status.size());
    clicks += static_cast<int>(report.clicked.size());
    boxes += report.boxes_answered;

    // The result must be one the screen allows.
    switch (call.entry) {
      case ask_which_card: {
        const int enabled = std::max(1, std::min(call.args[0] & 0xFF, 5));
        ASSERT_TRUE(call.result == 1022 || report.clicked.count(call.result)) << "not clicked; " << where;
        ASSERT_GE(call.result, 1022) << where;
        ASSERT_LE(call.result, 1021 + enabled) << "a greyed card; " << where;
        break;
      }
      case main_menu:
        ASSERT_TRUE(call.result == call.args[0] ||
                    (call.result >= 1006 && call.result <= 1009 && report.clicked.count(call.result)))
            << where;
        break;
      case ok_to_save:
        ASSERT_TRUE(call.result == 1 || call.result == 2) << where;
        break;
      default:
        ASSERT_EQ(0, call.result) << where;
    }

    // The status window this call made: open now, or closed by the robot.
    const std::vector<HWND> now = dialogs_of_process();
    HWND made = nullptr;
    std::string made_label;
    if (pump_passes(call.entry)) {
      int found = 0;
      for (HWND w : now)
        if (std::find(before.begin(), before.end(), w) == before.end())
          ++found, made = w, made_label = stored_text(GetDlgItem(w, 1004));
      for (const closed_window& c : report.closed_status)
        if (std::find(before.begin(), before.end(), c.window) == before.end() &&
            std::find(now.begin(), now.end(), c.window) == now.end())
          ++found, made = c.window, made_label = c.label;
      ASSERT_EQ(1, found) << "new status windows; " << where;
    }
    std::string expected_label;
    switch (call.entry) {
      case first_window:
        expected_label = first_scan_label;
        model.replace(model.scan, made, first_scan_label);
        break;
      case scan_box:
        expected_label = second_scan_label;
        model.replace(model.scan, made, second_scan_label);
        break;
      case display_num_cards:
        expected_label = count_label(call.args[0]);
        model.replace(model.count, made, expected_label);
        model.end(model.scan);
        break;
      case ask_which_card:
        model.end(model.count);
        break;
      case main_menu:
        model.end(model.count);
        model.end(model.scan);
        break;
      case ok_to_save:
      case display_donesaving:
        model.end(model.saving);
        break;
      case display_saving:
        expected_label = saving_label(call.args[0]);
        model.replace(model.saving, made, expected_label);
        break;
      case display_reset_eeprom:
        expected_label = reset_label;
        model.replace(model.reset, made, reset_label);
        break;
    }
    if (made) {
      ASSERT_EQ(expected_label, made_label) << where;
    }
    for (const closed_window& c : report.closed_status) model.end(c.window);

    // Exactly the predicted windows, each still reading its own label.
    std::map<HWND, std::string> seen;
    for (HWND w : now) seen[w] = kind_of(w) == window_kind::status_window ? stored_text(GetDlgItem(w, 1004)) : "(" + stored_text(w) + ")";
    if (seen != model.open) {
      std::string diff;
      for (const auto& s : seen)
        if (!model.open.count(s.first)) diff += "\n  unexpected: " + s.second;
      for (const auto& m : model.open) {
        if (!seen.count(m.first))
          diff += "\n  missing: " + m.second;
        else if (seen[m.first] != m.second)
          diff += "\n  changed: " + m.second + " now reads " + seen[m.first];
      }
      FAIL() << "windows differ from the screen state:" << diff << "\n" << where;
    }
    for (HWND w : now) ASSERT_TRUE(IsWindowVisible(w)) << seen[w] << "; " << where;
    if (lib.open_dialogs) {
      ASSERT_EQ(static_cast<int32_t>(now.size()), lib.open_dialogs()) << "open_dialog_count; " << where;
      ASSERT_EQ(static_cast<int32_t>(2 * now.size()), lib.window_records()) << "a dialog and its label each; " << where;
    }

    // Windows nothing can end any more pile up: past a few, the host takes
    // them down itself (they are unreachable to the library by design).
    model.unreachable.erase(std::remove_if(model.unreachable.begin(), model.unreachable.end(),
                                           [&](HWND w) { return !model.open.count(w); }),
                            model.unreachable.end());
    if (model.unreachable.size() > 5) {
      for (HWND w : model.unreachable) DestroyWindow(w), model.end(w), ++pruned;
      model.unreachable.clear();
      dispatch_waiting();
    }
  }
  const DWORD total = GetTickCount() - walk_start;
  std::printf("random walk: seed %llu, %d calls in %.1f s (slowest call #%d, %lu ms); robot: %d boxes, %d option "
              "clicks, %d commands and %d closes to status windows; %d unreachable windows taken down\n",
              static_cast<unsigned long long>(walk_seed), walk_calls, total / 1000.0, slowest_call,
              static_cast<unsigned long>(slowest), boxes, clicks, pokes, closes, pruned);
  for (int e = 0; e < entry_count; ++e)
    std::printf("  %-20s %5d calls, %6.1f ms each\n", entry_names[e], calls_of[e],
                calls_of[e] ? static_cast<double>(time_in[e]) / calls_of[e] : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--seed"))
      walk_seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (!std::strcmp(argv[i], "--calls"))
      walk_calls = std::atoi(argv[i + 1]);
    else if (!std::strcmp(argv[i], "--dll"))
      walk_dll = argv[i + 1];
    else {
      std::fprintf(stderr, "unknown option %s\nusage: random_walk [--seed N] [--calls N] [--dll FILE]\n", argv[i]);
      return 2;
    }
  }
  if (argc % 2 == 0) {
    std::fprintf(stderr, "option %s needs a value\n", argv[argc - 1]);
    return 2;
  }
  return RUN_ALL_TESTS();
}
