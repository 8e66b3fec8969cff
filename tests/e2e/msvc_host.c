/* A host as an MSVC toolchain builds it, with no C runtime: compiled for
 * the msvc target and linked by lld-link against the installed
 * zephronpro.lib, plus a kernel32 import library made for the one function
 * it needs. Its exit status is 0 when both entry points returned 0. */
#include "zephronpro.h"

__declspec(dllimport) void WINAPI ExitProcess(unsigned int code);

void host_main(void) { ExitProcess(first_window() == 0 && display_num_cards(2) == 0 ? 0 : 1); }
