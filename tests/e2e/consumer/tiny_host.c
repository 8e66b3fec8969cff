/* A host built from the installed package alone: the header and the import
 * library. It calls two entry points and reads back the window they left. */
#include <stdio.h>
#include <windows.h>

#include "zephronpro.h"

int main(void) {
  char label[256] = "";
  HWND window;
  int32_t scanned = first_window();
  int32_t counted = display_num_cards(2);
  /* The card count window replaced the scanning window. */
  window = FindWindowA(NULL, "ZEPHRON Pro Configurator v1.1 (Beta)");
  if (window) GetDlgItemTextA(window, 1004, label, sizeof label);
  printf("first_window() = %d, display_num_cards(2) = %d, window: %s\n", (int)scanned, (int)counted, label);
  return scanned == 0 && counted == 0 && window ? 0 : 1;
}
