// What the sample host can see of the library's windows from outside: the
// top-level windows of this process, their texts, and which screen each is.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace seen {

constexpr char status_caption[] = "ZEPHRON Pro Configurator v1.1 (Beta)";
constexpr char selection_caption[] = "ZEPHRON Pro Clock Configurator for PCI RS232 I/O Cards v1.1 (Beta)";
constexpr int message_box_text_id = 0xFFFF;  // the static control holding a message box's text
constexpr int status_label_id = 1004;

// Visible dialogs (class "#32770") of this process, in the platform's order.
std::vector<HWND> visible_dialogs();
std::string text_of(HWND window);  // WM_GETTEXT, with a timeout if another thread owns it
bool is_message_box(HWND window);
std::string message_box_text(HWND box);

// One line describing a window for the log: status "label", dialog
// "caption" or box "title" "text".
std::string describe(HWND window);

}  // namespace seen
