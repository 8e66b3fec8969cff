// Reads the header, the export and import tables and the section names of a
// PE32 or PE32+ file from its bytes, so a test can check what the DLL file
// itself promises, not what a loader makes of it. Portable: shared by the
// native and the Wine tests.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct pe_tables {
  bool valid = false;
  std::string error;
  uint16_t machine = 0;       // 0x14C for i386, 0x8664 for x86-64
  uint16_t characteristics = 0;  // 0x2000: a DLL
  uint16_t optional_magic = 0;  // 0x10B for PE32, 0x20B for PE32+
  uint64_t image_base = 0;
  uint16_t image_version_major = 0, image_version_minor = 0;
  uint16_t subsystem = 0;        // 2: Windows GUI, 3: Windows console
  uint32_t resource_rva = 0;     // the resource directory (version information), 0 if none
  std::vector<std::string> section_names;  // long ones ("/4") read from the string table
  // .gnu_debuglink: the name of the separate symbols file and its CRC-32, "" if none.
  std::string debuglink_name;
  uint32_t debuglink_crc = 0;
  std::string export_dll_name;
  std::map<std::string, uint32_t> exports_by_name;  // name -> ordinal
  std::map<std::string, uint32_t> export_rvas;      // name -> code address
  uint32_t export_function_count = 0;
  std::vector<std::string> imported_dlls;
  // x86-64: the code ranges the .pdata function table covers, begin to end.
  std::map<uint64_t, uint64_t> unwind_ranges;
};

pe_tables read_pe_tables(const std::vector<unsigned char>& file);
std::vector<unsigned char> read_whole_file(const std::string& path);
