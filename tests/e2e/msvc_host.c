/* A host as an MSVC toolchain builds it, with no C runtime: compiled for
 * the msvc target and linked by lld-link against the installed
 * zephronpro.lib, plus a kernel32 import library made for the one function
 * it needs. It links every entry point (volatile stores keep the imports)
 * and calls two; its exit status is 0 when both returned 0. */
#include "zephronpro.h"

__declspec(dllimport) void WINAPI ExitProcess(unsigned int code);

void host_main(void) {
  void* volatile linked;
  linked = (void*)Main_Menu, linked = (void*)ask_which_card, linked = (void*)display_donesaving;
  linked = (void*)display_num_cards, linked = (void*)display_reset_eeprom, linked = (void*)display_saving;
  linked = (void*)first_window, linked = (void*)no_cards_found, linked = (void*)ok_to_save, linked = (void*)scan_box;
  (void)linked;
  ExitProcess(first_window() == 0 && display_num_cards(2) == 0 ? 0 : 1);
}
