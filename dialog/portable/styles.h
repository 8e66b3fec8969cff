// Style rules of the dialog layer: how a dialog's and a control's window
// style follow from the arguments a screen passes. Portable (no Windows
// header), so the rules are tested natively; the values are the Win32 ones.
#pragma once

#include <cstdint>

namespace dialog_styles {

// Win32 style bits the rules name.
constexpr uint32_t ws_child_visible = 0x50000000;  // WS_CHILD | WS_VISIBLE
constexpr uint32_t ws_visible = 0x10000000;
constexpr uint32_t ws_maximize = 0x01000000;
constexpr uint32_t ws_minimize = 0x20000000;
constexpr uint32_t ds_sysmodal = 0x00000002;
constexpr uint32_t ds_setfont = 0x00000040;
constexpr uint32_t ds_center = 0x00000800;
constexpr uint32_t bs_defpushbutton = 0x00000001;

// Style 0 means: a popup with a caption and a modal frame, no system menu
// (so no close box). WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT |
// DS_NOFAILCREATE | DS_3DLOOK.
constexpr uint32_t default_dialog_style = 0x80C000D4;
// Every description carries its font and survives a failed control.
constexpr uint32_t dialog_style_added = 0x00000054;  // DS_SETFONT | DS_NOFAILCREATE | DS_3DLOOK
// Dialogs are created hidden and never system modal; showing is the
// layer's own step.
constexpr uint32_t dialog_style_removed = ws_visible | ds_sysmodal;

// A coordinate of -1 on either axis centres the dialog on both.
constexpr int centre_coordinate = -1;

uint32_t effective_dialog_style(uint32_t style, int x, int y);

// ShowWindow command for a dialog made with this style argument:
// SW_MAXIMIZE, else SW_MINIMIZE, else SW_SHOW.
constexpr int sw_show = 5;
constexpr int sw_minimize = 6;
constexpr int sw_maximize = 3;
int show_command(uint32_t style);

// Control class indices the screens use.
enum control_class_index : int {
  class_by_name = 0,
  class_push_button = 1,
  class_three_state = 2,
  class_check_box = 3,
  class_group_box = 4,
  class_label = 5,
  class_etched_frame = 6,
  class_option_button = 7,
  class_scroll_bar = 8,
  class_text_box = 9,
  class_picture = 10,
  class_picture_2 = 11,
  class_picture_button = 12,
  class_picture_button_2 = 13,
  class_drop_down = 14,
  class_list = 15,
  control_class_count = 16,
};

struct control_class {
  const char* platform_class;  // nullptr: the caller names the class
  uint32_t default_style;      // used when the style argument is 0
  uint32_t added;              // always added
  uint32_t removed;            // always taken away, after adding
};

// The row of a class index, or nullptr for an index outside the table.
const control_class* control_class_row(int index);

uint32_t effective_control_style(const control_class& row, uint32_t style);

}  // namespace dialog_styles
