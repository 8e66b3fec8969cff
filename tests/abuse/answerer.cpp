#include "answerer.h"

#include <algorithm>

namespace {

constexpr int ok_button = 1011;      // OK of the card dialog, Save of the clock dialog
constexpr int cancel_button = 1028;  // the clock dialog's Cancel
constexpr int first_card = 1022, last_card = 1026;
constexpr int first_clock = 1006, last_clock = 1009;
// A window still there this long after an action gets another.
constexpr DWORD act_again_ms = 25;
// Between rounds: well under act_again_ms, so no window waits longer for its answer; a round costs
// an emulated PC many times what it costs a real one.
constexpr DWORD round_pause_ms = 5;
// Visits after which a dialog is ended for certain, so every call is bounded.
constexpr int visits_before_ending = 8;
constexpr DWORD font_read_timeout_ms = 5000;  // an emulated PC under load can take seconds

void post_key(HWND window, WPARAM key) {
  PostMessageA(window, WM_KEYDOWN, key, 1);
  PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

void post_command(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void close_command(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace

answerer::answerer(uint64_t seed, answer_style style) : random_(seed), style_(style) {
  InitializeCriticalSection(&lock_);
  thread_ = CreateThread(nullptr, 0, thread_main, this, 0, nullptr);
  // Running (and so attached to every DLL) before the first call.
  while (rounds_ == 0) Sleep(1);
}

answerer::~answerer() {
  InterlockedExchange(&stop_, 1);
  // The test thread may own a box the robot is about to answer: keep its
  // queue served until the robot is gone.
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;
    dispatch_waiting();
  }
  CloseHandle(thread_);
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI answerer::thread_main(void* self) {
  static_cast<answerer*>(self)->run();
  return 0;
}

void answerer::run() {
  while (!stop_) {
    round();
    InterlockedIncrement(&rounds_);
    Sleep(round_pause_ms);
  }
}

answerer::window_state& answerer::state_of(HWND window) {
  for (window_state& s : states_)
    if (s.window == window) return s;
  states_.push_back(window_state{window, 0, 0, false});
  return states_.back();
}

void answerer::round() {
  const std::vector<HWND> dialogs = dialogs_of_process();
  EnterCriticalSection(&lock_);
  // Forget windows that are gone, so a reused handle starts afresh.
  states_.erase(std::remove_if(states_.begin(), states_.end(),
                               [&](const window_state& s) {
                                 return std::find(dialogs.begin(), dialogs.end(), s.window) == dialogs.end();
                               }),
                states_.end());
  std::vector<HWND> status;
  for (HWND w : dialogs) {
    switch (kind_of(w)) {
      case window_kind::message_box:
        answer_box(w);
        break;
      case window_kind::selection_dialog:
        // Visible means every control is in place and the modal loop runs.
        if (IsWindowVisible(w)) answer_selection(w);
        break;
      case window_kind::status_window:
        if (IsWindowVisible(w)) status.push_back(w);
        break;
      case window_kind::other:
        break;
    }
  }
  if (in_call_ && poke_ && !status.empty()) poke_status(status[random_.below(static_cast<uint32_t>(status.size()))]);
  if (in_call_ && !hung_ && GetTickCount() - call_start_ > hang_bound_ms) hung_ = true;
  if (hung_) {
    // Give the test thread back: end whatever holds it.
    for (HWND w : dialogs) {
      if (kind_of(w) == window_kind::message_box)
        PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
      else if (kind_of(w) == window_kind::selection_dialog)
        close_command(w);
    }
  }
  LeaveCriticalSection(&lock_);
}

void answerer::answer_box(HWND box) {
  window_state& s = state_of(box);
  const DWORD now = GetTickCount();
  if (s.visits > 0 && now - s.last_action < act_again_ms) return;
  ++s.visits;
  s.last_action = now;
  if (s.visits == 1) ++report_.boxes_answered;
  // A box that outlived three answers gets the one every box takes.
  const uint32_t pick = style_ == answer_style::quick || s.visits > 3 ? 0 : random_.below(4);
  switch (pick) {
    case 0:
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      break;
    case 1:
      PostMessageA(box, WM_COMMAND, IDCANCEL, 0);
      break;
    case 2:
      post_key(box, VK_ESCAPE);
      break;
    default:
      close_command(box);
      break;
  }
}

void answerer::answer_selection(HWND dialog) {
  window_state& s = state_of(dialog);
  const bool card_dialog = GetDlgItem(dialog, first_card) != nullptr;
  const int first = card_dialog ? first_card : first_clock;
  const int last = card_dialog ? last_card : last_clock;

  if (!s.looked) {
    s.looked = true;
    report_.dialog_windows.push_back(dialog);
    std::vector<HWND> parts = children_of(dialog);
    parts.push_back(dialog);
    for (HWND w : parts) {
      if (w != dialog) report_.dialog_windows.push_back(w);
      DWORD_PTR font = 0;
      if (read_fonts && SendMessageTimeoutA(w, WM_GETFONT, 0, 0, SMTO_NORMAL, font_read_timeout_ms, &font) && font)
        report_.dialog_fonts.push_back(reinterpret_cast<HFONT>(font));
    }
    if (card_dialog && card_count_ >= 0) {
      for (int card = 1; card <= 5; ++card) {
        const bool enabled = IsWindowEnabled(GetDlgItem(dialog, first_card + card - 1)) != FALSE;
        const bool expected = card == 1 || card_count_ >= card;
        if (enabled != expected && report_.fault.empty())
          report_.fault = "card " + std::to_string(card) + (enabled ? " enabled" : " disabled") +
                          " for the count " + std::to_string(card_count_);
      }
    }
  }

  const DWORD now = GetTickCount();
  if (s.visits > 0 && now - s.last_action < act_again_ms / 5) return;
  ++s.visits;
  s.last_action = now;

  auto click_option = [&] {
    const int id = first + static_cast<int>(random_.below(static_cast<uint32_t>(last - first + 1)));
    HWND option = GetDlgItem(dialog, id);
    // A user cannot click a greyed option (Wine would pass BM_CLICK on).
    if (!option || !IsWindowEnabled(option)) return;
    PostMessageA(option, BM_CLICK, 0, 0);
    report_.clicked.insert(id);
  };

  if (style_ == answer_style::quick) {
    if (s.visits == 1) click_option();
    post_command(dialog, ok_button);
    return;
  }
  if (s.visits > visits_before_ending) {
    post_command(dialog, ok_button);
    return;
  }
  const uint32_t pick = random_.below(100);
  if (pick < 45)
    click_option();
  else if (pick < 55)
    post_key(dialog, VK_ESCAPE);
  else if (pick < 65)
    post_command(dialog, random_.chance(50) ? IDOK : IDCANCEL);
  else if (pick < 80)
    post_command(dialog, ok_button);
  else if (pick < 90)
    post_command(dialog, card_dialog ? ok_button : cancel_button);
  else
    close_command(dialog);
}

void answerer::poke_status(HWND window) {
  if (poke_ == 1) {
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(random_.below(0x10000), random_.below(0x10000)),
                 static_cast<LPARAM>(random_.next()));
    ++report_.commands_to_status;
  } else {
    close_command(window);
    report_.closed_status.push_back(closed_window{window, stored_text(GetDlgItem(window, 1004))});
  }
  poke_ = 0;
}

void answerer::begin_call(int card_count) {
  EnterCriticalSection(&lock_);
  report_ = call_report{};
  card_count_ = card_count;
  poke_ = 0;
  if (style_ == answer_style::random) {
    const uint32_t pick = random_.below(100);
    poke_ = pick < 8 ? 1 : pick < 14 ? 2 : 0;
  }
  call_start_ = GetTickCount();
  in_call_ = true;
  LeaveCriticalSection(&lock_);
}

void answerer::wait_rounds(int n) {
  const LONG start = rounds_;
  while (rounds_ - start < n) {
    // Keep the test thread's windows served while the robot finishes.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    dispatch_waiting();
  }
}

call_report answerer::end_call() {
  EnterCriticalSection(&lock_);
  in_call_ = false;
  poke_ = 0;
  LeaveCriticalSection(&lock_);
  // A round that began before the flag changed may still post; two more
  // rounds and it is certainly over.
  wait_rounds(2);
  EnterCriticalSection(&lock_);
  call_report r = report_;
  LeaveCriticalSection(&lock_);
  return r;
}
