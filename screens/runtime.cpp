// The few pieces of the C++ runtime the DLL needs, in their smallest form.
//
// The library throws nothing and catches nothing: every failure it handles
// is a zero handle or a null from new (std::nothrow), and all of it is built
// without exceptions, so its frames have no cleanups and a host's own
// exception passes through them. What could still throw is the standard
// library itself on exhausted memory or a length beyond max_size(). An
// exception of ours could never cross the stdcall boundary into a host, so
// those raise the structured exception Windows' own allocator raises when
// told to (HeapAlloc with HEAP_GENERATE_EXCEPTIONS): STATUS_NO_MEMORY. A
// host can catch it and go on; uncaught, it ends the process with that code.
// The library's next entry point releases what the interrupted one had open.
// Defining them here keeps the toolchain's versions out of the link, and
// with them the exception machinery they drag in: the name demangler of the
// verbose terminate handler, printf, the unwinder and the POSIX thread
// library (about 240 KB of a 300 KB DLL).
//
// Safety net: if a throw ever enters the library (a part built with
// exceptions, or a toolchain function that throws), the link pulls in the
// real unwinder, whose _Unwind_Resume clashes with the one below, and the
// build fails instead of shipping a throw that cannot be caught.
#include <windows.h>

#include <cstddef>
#include <cstdlib>
#include <new>
#include <string>

#include "screens/screen_state.h"

// The string members the library uses, made here (this file is built
// without exceptions) rather than taken from the toolchain's copy, whose
// catch-and-rethrow cleanups need the whole exception runtime. The linker
// keeps only the members that are called on i386; on x86-64 their unwind
// data, which the link always keeps, keeps every member (about 12 KB).
template class std::basic_string<char>;

// The library never passes a null text or a position beyond one's end: the
// two logic errors cannot happen.
namespace std {
void __throw_length_error(const char*) { raise_no_memory(); }
void __throw_logic_error(const char*) { abort(); }
void __throw_out_of_range_fmt(const char*, ...) { abort(); }
void __throw_bad_alloc() { raise_no_memory(); }
void __throw_bad_array_new_length() { raise_no_memory(); }
}  // namespace std

namespace __gnu_cxx {
void __verbose_terminate_handler() { abort(); }
}  // namespace __gnu_cxx

// Every block starts with a text_block, which keeps malloc's alignment. The
// throwing forms make the texts (std::string's buffers): listed with the
// entry point that runs, so that one that a host's exception unwinds frees
// them, as no destructor runs then. The nothrow forms make the records that
// outlive a call (windows, threads, modal screens): never listed.
static void* allocate(std::size_t size) noexcept {
  auto* block = static_cast<text_block*>(malloc(sizeof(text_block) + (size ? size : 1)));
  if (!block) return nullptr;
  block->link = nullptr;
  return block + 1;
}
void* operator new(std::size_t size) {
  void* p = allocate(size);
  if (!p) raise_no_memory();
  list_text(static_cast<text_block*>(p) - 1);
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept {
  if (!p) return;
  text_block* block = static_cast<text_block*>(p) - 1;
  unlist_text(block);
  free(block);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
void operator delete[](void* p, std::size_t) noexcept { operator delete(p); }

// Nothing calls it: it is the safety net above.
extern "C" void _Unwind_Resume(void*) { abort(); }

#ifdef _WIN64
// The stack probe that a function with a frame of a page or more calls
// first (the C runtime's start-up code too, for alloca). libgcc's has no
// unwind data, so a stack overflow, raised right here, could not be unwound
// to a host's handler. The same code, with its two pushes described.
asm(R"(
    .text
    .globl ___chkstk_ms
    .def ___chkstk_ms; .scl 2; .type 32; .endef
    .seh_proc ___chkstk_ms
___chkstk_ms:
    pushq %rcx
    .seh_pushreg %rcx
    pushq %rax
    .seh_pushreg %rax
    .seh_endprologue
    cmpq $0x1000, %rax
    leaq 24(%rsp), %rcx
    jb 2f
1:  subq $0x1000, %rcx
    orq $0, (%rcx)
    subq $0x1000, %rax
    cmpq $0x1000, %rax
    ja 1b
2:  subq %rax, %rcx
    orq $0, (%rcx)
    popq %rax
    popq %rcx
    ret
    .seh_endproc
)");
#endif
