// Reads the export and import tables of a PE32 file from its bytes, so a
// test can check what the DLL file itself promises, not what a loader makes
// of it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct pe_tables {
  bool valid = false;
  std::string error;
  uint16_t machine = 0;       // 0x14C for i386
  uint16_t optional_magic = 0;  // 0x10B for PE32
  std::string export_dll_name;
  std::map<std::string, uint32_t> exports_by_name;  // name -> ordinal
  uint32_t export_function_count = 0;
  std::vector<std::string> imported_dlls;
};

pe_tables read_pe_tables(const std::vector<unsigned char>& file);
std::vector<unsigned char> read_whole_file(const std::string& path);
