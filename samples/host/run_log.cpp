#include "run_log.h"

run_log::run_log() { InitializeCriticalSection(&lock_); }

run_log::~run_log() {
  if (file_) std::fclose(file_);
  DeleteCriticalSection(&lock_);
}

bool run_log::open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "wb");
  return file_ != nullptr;
}

void run_log::line(const std::string& text) {
  if (!file_) return;
  EnterCriticalSection(&lock_);
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fputc('\n', file_);
  std::fflush(file_);
  LeaveCriticalSection(&lock_);
}

std::string run_log::quoted(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      default:
        if (c < 32 || c > 126) {
          static const char hex[] = "0123456789ABCDEF";
          out += "\\x";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}
