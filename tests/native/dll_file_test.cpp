// The shipped DLL files read as a loader and a linker read them, without
// running them, so that a machine whose kernel runs no 32-bit programs
// still checks the 32-bit product: its header, its exports by name and
// ordinal, its imports, and (i386 only) that every export removes exactly
// its own arguments from the stack, as a stdcall host expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "pe_file.h"

namespace {

struct dll_file {
  const char* arch;
  const char* path_variable;  // overrides the build's path
  const char* build_path;
  uint16_t machine;
  uint16_t optional_magic;
};

const dll_file dll_files[] = {
    {"win32", "ZP_WIN32_DLL", ZP_WIN32_DLL_PATH, 0x14C, 0x10B},
    {"win64", "ZP_WIN64_DLL", ZP_WIN64_DLL_PATH, 0x8664, 0x20B},
};

// Name -> ordinal, and the bytes of arguments of the public prototypes:
// 4 per argument, the byte arguments included (each takes a whole slot).
struct entry_point {
  uint32_t ordinal;
  uint32_t argument_bytes;
};
const std::map<std::string, entry_point> entry_points = {
    {"Main_Menu", {1, 12}},           {"ask_which_card", {2, 4}}, {"display_donesaving", {3, 4}},
    {"display_num_cards", {4, 4}},    {"display_reset_eeprom", {5, 0}}, {"display_saving", {6, 4}},
    {"first_window", {7, 0}},         {"no_cards_found", {8, 0}}, {"ok_to_save", {9, 16}},
    {"scan_box", {10, 0}}};

// Names the file in test names and messages, instead of its bytes.
void PrintTo(const dll_file& f, std::ostream* os) { *os << f.arch; }

std::string path_of(const dll_file& f) {
  const char* chosen = std::getenv(f.path_variable);
  return chosen && *chosen ? chosen : f.build_path;
}

class DllFile : public testing::TestWithParam<dll_file> {
 protected:
  void SetUp() override {
    path = path_of(GetParam());
    const std::vector<unsigned char> bytes = read_whole_file(path);
    if (bytes.empty())
      GTEST_SKIP() << "no " << GetParam().arch << " DLL at " << path << ": build it first (./run.sh does), or name one with "
                   << GetParam().path_variable;
    tables = read_pe_tables(bytes);
    ASSERT_TRUE(tables.valid) << path << ": " << tables.error;
  }
  std::string path;
  pe_tables tables;
};

TEST_P(DllFile, IsADllForItsMachine) {
  EXPECT_EQ(GetParam().machine, tables.machine) << path;
  EXPECT_EQ(GetParam().optional_magic, tables.optional_magic) << path;
  EXPECT_TRUE(tables.characteristics & 0x2000) << path << " is not marked as a DLL";
}

TEST_P(DllFile, ExportsTheTenEntryPointsByPlainNameAndOrdinalAndNothingElse) {
  std::map<std::string, uint32_t> expected;
  for (const auto& e : entry_points) expected[e.first] = e.second.ordinal;
  EXPECT_EQ(expected, tables.exports_by_name) << path;
  EXPECT_EQ(10u, tables.export_function_count) << path << ": no export by ordinal only";
  EXPECT_EQ("zephronpro.dll", tables.export_dll_name) << path;
}

TEST_P(DllFile, ImportsSystemDllsOnly) {
  const std::set<std::string> allowed = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"};
  EXPECT_FALSE(tables.imported_dlls.empty()) << path;
  for (std::string dll : tables.imported_dlls) {
    std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_TRUE(allowed.count(dll)) << path << " imports " << dll;
  }
}

// --- The stack discipline of the i386 exports ------------------------------
// The disassembler of the i686 cross binutils lists the code; from each
// export's entry every path is followed through jumps (calls are stepped
// over) to its returns. A stdcall export removes its arguments with
// `ret $N`; one that leaves them (`ret`, cdecl) or removes too many would
// corrupt the host's stack.

struct instruction {
  std::string mnemonic;
  std::string operands;
};

std::map<uint64_t, instruction> disassemble(const std::string& file, std::string* error) {
  std::map<uint64_t, instruction> code;
  const std::string command = std::string("'") + ZP_I686_OBJDUMP + "' -d -w --no-show-raw-insn '" + file + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return *error = "cannot run " + command, code;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) {
    char* end = nullptr;
    const uint64_t address = std::strtoull(line, &end, 16);
    if (end == line || *end != ':' || end[1] != '\t') continue;
    std::string text(end + 2);
    text.erase(text.find_last_not_of(" \n") + 1);
    // Prefixes (rep, lock, data16...) change nothing that matters here.
    size_t space = text.find(' ');
    instruction i{text.substr(0, space), space == std::string::npos ? "" : text.substr(text.find_first_not_of(' ', space))};
    code[address] = i;
  }
  if (pclose(pipe) != 0 || code.empty()) *error = "no code listed by: " + command;
  return code;
}

// The argument bytes of every return reachable from entry; "jmp *" (a jump
// through a table or pointer) and an end of the listing go into *unfollowed.
std::set<uint32_t> returns_from(const std::map<uint64_t, instruction>& code, uint64_t entry,
                                std::vector<std::string>* unfollowed) {
  std::set<uint32_t> returns;
  std::set<uint64_t> seen;
  std::vector<uint64_t> work = {entry};
  while (!work.empty()) {
    auto at = code.find(work.back());
    work.pop_back();
    while (true) {
      if (at == code.end()) {
        unfollowed->push_back("a path leaves the listed code");
        break;
      }
      if (!seen.insert(at->first).second) break;
      const instruction& i = at->second;
      if (i.mnemonic == "ret" || i.mnemonic == "retl") {
        returns.insert(i.operands.empty() ? 0 : static_cast<uint32_t>(std::strtoul(i.operands.c_str() + 1, nullptr, 16)));
        break;
      }
      if (i.mnemonic == "hlt" || i.mnemonic == "ud2" || i.mnemonic == "int3") break;
      const bool jump = i.mnemonic == "jmp";
      if (jump || (i.mnemonic[0] == 'j' && i.mnemonic != "jmp") || i.mnemonic.rfind("loop", 0) == 0) {
        if (i.operands.empty() || i.operands[0] == '*') {
          unfollowed->push_back(i.mnemonic + " " + i.operands);
          break;
        }
        work.push_back(std::strtoull(i.operands.c_str(), nullptr, 16));
        if (jump) break;
      }
      ++at;
    }
  }
  return returns;
}

TEST_P(DllFile, I386EveryExportRemovesExactlyItsArguments) {
  if (tables.machine != 0x14C)
    GTEST_SKIP() << "i386 only: x86-64 has one calling convention, in which the caller removes the arguments";
  std::string error;
  const std::map<uint64_t, instruction> code = disassemble(path, &error);
  ASSERT_TRUE(error.empty()) << error;
  for (const auto& e : entry_points) {
    const auto rva = tables.export_rvas.find(e.first);
    if (rva == tables.export_rvas.end()) {
      ADD_FAILURE() << e.first << " is not exported";
      continue;
    }
    std::vector<std::string> unfollowed;
    const std::set<uint32_t> returns = returns_from(code, tables.image_base + rva->second, &unfollowed);
    EXPECT_EQ(std::set<uint32_t>{e.second.argument_bytes}, returns)
        << e.first << ": the bytes its returns remove from the stack (ret $N)";
    EXPECT_TRUE(unfollowed.empty()) << e.first << ": paths not followed, first: " << unfollowed.front();
  }
}

INSTANTIATE_TEST_SUITE_P(Shipped, DllFile, testing::ValuesIn(dll_files),
                         [](const testing::TestParamInfo<dll_file>& info) { return std::string(info.param.arch); });

}  // namespace
