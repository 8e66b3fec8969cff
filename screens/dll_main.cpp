// Load, unload and the host's threads.
#include <windows.h>

#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "screens/screen_state.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      restore_fpu_control_word();
      clear_screen_state();
      return dialog_layer_start(instance) ? TRUE : FALSE;
    case DLL_THREAD_ATTACH:
      thread_dialog_font();
      break;
    case DLL_THREAD_DETACH:
      end_thread_screens();
      dialog_layer_thread_end();
      break;
    case DLL_PROCESS_DETACH:
      // A reserved argument: the process ends, and only memory is freed.
      end_all_screens(reserved != nullptr);
      dialog_layer_stop(reserved != nullptr);
      break;
  }
  return TRUE;
}
