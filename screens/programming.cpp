// The please-wait windows while the host writes the card's EEPROM.
#include "dialog/dialog.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "text/text.h"

namespace {

// Pump counts start at 1, so these make at most 99 and 49 passes.
const status_window saving_status = {-1, 296, 277, 41, 25, 1, 100};
const status_window reset_status = {-1, 296, 277, 41, 25, 1, 50};
constexpr int short_form_digits = 7;
const char please_wait[] = "Please wait for this SAVE operation to the I/O card to finish.";

}  // namespace

static int32_t show_saving_window(const int32_t* arguments) {
  const float mhz = clock_of(arguments[0]).mhz;
  const std::string label = "Configuring ZEPHRON Pro Clock speed to " + text::number_text(mhz, short_form_digits) +
                            " Mhz " + line_break() + line_break() + please_wait + line_break();
  show_status_window(saving_window, saving_status, label, nullptr);
  return 0;
}

static int32_t show_reset_window(const int32_t*) {
  const std::string label = "Programming EEPROM to factor defaults. Clock will be 1.8432 Mhz." + line_break() +
                            line_break() + please_wait + line_break();
  show_status_window(reset_window, reset_status, label, nullptr);
  return 0;
}

int32_t WINAPI display_saving(int32_t new_clock) { return run_screen(show_saving_window, new_clock); }
int32_t WINAPI display_reset_eeprom(void) { return run_screen(show_reset_window); }
