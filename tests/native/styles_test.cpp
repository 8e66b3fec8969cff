// Style rules: the dialog's effective style and show command, and each
// control class's default, added and removed bits.
#include <gtest/gtest.h>

#include "dialog/portable/styles.h"

namespace {

using namespace dialog_styles;

TEST(DialogStyle, DefaultsCentringAndTheBitsAlwaysAddedOrTakenAway) {
  const struct {
    const char* purpose;
    uint32_t style;
    int x, y;
    uint32_t effective;
  } rows[] = {
      {"style 0 centred by x", 0, -1, 296, 0x80C008D4},
      {"style 0 centred by y alone", 0, 10, -1, 0x80C008D4},
      {"style 0 centred by both", 0, -1, -1, 0x80C008D4},
      {"style 0 placed", 0, 134, 65, 0x80C000D4},
      {"-2 does not centre", 0, -2, 5, 0x80C000D4},
      {"WS_VISIBLE and DS_SYSMODAL go", 0x90C00002, 0, 0, 0x80C00054},
      {"font, no-fail and 3D always come", 0x80000000, 0, 0, 0x80000054},
  };
  for (const auto& row : rows)
    EXPECT_EQ(row.effective, effective_dialog_style(row.style, row.x, row.y)) << row.purpose;
}

TEST(DialogStyle, ShowCommandPrefersMaximizeThenMinimize) {
  EXPECT_EQ(sw_show, show_command(0));
  EXPECT_EQ(sw_show, show_command(0x80C000D4));
  EXPECT_EQ(sw_minimize, show_command(ws_minimize));
  EXPECT_EQ(sw_maximize, show_command(ws_maximize));
  EXPECT_EQ(sw_maximize, show_command(ws_maximize | ws_minimize));
}

TEST(ControlStyle, EffectiveStylesOfEveryClass) {
  const struct {
    const char* purpose;
    int index;
    uint32_t style, effective;
    const char* platform_class;
  } rows[] = {
      {"label centred", class_label, 0x50000001, 0x50000001, "STATIC"},
      {"label default", class_label, 0, 0x50000000, "STATIC"},
      {"push button default", class_push_button, 0, 0x50010000, "BUTTON"},
      {"push button keeps everything it is given", class_push_button, 0xFFFFFFFF, 0xFFFFFFFF, "BUTTON"},
      {"option default", class_option_button, 0, 0x50010009, "BUTTON"},
      {"option with BS_RIGHT", class_option_button, 0x200, 0x50000209, "BUTTON"},
      {"option disabled", class_option_button, 0x08000200, 0x58000209, "BUTTON"},
      {"option stripped of every removed bit", class_option_button, 0xFFFFFFFF, 0x5803EF39, "BUTTON"},
      {"group box default", class_group_box, 0, 0x50000007, "BUTTON"},
      {"group box never a tab stop or group", class_group_box, 0xFFFFFFFF, 0x58002F07, "BUTTON"},
      {"three-state default", class_three_state, 0, 0x50010006, "BUTTON"},
      {"check box default", class_check_box, 0, 0x50010003, "BUTTON"},
      {"etched frame", class_etched_frame, 0, 0x50000012, "STATIC"},
      {"scroll bar", class_scroll_bar, 0, 0x50000000, "SCROLLBAR"},
      {"text box", class_text_box, 0, 0x50810080, "EDIT"},
      {"picture", class_picture, 0, 0x5000000E, "STATIC"},
      {"picture, second index", class_picture_2, 0, 0x5000000E, "STATIC"},
      {"picture button", class_picture_button, 0, 0x50010080, "BUTTON"},
      {"picture button, second index", class_picture_button_2, 0, 0x50010080, "BUTTON"},
      {"drop-down list", class_drop_down, 0, 0x50010102, "COMBOBOX"},
      {"list", class_list, 0, 0x50A10003, "LISTBOX"},
  };
  for (const auto& row : rows) {
    const control_class* c = control_class_row(row.index);
    ASSERT_NE(nullptr, c) << row.purpose;
    EXPECT_STREQ(row.platform_class, c->platform_class) << row.purpose;
    EXPECT_EQ(row.effective, effective_control_style(*c, row.style)) << row.purpose << std::hex << " got 0x"
                                                                        << effective_control_style(*c, row.style);
  }
}

TEST(ControlStyle, EveryRemovedSetHoldsTheTopLevelBits) {
  for (int i = 0; i < control_class_count; ++i) {
    const control_class* c = control_class_row(i);
    if (c->removed) EXPECT_EQ(0xA7FC0000u, c->removed & 0xA7FC0000u) << "index " << i;
  }
}

TEST(ControlStyle, ClassByNameAndIndicesOutsideTheTable) {
  const control_class* by_name = control_class_row(class_by_name);
  ASSERT_NE(nullptr, by_name);
  EXPECT_EQ(nullptr, by_name->platform_class);
  EXPECT_EQ(0x12345678u, effective_control_style(*by_name, 0x12345678));
  EXPECT_EQ(nullptr, control_class_row(-1));
  EXPECT_EQ(nullptr, control_class_row(control_class_count));
  EXPECT_EQ(nullptr, control_class_row(1 << 30));
}

}  // namespace
