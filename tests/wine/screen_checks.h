// Checks shared by the tests of the screens: what a status window, a
// message box and the set of open windows must look like.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

extern const char expected_status_caption[];
extern const char expected_selection_caption[];

// Visible status windows of this process (dialogs with the status caption).
std::vector<HWND> open_status_windows();
// Status windows whose label reads `label`.
int count_status_windows_reading(const std::string& label);
// Destroys every window of the library left on screen, from the thread that
// owns it (the calling one); between tests nothing may stay behind.
void destroy_library_windows();

// A status window: the caption, centred placement, the client size in
// dialog units, one centred label 1004 at 10,10 with this size and text, and
// the dialog font.
void expect_status_window(HWND window, int width, int height, int label_width, int label_height,
                          const std::string& label);

// The buttons a message box offers, by identifier ("OK", "OK Cancel").
std::string message_box_buttons(HWND box);
// Whether the box's icon control shows an icon.
bool message_box_has_icon(HWND box);

// Posts `count` marker messages to the calling thread the moment it creates
// a window with this caption (a CBT hook), so that a test can count the
// passes an entry point makes after a message box of its own.
void post_markers_when_created(const std::string& caption, int count);
void stop_posting_markers();

// The style a window was created with, as the CBT hook saw it.
void start_recording_creation_styles();
DWORD creation_style(HWND window);
void stop_recording_creation_styles();
