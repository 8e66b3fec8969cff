#include "pe_file.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct reader {
  const std::vector<unsigned char>& bytes;
  bool ok = true;
  uint32_t u32(size_t at) {
    if (at + 4 > bytes.size()) return ok = false, 0;
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
  }
  uint16_t u16(size_t at) {
    if (at + 2 > bytes.size()) return ok = false, 0;
    return static_cast<uint16_t>(bytes[at] | bytes[at + 1] << 8);
  }
  std::string c_string(size_t at) {
    std::string s;
    while (at < bytes.size() && bytes[at]) s += static_cast<char>(bytes[at++]);
    if (at >= bytes.size()) ok = false;
    return s;
  }
  std::string short_name(size_t at) {  // 8 bytes, NUL-padded
    std::string s;
    for (size_t i = at; i < at + 8 && i < bytes.size() && bytes[i]; ++i) s += static_cast<char>(bytes[i]);
    if (at + 8 > bytes.size()) ok = false;
    return s;
  }
};

struct section {
  uint32_t virtual_address, virtual_size, raw_offset, raw_size;
  std::string name;
};

}  // namespace

pe_tables read_pe_tables(const std::vector<unsigned char>& file) {
  pe_tables t;
  reader r{file};
  if (r.u16(0) != 0x5A4D) return t.error = "no MZ header", t;
  const uint32_t pe = r.u32(0x3C);
  if (r.u32(pe) != 0x00004550) return t.error = "no PE signature", t;
  t.machine = r.u16(pe + 4);
  const uint16_t section_count = r.u16(pe + 6);
  // Names longer than 8 bytes are "/offset" into the string table after the symbols.
  const size_t strings = r.u32(pe + 12) + size_t{r.u32(pe + 16)} * 18;
  const uint16_t optional_size = r.u16(pe + 20);
  t.characteristics = r.u16(pe + 22);
  const size_t optional = pe + 24;
  t.optional_magic = r.u16(optional);
  // PE32+ widens the image base and four sizes before the data directories.
  const bool pe32_plus = t.optional_magic == 0x20B;
  if (t.optional_magic != 0x10B && !pe32_plus) return t.error = "neither PE32 nor PE32+", t;
  t.image_base = pe32_plus ? r.u32(optional + 24) | static_cast<uint64_t>(r.u32(optional + 28)) << 32
                           : r.u32(optional + 28);
  t.image_version_major = r.u16(optional + 44);
  t.image_version_minor = r.u16(optional + 46);
  t.subsystem = r.u16(optional + 68);
  const size_t directories = optional + (pe32_plus ? 112 : 96);
  const uint32_t export_rva = r.u32(directories + 0);
  const uint32_t import_rva = r.u32(directories + 8);
  t.resource_rva = r.u32(directories + 16);
  const uint32_t function_table_rva = r.u32(directories + 24), function_table_size = r.u32(directories + 28);

  std::vector<section> sections;
  const size_t table = optional + optional_size;
  for (uint16_t i = 0; i < section_count; ++i) {
    const size_t s = table + i * 40u;
    std::string name = r.short_name(s);
    if (name.size() > 1 && name[0] == '/') name = r.c_string(strings + std::strtoul(name.c_str() + 1, nullptr, 10));
    sections.push_back({r.u32(s + 12), r.u32(s + 8), r.u32(s + 20), r.u32(s + 16), name});
    t.section_names.push_back(name);
  }
  if (!r.ok) return t.error = "truncated headers", t;
  // A file cut short may keep its tables and lose code behind them.
  for (const section& s : sections)
    if (static_cast<uint64_t>(s.raw_offset) + s.raw_size > file.size())
      return t.error = "truncated: a section ends at byte " + std::to_string(uint64_t{s.raw_offset} + s.raw_size) +
                       " of a " + std::to_string(file.size()) + "-byte file", t;
  auto offset = [&](uint32_t rva) -> size_t {
    for (const section& s : sections) {
      const uint32_t size = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
      if (rva >= s.virtual_address && rva < s.virtual_address + size) return rva - s.virtual_address + s.raw_offset;
    }
    r.ok = false;
    return 0;
  };

  if (export_rva) {
    const size_t e = offset(export_rva);
    t.export_dll_name = r.c_string(offset(r.u32(e + 12)));
    const uint32_t base = r.u32(e + 16);
    t.export_function_count = r.u32(e + 20);
    const uint32_t name_count = r.u32(e + 24);
    const size_t functions = offset(r.u32(e + 28));
    const size_t names = offset(r.u32(e + 32));
    const size_t ordinals = offset(r.u32(e + 36));
    for (uint32_t i = 0; i < name_count && r.ok; ++i) {
      const std::string name = r.c_string(offset(r.u32(names + 4 * i)));
      const uint16_t index = r.u16(ordinals + 2 * i);
      t.exports_by_name[name] = base + index;
      t.export_rvas[name] = r.u32(functions + 4 * index);
    }
  }
  if (import_rva) {
    for (size_t d = offset(import_rva); r.ok; d += 20) {
      const uint32_t name_rva = r.u32(d + 12);
      if (!name_rva) break;
      t.imported_dlls.push_back(r.c_string(offset(name_rva)));
    }
  }
  for (const section& s : sections) {
    if (s.name != ".gnu_debuglink") continue;
    // The file name, NUL-padded to a multiple of 4 bytes, then the file's CRC-32.
    t.debuglink_name = r.c_string(s.raw_offset);
    t.debuglink_crc = r.u32(s.raw_offset + (t.debuglink_name.size() + 4) / 4 * 4);
  }
  for (uint32_t at = 0; function_table_rva && at + 12 <= function_table_size && r.ok; at += 12) {
    const size_t entry = offset(function_table_rva + at);
    t.unwind_ranges[t.image_base + r.u32(entry)] = t.image_base + r.u32(entry + 4);
  }
  t.valid = r.ok;
  if (!r.ok) t.error = "truncated or inconsistent tables";
  return t;
}

std::vector<unsigned char> read_whole_file(const std::string& path) {
  std::vector<unsigned char> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    unsigned char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}
