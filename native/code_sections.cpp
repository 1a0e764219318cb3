#include "code_sections.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

template <typename T>
bool Load(const std::vector<uint8_t>& f, size_t off, T* v) {
  if (off > f.size() || f.size() - off < sizeof(T)) return false;
  std::memcpy(v, f.data() + off, sizeof(T));
  return true;
}

void Take(const std::vector<uint8_t>& f, size_t off, size_t size, const std::string& origin,
          std::vector<CodeSection>* out) {
  if (off > f.size() || size > f.size() - off || size == 0) return;
  out->push_back({origin, std::vector<uint8_t>(f.begin() + off, f.begin() + off + size)});
}

bool Elf(const std::vector<uint8_t>& f, const std::string& path, std::vector<CodeSection>* out) {
  if (f.size() < 64 || std::memcmp(f.data(), "\x7f" "ELF", 4) != 0 || f[4] != 2) return false;
  uint64_t shoff;
  uint16_t shentsize, shnum, shstrndx;
  if (!Load(f, 0x28, &shoff) || !Load(f, 0x3A, &shentsize) || !Load(f, 0x3C, &shnum) ||
      !Load(f, 0x3E, &shstrndx) || shentsize < 64)
    return false;
  uint64_t strOff = 0;
  Load(f, shoff + uint64_t(shstrndx) * shentsize + 0x18, &strOff);
  for (unsigned i = 0; i < shnum; ++i) {
    const size_t sh = shoff + size_t(i) * shentsize;
    uint32_t name, type;
    uint64_t flags, off, size;
    if (!Load(f, sh, &name) || !Load(f, sh + 4, &type) || !Load(f, sh + 8, &flags) ||
        !Load(f, sh + 0x18, &off) || !Load(f, sh + 0x20, &size))
      return true;
    const bool exec = (flags & 0x4) != 0;  // SHF_EXECINSTR
    if (!exec || type != 1) continue;      // SHT_PROGBITS
    std::string sname;
    for (size_t p = strOff + name; p < f.size() && f[p]; ++p) sname += char(f[p]);
    Take(f, off, size, path + ":" + sname, out);
  }
  return true;
}

// COFF header at `base` (objects) or after the PE signature (images).
bool Coff(const std::vector<uint8_t>& f, size_t base, size_t hdr, const std::string& origin,
          std::vector<CodeSection>* out) {
  uint16_t machine, nsec, optSize;
  if (!Load(f, hdr, &machine) || machine != 0x8664 || !Load(f, hdr + 2, &nsec) ||
      !Load(f, hdr + 16, &optSize))
    return false;
  const size_t table = hdr + 20 + optSize;
  for (unsigned i = 0; i < nsec; ++i) {
    const size_t s = table + size_t(i) * 40;
    uint32_t rawSize, rawPtr, chars, virtSize;
    if (!Load(f, s + 8, &virtSize) || !Load(f, s + 16, &rawSize) || !Load(f, s + 20, &rawPtr) ||
        !Load(f, s + 36, &chars))
      return true;
    if (!(chars & 0x20000000) && !(chars & 0x20)) continue;  // execute / code
    char name[9] = {};
    std::memcpy(name, f.data() + s, 8);
    size_t size = rawSize;
    // Images: the raw data beyond the virtual size is file padding, not code.
    if (hdr != 0 && virtSize && virtSize < size) size = virtSize;
    Take(f, base + rawPtr, size, origin + ":" + name, out);
  }
  return true;
}

bool Pe(const std::vector<uint8_t>& f, const std::string& path, std::vector<CodeSection>* out) {
  uint32_t lfanew, pe;
  if (f.size() < 64 || f[0] != 'M' || f[1] != 'Z' || !Load(f, 0x3C, &lfanew)) return false;
  if (!Load(f, lfanew, &pe) || pe != 0x4550) return false;
  return Coff(f, 0, lfanew + 4, path, out);
}

bool Archive(const std::vector<uint8_t>& f, const std::string& path, std::vector<CodeSection>* out) {
  if (f.size() < 8 || std::memcmp(f.data(), "!<arch>\n", 8) != 0) return false;
  size_t p = 8;
  while (p + 60 <= f.size()) {
    const size_t size = std::strtoul(std::string(f.begin() + p + 48, f.begin() + p + 58).c_str(),
                                     nullptr, 10);
    const size_t body = p + 60;
    if (body + size > f.size()) break;
    std::vector<uint8_t> member(f.begin() + body, f.begin() + body + size);
    std::string mname(f.begin() + p, f.begin() + p + 16);
    Coff(member, 0, 0, path + "(" + mname.substr(0, mname.find_first_of(" /")) + ")", out);
    p = body + size + (size & 1);
  }
  return true;
}

}  // namespace

bool ReadCodeSections(const std::string& path, std::vector<CodeSection>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::vector<uint8_t> f((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Elf(f, path, out) || Pe(f, path, out) || Archive(f, path, out) || Coff(f, 0, 0, path, out);
}
