/* A host built from the installed package alone: the header and the import
 * library. It links every entry point, so that the import library is
 * checked whole, calls two and reads back the window they left. */
#include <stdio.h>
#include <windows.h>

#include "zephronpro.h"

/* Volatile stores keep every import, though only two are called. */
static void link_every_entry_point(void) {
  void* volatile linked;
  linked = (void*)Main_Menu, linked = (void*)ask_which_card, linked = (void*)display_donesaving;
  linked = (void*)display_num_cards, linked = (void*)display_reset_eeprom, linked = (void*)display_saving;
  linked = (void*)first_window, linked = (void*)no_cards_found, linked = (void*)ok_to_save, linked = (void*)scan_box;
  (void)linked;
}

int main(void) {
  char label[256] = "";
  HWND window;
  int32_t scanned, counted;
  link_every_entry_point();
  scanned = first_window();
  counted = display_num_cards(2);
  /* The card count window replaced the scanning window. */
  window = FindWindowA(NULL, "ZEPHRON Pro Configurator v1.1 (Beta)");
  if (window) GetDlgItemTextA(window, 1004, label, sizeof label);
  printf("first_window() = %d, display_num_cards(2) = %d, window: %s\n", (int)scanned, (int)counted, label);
  return scanned == 0 && counted == 0 && window ? 0 : 1;
}
