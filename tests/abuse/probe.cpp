// The probe DLL: the library's own code and DllMain, as in the shipped DLL,
// plus read-only views of the dialog layer, so tests that load it as a host
// does can count records across real thread attach, detach and unload.
#include <cstdint>

#include "dialog/dialog.h"

extern "C" {
__declspec(dllexport) int32_t WINAPI probe_window_records() { return window_record_count(); }
__declspec(dllexport) int32_t WINAPI probe_open_dialogs() { return open_dialog_count; }
__declspec(dllexport) int32_t WINAPI probe_thread_font_records() { return thread_font_record_count(); }
}
