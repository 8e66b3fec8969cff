#include "dialog/portable/description.h"

namespace dialog_description {

namespace {

// Little-endian writer over a byte buffer; the template is a sequence of
// 16- and 32-bit fields with no padding between them.
struct writer {
  unsigned char* at;
  void word(uint16_t v) {
    at[0] = static_cast<unsigned char>(v);
    at[1] = static_cast<unsigned char>(v >> 8);
    at += 2;
  }
  void dword(uint32_t v) {
    word(static_cast<uint16_t>(v));
    word(static_cast<uint16_t>(v >> 16));
  }
  // Zero-terminated 16-bit string, each byte widened as it is.
  void widened(std::string_view s, std::size_t limit) {
    const std::size_t n = s.size() < limit ? s.size() : limit;
    for (std::size_t i = 0; i < n; ++i) word(static_cast<unsigned char>(s[i]));
    word(0);
  }
};

}  // namespace

std::size_t build(const fields& f, void* out) {
  writer w{static_cast<unsigned char*>(out)};
  w.dword(f.style);
  w.dword(f.ex_style);
  w.word(0);  // no items: controls are added later as child windows
  w.word(static_cast<uint16_t>(f.x));
  w.word(static_cast<uint16_t>(f.y));
  w.word(f.width);
  w.word(f.height);
  w.word(0);  // no menu
  w.word(0);  // the platform's dialog class
  // An empty title would leave the caption bar blank in a way that reads as
  // a missing window name; a single space keeps it a real, empty-looking one.
  w.widened(f.caption.empty() ? std::string_view(" ") : f.caption, caption_max);
  w.word(f.point_size);
  w.widened(f.face, face_max);
  return static_cast<std::size_t>(w.at - static_cast<unsigned char*>(out));
}

}  // namespace dialog_description
