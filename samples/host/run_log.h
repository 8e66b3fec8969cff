// The run log (--log FILE): one event a line, written by the host thread
// (each call and its result, the windows open after it) and by the scripted
// user (each window it saw, what it read and how it answered). Texts are
// quoted with C escapes, so a line break inside a text stays on one line.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

class run_log {
 public:
  run_log();
  ~run_log();
  bool open(const std::string& path);
  void line(const std::string& text);  // safe from any thread; flushed at once

  // "text" with \r, \n, \t, \\, \" and \xHH for other bytes outside 32..126.
  static std::string quoted(const std::string& bytes);

 private:
  FILE* file_ = nullptr;
  CRITICAL_SECTION lock_;
};
