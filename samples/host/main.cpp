// The sample host: a whole run of the ZEPHRON Pro configuration utility
// against simulated cards. It loads zephronpro.dll from its own folder,
// "scans" the cards listed in a text file, calls one entry point per screen
// and prints each call with the value it returned; a save writes the new
// clock into the cards file. A scripted user answers the screens unless
// --interactive is given.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "cards_file.h"
#include "run_log.h"
#include "screens_seen.h"
#include "scripted_user.h"
#include "zephronpro.h"

namespace {

const char program[] = "zephronpro-sample";

enum exit_code {
  exit_done = 0,         // saved, or nothing to save
  exit_run_failed = 1,   // a screen or a value the run did not expect
  exit_usage = 2,        // bad options, or no library
  exit_cards_file = 3,   // the cards file cannot be read or is damaged
  exit_save_failed = 4,  // the new clock could not be saved
};

const char usage_text[] =
    "usage: zephronpro-sample [options]\n"
    "\n"
    "A whole run of the ZEPHRON Pro screens against simulated cards: scan, card\n"
    "count, card choice, clock choice, confirmation, saving, report. Each call into\n"
    "zephronpro.dll (loaded from this program's folder) is printed with its result.\n"
    "\n"
    "The machine:\n"
    "  --cards-file PATH  the simulated cards, one line \"card N clock MHZ\" each, '#'\n"
    "                     comments (default: sample-cards.txt next to this program;\n"
    "                     made with two cards at 1.8432 MHz when missing)\n"
    "  --cards N          the machine holds N cards (0 to 5) from now on; new cards\n"
    "                     start at 1.8432 MHz (the file is rewritten)\n"
    "\n"
    "The run:\n"
    "  --reset            factory reset of the chosen card (1.8432 MHz) instead of\n"
    "                     choosing a clock\n"
    "  --scan first|box   the scanning screen: first_window (default) or scan_box\n"
    "  --interactive      no scripted user: you answer the screens yourself\n"
    "\n"
    "The scripted user (the default; it answers each screen as below):\n"
    "  --card N           the card to choose (default 2; 1 on a one-card machine)\n"
    "  --clock MHZ|none   the clock option to click: 14.7456 (default), 7.3728,\n"
    "                     3.6864, 1.8432, or none\n"
    "  --clock-dialog save|cancel|close\n"
    "                     how to leave the clock dialog (default save; close is the\n"
    "                     window's close command)\n"
    "  --confirm ok|cancel|escape\n"
    "                     the answer to the confirmation (default ok; escape is a\n"
    "                     real Escape key press)\n"
    "  --poke             send a command to the scanning window; the library\n"
    "                     answers it with a notice\n"
    "  --pictures DIR     a BMP picture of every screen into the folder DIR\n"
    "  --log FILE         each call and its result, the windows open after it, and\n"
    "                     what the scripted user saw and did, one line each\n"
    "\n"
    "Exit status: 0 done (saved, or nothing to save), 1 a screen or a value the run\n"
    "did not expect, 2 bad options or no library, 3 the cards file cannot be read\n"
    "or is damaged, 4 the new clock could not be saved.\n";

struct options {
  std::string cards_file;
  int cards = -1;  // -1: as the file says
  bool reset = false;
  bool scan_box = false;
  bool interactive = false;
  bool card_given = false;
  bool script_given = false;  // any choice of the scripted user
  user_script script;
  std::string pictures;
  std::string log;
};

int usage_error(const std::string& message) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", program, message.c_str(), program);
  return exit_usage;
}

bool whole_number(const char* s, int low, int high, int* out) {
  if (!*s) return false;
  char* end = nullptr;
  const long n = std::strtol(s, &end, 10);
  if (*end || n < low || n > high) return false;
  *out = static_cast<int>(n);
  return true;
}

// 0 on success, else the exit code (after the message).
int parse(int argc, char** argv, options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](const char** v) {
      if (i + 1 >= argc) return false;
      *v = argv[++i];
      return true;
    };
    const char* v = nullptr;
    if (a == "--help" || a == "-h") {
      std::fputs(usage_text, stdout);
      std::exit(exit_done);
    } else if (a == "--cards-file") {
      if (!value(&v) || !*v) return usage_error("--cards-file needs a path");
      o->cards_file = v;
    } else if (a == "--cards") {
      if (!value(&v) || !whole_number(v, 0, cards::max_cards, &o->cards))
        return usage_error("--cards needs a number from 0 to 5");
    } else if (a == "--reset") {
      o->reset = true;
    } else if (a == "--scan") {
      if (!value(&v) || (std::strcmp(v, "first") && std::strcmp(v, "box")))
        return usage_error("--scan needs first or box");
      o->scan_box = !std::strcmp(v, "box");
    } else if (a == "--interactive") {
      o->interactive = true;
    } else if (a == "--card") {
      if (!value(&v) || !whole_number(v, 1, cards::max_cards, &o->script.card))
        return usage_error("--card needs a number from 1 to 5");
      o->card_given = o->script_given = true;
    } else if (a == "--clock") {
      if (!value(&v)) return usage_error("--clock needs a clock value or none");
      o->script.clock_id = std::strcmp(v, "none") ? cards::clock_id_of(v) : 0;
      if (std::strcmp(v, "none") && !o->script.clock_id)
        return usage_error(std::string("--clock ") + v + ": not one of 14.7456, 7.3728, 3.6864, 1.8432, none");
      o->script_given = true;
    } else if (a == "--clock-dialog") {
      if (!value(&v)) v = "";
      if (!std::strcmp(v, "save"))
        o->script.clock_dialog = user_script::clock_answer::save;
      else if (!std::strcmp(v, "cancel"))
        o->script.clock_dialog = user_script::clock_answer::cancel;
      else if (!std::strcmp(v, "close"))
        o->script.clock_dialog = user_script::clock_answer::close;
      else
        return usage_error("--clock-dialog needs save, cancel or close");
      o->script_given = true;
    } else if (a == "--confirm") {
      if (!value(&v)) v = "";
      if (!std::strcmp(v, "ok"))
        o->script.confirm = user_script::confirm_answer::ok;
      else if (!std::strcmp(v, "cancel"))
        o->script.confirm = user_script::confirm_answer::cancel;
      else if (!std::strcmp(v, "escape"))
        o->script.confirm = user_script::confirm_answer::escape;
      else
        return usage_error("--confirm needs ok, cancel or escape");
      o->script_given = true;
    } else if (a == "--poke") {
      o->script.poke = o->script_given = true;
    } else if (a == "--pictures") {
      if (!value(&v) || !*v) return usage_error("--pictures needs a folder");
      o->pictures = v;
      o->script_given = true;
    } else if (a == "--log") {
      if (!value(&v) || !*v) return usage_error("--log needs a file");
      o->log = v;
    } else {
      return usage_error("unknown option " + a);
    }
  }
  if (o->interactive && o->script_given)
    return usage_error("the scripted user's choices (--card, --clock, --clock-dialog, --confirm, --poke, --pictures) "
                       "do not go with --interactive");
  return 0;
}

std::string own_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

// The library's entry points, typed by the public header's declarations.
struct library {
  HMODULE module = nullptr;
  decltype(&::first_window) first_window = nullptr;
  decltype(&::scan_box) scan_box = nullptr;
  decltype(&::no_cards_found) no_cards_found = nullptr;
  decltype(&::display_num_cards) display_num_cards = nullptr;
  decltype(&::ask_which_card) ask_which_card = nullptr;
  decltype(&::Main_Menu) Main_Menu = nullptr;
  decltype(&::ok_to_save) ok_to_save = nullptr;
  decltype(&::display_saving) display_saving = nullptr;
  decltype(&::display_reset_eeprom) display_reset_eeprom = nullptr;
  decltype(&::display_donesaving) display_donesaving = nullptr;
};

template <typename T>
bool find_entry(HMODULE module, const char* name, T* entry, std::string* missing) {
  // Through void (*)(): the one function pointer type any other converts to
  // without a mismatch warning.
  *entry = reinterpret_cast<T>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
  if (!*entry) *missing += std::string(missing->empty() ? "" : ", ") + name;
  return *entry != nullptr;
}

bool load_library(library* lib, std::string* error) {
  const std::string path = own_folder() + "zephronpro.dll";
  lib->module = LoadLibraryA(path.c_str());
  if (!lib->module) {
    *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  std::string missing;
  find_entry(lib->module, "first_window", &lib->first_window, &missing);
  find_entry(lib->module, "scan_box", &lib->scan_box, &missing);
  find_entry(lib->module, "no_cards_found", &lib->no_cards_found, &missing);
  find_entry(lib->module, "display_num_cards", &lib->display_num_cards, &missing);
  find_entry(lib->module, "ask_which_card", &lib->ask_which_card, &missing);
  find_entry(lib->module, "Main_Menu", &lib->Main_Menu, &missing);
  find_entry(lib->module, "ok_to_save", &lib->ok_to_save, &missing);
  find_entry(lib->module, "display_saving", &lib->display_saving, &missing);
  find_entry(lib->module, "display_reset_eeprom", &lib->display_reset_eeprom, &missing);
  find_entry(lib->module, "display_donesaving", &lib->display_donesaving, &missing);
  if (!missing.empty()) {
    *error = path + " lacks the entry points " + missing;
    return false;
  }
  return true;
}

// Serves the thread's windows (status windows stay open between calls and
// paint only while their thread pumps) until `done` or the time is up.
bool pump(DWORD ms, const std::function<bool()>& done = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (done && done()) return true;
    if (GetTickCount() - start >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

class host {
 public:
  host(const options& o, const library& lib, cards::file* file, run_log* log)
      : o_(o), lib_(lib), file_(file), log_(log), user_(o.script, o.pictures, log) {}

  int run() {
    if (!o_.interactive) user_.start();
    const int code = o_.reset ? factory_reset_run() : clock_run();
    if (!o_.interactive) user_.finish();
    if (code == exit_done && user_.failed()) return exit_run_failed;
    return code;
  }

 private:
  // A call's line on the console and in the log, with the windows of the
  // library still open after it.
  int32_t called(const std::string& call, int32_t result, const std::string& meaning = std::string()) {
    std::printf("%s = %d%s\n", call.c_str(), static_cast<int>(result), meaning.empty() ? "" : ("  (" + meaning + ")").c_str());
    std::fflush(stdout);
    log_->line("call " + call + " = " + std::to_string(result));
    std::vector<std::string> open;
    for (HWND w : seen::visible_dialogs()) open.push_back(seen::describe(w));
    std::string line = "open after " + call.substr(0, call.find('(')) + ":";
    if (open.empty()) line += " none";
    for (size_t i = 0; i < open.size(); ++i) line += (i ? ", " : " ") + open[i];
    log_->line(line);
    return result;
  }

  void note(const std::string& text) {
    std::printf("  %s\n", text.c_str());
    std::fflush(stdout);
  }

  // After a status window's call: let the user see it (the scripted one
  // looks at it and takes its picture) while the window is served.
  void status_window_shown() {
    ++status_windows_;
    if (o_.interactive) {
      pump(1500);
      return;
    }
    const long wanted = status_windows_;
    if (!pump(15000, [&] { return user_.status_windows_done() >= wanted; })) {
      log_->line("problem the scripted user did not see status window " + std::to_string(wanted));
      std::fprintf(stderr, "%s: the scripted user did not see the status window in time\n", program);
      timed_out_ = true;
    }
  }

  // The scan (simulated) and its result. Returns the card count, or -1
  // when the run ends here.
  int scan() {
    if (o_.scan_box)
      called("scan_box()", lib_.scan_box());
    else
      called("first_window()", lib_.first_window());
    status_window_shown();
    pump(200);  // the bus scan itself
    const int n = file_->count();
    if (n == 0) {
      called("no_cards_found()", lib_.no_cards_found());
      note("no cards in " + file_->path() + ": nothing to configure");
      return -1;
    }
    called("display_num_cards(" + std::to_string(n) + ")", lib_.display_num_cards(n));
    status_window_shown();
    return n;
  }

  // Card index of the card chosen, or -1 (after the message) when the
  // library returned something that is not a card of this machine.
  int choose_card(int n) {
    const int32_t id = lib_.ask_which_card(static_cast<uint8_t>(n));
    const int index = id - ZEPHRONPRO_CARD_ID(1);
    const bool known = index >= 0 && index < n;
    called("ask_which_card(" + std::to_string(n) + ")", id,
           known ? "card " + std::to_string(index + 1) : "not a card of this machine");
    return known ? index : -1;
  }

  // The simulated EEPROM write: the card takes a moment, then the cards
  // file keeps the new value.
  bool write_eeprom(int index, int clock_id) {
    pump(o_.interactive ? 1500 : 500);
    file_->set_clock(index, clock_id);
    std::string error;
    if (!file_->save(&error)) {
      std::fprintf(stderr, "%s: %s\n", program, error.c_str());
      log_->line("problem " + error);
      return false;
    }
    log_->line("saved card " + std::to_string(index + 1) + " clock " + std::to_string(clock_id));
    note("card " + std::to_string(index + 1) + " now holds " + cards::mhz_of(clock_id) + " MHz in " + file_->path());
    return true;
  }

  int finished(int code) { return code == exit_done && timed_out_ ? exit_run_failed : code; }

  int clock_run() {
    const int n = scan();
    if (n < 0) return finished(exit_done);
    const int index = choose_card(n);
    if (index < 0) return exit_run_failed;

    const int32_t current = file_->clock_of(index);
    const std::string where = std::to_string(index) + ", " + std::to_string(n);
    const int32_t chosen = lib_.Main_Menu(current, index, n);
    const bool clock = chosen >= ZEPHRONPRO_CLOCK_14_7456 && chosen <= ZEPHRONPRO_CLOCK_1_8432;
    called("Main_Menu(" + std::to_string(current) + ", " + where + ")", chosen,
           clock ? std::string(cards::mhz_of(chosen)) + " MHz" : "not a clock");
    if (!clock) return exit_run_failed;

    const int32_t answer = lib_.ok_to_save(current, chosen, static_cast<uint8_t>(index), static_cast<uint8_t>(n));
    called("ok_to_save(" + std::to_string(current) + ", " + std::to_string(chosen) + ", " + where + ")", answer,
           answer == IDOK ? "OK" : "not confirmed");
    if (answer != IDOK) {
      note("nothing written: card " + std::to_string(index + 1) + " keeps " + cards::mhz_of(current) + " MHz");
      return finished(exit_done);
    }

    called("display_saving(" + std::to_string(chosen) + ")", lib_.display_saving(chosen));
    status_window_shown();
    // A failed save must not be followed by the report that says the clock
    // is active.
    if (!write_eeprom(index, chosen)) return exit_save_failed;
    called("display_donesaving(" + std::to_string(chosen) + ")", lib_.display_donesaving(chosen));
    return finished(exit_done);
  }

  int factory_reset_run() {
    const int n = scan();
    if (n < 0) return finished(exit_done);
    const int index = choose_card(n);
    if (index < 0) return exit_run_failed;
    called("display_reset_eeprom()", lib_.display_reset_eeprom());
    status_window_shown();
    if (!write_eeprom(index, cards::factory_clock)) return exit_save_failed;
    // Nothing ends the factory-reset window; it goes with this program.
    return finished(exit_done);
  }

  const options& o_;
  const library& lib_;
  cards::file* file_;
  run_log* log_;
  scripted_user user_;
  long status_windows_ = 0;
  bool timed_out_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (const int code = parse(argc, argv, &o)) return code;
  if (o.cards_file.empty()) o.cards_file = own_folder() + "sample-cards.txt";

  run_log log;
  if (!o.log.empty() && !log.open(o.log)) return usage_error("cannot write the log " + o.log);
  if (!o.pictures.empty()) {
    const DWORD a = GetFileAttributesA(o.pictures.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY))
      return usage_error("--pictures " + o.pictures + ": no such folder");
  }

  cards::file file;
  std::string error;
  bool created = false;
  if (!file.load(o.cards_file, &error, &created)) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return exit_cards_file;
  }
  if (o.cards >= 0 && o.cards != file.count()) {
    file.set_count(o.cards);
    if (!file.save(&error)) {
      std::fprintf(stderr, "%s: %s\n", program, error.c_str());
      return exit_save_failed;
    }
  }
  std::printf("cards file %s%s: %d card%s", file.path().c_str(), created ? " (new)" : "", file.count(),
              file.count() == 1 ? "" : "s");
  for (int i = 0; i < file.count(); ++i) std::printf("%s%s MHz", i ? ", " : " at ", cards::mhz_of(file.clock_of(i)));
  std::printf("\n");

  if (!o.card_given && file.count() == 1) o.script.card = 1;
  if (!o.interactive && file.count() > 0 && o.script.card > file.count())
    return usage_error("--card " + std::to_string(o.script.card) + ": the machine has only " +
                       std::to_string(file.count()) + (file.count() == 1 ? " card" : " cards"));

  library lib;
  if (!load_library(&lib, &error)) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return exit_usage;
  }
  std::printf("%s\n", o.interactive ? "interactive: you answer the screens" : "a scripted user answers the screens");
  std::fflush(stdout);
  host h(o, lib, &file, &log);
  return h.run();
}
