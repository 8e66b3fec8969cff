// Message sequences as data, in the manner of Wine's user32 tests: a
// callback appends what it sees, a test compares the whole sequence with a
// static table and, on a mismatch, prints every position.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct logged_message {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

enum expect_flags { any_params = 0, with_wparam = 1 };

struct expected_message {
  UINT message;
  int flags;
  WPARAM wparam;
};

// The messages the dialog tests follow; everything else (painting, sizing,
// non-client traffic) varies with the platform and is left out.
bool followed_message(UINT message);

extern std::vector<logged_message> message_log;
void log_message(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

std::string message_name(UINT message);
// Empty when the log matches; otherwise a listing of both sequences.
std::string compare_sequence(const std::vector<expected_message>& expected, const std::vector<logged_message>& actual);

#define EXPECT_SEQUENCE(expected, context)                                        \
  do {                                                                            \
    std::string mismatch_ = compare_sequence((expected), message_log);            \
    EXPECT_TRUE(mismatch_.empty()) << (context) << ":\n" << mismatch_;            \
  } while (0)
