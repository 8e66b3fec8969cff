#include "dialog/dialog.h"
#include "screens/screens.h"
#include "screens/vendor.h"
#include "text/text.h"

const char status_caption[] = "ZEPHRON Pro Configurator v1.1 (Beta)";
const char selection_caption[] = "ZEPHRON Pro Clock Configurator for PCI RS232 I/O Cards v1.1 (Beta)";

std::string line_break() { return text::char_codes({13, 10}); }

std::string vendor_notice_text() { return std::string(vendor::notice_line) + vendor::location_line; }

std::string vendor_contact_text() {
  return std::string(vendor::home_page) + "  Tech Support: " + vendor::support_phone + "    Email: " +
         vendor::support_email;
}
