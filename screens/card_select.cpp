// The card selection dialog: which of up to five cards to configure.
#include "dialog/dialog.h"
#include "dialog/platform.h"
#include "dialog/portable/styles.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"

using namespace dialog_styles;

namespace {

constexpr DWORD option_style = 0x200;             // BS_RIGHT: text at the right edge
constexpr DWORD disabled_option_style = 0x08000200;  // BS_RIGHT | WS_DISABLED
constexpr int cards_shown = 5;

const char* const card_option_texts[cards_shown] = {
    "ZEPHRON Pro Card 1", "ZEPHRON Pro Card 2", "ZEPHRON Pro Card 3", "ZEPHRON Pro Card 4", "ZEPHRON Pro Card 5",
};

// Card N's option sits 20 dialog units below card N-1's.
int card_option_y(int card) { return 60 + 20 * (card - 1); }

}  // namespace

LONG CALLBACK card_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  if (message != WM_COMMAND) return 0;
  const int id = LOWORD(wparam);  // any notification counts
  if (id == first_button_id) {
    end_dialog(dialog, 0);
    return 1;
  }
  if (id >= first_card_id && id <= last_card_id) {
    card_choice = id;
    return 1;
  }
  return 0;
}

static int32_t ask_for_card(const int32_t* arguments) {
  const int32_t card_count = arguments[0];
  modal_screen* kept = begin_modal_screen();
  const int32_t outer_choice = card_choice;  // a card dialog this call is nested in keeps its own
  card_choice = first_card_id;
  HWND dialog = kept->dialog = create_dialog(nullptr, selection_caption, 105, 65, 312, 204, 0, 0);
  add_control(dialog, class_label, status_label_id, vendor_notice_text(), 55, 5, 210, 15, centred_label_style, 0,
              nullptr);
  add_control(dialog, class_label, vendor_contact_label_id, vendor_contact_text(), 17, 17, 270, 10,
              centred_label_style, 0, nullptr);
  add_control(dialog, class_option_button, first_card_id, card_option_texts[0], 110, card_option_y(1), 83, 25,
              option_style, 0, nullptr);
  add_control(dialog, class_push_button, first_button_id, "OK", 111, 170, 80, 20, 0, 0, nullptr);
  add_control(dialog, class_label, heading_label_id, "Select a ZEPHRON Pro Card", 70, 39, 175, 15,
              centred_label_style, 0, nullptr);
  add_control(dialog, class_group_box, heading_frame_id, std::string(), 80, 23, 150, 30, 0, 0, nullptr);
  for (int card = 2; card <= cards_shown; ++card)
    add_control(dialog, class_option_button, card_id_base + card, card_option_texts[card - 1], 110,
                card_option_y(card), 83, 25, card_count >= card ? option_style : disabled_option_style, 0,
                nullptr);

  HFONT large_font = kept->fonts[0] = make_font(dialog_face, large_font_points, normal_weight);
  HFONT heading_font = kept->fonts[1] = make_font(dialog_face, heading_font_points, bold_weight);
  send_to_window(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(large_font), 0);
  send_to_window(control_window(dialog, heading_label_id), WM_SETFONT, reinterpret_cast<WPARAM>(heading_font), 0);
  send_to_window(control_window(dialog, heading_frame_id), WM_SETFONT, reinterpret_cast<WPARAM>(large_font), 0);
  check_option(dialog, first_card_id, last_card_id, first_card_id);

  end_dialog(count_window, 0);
  int32_t modal_result = 0;
  show_modal(dialog, card_dialog_proc, &modal_result);
  const int32_t chosen = card_choice;  // the modal result is not the choice

  // The dialog and its controls are gone: nothing uses the fonts any more.
  end_modal_screen(kept);  // deletes them
  card_choice = outer_choice;
  return chosen;
}

int32_t WINAPI ask_which_card(uint8_t card_count) { return run_screen(ask_for_card, card_count); }
