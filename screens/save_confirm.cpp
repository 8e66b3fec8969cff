// The OK/Cancel box before the host programs the card.
#include "dialog/dialog.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "text/text.h"

namespace {
constexpr int short_form_digits = 7;
}

int32_t WINAPI ok_to_save(int32_t /*current_clock*/, int32_t new_clock, uint8_t card_index, uint8_t card_count) {
  release_left_over_screens();
  end_dialog(saving_window, 0);
  const float mhz = clock_of(new_clock).mhz;
  const std::string message = "Select OK to set the clock value to " + text::number_text(mhz, short_form_digits) +
                              " Mhz " + line_break() + line_break() + "              for ZEPHRON Card # " +
                              text::number_text(card_index + 1, short_form_digits) + " of " +
                              text::number_text(card_count, short_form_digits);
  return message_box(message, status_caption, MB_OKCANCEL);
}
