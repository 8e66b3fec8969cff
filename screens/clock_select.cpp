// The clock selection dialog: which clock value to program into a card.
#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "dialog/portable/styles.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "text/text.h"

using namespace dialog_styles;

namespace {

constexpr int save_button_id = first_button_id;
constexpr int cancel_button_id = 1028;
constexpr int card_label_id = 1027;
constexpr int long_form_digits = 15;

std::string card_label_text(int32_t card_index, int32_t card_count) {
  // In 64 bits: card index 2147483647 is card 2147483648.
  const int64_t card_number = static_cast<int64_t>(card_index) + 1;
  return "Card # " + text::number_text(static_cast<long double>(card_number), long_form_digits) + " of " +
         text::number_text(card_count, long_form_digits);
}

}  // namespace

LONG CALLBACK clock_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return 0;
  const int id = LOWORD(wparam);  // any notification counts as a click
  if (id == clock_14_7456 || id == clock_7_3728 || id == clock_3_6864 || id == clock_1_8432) {
    clock_choice = id;
    return 1;
  }
  if (id == save_button_id) {
    end_dialog(dialog, 0);
    return 1;
  }
  if (id == cancel_button_id) {
    end_dialog(dialog, 0);
    clock_choice = 0;
    return 1;
  }
  return 0;
}

// The arguments: current clock, card index, card count.
static int32_t ask_for_clock(const int32_t* arguments) {
  const int32_t current_clock = arguments[0], card_index = arguments[1], card_count = arguments[2];
  modal_screen* kept = begin_modal_screen();
  const int32_t outer_choice = clock_choice;  // a clock dialog this call is nested in keeps its own
  clock_choice = 0;
  clock_dialog = kept->dialog = create_dialog(nullptr, selection_caption, 134, 65, 323, 214, 0, 0);
  add_control(clock_dialog, class_label, status_label_id, vendor_notice_text(), 55, 5, 210, 15, centred_label_style,
              0, nullptr);
  add_control(clock_dialog, class_label, vendor_contact_label_id, vendor_contact_text(), 17, 17, 270, 10,
              centred_label_style, 0, nullptr);
  add_control(clock_dialog, class_option_button, clock_14_7456,
              std::string("14.7456 Mhz ( Max Baud Rate 921k, ") + "Recommended for Linux )", 27, 61, 248, 25, 0, 0,
              nullptr);
  add_control(clock_dialog, class_option_button, clock_7_3728, "7.3728 Mhz ( Max Baud Rate 460k )", 27, 86, 133, 25,
              0, 0, nullptr);
  add_control(clock_dialog, class_option_button, clock_3_6864, "3.6864 Mhz ( Max Baud Rate 230k )", 27, 111, 133,
              25, 0, 0, nullptr);
  add_control(clock_dialog, class_option_button, clock_1_8432,
              std::string("1.8432 Mhz ( Max Baud Rate 115.2k, ") + "Recommended for Windows )", 27, 137, 238, 25, 0,
              0, nullptr);
  add_control(clock_dialog, class_push_button, save_button_id, "Save Clock Value to ZEPHRON Pro", 30, 170, 150, 20,
              0, 0, nullptr);
  add_control(clock_dialog, class_label, heading_label_id, "ZEPHRON Pro Serial Port Clock Value", 71, 44, 175, 15,
              centred_label_style, 0, nullptr);
  add_control(clock_dialog, class_group_box, heading_frame_id, std::string(), 60, 28, 195, 30, 0, 0, nullptr);
  add_control(clock_dialog, class_push_button, cancel_button_id, "Cancel", 215, 170, 60, 20, 0, 0, nullptr);

  HFONT large_font = kept->fonts[0] = make_font(dialog_face, large_font_points, normal_weight);
  HFONT heading_font = kept->fonts[1] = make_font(dialog_face, heading_font_points, bold_weight);
  send_to_window(clock_dialog, WM_SETFONT, reinterpret_cast<WPARAM>(large_font), 0);
  send_to_window(control_window(clock_dialog, heading_label_id), WM_SETFONT, reinterpret_cast<WPARAM>(heading_font),
                 0);
  send_to_window(control_window(clock_dialog, heading_frame_id), WM_SETFONT, reinterpret_cast<WPARAM>(large_font), 0);

  // Added after the fonts, it still gets the dialog font add_control gives
  // every control. It reaches past the dialog's right edge; that part is
  // clipped. Its text is a temporary: nothing of the heap stays in this
  // frame while the dialog runs.
  add_control(clock_dialog, class_label, card_label_id, card_label_text(card_index, card_count), 275, 200, 55, 15, 0,
              0, nullptr);
  check_option(clock_dialog, clock_14_7456, clock_1_8432, current_clock);

  end_dialog(count_window, 0);
  int32_t modal_result = 0;
  show_modal(clock_dialog, clock_dialog_proc, &modal_result);

  end_modal_screen(kept);  // deletes the fonts

  const int32_t chosen = clock_choice != 0 ? clock_choice : current_clock;
  clock_choice = outer_choice;
  end_dialog(scan_window, 0);
  return chosen;
}

int32_t WINAPI Main_Menu(int32_t current_clock, int32_t card_index, int32_t card_count) {
  return run_screen(ask_for_clock, current_clock, card_index, card_count);
}
