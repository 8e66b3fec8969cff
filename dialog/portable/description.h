// The in-memory dialog description (a DLGTEMPLATE with the DS_SETFONT
// extension and no items) that create_dialog hands to the platform.
// Portable, so its layout is tested natively byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dialog_description {

constexpr std::size_t caption_max = 256;  // bytes kept of a caption
constexpr std::size_t face_max = 31;      // bytes kept of a face name

// Worst case: 18 bytes of fixed header, 2 of menu, 2 of class, the caption
// as 256 16-bit characters plus a terminator (514), the point size (2) and
// the face as 31 characters plus a terminator (64): 602 bytes.
constexpr std::size_t max_bytes = 18 + 2 + 2 + (caption_max + 1) * 2 + 2 + (face_max + 1) * 2;

struct fields {
  uint32_t style;     // already effective: DS_SETFONT must be set
  uint32_t ex_style;
  int16_t x, y;
  uint16_t width, height;
  std::string_view caption;  // cut to caption_max; empty is stored as one space
  uint16_t point_size;
  std::string_view face;     // cut to face_max
};

// Writes the description into `out` (at least max_bytes, DWORD-aligned, as
// the platform wants the template) and returns the bytes written. Every byte
// of caption and face is widened to a 16-bit character of the same value: no
// code page conversion.
std::size_t build(const fields& f, void* out);

}  // namespace dialog_description
