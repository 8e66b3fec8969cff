// The shipped DLL files read as a loader and a linker read them, without
// running them, so that a machine whose kernel runs no 32-bit programs
// still checks the 32-bit product: its header, its exports by name and
// ordinal, its imports, (i386) that every export removes exactly its own
// arguments from the stack, as a stdcall host expects, (x86-64) that the
// system unwinder can walk every frame, and the symbols file beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "pe_file.h"

namespace {

struct dll_file {
  const char* arch;
  const char* path_variable;  // overrides the build's path
  const char* build_path;
  uint16_t machine;
  uint16_t optional_magic;
  const char* objdump;  // of the cross binutils for this machine
  const char* addr2line;
  const char* binutils;  // the Debian package with them
};

const dll_file dll_files[] = {
    {"win32", "ZP_WIN32_DLL", ZP_WIN32_DLL_PATH, 0x14C, 0x10B, ZP_I686_OBJDUMP, ZP_I686_ADDR2LINE,
     "binutils-mingw-w64-i686"},
    {"win64", "ZP_WIN64_DLL", ZP_WIN64_DLL_PATH, 0x8664, 0x20B, ZP_X86_64_OBJDUMP, ZP_X86_64_ADDR2LINE,
     "binutils-mingw-w64-x86-64"},
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
    // ./run.sh builds both DLLs before these tests run: a missing, damaged
    // or wrong file is the product failing its check, never a skip.
    const std::vector<unsigned char> bytes = read_whole_file(path);
    ASSERT_FALSE(bytes.empty()) << "no " << GetParam().arch << " DLL at " << path
                                << " (missing or empty): build it first (./run.sh does), or name one with "
                                << GetParam().path_variable;
    file_size = bytes.size();
    tables = read_pe_tables(bytes);
    ASSERT_TRUE(tables.valid) << path << ": " << tables.error;
    ASSERT_EQ(GetParam().machine, tables.machine)
        << path << " is not a " << GetParam().arch << " DLL: its machine is 0x" << std::hex << tables.machine;
    ASSERT_EQ(GetParam().optional_magic, tables.optional_magic)
        << path << " is not a " << GetParam().arch << " DLL (optional header magic)";
  }
  std::string path;
  size_t file_size = 0;
  pe_tables tables;
};

// The machine and the PE32/PE32+ magic are checked by SetUp, for every test.
TEST_P(DllFile, IsADllForItsMachine) {
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

// Prefixes change nothing that matters here, but objdump prints them before
// the mnemonic: "repz ret $0x8" is a ret, "notrack jmp *%eax" a jmp.
const std::set<std::string> prefixes = {"rep",    "repz",   "repe",   "repnz",  "repne",    "lock",    "bnd",
                                        "notrack", "cs",    "ds",     "es",     "fs",       "gs",      "ss",
                                        "data16", "data32", "addr16", "addr32", "xacquire", "xrelease"};

// One line of `objdump -d -w --no-show-raw-insn` ("  401000:\tbnd jmp 401010
// <f+0x10>") into the code listing; other lines (headers, labels) are passed by.
void read_listing_line(const std::string& line, std::map<uint64_t, instruction>* code) {
  char* end = nullptr;
  const uint64_t address = std::strtoull(line.c_str(), &end, 16);
  if (end == line.c_str() || *end != ':' || end[1] != '\t') return;
  std::istringstream words(end + 2);
  instruction i;
  std::string word;
  while (words >> word) {
    i.mnemonic = word;  // a prefix alone on its line stays the mnemonic
    if (!prefixes.count(word)) break;
  }
  std::getline(words >> std::ws, i.operands);
  i.operands.erase(i.operands.find_last_not_of(" \r\n") + 1);
  (*code)[address] = i;
}

// Why a tool of the cross binutils (objdump, addr2line) cannot run, or "" when it can.
std::string tool_missing(const dll_file& f, const std::string& tool, const char* what) {
  const std::string missing = std::string("the ") + what + " of the " + f.arch + " DLL not found; install " + f.binutils;
  if (tool.empty() || tool.find("NOTFOUND") != std::string::npos) return missing;
  if (access(tool.c_str(), X_OK) != 0) return missing + " (the build names " + tool + ", no program)";
  return "";
}
std::string objdump_missing(const dll_file& f) { return tool_missing(f, f.objdump, "objdump"); }

std::map<uint64_t, instruction> disassemble(const dll_file& f, const std::string& file, std::string* error) {
  std::map<uint64_t, instruction> code;
  const std::string command = std::string("'") + f.objdump + "' -d -w --no-show-raw-insn '" + file + "' 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return *error = "cannot run " + command, code;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) read_listing_line(line, &code);
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
      // retw (16-bit), lret, iret: no stdcall return, and no way onwards.
      if (i.mnemonic.rfind("ret", 0) == 0 || i.mnemonic.rfind("lret", 0) == 0 || i.mnemonic.rfind("iret", 0) == 0) {
        unfollowed->push_back(i.mnemonic);
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
  if (GetParam().machine != 0x14C)
    GTEST_SKIP() << "i386 only: x86-64 has one calling convention, in which the caller removes the arguments";
  // The check of the product: without its tool it fails, it does not pass.
  const std::string missing = objdump_missing(GetParam());
  ASSERT_TRUE(missing.empty()) << missing;
  std::string error;
  const std::map<uint64_t, instruction> code = disassemble(GetParam(), path, &error);
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

// --- Unwind data of the x86-64 code --------------------------------------
// The system unwinder walks a frame only through its function's .pdata
// entry; without one it takes the function for a leaf that left the stack
// pointer alone, and an exception raised beneath it (an access violation, a
// stack overflow, the library's own STATUS_NO_MEMORY) never reaches the
// host's handler. So every instruction that calls or moves the stack
// pointer must lie in a range the table covers. The code ends where the
// linker's constructor lists begin: their -1 reads as "(bad)".
bool calls_or_moves_the_stack(const instruction& i) {
  static const std::regex stack_mnemonics("call.*|push.*|popq?|popfq?|enterq?|leaveq?");
  return std::regex_match(i.mnemonic, stack_mnemonics) ||
         (i.operands.size() > 5 && i.operands.substr(i.operands.size() - 5) == ",%rsp");
}

TEST_P(DllFile, X86_64EveryFunctionThatCallsOrMovesTheStackPointerHasUnwindData) {
  if (GetParam().machine != 0x8664) GTEST_SKIP() << "x86-64 only: i386 finds handlers on a chain the frames link";
  const std::string missing = objdump_missing(GetParam());
  ASSERT_TRUE(missing.empty()) << missing;
  std::string error;
  const std::map<uint64_t, instruction> code = disassemble(GetParam(), path, &error);
  ASSERT_TRUE(error.empty()) << error;
  ASSERT_FALSE(tables.unwind_ranges.empty()) << path << " has no .pdata";
  std::vector<std::string> uncovered;
  for (const auto& [address, i] : code) {
    if (i.mnemonic == "(bad)") break;
    const auto range = tables.unwind_ranges.upper_bound(address);
    if ((range == tables.unwind_ranges.begin() || address >= std::prev(range)->second) && calls_or_moves_the_stack(i))
      uncovered.push_back((std::ostringstream() << std::hex << address << " " << i.mnemonic << " " << i.operands).str());
  }
  EXPECT_TRUE(uncovered.empty()) << path << ": " << uncovered.size()
                                 << " instructions that call or move %rsp lie outside every .pdata range, first: "
                                 << uncovered.front();
}

// --- What Windows' tools read, and the symbols ----------------------------
// Explorer, installers and support staff read the product's version from the
// header and the version resource; a library that shows windows is a GUI one.
// (Under Wine, dll_tests reads the resource's contents as an installer does.)
TEST_P(DllFile, HeaderGivesTheProjectVersionAndTheGuiSubsystem) {
  EXPECT_EQ(ZP_VERSION_MAJOR, tables.image_version_major) << path << ": image version";
  EXPECT_EQ(ZP_VERSION_MINOR, tables.image_version_minor) << path << ": image version";
  EXPECT_EQ(2, tables.subsystem) << path << ": not the Windows GUI subsystem (3 is the console)";
  EXPECT_NE(0u, tables.resource_rva) << path << " has no resources, so no version information";
}

// The CRC-32 that .gnu_debuglink holds, and gdb checks before it reads a symbols file.
uint32_t debuglink_crc(const std::vector<unsigned char>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (unsigned char b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// The shipped DLL is stripped and small; its symbols file lies beside it,
// the DLL names it with its CRC-32, and the toolchain's addr2line turns an
// address inside each export into that export's name (i386: its stdcall
// link name) and a line of its source, named from /zephronpro/ on: no folder
// of the machine that built it.
TEST_P(DllFile, SymbolsFileBesideItNamesEveryExport) {
  EXPECT_LT(file_size, 64u * 1024) << path;
  for (const std::string& section : tables.section_names)
    EXPECT_NE(0u, section.rfind(".debug", 0)) << path << " is not stripped: it has " << section;
  const std::string debug_path = path + ".debug";
  const std::vector<unsigned char> debug = read_whole_file(debug_path);
  ASSERT_FALSE(debug.empty()) << "no symbols file " << debug_path << " beside the DLL";
  EXPECT_EQ("zephronpro.dll.debug", tables.debuglink_name) << path << ": .gnu_debuglink";
  EXPECT_EQ(debuglink_crc(debug), tables.debuglink_crc) << debug_path << " is not the symbols file of " << path;

  const std::string missing = tool_missing(GetParam(), GetParam().addr2line, "addr2line");
  ASSERT_TRUE(missing.empty()) << missing;
  std::ostringstream command;
  command << "'" << GetParam().addr2line << "' -f -e '" << debug_path << "'" << std::hex;
  std::vector<std::string> expected;
  for (const auto& e : entry_points) {
    const auto rva = tables.export_rvas.find(e.first);
    ASSERT_NE(tables.export_rvas.end(), rva) << e.first << " is not exported";
    command << " 0x" << tables.image_base + rva->second + 1;  // one byte in, as a fault address would be
    expected.push_back(GetParam().machine == 0x14C ? e.first + "@" + std::to_string(e.second.argument_bytes)
                                                   : e.first);
  }
  FILE* pipe = popen((command.str() + " 2>&1").c_str(), "r");
  ASSERT_TRUE(pipe) << command.str();
  std::vector<std::string> lines;
  char line[1024];
  while (std::fgets(line, sizeof line, pipe)) lines.push_back(std::string(line, std::strcspn(line, "\r\n")));
  EXPECT_EQ(0, pclose(pipe)) << command.str();
  ASSERT_EQ(2 * expected.size(), lines.size()) << command.str() << " printed " << lines.size() << " lines";
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i], lines[2 * i]) << command.str();
    EXPECT_EQ(0u, lines[2 * i + 1].rfind("/zephronpro/screens/", 0)) << expected[i] << " at " << lines[2 * i + 1];
  }
}

// The walk over the prefixed forms objdump prints: each is the ret or jmp it
// carries, so a path neither stops early nor runs on into the next code.
TEST(StackDisciplineWalk, ReadsPrefixedReturnsAndJumpsAsWhatTheyAre) {
  const char* const listing[] = {
      "zephronpro.dll:     file format pei-i386",
      "00401000 <_first_window@0>:",
      "  401000:\tpush   %ebx",
      "  401001:\tbnd jmp 401010 <_first_window@0+0x10>",
      "  401007:\tret",  // not reached: the bnd jmp does not fall through
      "  401010:\tje,pt  401020 <_first_window@0+0x20>",
      "  401013:\tds jmp 401030 <_first_window@0+0x30>",
      "  401016:\tret    $0x4",
      "  401020:\trepz ret $0x8",
      "  401022:\tret    $0xc",
      "  401030:\tnotrack jmp *%eax",
      "  401033:\tret    $0x10",
      "  401040:\tds ds jmp 401050 <_first_window@0+0x50>",
      "  401044:\tretw",
      "  401050:\tbnd ret $0x8",
  };
  std::map<uint64_t, instruction> code;
  for (const char* line : listing) read_listing_line(line, &code);
  ASSERT_EQ(13u, code.size());
  EXPECT_EQ("ret", code.at(0x401020).mnemonic);
  EXPECT_EQ("$0x8", code.at(0x401020).operands);
  EXPECT_EQ("jmp", code.at(0x401040).mnemonic);

  std::vector<std::string> unfollowed;
  EXPECT_EQ(std::set<uint32_t>{8}, returns_from(code, 0x401000, &unfollowed));
  EXPECT_EQ(std::vector<std::string>{"jmp *%eax"}, unfollowed);
  unfollowed.clear();
  EXPECT_EQ(std::set<uint32_t>{8}, returns_from(code, 0x401040, &unfollowed));
  EXPECT_TRUE(unfollowed.empty()) << unfollowed.front();
  unfollowed.clear();
  EXPECT_EQ(std::set<uint32_t>{}, returns_from(code, 0x401044, &unfollowed));
  EXPECT_EQ(std::vector<std::string>{"retw"}, unfollowed);
}

INSTANTIATE_TEST_SUITE_P(Shipped, DllFile, testing::ValuesIn(dll_files),
                         [](const testing::TestParamInfo<dll_file>& info) { return std::string(info.param.arch); });

}  // namespace
