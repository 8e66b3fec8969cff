// The OK/Cancel box before the host programs the card.
#include "dialog/dialog.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "text/text.h"

namespace {
constexpr int short_form_digits = 7;
}

// The arguments: new clock, card index and card count (bytes).
static int32_t ask_to_save(const int32_t* arguments) {
  const int32_t card_index = arguments[1], card_count = arguments[2];
  end_dialog(saving_window, 0);
  const float mhz = clock_of(arguments[0]).mhz;
  const std::string message = "Select OK to set the clock value to " + text::number_text(mhz, short_form_digits) +
                              " Mhz " + line_break() + line_break() + "              for ZEPHRON Card # " +
                              text::number_text(card_index + 1, short_form_digits) + " of " +
                              text::number_text(card_count, short_form_digits);
  return message_box(message, status_caption, MB_OKCANCEL);
}

int32_t WINAPI ok_to_save(int32_t /*current_clock*/, int32_t new_clock, uint8_t card_index, uint8_t card_count) {
  return run_screen(ask_to_save, new_clock, card_index, card_count);
}
