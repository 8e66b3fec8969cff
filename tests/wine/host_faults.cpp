#include "host_faults.h"

#include "screen_checks.h"

DWORD caught_exception_code = host_exception_code;
bool host_throws_cpp = true;
void (*host_fault_action)() = nullptr;
HANDLE host_message_log = nullptr;
HWND card_dialog_at_fault = nullptr;
HFONT fonts_at_fault[2];

void note_the_card_dialog_at_fault() {
  card_dialog_at_fault = FindWindowA("#32770", expected_selection_caption);
  const HWND font_users[] = {card_dialog_at_fault, GetDlgItem(card_dialog_at_fault, 1012)};
  for (int i = 0; i < 2; ++i)
    fonts_at_fault[i] = reinterpret_cast<HFONT>(SendMessageA(font_users[i], WM_GETFONT, 0, 0));
}

LRESULT CALLBACK failing_host_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  DWORD written;
  if (host_message_log) WriteFile(host_message_log, &message, sizeof message, &written, nullptr);
  if (message == host_fault_message) {
    note_the_card_dialog_at_fault();
    if (host_fault_action) return host_fault_action(), 0;
    if (host_throws_cpp) throw host_error{};
    RaiseException(host_exception_code, 0, 0, nullptr);
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

HWND failing_host_window(DWORD style) {
  WNDCLASSA window_class = {};
  window_class.lpfnWndProc = failing_host_procedure;
  window_class.hInstance = GetModuleHandleA(nullptr);
  window_class.lpszClassName = "zp failing host";
  RegisterClassA(&window_class);  // fails harmlessly the second time
  return CreateWindowExA(0, window_class.lpszClassName, "", style, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                         nullptr);
}

std::atomic<bool> host_handler_caught{false};

#ifdef _WIN64
// As a Win64 compiler makes __try/__except: the unwind data of guarded_call
// names the handler, which unwinds every frame above it (ours, the
// platform's) and resumes after the call. The nop keeps the return address
// out of the epilogue, where the system would not call the handler.
extern "C" char guarded_call_resume[];
asm(R"(
    .text
    .globl guarded_call
    .globl guarded_call_resume
    .def guarded_call; .scl 2; .type 32; .endef
    .seh_proc guarded_call
guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler host_exception_handler, @except
    movq %rcx, %rax
    movl %edx, %ecx
    call *%rax
    nop
guarded_call_resume:
    addq $40, %rsp
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION host_exception_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT* context,
                                                        DISPATCHER_CONTEXT* dispatch) {
  if (IS_UNWINDING(record->ExceptionFlags) || record->ExceptionCode != caught_exception_code)
    return ExceptionContinueSearch;
  host_handler_caught = true;
  RtlUnwindEx(frame, guarded_call_resume, record, nullptr, context, dispatch->HistoryTable);  // does not return
  return ExceptionContinueSearch;
}
#else
// i386: a registration of our own on the fs:[0] chain, the frame-based
// handlers' list. The handler unwinds (the unwind handlers of the frames
// above ours run and leave the chain), then jumps back into guarded_call,
// whose frame is intact, with __builtin_longjmp, which only restores the
// stack and frame pointers.
struct host_registration {
  host_registration* previous;
  void* handler;
};
void* guarded_call_resume[5];

extern "C" EXCEPTION_DISPOSITION __cdecl host_exception_handler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                                void*) {
  if (IS_UNWINDING(record->ExceptionFlags) || record->ExceptionCode != caught_exception_code)
    return ExceptionContinueSearch;
  host_handler_caught = true;
  RtlUnwind(frame, nullptr, record, nullptr);
  __builtin_longjmp(guarded_call_resume, 1);
}

extern "C" int32_t guarded_call(one_argument_entry entry, int32_t argument) {
  host_registration registration = {nullptr, reinterpret_cast<void*>(host_exception_handler)};
  int32_t result = 0;
  __asm__ __volatile__("movl %%fs:0, %0" : "=r"(registration.previous));
  __asm__ __volatile__("movl %0, %%fs:0" : : "r"(&registration) : "memory");
  if (__builtin_setjmp(guarded_call_resume) == 0) result = entry(argument);
  __asm__ __volatile__("movl %0, %%fs:0" : : "r"(registration.previous) : "memory");
  return result;
}
#endif

bool swap_dll_import(HMODULE module, void* from, void* to) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY& table = headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  auto** const end = reinterpret_cast<void**>(base + table.VirtualAddress + table.Size);
  for (auto** slot = reinterpret_cast<void**>(base + table.VirtualAddress); slot < end; ++slot) {
    DWORD was;
    if (*slot == from) return VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was) && (*slot = to);
  }
  return false;
}

namespace {
void* (*real_malloc)(size_t);
void* __cdecl malloc_refusing_in_the_card_dialog(size_t size) {
  if (!GetWindow(FindWindowA("#32770", expected_selection_caption), GW_CHILD)) return real_malloc(size);
  note_the_card_dialog_at_fault();
  return nullptr;
}
}  // namespace

bool refuse_allocations_in_the_card_dialog(HMODULE module, bool refuse) {
  real_malloc = reinterpret_cast<void* (*)(size_t)>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "malloc")));
  void* refusing = reinterpret_cast<void*>(malloc_refusing_in_the_card_dialog);
  void* real = reinterpret_cast<void*>(real_malloc);
  return refuse ? swap_dll_import(module, real, refusing) : swap_dll_import(module, refusing, real);
}
