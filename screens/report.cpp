// The final report: the new clock, its multiplier and the baud-rate table.
#include "dialog/dialog.h"
#include "zephronpro.h"
#include "screens/screen_state.h"
#include "screens/screens.h"
#include "text/text.h"

namespace {

constexpr int short_form_digits = 7;
constexpr int long_form_digits = 15;

struct baud_rate_line {
  int32_t rate;
  const char* literal;  // names the rate twice and ends in "x "
  int product_digits;
};

// 4800 is not among them.
const baud_rate_line baud_rate_lines[] = {
    {300, "      300 baud in Windows ->       300 baud x ", short_form_digits},
    {1200, "   1200  baud in Windows ->     1200 baud x ", short_form_digits},
    {2400, "   2400  baud in Windows ->     2400 baud x ", short_form_digits},
    {9600, "   9600  baud in Windows ->     9600 baud x ", short_form_digits},
    {19200, "  19200 baud in Windows ->   19200 baud x ", short_form_digits},
    {38400, "  38400 baud in Windows ->   38400 baud x ", long_form_digits},
    {57600, "  57600 baud in Windows ->   57600 baud x ", long_form_digits},
    {115200, "115200 baud in Windows -> 115200 baud x ", long_form_digits},
};

}  // namespace

static int32_t show_report(const int32_t* arguments) {
  const clock_value clock = clock_of(arguments[0]);
  end_dialog(saving_window, 0);

  const std::string factor = text::number_text(clock.multiplier, short_form_digits);
  std::string report = "      ZEPHRON Pro Clock has been configured to " + text::number_text(clock.mhz, short_form_digits) +
                       " Mhz " + line_break() + line_break();
  report += "                      Baud Rate multiplier factor is " + factor + line_break() + line_break();
  for (const baud_rate_line& line : baud_rate_lines) {
    // Whole numbers, at most 921600: exact.
    const int32_t product = static_cast<int32_t>(clock.multiplier) * line.rate;
    report += line.literal + factor + " = " + text::number_text(product, line.product_digits) + " baud on ZEPHRON" +
              line_break();
  }
  report += line_break();
  report += "                       This clock value is now ACTIVE.";
  message_box(report, status_caption, MB_OK | MB_ICONINFORMATION);
  return 0;
}

int32_t WINAPI display_donesaving(int32_t new_clock) { return run_screen(show_report, new_clock); }
