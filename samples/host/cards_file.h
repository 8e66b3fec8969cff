// The simulated bus of the sample host: which cards are installed and the
// clock each card's EEPROM holds, kept in a small text file between runs.
//
//   # comments run from '#' to the end of the line
//   card 1 clock 1.8432
//   card 2 clock 14.7456
//
// Cards are numbered 1, 2, ... in order, at most five (the card dialog
// offers five); a clock is 14.7456, 7.3728, 3.6864 or 1.8432 (MHz).
#pragma once

#include <string>
#include <vector>

namespace cards {

constexpr int max_cards = 5;
constexpr int factory_clock = 1009;  // 1.8432 MHz

// 1006..1009 for the four clock texts, 0 for anything else.
int clock_id_of(const std::string& mhz);
// "14.7456" and so on; "?" for an identifier outside 1006..1009.
const char* mhz_of(int clock_id);

class file {
 public:
  // Reads `path`, or creates it with two cards at 1.8432 MHz when it does
  // not exist (`*created` tells which). On failure `*error` names the file
  // and, for damaged contents, the line ("path:3: ..."); nothing is written.
  bool load(const std::string& path, std::string* error, bool* created);

  int count() const { return static_cast<int>(clocks_.size()); }
  int clock_of(int index) const { return clocks_[index]; }
  void set_clock(int index, int clock_id);
  // Makes the machine hold `n` cards: existing ones keep their clock, new
  // ones start at the factory default.
  void set_count(int n);

  // Writes a temporary file next to the cards file and moves it over the
  // old one in one step, so a crash leaves either the old or the new file.
  // Comments and blank lines are kept.
  bool save(std::string* error);

  const std::string& path() const { return path_; }
  std::string contents() const;

 private:
  bool parse(const std::string& data, std::string* error);

  struct line {
    std::string text;     // kept as it was for comments and blank lines
    int card = -1;        // card index for a card line
    std::string comment;  // a card line's own '#' comment, kept on rewrite
  };
  std::vector<line> lines_;
  std::vector<int> clocks_;
  std::string path_;
  std::string newline_ = "\r\n";
};

}  // namespace cards
