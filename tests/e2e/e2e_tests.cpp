// The sample host end to end: zephronpro-sample.exe run as a user runs it,
// with its scripted user, on a cards file of the test's own. The host's log
// says what each entry point returned, which windows were open after each
// call and what the scripted user read; the cards file says what was saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string crlf = "\r\n";
const std::string scanning_label = "Scanning PCI bus for the Talmo ZEPHRON Pro 2 Port I/O Card(s), please wait...";
const std::string count_label = "Detected  2 ZEPHRON Pro I/O Cards in this computer";
const std::string saving_label = "Configuring ZEPHRON Pro Clock speed to  14.7456 Mhz " + crlf + crlf +
                                 "Please wait for this SAVE operation to the I/O card to finish." + crlf;
const std::string confirmation_text =
    "Select OK to set the clock value to  14.7456 Mhz " + crlf + crlf + "              for ZEPHRON Card #  2 of  2";
const std::string report_text = "      ZEPHRON Pro Clock has been configured to  14.7456 Mhz " + crlf + crlf +
                                "                      Baud Rate multiplier factor is  8" + crlf + crlf +
                                "      300 baud in Windows ->       300 baud x  8 =  2400 baud on ZEPHRON" + crlf +
                                "   1200  baud in Windows ->     1200 baud x  8 =  9600 baud on ZEPHRON" + crlf +
                                "   2400  baud in Windows ->     2400 baud x  8 =  19200 baud on ZEPHRON" + crlf +
                                "   9600  baud in Windows ->     9600 baud x  8 =  76800 baud on ZEPHRON" + crlf +
                                "  19200 baud in Windows ->   19200 baud x  8 =  153600 baud on ZEPHRON" + crlf +
                                "  38400 baud in Windows ->   38400 baud x  8 =  307200 baud on ZEPHRON" + crlf +
                                "  57600 baud in Windows ->   57600 baud x  8 =  460800 baud on ZEPHRON" + crlf +
                                "115200 baud in Windows -> 115200 baud x  8 =  921600 baud on ZEPHRON" + crlf + crlf +
                                "                       This clock value is now ACTIVE.";

std::string own_folder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of("\\/") + 1);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The log's quoted texts back to their bytes.
std::vector<std::string> quoted_texts(const std::string& line) {
  std::vector<std::string> texts;
  size_t i = line.find('"');
  while (i != std::string::npos) {
    std::string t;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] != '\\' || i + 1 >= line.size()) {
        t += line[i];
        continue;
      }
      const char e = line[++i];
      if (e == 'r') t += '\r';
      else if (e == 'n') t += '\n';
      else if (e == 't') t += '\t';
      else if (e == 'x' && i + 2 < line.size()) {
        t += static_cast<char>(std::stoi(line.substr(i + 1, 2), nullptr, 16));
        i += 2;
      } else t += e;
    }
    texts.push_back(t);
    i = i < line.size() ? line.find('"', i + 1) : std::string::npos;
  }
  return texts;
}

struct host_run {
  DWORD exit_code = 0xFFFFFFFF;
  std::string out, err;
  std::vector<std::string> log;

  std::vector<std::string> lines_starting(const std::string& prefix) const {
    std::vector<std::string> found;
    for (const std::string& l : log)
      if (l.compare(0, prefix.size(), prefix) == 0) found.push_back(l.substr(prefix.size()));
    return found;
  }
  // "name(args)" of every call, and the results in order.
  std::vector<std::string> calls() const {
    std::vector<std::string> c;
    for (const std::string& l : lines_starting("call ")) c.push_back(l.substr(0, l.rfind(" = ")));
    return c;
  }
  std::vector<int> results() const {
    std::vector<int> r;
    for (const std::string& l : lines_starting("call ")) r.push_back(std::stoi(l.substr(l.rfind(" = ") + 3)));
    return r;
  }
  // The windows open after a call, as (kind, text) pairs: status label or
  // message box text.
  std::vector<std::string> open_after(const std::string& entry) const {
    for (const std::string& l : lines_starting("open after " + entry + ":")) {
      if (l == " none") return {};
      return quoted_texts(l);
    }
    return {"(no such call)"};
  }
  std::vector<std::string> problems() const { return lines_starting("problem "); }
  std::string box_text_starting(const std::string& start) const {
    for (const std::string& l : lines_starting("seen box ")) {
      const std::vector<std::string> t = quoted_texts(l);
      if (t.size() == 2 && t[1].compare(0, start.size(), start) == 0) return t[1];
    }
    return std::string();
  }
};

class SampleHost : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    static int serial = 0;
    folder_ = std::string(temp) + "zp-e2e-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    cards_ = folder_ + "\\cards.txt";
  }
  void TearDown() override {
    for (const char* name : {"cards.txt", "cards.txt.new", "out.txt", "err.txt", "log.txt"})
      DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  host_run run(const std::string& options) {
    host_run r;
    const std::string out = folder_ + "\\out.txt", err = folder_ + "\\err.txt", log = folder_ + "\\log.txt";
    DeleteFileA(log.c_str());
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE out_file = CreateFileA(out.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    HANDLE err_file = CreateFileA(err.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out_file;
    si.hStdError = err_file;
    std::string command = "\"" + own_folder() + "zephronpro-sample.exe\" --cards-file \"" + cards_ + "\" --log \"" +
                          log + "\" " + options;
    PROCESS_INFORMATION pi = {};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(out_file);
    CloseHandle(err_file);
    EXPECT_TRUE(started) << command;
    if (!started) return r;
    if (WaitForSingleObject(pi.hProcess, 60000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the host did not finish within a minute: " << command;
      TerminateProcess(pi.hProcess, 99);
      WaitForSingleObject(pi.hProcess, 5000);
    }
    GetExitCodeProcess(pi.hProcess, &r.exit_code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    r.out = read_file(out);
    r.err = read_file(err);
    std::istringstream lines(read_file(log));
    for (std::string l; std::getline(lines, l);) r.log.push_back(l);
    return r;
  }

  std::string folder_, cards_;
};

std::string cards_text(const char* card1, const char* card2) {
  return std::string("card 1 clock ") + card1 + "\r\ncard 2 clock " + card2 + "\r\n";
}

TEST_F(SampleHost, TypicalRunSavesTheClockTheNextRunStartsFromIt) {
  ASSERT_FALSE(exists(cards_));
  const host_run first = run("");
  ASSERT_EQ(0u, first.exit_code) << first.err;
  EXPECT_EQ((std::vector<std::string>{"first_window()", "display_num_cards(2)", "ask_which_card(2)",
                                      "Main_Menu(1009, 1, 2)", "ok_to_save(1009, 1006, 1, 2)", "display_saving(1006)",
                                      "display_donesaving(1006)"}),
            first.calls());
  EXPECT_EQ((std::vector<int>{0, 0, 1023, 1006, 1, 0, 0}), first.results());

  // Each status window replaces the last; the modal screens leave nothing.
  EXPECT_EQ(std::vector<std::string>{scanning_label}, first.open_after("first_window"));
  EXPECT_EQ(std::vector<std::string>{count_label}, first.open_after("display_num_cards"));
  EXPECT_TRUE(first.open_after("ask_which_card").empty());
  EXPECT_TRUE(first.open_after("Main_Menu").empty());
  EXPECT_TRUE(first.open_after("ok_to_save").empty());
  EXPECT_EQ(std::vector<std::string>{saving_label}, first.open_after("display_saving"));
  EXPECT_TRUE(first.open_after("display_donesaving").empty());

  EXPECT_EQ(confirmation_text, first.box_text_starting("Select OK"));
  const std::string report = first.box_text_starting("      ZEPHRON Pro Clock");
  EXPECT_EQ(report_text, report);
  EXPECT_EQ(757u, report.size());
  EXPECT_EQ(std::vector<std::string>{"1009, card label \"Card #  2 of  2\""},
            first.lines_starting("seen clock dialog, checked "));

  // The file was made for two cards and now holds the new clock for card 2.
  const std::string saved = read_file(cards_);
  EXPECT_NE(std::string::npos, saved.find(cards_text("1.8432", "14.7456"))) << saved;
  EXPECT_FALSE(exists(cards_ + ".new")) << "the temporary file was moved over the cards file";
  EXPECT_TRUE(first.problems().empty());

  // The next run opens the clock dialog on the saved clock; cancelling it
  // returns that clock, and declining the confirmation writes nothing.
  const host_run second = run("--clock-dialog cancel --confirm cancel");
  ASSERT_EQ(0u, second.exit_code) << second.err;
  EXPECT_EQ(std::vector<std::string>{"1006, card label \"Card #  2 of  2\""},
            second.lines_starting("seen clock dialog, checked "));
  EXPECT_EQ((std::vector<std::string>{"first_window()", "display_num_cards(2)", "ask_which_card(2)",
                                      "Main_Menu(1006, 1, 2)", "ok_to_save(1006, 1006, 1, 2)"}),
            second.calls());
  EXPECT_EQ((std::vector<int>{0, 0, 1023, 1006, 2}), second.results());
  EXPECT_EQ(saved, read_file(cards_));
}

TEST_F(SampleHost, FactoryResetPutsTheChosenCardBackAndKeepsTheRestOfTheFile) {
  write_file(cards_, "# the test's machine\ncard 1 clock 7.3728   # left slot\ncard 2 clock 14.7456\n\n# end\n");
  const host_run r = run("--reset");
  ASSERT_EQ(0u, r.exit_code) << r.err;
  EXPECT_EQ((std::vector<std::string>{"first_window()", "display_num_cards(2)", "ask_which_card(2)",
                                      "display_reset_eeprom()"}),
            r.calls());
  EXPECT_EQ((std::vector<int>{0, 0, 1023, 0}), r.results());
  EXPECT_EQ((std::vector<std::string>{"Programming EEPROM to factor defaults. Clock will be 1.8432 Mhz." + crlf + crlf +
                                      "Please wait for this SAVE operation to the I/O card to finish." + crlf}),
            r.open_after("display_reset_eeprom"));
  EXPECT_EQ("# the test's machine\ncard 1 clock 7.3728   # left slot\ncard 2 clock 1.8432\n\n# end\n", read_file(cards_));
}

TEST_F(SampleHost, EveryWayOfSayingNoLeavesTheCardAsItWas) {
  struct refusal {
    const char* options;
    std::vector<int> results;  // of the calls up to the last one
  };
  const refusal refusals[] = {
      // Escape is a real key press on the confirmation box.
      {"--confirm escape", {0, 0, 1023, 1006, 2}},
      {"--confirm cancel --card 1 --clock 3.6864", {0, 0, 1022, 1008, 2}},
      // Cancel returns the current clock even after a click.
      {"--clock-dialog cancel --confirm cancel", {0, 0, 1023, 1009, 2}},
      // The close command keeps the click.
      {"--clock-dialog close --clock 7.3728 --confirm cancel", {0, 0, 1023, 1007, 2}},
  };
  const std::string before = cards_text("1.8432", "1.8432");
  for (const refusal& r : refusals) {
    SCOPED_TRACE(r.options);
    write_file(cards_, before);
    const host_run h = run(r.options);
    EXPECT_EQ(0u, h.exit_code) << h.err;
    EXPECT_EQ(r.results, h.results());
    EXPECT_EQ(before, read_file(cards_));
  }
}

TEST_F(SampleHost, DamagedCardsFileIsNamedWithItsLineAndLeftAlone) {
  struct damage {
    std::string contents;
    int line;
    const char* said;
  };
  const damage damages[] = {
      {"card 1 clock 1.8432\ncard 2 clock 9.99\n", 2, "clock 9.99 is not one of"},
      {"# two cards\ncard 2 clock 1.8432\n", 2, "expected card 1"},
      {"card 1 clock 1.8432\ncard 1 clock 1.8432\n", 2, "expected card 2"},
      {"card 1 clock 1.8432\ncard 2 clock\n", 2, "expected \"card <number> clock <MHz>\""},
      {"hello\n", 1, "expected \"card <number> clock <MHz>\""},
      {std::string("card 1 clock 1.8432\ncard 2 clock 1.84") + std::string(3, '\0'), 2, "unexpected byte 0x00"},
      {"card 1 clock 1.8432\ncard 2 clock 1.8432\ncard 3 clock 1.8432\ncard 4 clock 1.8432\n"
       "card 5 clock 1.8432\ncard 6 clock 1.8432\n",
       6, "more than 5 cards"},
  };
  for (const damage& d : damages) {
    SCOPED_TRACE(d.said);
    write_file(cards_, d.contents);
    const host_run h = run("");
    EXPECT_EQ(3u, h.exit_code);
    EXPECT_NE(std::string::npos, h.err.find(cards_ + ":" + std::to_string(d.line) + ": " + d.said)) << h.err;
    EXPECT_TRUE(h.calls().empty()) << "no screen for a damaged file";
    EXPECT_EQ(d.contents, read_file(cards_)) << "the file is not reset";
    EXPECT_FALSE(exists(cards_ + ".new"));
  }
}

TEST_F(SampleHost, ChoicesTheMachineCannotOfferAreRefusedBeforeAnyScreen) {
  write_file(cards_, cards_text("1.8432", "1.8432"));
  const host_run too_far = run("--card 3");
  EXPECT_EQ(2u, too_far.exit_code);
  EXPECT_NE(std::string::npos, too_far.err.find("--card 3: the machine has only 2 cards")) << too_far.err;
  EXPECT_TRUE(too_far.calls().empty());

  const host_run bad_clock = run("--clock 2.5");
  EXPECT_EQ(2u, bad_clock.exit_code);
  EXPECT_NE(std::string::npos, bad_clock.err.find("--clock 2.5: not one of")) << bad_clock.err;

  // No cards: the notice, and nothing to configure.
  const host_run none = run("--cards 0");
  EXPECT_EQ(0u, none.exit_code) << none.err;
  EXPECT_EQ((std::vector<std::string>{"first_window()", "no_cards_found()"}), none.calls());
  EXPECT_EQ(std::vector<std::string>{scanning_label}, none.open_after("no_cards_found"))
      << "nothing ends the scanning window before the notice";
  EXPECT_EQ(std::string::npos, read_file(cards_).find("card "));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
