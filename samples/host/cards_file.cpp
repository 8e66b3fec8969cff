#include "cards_file.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace cards {

namespace {

struct clock_row {
  int id;
  const char* mhz;
};
constexpr clock_row clock_rows[] = {{1006, "14.7456"}, {1007, "7.3728"}, {1008, "3.6864"}, {1009, "1.8432"}};

// Far more than five card lines and their comments; anything bigger is not
// a cards file and is refused rather than read into memory.
constexpr DWORD max_file_bytes = 64 * 1024;

std::string system_message(DWORD code) {
  char buffer[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                           sizeof buffer, nullptr);
  while (n > 0 && (buffer[n - 1] == '\r' || buffer[n - 1] == '\n' || buffer[n - 1] == ' ' || buffer[n - 1] == '.'))
    --n;
  std::string text(buffer, n);
  char number[32];
  std::snprintf(number, sizeof number, "error %lu", static_cast<unsigned long>(code));
  return text.empty() ? std::string(number) : text + " (" + number + ")";
}

std::vector<std::string> words_of(const std::string& s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t') ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

// A whole decimal number of at most a few digits; -1 otherwise.
int small_number(const std::string& s) {
  if (s.empty() || s.size() > 4) return -1;
  int n = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

}  // namespace

int clock_id_of(const std::string& mhz) {
  // By value, so "1.84320" reads as 1.8432; the clocks are far apart.
  if (mhz.empty() || mhz.size() > 16) return 0;
  for (char c : mhz)
    if ((c < '0' || c > '9') && c != '.') return 0;
  char* end = nullptr;
  const double value = std::strtod(mhz.c_str(), &end);
  if (*end != '\0') return 0;
  for (const clock_row& row : clock_rows)
    if (std::abs(value - std::strtod(row.mhz, nullptr)) < 1e-9) return row.id;
  return 0;
}

const char* mhz_of(int clock_id) {
  for (const clock_row& row : clock_rows)
    if (row.id == clock_id) return row.mhz;
  return "?";
}

bool file::load(const std::string& path, std::string* error, bool* created) {
  path_ = path;
  lines_.clear();
  clocks_.clear();
  *created = false;

  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND) {
      *error = "cannot read the cards file " + path + ": " + system_message(code);
      return false;
    }
    // A new machine: two cards at the factory default.
    newline_ = "\r\n";
    lines_.push_back({"# Simulated ZEPHRON Pro cards of the sample host, one line per card:", -1, ""});
    lines_.push_back({"#   card <number 1 to 5, in order> clock <14.7456 | 7.3728 | 3.6864 | 1.8432 MHz>", -1, ""});
    set_count(2);
    if (!save(error)) return false;
    *created = true;
    return true;
  }

  std::string data;
  LARGE_INTEGER size;
  bool ok = GetFileSizeEx(h, &size) != 0;
  if (ok && size.QuadPart > max_file_bytes) {
    CloseHandle(h);
    *error = path + ": larger than " + std::to_string(max_file_bytes / 1024) + " KiB, not a cards file";
    return false;
  }
  if (ok) {
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    ok = data.empty() || (ReadFile(h, &data[0], static_cast<DWORD>(data.size()), &got, nullptr) && got == data.size());
  }
  const DWORD code = GetLastError();
  CloseHandle(h);
  if (!ok) {
    *error = "cannot read the cards file " + path + ": " + system_message(code);
    return false;
  }
  return parse(data, error);
}

bool file::parse(const std::string& data, std::string* error) {
  newline_ = data.find("\r\n") != std::string::npos || data.find('\n') == std::string::npos ? "\r\n" : "\n";
  size_t start = 0;
  int number = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string text = data.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    auto fail = [&](const std::string& what) {
      *error = path_ + ":" + std::to_string(number) + ": " + what;
      lines_.clear();
      clocks_.clear();
      return false;
    };
    for (unsigned char c : text)
      if ((c < 0x20 && c != '\t') || c == 0x7F) {
        char what[64];
        std::snprintf(what, sizeof what, "unexpected byte 0x%02X; is this a text file?", c);
        return fail(what);
      }

    line l;
    l.text = text;
    const size_t hash = text.find('#');
    const std::string content = hash == std::string::npos ? text : text.substr(0, hash);
    const std::vector<std::string> words = words_of(content);
    if (words.empty()) {
      lines_.push_back(l);
      continue;
    }
    if (words[0] != "card" || words.size() != 4 || words[2] != "clock")
      return fail("expected \"card <number> clock <MHz>\", found \"" + content + "\"");
    const int card = small_number(words[1]);
    if (card != count() + 1)
      return fail("expected card " + std::to_string(count() + 1) +
                  " (cards are numbered 1, 2, ... in order), found card " + words[1]);
    if (card > max_cards) return fail("more than " + std::to_string(max_cards) + " cards");
    const int clock = clock_id_of(words[3]);
    if (clock == 0) return fail("clock " + words[3] + " is not one of 14.7456, 7.3728, 3.6864, 1.8432");
    l.card = count();
    if (hash != std::string::npos) {
      // Keep the card's comment and the spaces before it when the line is
      // rewritten.
      size_t keep = hash;
      while (keep > 0 && (text[keep - 1] == ' ' || text[keep - 1] == '\t')) --keep;
      l.comment = text.substr(keep);
    }
    clocks_.push_back(clock);
    lines_.push_back(l);
  }
  return true;
}

void file::set_clock(int index, int clock_id) { clocks_[index] = clock_id; }

void file::set_count(int n) {
  if (n < count()) {
    clocks_.resize(n);
    std::vector<line> kept;
    for (const line& l : lines_)
      if (l.card < n) kept.push_back(l);
    lines_ = kept;
    return;
  }
  // New card lines go after the last card line (or at the end).
  size_t at = lines_.size();
  for (size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].card >= 0) {
      at = i + 1;
      break;
    }
  while (count() < n) {
    line l;
    l.card = count();
    clocks_.push_back(factory_clock);
    lines_.insert(lines_.begin() + at++, l);
  }
}

std::string file::contents() const {
  std::string out;
  for (const line& l : lines_) {
    if (l.card >= 0)
      out += "card " + std::to_string(l.card + 1) + " clock " + mhz_of(clocks_[l.card]) + l.comment;
    else
      out += l.text;
    out += newline_;
  }
  return out;
}

bool file::save(std::string* error) {
  const std::string data = contents();
  const std::string temporary = path_ + ".new";
  HANDLE h = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    *error = "cannot write " + temporary + ": " + system_message(GetLastError());
    return false;
  }
  DWORD written = 0;
  bool ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr) && written == data.size() &&
            FlushFileBuffers(h);
  DWORD code = GetLastError();
  CloseHandle(h);
  if (ok) {
    ok = MoveFileExA(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    code = GetLastError();
  }
  if (!ok) {
    DeleteFileA(temporary.c_str());
    *error = "cannot save the cards file " + path_ + ": " + system_message(code) + "; it was left as it was";
  }
  return ok;
}

}  // namespace cards
