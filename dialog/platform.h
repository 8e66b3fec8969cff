// The one gate to the Win32 functions. The shown values are computed on the
// x87 at 64-bit precision, round to nearest, all exceptions masked; system
// DLLs, drivers and the host may leave another control word behind, so it
// is put back after every platform call.
#pragma once

#include <windows.h>

#include <type_traits>

// 64-bit precision, round to nearest, every exception masked.
constexpr unsigned short fpu_control_word = 0x133F;
// Status word: set while an exception flag is set whose exception the
// control word does not mask, i.e. an exception is pending.
constexpr unsigned short fpu_error_summary = 0x80;

// fldcw waits: an exception that a platform call left pending and unmasked
// would be raised here, in the library. Such a pending exception is cleared
// first; otherwise the status flags are the host's and stay as they are.
inline void restore_fpu_control_word() {
  unsigned short status = 0;
  __asm__ __volatile__("fnstsw %0" : "=m"(status));
  if (status & fpu_error_summary) __asm__ __volatile__("fnclex");
  unsigned short word = fpu_control_word;
  __asm__ __volatile__("fldcw %0" : : "m"(word));
}

// platform(ShowWindow, window, SW_SHOW): calls the function, restores the
// control word, returns the function's result.
template <typename Function, typename... Args>
inline auto platform(Function function, Args... args) {
  if constexpr (std::is_void_v<decltype(function(args...))>) {
    function(args...);
    restore_fpu_control_word();
  } else {
    auto result = function(args...);
    restore_fpu_control_word();
    return result;
  }
}
