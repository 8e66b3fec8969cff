// The one gate to the Win32 functions. The shown values are computed on the
// x87 at 64-bit precision, round to nearest, all exceptions masked; system
// DLLs, drivers and the host may leave another control word behind, so it
// is put back after every platform call.
#pragma once

#include <windows.h>

#include <type_traits>

// 64-bit precision, round to nearest, every exception masked.
constexpr unsigned short fpu_control_word = 0x133F;

// Only the control word: the status flags are the host's. With every
// exception masked, loading the word cannot raise one that is pending.
inline void restore_fpu_control_word() {
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
