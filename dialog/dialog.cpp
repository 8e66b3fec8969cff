#include "dialog/dialog.h"

#include <new>

#include "dialog/platform.h"
#include "dialog/portable/description.h"
#include "dialog/portable/styles.h"

using dialog_styles::control_class;

int32_t open_dialog_count = 0;
HWND active_dialog = nullptr;
const char default_message_box_title[] = "Sorvenna";

// A show_modal that runs, listed with its thread (thread_record::loops).
struct modal_loop {
  modal_loop* outer;
  HWND dialog;
  int32_t result;
  bool ended;  // result is end_dialog's
};

namespace {

HINSTANCE module_instance = nullptr;

// Colours that mean "the platform's own".
constexpr COLORREF platform_default_colour = CLR_INVALID;
constexpr int waits_before_message_box_ms = 5;
constexpr int idle_wait_ms = 1;

// One record for each dialog the layer created and each control it added,
// from creation until the platform destroys the window.
struct window_record {
  window_record* next;
  HWND window;
  HWND parent;  // control: its dialog; dialog: the owner given at creation
  uint32_t kind;
  int32_t show_command;
  HFONT font;  // the font the platform made from the description
  dialog_callback callback;
  int32_t* result_destination;  // modal dialogs only; show_modal alone writes it
  HACCEL accelerators;
  HBRUSH background_brush;
  COLORREF background_colour;
  COLORREF text_colour;
  int32_t class_index;      // controls
  uint32_t style_argument;  // dialogs
  HANDLE images[3];
  uint32_t values[8];
  bool ending;  // inside end_dialog: a nested end does nothing
};

// All records, newest first. The screens use them from one thread; the lock
// word still keeps a host that strays onto another thread from corrupting
// the list. Callbacks are never called with the lock held.
window_record* records = nullptr;
volatile LONG record_lock = 0;

// Holds a lock word for one scope: taken with an atomic exchange, spinning
// while another thread has it.
struct spin_lock {
  explicit spin_lock(volatile LONG& word) : word_(word) {
    while (InterlockedExchange(&word_, 1) != 0) YieldProcessor();
  }
  ~spin_lock() { InterlockedExchange(&word_, 0); }
  spin_lock(const spin_lock&) = delete;
  spin_lock& operator=(const spin_lock&) = delete;

 private:
  volatile LONG& word_;
};

struct record_list_lock : spin_lock {
  record_list_lock() : spin_lock(record_lock) {}
};

window_record* find_locked(HWND window) {
  if (!window) return nullptr;
  for (window_record* r = records; r; r = r->next)
    if (r->window == window) return r;
  return nullptr;
}

// A copy of the record of a dialog (not a control), taken under the lock.
bool dialog_record(HWND window, window_record* copy) {
  record_list_lock lock;
  const window_record* r = find_locked(window);
  if (!r || (r->kind & record_kind_dialog) != record_kind_dialog) return false;
  *copy = *r;
  return true;
}

bool insert_record(const window_record& fields) {
  window_record* r = new (std::nothrow) window_record(fields);
  if (!r) return false;
  record_list_lock lock;
  r->next = records;
  records = r;
  return true;
}

// Frees the record of a dialog and those of its controls.
void free_records_of(HWND dialog) {
  record_list_lock lock;
  for (window_record** link = &records; *link;) {
    window_record* r = *link;
    if (r->window == dialog || r->parent == dialog) {
      *link = r->next;
      delete r;
    } else {
      link = &r->next;
    }
  }
}

window_record new_record(HWND window, HWND parent, uint32_t kind) {
  window_record r{};
  r.window = window;
  r.parent = parent;
  r.kind = kind;
  r.background_colour = platform_default_colour;
  r.text_colour = platform_default_colour;
  return r;
}

// Per-thread records. Every thread gets the font values of the library's
// first thread. A thread that existed before the library was loaded never
// gets a thread-attach notice, so the record is also made on first use; all
// records are listed so that unloading frees every one.
DWORD thread_slot = TLS_OUT_OF_INDEXES;
const default_dialog_font first_thread_font = {"MS Sans Serif", 8};

thread_record* thread_records = nullptr;
volatile LONG thread_records_lock = 0;

void unlink_thread_record(thread_record* record) {
  spin_lock lock(thread_records_lock);
  for (thread_record** link = &thread_records; *link; link = &(*link)->next) {
    if (*link == record) {
      *link = record->next;
      break;
    }
  }
}

INT_PTR CALLBACK layer_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// A non-zero callback result is also the dialog's message result, unless the
// callback already set one itself.
INT_PTR handled(HWND dialog, LONG result) {
  if (platform(GetWindowLongPtrA, dialog, DWLP_MSGRESULT) == 0)
    platform(SetWindowLongPtrA, dialog, DWLP_MSGRESULT, static_cast<LONG_PTR>(result));
  return result;
}

bool is_ctlcolor(UINT message) { return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC; }

// Steps 1 to 3 shared by show_modeless and show_modal. Returns false when
// the dialog has no record (never created, or ended by the callback's own
// WM_INITDIALOG).
bool attach_callback(HWND dialog, dialog_callback callback, int32_t* result_destination,
                     int* show_command) {
  if (callback) callback(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(dialog), 0);
  record_list_lock lock;
  window_record* r = find_locked(dialog);
  if (!r || (r->kind & record_kind_dialog) != record_kind_dialog) return false;
  r->callback = callback;
  r->kind |= record_kind_shown;
  r->result_destination = result_destination;
  *show_command = r->show_command;
  return true;
}

// The one dialog procedure of every dialog of the layer; screens see only
// their callbacks, which it calls.
INT_PTR CALLBACK layer_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_INITDIALOG) ++open_dialog_count;
  if (message == WM_DESTROY) --open_dialog_count;

  // Activation is the layer's own business; the platform's default focus
  // handling of it is skipped and the callback does not see it.
  if (message == WM_ACTIVATE) {
    switch (LOWORD(wparam)) {
      case WA_ACTIVE:
      case WA_CLICKACTIVE:
        active_dialog = dialog;
        return TRUE;
      case WA_INACTIVE:
        active_dialog = nullptr;
        return TRUE;
    }
  }

  if (message == WM_COMMAND || message == WM_HSCROLL || message == WM_VSCROLL) {
    HWND control = message == WM_COMMAND ? platform(GetDlgItem, dialog, static_cast<int>(LOWORD(wparam)))
                                         : reinterpret_cast<HWND>(lparam);
    dialog_callback control_callback = nullptr;
    {
      record_list_lock lock;
      if (const window_record* r = find_locked(control)) control_callback = r->callback;
    }
    if (control_callback) {
      LONG result = control_callback(dialog, message, wparam, lparam);
      if (result != 0) return handled(dialog, result);
    }
  }

  window_record record;
  if (dialog_record(dialog, &record)) {
    LONG result = record.callback ? record.callback(dialog, message, wparam, lparam) : 0;
    if (message == WM_NCDESTROY) free_records_of(dialog);
    if (result != 0) return handled(dialog, result);
    if (is_ctlcolor(message)) return 0;
  }

  if (message == WM_SYSCOMMAND && LOWORD(wparam) == SC_CLOSE) {
    end_dialog(dialog, 0);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

bool dialog_layer_start(HINSTANCE instance) {
  module_instance = instance;
  records = nullptr;
  record_lock = 0;
  open_dialog_count = 0;
  active_dialog = nullptr;
  thread_records = nullptr;
  thread_slot = platform(TlsAlloc);
  if (thread_slot == TLS_OUT_OF_INDEXES) return false;
  thread_dialog_font();
  return true;
}

// A thread's windows go with it, and their procedure hears nothing of it:
// their records would stay and open_dialog_count would never come down
// again. So the dialogs of an ending thread are ended here, the proper way,
// and records of windows already gone without a word are dropped.
static void end_dialogs_of_ending_thread() {
  const DWORD me = platform(GetCurrentThreadId);
  for (;;) {
    HWND mine = nullptr;
    {
      record_list_lock lock;
      for (const window_record* r = records; r && !mine; r = r->next) {
        if ((r->kind & record_kind_dialog) != record_kind_dialog) continue;
        if (!platform(IsWindow, r->window) || platform(GetWindowThreadProcessId, r->window, static_cast<LPDWORD>(nullptr)) == me)
          mine = r->window;
      }
    }
    if (!mine) return;
    if (platform(IsWindow, mine)) platform(DestroyWindow, mine);
    if (platform(IsWindow, mine)) return;  // cannot be ended: leave it be
    bool unheard;
    {
      record_list_lock lock;
      unheard = find_locked(mine) != nullptr;
    }
    if (unheard) {
      // Counted open at its creation notice; no WM_DESTROY will come.
      free_records_of(mine);
      --open_dialog_count;
    }
  }
}

void dialog_layer_thread_end() {
  end_dialogs_of_ending_thread();
  thread_record* record = current_thread_record();
  if (!record) return;
  unlink_thread_record(record);
  delete record;
  platform(TlsSetValue, thread_slot, static_cast<LPVOID>(nullptr));
}

void dialog_layer_stop(bool process_ending) {
  {
    spin_lock lock(thread_records_lock);
    while (thread_records) {
      thread_record* next = thread_records->next;
      delete thread_records;
      thread_records = next;
    }
  }
  if (thread_slot != TLS_OUT_OF_INDEXES) platform(TlsFree, thread_slot);
  thread_slot = TLS_OUT_OF_INDEXES;
  // Unloading ends no window, but a dialog still open would go on calling
  // layer_dialog_proc after the code is gone. Hand such dialogs to the
  // platform's own dialog handling: they stay on screen and keep painting,
  // and nothing calls into the unloaded library any more. A process that
  // ends takes its windows along, and its window procedures may rely on
  // what it has already torn down: then no window is called at all.
  record_list_lock lock;
  while (records) {
    window_record* next = records->next;
    if (!process_ending && (records->kind & record_kind_dialog) == record_kind_dialog)
      platform(SetWindowLongPtrA, records->window, DWLP_DLGPROC, static_cast<LONG_PTR>(0));
    delete records;
    records = next;
  }
  open_dialog_count = 0;
  active_dialog = nullptr;
}

thread_record* current_thread_record() {
  if (thread_slot == TLS_OUT_OF_INDEXES) return nullptr;
  return static_cast<thread_record*>(platform(TlsGetValue, thread_slot));
}

thread_record* this_thread_record() {
  if (thread_slot == TLS_OUT_OF_INDEXES) return nullptr;
  if (thread_record* record = current_thread_record()) return record;
  auto* record = new (std::nothrow) thread_record{first_thread_font, nullptr, nullptr, nullptr, nullptr};
  if (!record) return nullptr;
  {
    spin_lock lock(thread_records_lock);
    record->next = thread_records;
    thread_records = record;
  }
  platform(TlsSetValue, thread_slot, static_cast<LPVOID>(record));
  return record;
}

thread_record* first_thread_record() { return thread_records; }

const default_dialog_font* thread_dialog_font() {
  const thread_record* record = this_thread_record();
  return record ? &record->font : &first_thread_font;
}

int32_t thread_font_record_count() {
  spin_lock lock(thread_records_lock);
  int32_t n = 0;
  for (const thread_record* r = thread_records; r; r = r->next) ++n;
  return n;
}

HWND create_dialog(HWND parent, const std::string& caption, int x, int y, int width, int height,
                   DWORD style, DWORD ex_style) {
  const default_dialog_font* font = thread_dialog_font();
  dialog_description::fields fields{};
  fields.style = dialog_styles::effective_dialog_style(style, x, y);
  fields.ex_style = ex_style;
  fields.x = static_cast<int16_t>(x);
  fields.y = static_cast<int16_t>(y);
  fields.width = static_cast<uint16_t>(width);
  fields.height = static_cast<uint16_t>(height);
  fields.caption = caption;
  fields.point_size = font->points;
  fields.face = font->face;

  // The platform reads the description as 16-bit fields from a DWORD
  // boundary.
  alignas(4) unsigned char description[dialog_description::max_bytes];
  dialog_description::build(fields, description);

  HWND dialog = platform(CreateDialogIndirectParamA, module_instance,
                         reinterpret_cast<LPCDLGTEMPLATEA>(description), parent, layer_dialog_proc,
                         static_cast<LPARAM>(0));
  if (!dialog) return nullptr;

  window_record record = new_record(dialog, parent, record_kind_dialog);
  record.show_command = dialog_styles::show_command(style);
  record.style_argument = style;
  record.font = reinterpret_cast<HFONT>(platform(SendMessageA, dialog, static_cast<UINT>(WM_GETFONT),
                                                 static_cast<WPARAM>(0), static_cast<LPARAM>(0)));
  if (!insert_record(record)) {
    // No record, no way to end it later: take the window back at once.
    platform(DestroyWindow, dialog);
    return nullptr;
  }
  return dialog;
}

HWND add_control(HWND dialog, int class_index, int id, const std::string& text, int x, int y,
                 int width, int height, DWORD style, DWORD ex_style, dialog_callback control_callback,
                 const std::string& class_name) {
  const control_class* row = dialog_styles::control_class_row(class_index);
  window_record parent_record;
  if (!row || !dialog_record(dialog, &parent_record)) return nullptr;

  RECT rect = {x, y, x + width, y + height};
  platform(MapDialogRect, dialog, &rect);
  const DWORD effective = dialog_styles::effective_control_style(*row, style);
  const char* platform_class = row->platform_class ? row->platform_class : class_name.c_str();

  HWND control = platform(CreateWindowExA, ex_style, platform_class, text.c_str(), effective,
                          static_cast<int>(rect.left), static_cast<int>(rect.top),
                          static_cast<int>(rect.right - rect.left),
                          static_cast<int>(rect.bottom - rect.top), dialog,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module_instance,
                          static_cast<LPVOID>(nullptr));
  if (!control) return nullptr;
  platform(SendMessageA, control, static_cast<UINT>(WM_SETFONT),
           reinterpret_cast<WPARAM>(parent_record.font), static_cast<LPARAM>(TRUE));

  window_record record = new_record(control, dialog, record_kind_control);
  record.callback = control_callback;
  record.class_index = class_index;
  // A control without a record still works; it only cannot have a callback.
  insert_record(record);

  if (class_index == dialog_styles::class_push_button && (effective & dialog_styles::bs_defpushbutton))
    platform(SendMessageA, dialog, static_cast<UINT>(DM_SETDEFID), static_cast<WPARAM>(id),
             static_cast<LPARAM>(0));
  return control;
}

void show_modeless(HWND dialog, dialog_callback callback) {
  int show_command = 0;
  if (!attach_callback(dialog, callback, nullptr, &show_command)) return;
  platform(ShowWindow, dialog, show_command);
}

void show_modal(HWND dialog, dialog_callback callback, int32_t* result) {
  int show_command = 0;
  if (!attach_callback(dialog, callback, result, &show_command)) return;
  // Where end_dialog leaves the result: this frame, listed with the
  // thread, never the caller's.
  thread_record* thread = this_thread_record();
  modal_loop loop = {thread ? thread->loops : nullptr, dialog, 0, false};
  if (thread) thread->loops = &loop;

  HWND owner = reinterpret_cast<HWND>(platform(GetWindowLongPtrA, dialog, GWLP_HWNDPARENT));
  if (owner) {
    platform(SendMessageA, owner, static_cast<UINT>(WM_CANCELMODE), static_cast<WPARAM>(0), static_cast<LPARAM>(0));
    platform(EnableWindow, owner, FALSE);
  }
  const bool idle_messages = !(platform(GetWindowLongA, dialog, GWL_STYLE) & DS_NOIDLEMSG);
  platform(ShowWindow, dialog, show_command);

  MSG message;
  for (;;) {
    if (!platform(PeekMessageA, &message, static_cast<HWND>(nullptr), 0u, 0u, static_cast<UINT>(PM_REMOVE))) {
      if (owner && idle_messages)
        platform(SendMessageA, owner, static_cast<UINT>(WM_ENTERIDLE), static_cast<WPARAM>(MSGF_DIALOGBOX),
                 reinterpret_cast<LPARAM>(dialog));
      platform(Sleep, static_cast<DWORD>(idle_wait_ms));
      // A dialog can go without leaving a message behind; waiting for the
      // next message would then never end.
      if (!platform(IsWindow, dialog)) break;
      continue;
    }
    if (!platform(IsWindow, dialog) || !platform(IsDialogMessageA, dialog, &message)) {
      platform(TranslateMessage, &message);
      platform(DispatchMessageA, &message);
    }
    if (!platform(IsWindow, dialog)) break;
  }
  if (owner) platform(SetFocus, owner);
  if (thread) thread->loops = loop.outer;
  if (loop.ended) *result = loop.result;
}

void end_dialog(HWND dialog, int32_t result) {
  {
    record_list_lock lock;
    window_record* r = find_locked(dialog);
    if (!r || (r->kind & record_kind_dialog) != record_kind_dialog || r->ending) return;
    r->ending = true;
  }
  platform(SendMessageA, dialog, static_cast<UINT>(WM_CLOSE), static_cast<WPARAM>(0), static_cast<LPARAM>(0));

  HWND owner = reinterpret_cast<HWND>(platform(GetWindowLongPtrA, dialog, GWLP_HWNDPARENT));
  bool owner_was_disabled = false;
  if (owner) owner_was_disabled = platform(EnableWindow, owner, TRUE) != 0;

  // Only a loop of this thread that still runs takes it.
  if (thread_record* thread = current_thread_record()) {
    for (modal_loop* loop = thread->loops; loop; loop = loop->outer) {
      if (loop->dialog != dialog) continue;
      loop->result = result;
      loop->ended = true;
      break;
    }
  }

  if (!platform(DestroyWindow, dialog)) {
    if (owner && owner_was_disabled) platform(EnableWindow, owner, FALSE);
    record_list_lock lock;
    if (window_record* r = find_locked(dialog)) r->ending = false;
  }
}

void destroy_dialog(HWND dialog) {
  window_record record;
  if (dialog_record(dialog, &record)) platform(DestroyWindow, dialog);
}

int32_t pump_events() {
  HWND noted = active_dialog;
  MSG message;
  if (!platform(PeekMessageA, &message, static_cast<HWND>(nullptr), 0u, 0u, static_cast<UINT>(PM_REMOVE))) {
    platform(Sleep, static_cast<DWORD>(idle_wait_ms));
    return open_dialog_count;
  }
  if (!noted || !platform(IsWindow, noted) || !platform(IsDialogMessageA, noted, &message)) {
    platform(TranslateMessage, &message);
    platform(DispatchMessageA, &message);
  }
  return open_dialog_count;
}

int32_t message_box(const std::string& text, const std::string& title, UINT style) {
  const char* shown_title = title.empty() ? default_message_box_title : title.c_str();
  platform(Sleep, static_cast<DWORD>(waits_before_message_box_ms));
  return platform(MessageBoxA, static_cast<HWND>(nullptr), text.c_str(), shown_title, style);
}

void check_option(HWND dialog, int first_id, int last_id, int checked_id) {
  platform(CheckRadioButton, dialog, first_id, last_id, checked_id);
}

int32_t get_check(HWND dialog, int id) {
  HWND control = platform(GetDlgItem, dialog, id);
  return static_cast<int32_t>(platform(SendMessageA, control, static_cast<UINT>(BM_GETCHECK),
                                       static_cast<WPARAM>(0), static_cast<LPARAM>(0)));
}

LRESULT send_to_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  return platform(SendMessageA, window, message, wparam, lparam);
}

HWND control_window(HWND dialog, int id) { return platform(GetDlgItem, dialog, id); }

HFONT make_font(const std::string& face, int points, int weight) {
  HDC screen = platform(GetDC, static_cast<HWND>(nullptr));
  const int pixels_per_inch = platform(GetDeviceCaps, screen, LOGPIXELSY);
  platform(ReleaseDC, static_cast<HWND>(nullptr), screen);

  LOGFONTA font = {};
  font.lfHeight = -(pixels_per_inch * points) / 72;  // points to pixels, truncated toward zero
  font.lfWeight = weight;
  const std::size_t face_bytes = face.size() < dialog_description::face_max ? face.size() : dialog_description::face_max;
  for (std::size_t i = 0; i < face_bytes; ++i) font.lfFaceName[i] = face[i];
  return platform(CreateFontIndirectA, &font);
}

window_record_view find_window_record(HWND window) {
  record_list_lock lock;
  const window_record* r = find_locked(window);
  if (!r) return window_record_view{};
  return window_record_view{true, r->parent, r->kind, r->show_command, r->font, r->callback, r->result_destination};
}

int32_t window_record_count() {
  record_list_lock lock;
  int32_t n = 0;
  for (const window_record* r = records; r; r = r->next) ++n;
  return n;
}
