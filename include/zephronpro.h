/*
 * zephronpro.dll: the screens of the ZEPHRON Pro clock configuration
 * utility. The host scans the bus and programs the cards itself; it calls one
 * entry point per screen, one at a time, from the thread that is to own the
 * windows. All entry points are __stdcall, exported by their plain names
 * (GetProcAddress(module, "first_window") works) and with fixed ordinals.
 *
 * Status windows (first_window, scan_box, display_num_cards, display_saving,
 * display_reset_eeprom) stay open when their call returns; later screens end
 * them. They are served by any message loop on the calling thread, the
 * host's own included. The other screens are modal and return when the user
 * has answered.
 *
 * An entry point may be called from a window procedure while a screen's
 * loop dispatches; it leaves the running screen alone. A host's exception
 * that leaves a modal screen (raised in a window procedure its loop
 * dispatched) leaves the dialog open; the next call that is not nested in
 * a running screen ends it and deletes its fonts. A message box left that
 * way stays until the user answers it. A failed allocation raises
 * STATUS_NO_MEMORY (0xC0000017), which only a frame-based handler
 * (__try/__except) catches. At process exit the library calls no window.
 * USAGE.txt says what passes where.
 *
 * Clock identifiers: 1006 = 14.7456 MHz, 1007 = 7.3728 MHz,
 * 1008 = 3.6864 MHz, 1009 = 1.8432 MHz. Card identifiers: 1022 to 1026 for
 * cards 1 to 5. Card indices count from 0.
 */
#ifndef ZEPHRONPRO_H
#define ZEPHRONPRO_H

#include <stdint.h>

#ifndef WINAPI
#define WINAPI __stdcall
#endif

#ifdef ZEPHRONPRO_BUILDING
#define ZEPHRONPRO_API
#else
#define ZEPHRONPRO_API __declspec(dllimport)
#endif

#define ZEPHRONPRO_CLOCK_14_7456 1006
#define ZEPHRONPRO_CLOCK_7_3728 1007
#define ZEPHRONPRO_CLOCK_3_6864 1008
#define ZEPHRONPRO_CLOCK_1_8432 1009
#define ZEPHRONPRO_CARD_ID(n) (1021 + (n)) /* n = 1 to 5 */

#ifdef __cplusplus
extern "C" {
#endif

/* Ordinal 7. Scanning window, 100 event pump passes, left open. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI first_window(void);
/* Ordinal 10. Notice "Inside MSGBOX", then the scanning window, 500 passes. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI scan_box(void);
/* Ordinal 8. Message box: no card was found. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI no_cards_found(void);
/* Ordinal 4. Card count window; ends the scanning window. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI display_num_cards(int32_t card_count);
/* Ordinal 2. Card selection dialog; ends the count window. Only the low
 * 8 bits of card_count are read (the argument still takes a 32-bit stack
 * slot). Returns the card identifier chosen, 1022 to 1026. */
ZEPHRONPRO_API int32_t WINAPI ask_which_card(uint8_t card_count);
/* Ordinal 1. Clock selection dialog; ends the count window before it and
 * the scanning window after it. Returns the clock identifier chosen, or
 * current_clock when no option was clicked or the user cancelled. */
ZEPHRONPRO_API int32_t WINAPI Main_Menu(int32_t current_clock, int32_t card_index, int32_t card_count);
/* Ordinal 9. OK/Cancel confirmation; ends the saving window. card_index and
 * card_count are read as bytes (32-bit slots). Returns 1 (OK) or 2 (Cancel). */
ZEPHRONPRO_API int32_t WINAPI ok_to_save(int32_t current_clock, int32_t new_clock, uint8_t card_index,
                                         uint8_t card_count);
/* Ordinal 6. Saving window, left open while the host writes. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI display_saving(int32_t new_clock);
/* Ordinal 5. Factory-reset window, left open; nothing ends it. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI display_reset_eeprom(void);
/* Ordinal 3. Ends the saving window and shows the report with the
 * baud-rate table. Returns 0. */
ZEPHRONPRO_API int32_t WINAPI display_donesaving(int32_t new_clock);

#ifdef __cplusplus
}
#endif

#endif /* ZEPHRONPRO_H */
