// What the abuse tests and the benchmark share: loading a build of the
// library by path (the shipped DLL or the probe DLL, which adds read-only
// views of the dialog layer), and looking at windows without sending
// messages to the thread that owns them.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "library.h"

// The probe DLL's extra exports (probe.cpp); null in the shipped DLL.
typedef int32_t(WINAPI* count_entry)();

struct loaded_library : library {
  count_entry window_records = nullptr;      // the layer's window records
  count_entry open_dialogs = nullptr;        // open_dialog_count
  count_entry thread_font_records = nullptr;  // per-thread font records
};

// A file next to the running program.
std::string beside_program(const std::string& file);
// LoadLibrary and GetProcAddress of all ten entry points (and the probe's
// views when present); false, with the reason, when anything is missing.
bool load_from(const std::string& path, loaded_library* lib, std::string* why);
void unload(loaded_library* lib);

// The window's text as the window manager holds it: no message reaches the
// owning thread, so it works while that thread is busy or inside a call.
std::string stored_text(HWND window);

enum class window_kind { other, message_box, selection_dialog, status_window };
// A top-level dialog of this process, by what it holds: message boxes have
// the text control 0xFFFF, status windows one label 1004 and the status
// caption, selection dialogs the long caption.
window_kind kind_of(HWND window);

// Top-level dialogs (class "#32770") of this process.
std::vector<HWND> dialogs_of_process();
// Children of a window, enumerated.
std::vector<HWND> children_of(HWND window);

// Posts harmless thread messages so that the next `count` event pump passes
// find a message and do not sleep; drop_markers() removes what is left.
void post_pass_markers(int count);
void drop_markers();
// Dispatches everything waiting for the calling thread.
void dispatch_waiting();

// A small, fast, reproducible generator (xorshift128+ seeded by splitmix).
class random_source {
 public:
  explicit random_source(uint64_t seed);
  uint32_t next();
  uint32_t below(uint32_t bound);  // 0 <= result < bound
  bool chance(uint32_t percent) { return below(100) < percent; }

 private:
  uint64_t s0_, s1_;
};
