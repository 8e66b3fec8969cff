// Pictures of the screens: a window as it is on screen, frame included,
// written as a 24-bit BMP.
#pragma once

#include <windows.h>

#include <string>

// False with `*error` set when the window has no area or the file cannot be
// written.
bool save_window_picture(HWND window, const std::string& path, std::string* error);
