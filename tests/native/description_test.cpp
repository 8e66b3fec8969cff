// The in-memory description, byte for byte, for the shapes the screens use
// and for the hostile ones (long captions and faces, high bytes, NULs).
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dialog/portable/description.h"

namespace {

using dialog_description::build;
using dialog_description::fields;

// The description as 16-bit words, for comparing with a table.
std::vector<uint16_t> words_of(const fields& f) {
  alignas(4) unsigned char buffer[dialog_description::max_bytes + 16];
  std::memset(buffer, 0xCC, sizeof buffer);
  const size_t n = build(f, buffer);
  EXPECT_LE(n, dialog_description::max_bytes);
  EXPECT_EQ(0u, n % 2);
  for (size_t i = n; i < sizeof buffer; ++i) EXPECT_EQ(0xCC, buffer[i]) << "wrote past its length at " << i;
  std::vector<uint16_t> words;
  for (size_t i = 0; i < n; i += 2) words.push_back(static_cast<uint16_t>(buffer[i] | buffer[i + 1] << 8));
  return words;
}

std::vector<uint16_t> widened(const std::string& s) {
  std::vector<uint16_t> w;
  for (unsigned char c : s) w.push_back(c);
  w.push_back(0);
  return w;
}

std::vector<uint16_t> expected_description(uint32_t style, uint32_t ex, int16_t x, int16_t y, uint16_t cx, uint16_t cy,
                                           const std::string& caption, uint16_t points, const std::string& face) {
  std::vector<uint16_t> w = {static_cast<uint16_t>(style), static_cast<uint16_t>(style >> 16),
                             static_cast<uint16_t>(ex),    static_cast<uint16_t>(ex >> 16),
                             0,                            static_cast<uint16_t>(x),
                             static_cast<uint16_t>(y),     cx,
                             cy,                           0,
                             0};
  for (uint16_t c : widened(caption)) w.push_back(c);
  w.push_back(points);
  for (uint16_t c : widened(face)) w.push_back(c);
  return w;
}

TEST(Description, StatusWindowLayoutWordForWord) {
  const fields f{0x80C008D4, 0, -1, 296, 277, 41, "ZEPHRON Pro Configurator v1.1 (Beta)", 8, "MS Sans Serif"};
  EXPECT_EQ(expected_description(0x80C008D4, 0, -1, 296, 277, 41, "ZEPHRON Pro Configurator v1.1 (Beta)", 8,
                                 "MS Sans Serif"),
            words_of(f));
}

TEST(Description, CaptionsAndFacesAreCutWidenedAndNeverEmpty) {
  const struct {
    const char* purpose;
    std::string caption, face;
    std::string stored_caption, stored_face;
  } rows[] = {
      {"empty caption becomes one space", "", "MS Sans Serif", " ", "MS Sans Serif"},
      {"256 bytes kept whole", std::string(256, 'a'), "F", std::string(256, 'a'), "F"},
      {"257 bytes cut to 256", std::string(257, 'b'), "F", std::string(256, 'b'), "F"},
      {"4000 bytes cut to 256", std::string(4000, 'c'), "F", std::string(256, 'c'), "F"},
      {"face of 31 bytes kept", "t", std::string(31, 'f'), "t", std::string(31, 'f')},
      {"face of 32 bytes cut", "t", std::string(32, 'g'), "t", std::string(31, 'g')},
      {"face of 300 bytes cut", "t", std::string(300, 'h'), "t", std::string(31, 'h')},
      {"high bytes widen to the same value", "\x80\xE9\xFF", "\xA0", "\x80\xE9\xFF", "\xA0"},
      {"CR LF kept as they are", "a\r\nb", "F", "a\r\nb", "F"},
  };
  for (const auto& row : rows) {
    const fields f{0x80C000D4, 0, 1, 2, 3, 4, row.caption, 8, row.face};
    EXPECT_EQ(expected_description(0x80C000D4, 0, 1, 2, 3, 4, row.stored_caption, 8, row.stored_face), words_of(f))
        << row.purpose;
  }
}

TEST(Description, EmbeddedNulEndsTheCaptionEarlyButWritesNoMoreThanItsLength) {
  // A NUL inside the caption is widened like any byte; the platform reads
  // the title up to it.
  const std::string caption("ab\0cd", 5);
  const fields f{0x80C000D4, 0, 0, 0, 10, 10, caption, 8, "MS Sans Serif"};
  const std::vector<uint16_t> w = words_of(f);
  const std::vector<uint16_t> title(w.begin() + 11, w.begin() + 17);
  EXPECT_EQ((std::vector<uint16_t>{'a', 'b', 0, 'c', 'd', 0}), title);
}

TEST(Description, WorstCaseFitsTheStatedBufferExactly) {
  const std::string caption(1000, 'x'), face(1000, 'y');
  const fields f{0xFFFFFFFF, 0xFFFFFFFF, -32768, 32767, 65535, 65535, caption, 65535, face};
  alignas(4) unsigned char buffer[dialog_description::max_bytes];
  EXPECT_EQ(dialog_description::max_bytes, build(f, buffer));
}

}  // namespace
