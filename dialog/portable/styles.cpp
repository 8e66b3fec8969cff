#include "dialog/portable/styles.h"

namespace dialog_styles {

namespace {

// Every removed set holds WS_POPUP, WS_MINIMIZE, WS_CLIPSIBLINGS,
// WS_CLIPCHILDREN, WS_MAXIMIZE, WS_BORDER, WS_DLGFRAME, WS_VSCROLL,
// WS_HSCROLL, WS_SYSMENU and WS_THICKFRAME (0xA7FC0000), plus the button
// bits that would turn a button into another kind of button.
const control_class control_classes[control_class_count] = {
    /* 0 by name       */ {nullptr, 0, 0, 0},
    /* 1 push button   */ {"BUTTON", 0x50010000, 0x50000000, 0x00000000},
    /* 2 three-state   */ {"BUTTON", 0x50010006, 0x50000006, 0xA7FC50C9},
    /* 3 check box     */ {"BUTTON", 0x50010003, 0x50000003, 0xA7FC50CC},
    /* 4 group box     */ {"BUTTON", 0x50000007, 0x50000007, 0xA7FFD0F8},
    /* 5 label         */ {"STATIC", 0x50000000, 0x50000000, 0x00000000},
    /* 6 etched frame  */ {"STATIC", 0x50000012, 0x50000000, 0x00000000},
    /* 7 option button */ {"BUTTON", 0x50010009, 0x50000009, 0xA7FC10C6},
    /* 8 scroll bar    */ {"SCROLLBAR", 0x50000000, 0x50000000, 0x00000000},
    /* 9 text box      */ {"EDIT", 0x50810080, 0x50000000, 0x00000000},
    /* 10 picture      */ {"STATIC", 0x5000000E, 0x5000000E, 0x00000000},
    /* 11 picture      */ {"STATIC", 0x5000000E, 0x5000000E, 0x00000000},
    /* 12 pict. button */ {"BUTTON", 0x50010080, 0x50000080, 0x00000000},
    /* 13 pict. button */ {"BUTTON", 0x50010080, 0x50000080, 0x00000000},
    /* 14 drop-down    */ {"COMBOBOX", 0x50010102, 0x50000000, 0x00000000},
    /* 15 list         */ {"LISTBOX", 0x50A10003, 0x50000001, 0x00000000},
};

}  // namespace

uint32_t effective_dialog_style(uint32_t style, int x, int y) {
  uint32_t effective = style != 0 ? style : default_dialog_style;
  effective |= dialog_style_added;
  effective &= ~dialog_style_removed;
  if (x == centre_coordinate || y == centre_coordinate) effective |= ds_center;
  return effective;
}

int show_command(uint32_t style) {
  if (style & ws_maximize) return sw_maximize;
  if (style & ws_minimize) return sw_minimize;
  return sw_show;
}

const control_class* control_class_row(int index) {
  if (index < 0 || index >= control_class_count) return nullptr;
  return &control_classes[index];
}

uint32_t effective_control_style(const control_class& row, uint32_t style) {
  uint32_t effective = style != 0 ? style : row.default_style;
  return (effective | row.added) & ~row.removed;
}

}  // namespace dialog_styles
