#include "library.h"

#include <string>

std::string library_path() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.erase(folder.find_last_of("\\/") + 1);
  return folder + "zephronpro.dll";
}

bool load_library(library* lib) {
  *lib = library{};
  lib->module = LoadLibraryA(library_path().c_str());
  if (!lib->module) return false;
  // Through void (*)(): the one function pointer type any other converts to
  // without a mismatch warning.
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
  return lib->first_window && lib->scan_box && lib->no_cards_found && lib->display_reset_eeprom &&
         lib->display_num_cards && lib->ask_which_card && lib->display_saving && lib->display_donesaving &&
         lib->Main_Menu && lib->ok_to_save;
}

void unload_library(library* lib) {
  if (lib->module) FreeLibrary(lib->module);
  *lib = library{};
}
