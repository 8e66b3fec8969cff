#include "host.h"

namespace {

constexpr UINT pass_marker = WM_APP + 0x2B;
const char status_caption[] = "ZEPHRON Pro Configurator v1.1 (Beta)";
const char selection_caption[] = "ZEPHRON Pro Clock Configurator for PCI RS232 I/O Cards v1.1 (Beta)";
constexpr int message_box_text_id = 0xFFFF;
constexpr int status_label_id = 1004;

BOOL CALLBACK collect_dialog(HWND window, LPARAM param) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[16] = {};
  if (pid == GetCurrentProcessId() && GetClassNameA(window, name, sizeof name) && lstrcmpA(name, "#32770") == 0)
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

BOOL CALLBACK collect_child(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

}  // namespace

std::string beside_program(const std::string& file) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + file;
}

bool load_from(const std::string& path, loaded_library* lib, std::string* why) {
  *lib = loaded_library{};
  lib->module = LoadLibraryA(path.c_str());
  if (!lib->module) {
    *why = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  auto entry = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(lib->module, name)); };
  lib->first_window = reinterpret_cast<no_argument_entry>(entry("first_window"));
  lib->scan_box = reinterpret_cast<no_argument_entry>(entry("scan_box"));
  lib->no_cards_found = reinterpret_cast<no_argument_entry>(entry("no_cards_found"));
  lib->display_reset_eeprom = reinterpret_cast<no_argument_entry>(entry("display_reset_eeprom"));
  lib->display_num_cards = reinterpret_cast<one_argument_entry>(entry("display_num_cards"));
  lib->ask_which_card = reinterpret_cast<one_argument_entry>(entry("ask_which_card"));
  lib->display_saving = reinterpret_cast<one_argument_entry>(entry("display_saving"));
  lib->display_donesaving = reinterpret_cast<one_argument_entry>(entry("display_donesaving"));
  lib->Main_Menu = reinterpret_cast<main_menu_entry>(entry("Main_Menu"));
  lib->ok_to_save = reinterpret_cast<ok_to_save_entry>(entry("ok_to_save"));
  lib->window_records = reinterpret_cast<count_entry>(entry("probe_window_records"));
  lib->open_dialogs = reinterpret_cast<count_entry>(entry("probe_open_dialogs"));
  lib->thread_font_records = reinterpret_cast<count_entry>(entry("probe_thread_font_records"));
  if (lib->first_window && lib->scan_box && lib->no_cards_found && lib->display_reset_eeprom &&
      lib->display_num_cards && lib->ask_which_card && lib->display_saving && lib->display_donesaving &&
      lib->Main_Menu && lib->ok_to_save)
    return true;
  *why = path + " lacks an entry point";
  FreeLibrary(lib->module);
  *lib = loaded_library{};
  return false;
}

void unload(loaded_library* lib) {
  if (lib->module) FreeLibrary(lib->module);
  *lib = loaded_library{};
}

std::string stored_text(HWND window) {
  wchar_t wide[1024];
  const int n = InternalGetWindowText(window, wide, 1024);
  std::string text;
  for (int i = 0; i < n; ++i) text += static_cast<char>(wide[i] < 256 ? wide[i] : '?');
  return text;
}

window_kind kind_of(HWND window) {
  if (GetDlgItem(window, message_box_text_id)) return window_kind::message_box;
  const std::string caption = stored_text(window);
  if (caption == selection_caption) return window_kind::selection_dialog;
  if (caption == status_caption && GetDlgItem(window, status_label_id)) return window_kind::status_window;
  return window_kind::other;
}

std::vector<HWND> dialogs_of_process() {
  std::vector<HWND> found;
  EnumWindows(collect_dialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> children_of(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(window, collect_child, reinterpret_cast<LPARAM>(&found));
  return found;
}

void post_pass_markers(int count) {
  for (int i = 0; i < count; ++i) PostThreadMessageA(GetCurrentThreadId(), pass_marker, 0, 0);
}

void drop_markers() {
  MSG m;
  while (PeekMessageA(&m, nullptr, pass_marker, pass_marker, PM_REMOVE)) {
  }
}

void dispatch_waiting() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

random_source::random_source(uint64_t seed) {
  auto splitmix = [&seed] {
    uint64_t z = (seed += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  };
  s0_ = splitmix();
  s1_ = splitmix();
}

uint32_t random_source::next() {
  uint64_t x = s0_;
  const uint64_t y = s1_;
  s0_ = y;
  x ^= x << 23;
  s1_ = x ^ y ^ (x >> 17) ^ (y >> 26);
  return static_cast<uint32_t>((s1_ + y) >> 32);
}

uint32_t random_source::below(uint32_t bound) { return static_cast<uint32_t>((static_cast<uint64_t>(next()) * bound) >> 32); }
