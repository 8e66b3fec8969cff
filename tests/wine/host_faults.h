// A host that fails: its window procedure raises a C++ or a structured
// exception while a screen's loop dispatches, and its own frame-based
// handler catches that around an entry point call, as __try/__except does.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "library.h"

// The host window fails on host_fault_message: it runs host_fault_action
// when one is set, and otherwise raises. The message is posted before the
// call, so the first loop of the call dispatches it.
constexpr UINT host_fault_message = WM_APP + 0x51;
constexpr DWORD host_exception_code = 0xE0005A50;  // customer bit set
extern DWORD caught_exception_code;  // by the host's handler
struct host_error {};
extern bool host_throws_cpp;
extern void (*host_fault_action)();
// Messages the host window received while this is set, logged there by number.
extern HANDLE host_message_log;
extern HWND card_dialog_at_fault;
extern HFONT fonts_at_fault[2];  // the dialog's own and its heading's, if it had them yet

void note_the_card_dialog_at_fault();
// style: WS_POPUP (hidden) unless given.
HWND failing_host_window(DWORD style = WS_POPUP);

// The host's own handler around one entry point call: host_handler_caught
// is set when it caught caught_exception_code and the stack was unwound to it.
extern std::atomic<bool> host_handler_caught;
extern "C" int32_t guarded_call(one_argument_entry entry, int32_t argument);

// Points the import of `from` (a function of a system DLL) of the module at `to`.
bool swap_dll_import(HMODULE module, void* from, void* to);

// Makes every allocation of the module fail once the card dialog has a
// control (a refused window record only makes the layer do without the
// window), or puts the module's malloc back.
bool refuse_allocations_in_the_card_dialog(HMODULE module, bool refuse);
