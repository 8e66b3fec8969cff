#include "picture.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

bool save_window_picture(HWND window, const std::string& path, std::string* error) {
  RECT r;
  if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) {
    *error = "the window has no area";
    return false;
  }
  const int width = r.right - r.left, height = r.bottom - r.top;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  info.bmiHeader.biSizeImage = stride * height;

  // The screen's pixels under the window: what the user sees, the frame
  // that Wine draws included. The window is the newest and topmost one when
  // this is called, so nothing else covers it.
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = dib != nullptr;
  if (ok) {
    HGDIOBJ old = SelectObject(memory, dib);
    ok = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!ok) {
    if (dib) DeleteObject(dib);
    *error = "cannot copy the window's pixels";
    return false;
  }

  BITMAPFILEHEADER header = {};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + info.bmiHeader.biSizeImage;
  FILE* f = std::fopen(path.c_str(), "wb");
  ok = f && std::fwrite(&header, sizeof header, 1, f) == 1 &&
       std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, f) == 1 &&
       std::fwrite(bits, info.bmiHeader.biSizeImage, 1, f) == 1;
  if (f && std::fclose(f) != 0) ok = false;
  DeleteObject(dib);
  if (!ok) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}
