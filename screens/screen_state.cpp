#include "screens/screen_state.h"

#include <cstdlib>
#include <new>

#include "dialog/dialog.h"
#include "dialog/platform.h"

HWND scan_window;
HWND count_window;
HWND saving_window;
HWND reset_window;
HWND clock_dialog;
int32_t clock_choice;
int32_t card_choice;
int32_t pump_count;

void clear_screen_state() {
  scan_window = count_window = saving_window = reset_window = clock_dialog = nullptr;
  clock_choice = card_choice = pump_count = 0;
}

void raise_no_memory() {
  RaiseException(STATUS_NO_MEMORY, EXCEPTION_NONCONTINUABLE, 0, nullptr);
  abort();  // only if a vectored handler continued it where it stood
}

void list_text(text_block* block) {
  thread_record* thread = current_thread_record();
  screen_call* call = thread ? thread->calls : nullptr;
  block->link = nullptr;
  if (!call) return;
  block->next = call->texts;
  if (block->next) block->next->link = &block->next;
  block->link = &call->texts;
  call->texts = block;
}

void unlist_text(text_block* block) {
  if (!block->link) return;
  *block->link = block->next;
  if (block->next) block->next->link = block->link;
}

namespace {

// A call that its screen's frame no longer holds: unwound, or on a thread
// that ends. Memory only: its texts are freed, its modal screen goes to
// left_over, the modal loops it ran are dropped.
void call_gone(screen_call* call) {
  while (text_block* block = call->texts) {
    call->texts = block->next;
    free(block);
  }
  thread_record* thread = call->thread;
  if (call->modal) {
    call->modal->next = thread->left_over;
    thread->left_over = call->modal;
  }
  thread->loops = call->loops;
  thread->calls = call->outer;
}

}  // namespace

extern "C" int32_t run_screen_body(screen_call* call) { return call->screen(call->arguments); }

// run_screen_body under the frame-based handler: what a compiler makes of
// __try/__finally, which ours has no words for.
#ifdef _WIN64
// The handler's establisher frame is guarded_screen's stack pointer after
// its prologue, where the call is kept. The nop keeps the return address
// out of the epilogue, where the system would not call the handler.
extern "C" int32_t guarded_screen(screen_call* call);
extern "C" EXCEPTION_DISPOSITION screen_unwound(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if (IS_UNWINDING(record->ExceptionFlags))
    call_gone(*reinterpret_cast<screen_call**>(static_cast<char*>(frame) + 32));
  return ExceptionContinueSearch;
}
asm(R"(
    .text
    .def guarded_screen; .scl 2; .type 32; .endef
    .seh_proc guarded_screen
guarded_screen:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler screen_unwound, @unwind
    movq %rcx, 32(%rsp)
    call run_screen_body
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");
#else
// i386: a registration on the thread's fs:[0] chain of frame handlers,
// with the call beside it.
struct guard_registration {
  guard_registration* previous;
  void* handler;
  screen_call* call;
};
extern "C" EXCEPTION_DISPOSITION __cdecl screen_unwound(EXCEPTION_RECORD* record, void* frame, CONTEXT*, void*) {
  if (IS_UNWINDING(record->ExceptionFlags)) call_gone(static_cast<guard_registration*>(frame)->call);
  return ExceptionContinueSearch;
}
__attribute__((noinline)) static int32_t guarded_screen(screen_call* call) {
  guard_registration registration = {nullptr, reinterpret_cast<void*>(screen_unwound), call};
  __asm__ __volatile__("movl %%fs:0, %0" : "=r"(registration.previous));
  __asm__ __volatile__("movl %0, %%fs:0" : : "r"(&registration) : "memory");
  const int32_t result = run_screen_body(call);
  __asm__ __volatile__("movl %0, %%fs:0" : : "r"(registration.previous) : "memory");
  return result;
}
#endif

int32_t run_screen(screen_body screen, int32_t a0, int32_t a1, int32_t a2) {
  thread_record* thread = this_thread_record();
  if (!thread) raise_no_memory();
  release_left_over_screens(thread);
  screen_call call = {thread->calls, thread, thread->loops, nullptr, nullptr, screen, {a0, a1, a2}};
  thread->calls = &call;
  const int32_t result = guarded_screen(&call);
  thread->calls = call.outer;
  // Texts that outlive the call (none do today) are no longer its.
  for (text_block* block = call.texts; block; block = block->next) block->link = nullptr;
  return result;
}

modal_screen* begin_modal_screen() {
  auto* screen = new (std::nothrow) modal_screen{};
  if (!screen) raise_no_memory();
  current_thread_record()->calls->modal = screen;
  return screen;
}

void end_modal_screen(modal_screen* screen) {
  for (HFONT font : screen->fonts) platform(DeleteObject, static_cast<HGDIOBJ>(font));
  current_thread_record()->calls->modal = nullptr;
  delete screen;
}

void release_left_over_screens(thread_record* thread) {
  // Taken off the list first: ending a dialog calls windows, whose
  // procedures may call an entry point.
  while (modal_screen* screen = thread->left_over) {
    thread->left_over = screen->next;
    destroy_dialog(screen->dialog);
    for (HFONT font : screen->fonts) platform(DeleteObject, static_cast<HGDIOBJ>(font));
    delete screen;
  }
}

void end_thread_screens() {
  thread_record* thread = current_thread_record();
  if (!thread) return;
  while (thread->calls) call_gone(thread->calls);
  release_left_over_screens(thread);
}

void end_all_screens(bool process_ending) {
  thread_record* me = current_thread_record();
  if (me && !process_ending) release_left_over_screens(me);
  for (thread_record* thread = first_thread_record(); thread; thread = thread->next) {
    while (modal_screen* screen = thread->left_over) {
      thread->left_over = screen->next;
      delete screen;
    }
  }
}

clock_value clock_of(int32_t clock_id) {
  // Compared whole, in this order; the first match wins.
  if (clock_id == clock_14_7456) return {14.7456f, 8};
  if (clock_id == clock_7_3728) return {7.3728f, 4};
  if (clock_id == clock_3_6864) return {3.6864f, 2};
  if (clock_id == clock_1_8432) return {1.8432f, 1};
  return {0.0f, 0};
}
