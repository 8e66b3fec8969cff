// The DLL as a host loads it: LoadLibrary and GetProcAddress by name. Byte
// arguments are declared as whole 32-bit slots here, so tests can pass
// values above 255 and see that only the low byte is read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

typedef int32_t(WINAPI* no_argument_entry)();
typedef int32_t(WINAPI* one_argument_entry)(int32_t);
typedef int32_t(WINAPI* main_menu_entry)(int32_t, int32_t, int32_t);
typedef int32_t(WINAPI* ok_to_save_entry)(int32_t, int32_t, int32_t, int32_t);

struct library {
  HMODULE module;
  no_argument_entry first_window, scan_box, no_cards_found, display_reset_eeprom;
  one_argument_entry display_num_cards, ask_which_card, display_saving, display_donesaving;
  main_menu_entry Main_Menu;
  ok_to_save_entry ok_to_save;
};

// Loads zephronpro.dll from the test program's folder; false if it or an
// entry point is missing.
bool load_library(library* lib);
void unload_library(library* lib);
// The DLL's full path, next to the test program.
std::string library_path();

// The library of a black-box test program (black_box_main.cpp).
extern library lib;
