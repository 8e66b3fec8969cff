// The notices of how many cards the host found.
#include "dialog/dialog.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "screens/vendor.h"
#include "text/text.h"

namespace {

const status_window card_count_window = {-1, 296, 277, 31, 20, 0, 100};
constexpr int long_form_digits = 15;
constexpr std::size_t spaces_before_home_page = 38;

}  // namespace

static int32_t show_card_count(const int32_t* arguments) {
  const int32_t card_count = arguments[0];
  std::string label;
  if (card_count == 0) {
    label = "No ZEPHRON Pro I/O Cards detected in this computer";
  } else {
    label = "Detected " + text::number_text(card_count, long_form_digits) + " " +
            (card_count == 1 ? "ZEPHRON Pro I/O Card in this computer" : "ZEPHRON Pro I/O Cards in this computer");
  }
  // The scanning window goes once its successor exists and has its text,
  // so the screen is never empty in between.
  show_status_window(count_window, card_count_window, label, &scan_window);
  return 0;
}

static int32_t show_no_cards_found(const int32_t*) {
  const std::string message =
      std::string("No ZEPHRON Pro 2 Port PCI I/O Cards could be located. Please check your installation.") +
      std::string(spaces_before_home_page, ' ') + (std::string(" Home Page : ") + vendor::home_page + "    ") +
      (std::string("Email: ") + vendor::support_email + "   ");
  message_box(message, status_caption, 0);
  return 0;
}

int32_t WINAPI display_num_cards(int32_t card_count) { return run_screen(show_card_count, card_count); }
int32_t WINAPI no_cards_found(void) { return run_screen(show_no_cards_found); }
