// Load, unload and the host's threads.
#include <windows.h>

#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "screens/screen_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      restore_fpu_control_word();
      clear_screen_state();
      return dialog_layer_start(instance) ? TRUE : FALSE;
    case DLL_THREAD_ATTACH:
      thread_dialog_font();
      break;
    case DLL_THREAD_DETACH:
      release_left_over_screens();
      dialog_layer_thread_end();
      break;
    case DLL_PROCESS_DETACH:
      release_left_over_screens(true);
      dialog_layer_stop();
      break;
  }
  return TRUE;
}
