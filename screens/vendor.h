// The vendor's details, shown on the selection dialogs and in the no-card
// notice: all made up (a town that does not exist, the reserved .example
// domain, a 555-01xx number). They live here and nowhere else, and are short
// enough that the dialogs' one-line labels hold them without wrapping.
#pragma once

// The version resource (zephronpro.rc) reads the name and the copyright
// line too; its compiler knows plain C macros only.
#define ZP_VENDOR_NAME "Talmo Electronics"
#define ZP_VENDOR_COPYRIGHT "Copyright 2026 " ZP_VENDOR_NAME

#ifndef RC_INVOKED
namespace vendor {

// Gives the year and the vendor's name; ends in a comma and one space
// because the location line follows it directly.
constexpr char notice_line[] = ZP_VENDOR_COPYRIGHT ", ";
constexpr char location_line[] = "Fictionville";
constexpr char home_page[] = "talmo.example";
constexpr char support_phone[] = "555-0147";
constexpr char support_email[] = "help@talmo.example";

}  // namespace vendor
#endif
